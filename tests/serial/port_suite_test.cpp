// One suite for every back end that builds here, each on its own kind of peer device.

#include "portrigs.h"
#include "recordingport.h"
#include "testsupport.h"

#include "serial/bufferedserialport.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using serialtest::Pattern;
using serialtest::WaitFor;

namespace {

// Counts the notification events posted to it.
class NotifyCounter : public QObject
{
public:
    int Count = 0;
    int Type = QEvent::registerEventType();
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Type(Type)) {
            ++Count;
            return true;
        }
        return QObject::event(e);
    }
};

template <class Rig> class PortSuite : public ::testing::Test
{
protected:
    Rig rig;
};

TYPED_TEST_SUITE(PortSuite, PortRigs);

TYPED_TEST(PortSuite, OpenIsExclusiveEvenAgainstThisVeryObject)
{
    const unsigned n = this->rig.AddPeer();
    EXPECT_TRUE(serial::SerialPort::ProbePort(n));
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0)) << port.LastError().Message;
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.PortNumber, n);
    EXPECT_FALSE(serial::SerialPort::ProbePort(n));

    serial::BufferedSerialPort other;
    EXPECT_FALSE(other.Open(n, 115200, 0));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_NE(other.LastError().Code, 0);
    EXPECT_FALSE(other.LastError().Message.empty());

    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(serial::SerialPort::ProbePort(n));
    EXPECT_TRUE(other.Open(n, 115200, 0));
}

TYPED_TEST(PortSuite, MissingDevicesFailCleanly)
{
    serial::BufferedSerialPort port;
    EXPECT_FALSE(serial::SerialPort::ProbePort(0));
    EXPECT_FALSE(port.Open(0, 115200, 0));
    EXPECT_FALSE(port.Open(199, 115200, 0)); // beyond the table, no alias
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.Write("AT\r\n", 4));
    EXPECT_FALSE(port.Reconfigure(9600, 0));
}

TYPED_TEST(PortSuite, ReconfigureKeepsReaderAndBufferedBytes)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    ASSERT_EQ(this->rig.PeerWrite(n, "abc"), 3u);
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == 3; }));

    EXPECT_TRUE(port.OpenOrReconfigure(n, 9600, 2));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.BaudRate, 9600);
    EXPECT_EQ(port.Parity, 2);
    if (auto baud = this->rig.LineBaud(n)) {
        EXPECT_EQ(*baud, 9600);
    }
    EXPECT_EQ(port.ReaderExitCode(), 0) << "the reader must keep running";

    // A refused speed leaves the line and the members as they were.
    EXPECT_FALSE(port.Reconfigure(12345, 0));
    EXPECT_NE(port.LastError().Code, 0);
    EXPECT_EQ(port.BaudRate, 9600);
    EXPECT_EQ(port.Parity, 2);
    EXPECT_TRUE(port.IsOpen());

    ASSERT_EQ(this->rig.PeerWrite(n, "def"), 3u);
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == 6; }));
    EXPECT_EQ(port.TakeReceived(), "abcdef");
    EXPECT_FALSE(serial::SerialPort::ProbePort(n)) << "still held, never closed in between";
}

TYPED_TEST(PortSuite, OpenAgainAndOpenAnotherReleaseTheFirst)
{
    const unsigned a = this->rig.AddPeer();
    const unsigned b = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(a, 115200, 0));
    ASSERT_TRUE(port.Open(a, 57600, 1));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.BaudRate, 57600);
    ASSERT_EQ(this->rig.PeerWrite(a, "x"), 1u);
    EXPECT_TRUE(WaitFor([&] { return port.PendingBytes() == 1; })) << "reader of the reopened port";

    ASSERT_TRUE(port.OpenOrReconfigure(b, 115200, 0));
    EXPECT_EQ(port.PortNumber, b);
    EXPECT_TRUE(serial::SerialPort::ProbePort(a)) << "first port released";
    EXPECT_FALSE(serial::SerialPort::ProbePort(b));
    ASSERT_TRUE(port.Write("AT\r\n", 4));
    EXPECT_EQ(this->rig.PeerRead(b, 4), "AT\r\n");
    EXPECT_EQ(this->rig.PeerPending(a), 0u);
}

TYPED_TEST(PortSuite, WritesArriveWholeInOrderAndNeverInterleave)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    EXPECT_TRUE(port.Write("", 0));

    // Raw bytes: CR, LF and NUL must pass unchanged.
    const std::string one = Pattern(2500, 1);
    ASSERT_TRUE(port.Write(one.data(), unsigned(one.size())));
    EXPECT_EQ(this->rig.PeerRead(n, one.size()), one);

    const std::string a(2500, 'A'), b(2500, 'B');
    for (int round = 0; round < 10; ++round) {
        std::atomic<bool> otherOk{false};
        std::thread other([&] { otherOk = port.Write(b.data(), unsigned(b.size())); });
        const bool ok = port.Write(a.data(), unsigned(a.size()));
        // Read while the other thread may still be writing: the queue holds less than 5000.
        const std::string got = this->rig.PeerRead(n, 5000);
        other.join();
        ASSERT_TRUE(ok && otherOk);
        ASSERT_EQ(got.size(), 5000u);
        EXPECT_TRUE(got == a + b || got == b + a) << "round " << round;
    }
}

TYPED_TEST(PortSuite, BurstArrivesInReadsOfAtMost1024WithNulsKept)
{
    const unsigned n = this->rig.AddPeer();
    RecordingPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    const std::string burst = Pattern(3000, 2);
    ASSERT_EQ(this->rig.PeerWrite(n, burst), burst.size());
    ASSERT_TRUE(WaitFor([&] { return port.Received().size() >= burst.size(); }));
    EXPECT_EQ(port.Received(), burst);
    const auto chunks = port.Chunks();
    EXPECT_GE(chunks.size(), 3u);
    for (std::size_t c : chunks)
        EXPECT_LE(c, serial::SerialPort::ReadChunk);
}

TYPED_TEST(PortSuite, BufferedBytesSurviveCloseAndReopen)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    ASSERT_EQ(this->rig.PeerWrite(n, std::string("O\0K", 3)), 3u);
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == 3; }));
    port.Close();
    ASSERT_TRUE(port.Open(n, 115200, 0));
    {
        std::lock_guard lock(port.ReceiveLock);
        EXPECT_EQ(port.ReceivedFlag, 1);
    }
    EXPECT_EQ(port.TakeReceived(), std::string("O\0K", 3));
    EXPECT_EQ(port.TakeReceived(), "");
}

TYPED_TEST(PortSuite, HangUpWhileReadingEndsQuietlyAndShowsClosed)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    ASSERT_EQ(this->rig.PeerWrite(n, "bye"), 3u);
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == 3; }));
    this->rig.HangUp(n);

    ASSERT_TRUE(WaitFor([&] { return !port.IsOpen(); }));
    EXPECT_EQ(port.ReaderExitCode(), 6);
    const double before = serialtest::ProcessCpuMs();
    std::this_thread::sleep_for(200ms); // a window over which a spinning reader would show
    EXPECT_LT(serialtest::ProcessCpuMs() - before, 50.0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.Write("AT\r\n", 4));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(port.TakeReceived(), "bye");
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
}

TYPED_TEST(PortSuite, HangUpWhileWritingReturnsFalseAtOnce)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    // Far more than the peer's queue holds, and nobody reads: the write blocks for room.
    const std::string big = Pattern(1 << 20, 3);
    std::atomic<int> result{-1};
    std::chrono::steady_clock::duration took{};
    std::thread writer([&] {
        const auto start = std::chrono::steady_clock::now();
        result = port.Write(big.data(), unsigned(big.size())) ? 1 : 0;
        took = std::chrono::steady_clock::now() - start;
    });
    ASSERT_TRUE(WaitFor([&] { return this->rig.PeerPending(n) > 0; }));
    this->rig.HangUp(n);
    const bool ended = WaitFor([&] { return result.load() != -1; }, 3000ms);
    writer.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(result.load(), 0);
    EXPECT_LT(took, 2000ms);
    EXPECT_TRUE(WaitFor([&] { return !port.IsOpen(); }));
    EXPECT_TRUE(port.Close());
}

TYPED_TEST(PortSuite, FullBufferIsHandedOnAtOnceAndNothingIsLost)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    NotifyCounter window;
    port.SetNotifyTarget(&window, window.Type);
    ASSERT_TRUE(port.Open(n, 115200, 0));

    const std::size_t limit = serial::BufferedSerialPort::ReceiveBufferLimit;
    const std::string data = Pattern(limit + limit / 4, 4);
    std::atomic<std::size_t> sent{0};
    std::thread peer([&] { sent = this->rig.PeerWrite(n, data, 10000ms); });

    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() >= limit; }, 5000ms));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_GE(window.Count, 1) << "the reader posts when the bound is reached";
    EXPECT_EQ(port.PendingBytes(), limit) << "reading pauses at the bound";

    std::string got = port.TakeReceived();
    EXPECT_EQ(got.size(), limit);
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == data.size() - limit; }, 5000ms));
    got += port.TakeReceived();
    peer.join();
    EXPECT_EQ(sent.load(), data.size());
    EXPECT_TRUE(got == data) << "bytes lost or reordered at the bound";
}

TYPED_TEST(PortSuite, CloseWhileReaderWaitsAtTheBoundIsPrompt)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    const std::size_t limit = serial::BufferedSerialPort::ReceiveBufferLimit;
    std::thread peer([&] { this->rig.PeerWrite(n, std::string(limit + 8192, 'z'), 3000ms); });
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() >= limit; }, 5000ms));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.Close());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_LE(port.PendingBytes(), limit + serial::SerialPort::ReadChunk);
    this->rig.HangUp(n);
    peer.join();
}

TYPED_TEST(PortSuite, OpenIdlePortUsesNoProcessor)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0));
    const double before = serialtest::ProcessCpuMs();
    std::this_thread::sleep_for(300ms); // the window a busy reader would fill
    EXPECT_LT(serialtest::ProcessCpuMs() - before, 30.0);
    ASSERT_EQ(this->rig.PeerWrite(n, "OK\r\n"), 4u);
    EXPECT_TRUE(WaitFor([&] { return port.PendingBytes() == 4; }, 100ms));
}

TYPED_TEST(PortSuite, NotifyIsNeverPostedToADestroyedWindow)
{
    serial::BufferedSerialPort port;
    port.PostNotify(); // no target: nothing happens
    auto* window = new NotifyCounter;
    port.SetNotifyTarget(window, window->Type);
    port.PostNotify();
    QCoreApplication::sendPostedEvents(window);
    EXPECT_EQ(window->Count, 1);
    delete window;
    port.PostNotify(); // must not touch the freed object
    QCoreApplication::sendPostedEvents();
}

} // namespace

namespace {

// Counts the events of each type it is sent.
class EventTally : public QObject
{
public:
    std::map<int, int> Count;
    bool event(QEvent* e) override
    {
        ++Count[int(e->type())];
        return true;
    }
};

TYPED_TEST(PortSuite, OneEventStartsEachBlockAndOneTellsOfAHangUp)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    EventTally window;
    const int notify = QEvent::registerEventType(), started = QEvent::registerEventType(),
              lost = QEvent::registerEventType();
    port.SetNotifyTarget(&window, notify);
    port.SetActivityEvents(started, lost);
    ASSERT_TRUE(port.Open(n, 115200, 0));
    EXPECT_EQ(port.LastReceivedMs(), -1);

    const std::int64_t before = serial::BufferedSerialPort::SteadyNowMs();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(this->rig.PeerWrite(n, "abc"), 3u);
        ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == std::size_t(3 * (i + 1)); }));
    }
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.Count[started], 1) << "bytes while the flag is set post nothing more";
    EXPECT_GE(port.LastReceivedMs(), before);
    EXPECT_LE(port.LastReceivedMs(), serial::BufferedSerialPort::SteadyNowMs());

    // Once the block is framed (the flag cleared) the next byte starts a new one.
    {
        std::lock_guard lock(port.ReceiveLock);
        port.ReceivedFlag = 0;
    }
    ASSERT_EQ(this->rig.PeerWrite(n, "d"), 1u);
    ASSERT_TRUE(WaitFor([&] { return port.PendingBytes() == 16; }));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.Count[started], 2);
    EXPECT_EQ(window.Count[lost], 0);

    this->rig.HangUp(n);
    ASSERT_TRUE(WaitFor([&] { return !port.IsOpen(); }));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.Count[lost], 1);
    // A deliberate close afterwards, or of a healthy port, reports nothing.
    EXPECT_TRUE(port.Close());
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.Count[lost], 1);
    EXPECT_EQ(window.Count[notify], 0);
}

} // namespace
