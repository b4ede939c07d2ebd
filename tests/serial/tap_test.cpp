// The traffic tap: what the port writes and receives reaches a session feed in line order,
// whole, also under a burst that fills the receive bound.
#include "portrigs.h"
#include "testsupport.h"

#include "serial/bufferedserialport.h"
#include "workbench/sessionrecord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using serialtest::Pattern;
using serialtest::WaitFor;
using Workbench::SessionDirection;
using Workbench::SessionFeed;

namespace {

// A port whose tap feeds a session feed, as the log window's does.
struct TappedPort
{
    std::atomic<int> Wakes{0};
    SessionFeed Feed{[this] { ++Wakes; }};
    serial::BufferedSerialPort Port;

    TappedPort()
    {
        Port.SetTrafficTap([this](bool sent, const char* data, std::size_t size) {
            Feed.Append(sent ? SessionDirection::Sent : SessionDirection::Received, data, size);
        });
    }
    // Everything queued so far, each direction's bytes joined.
    std::pair<std::string, std::string> Drain(std::vector<SessionDirection>* order = nullptr)
    {
        std::pair<std::string, std::string> bytes;
        for (const auto& chunk : Feed.Take()) {
            (chunk.Direction == SessionDirection::Sent ? bytes.first : bytes.second) +=
                chunk.Bytes.toStdString();
            if (order && (order->empty() || order->back() != chunk.Direction))
                order->push_back(chunk.Direction);
        }
        return bytes;
    }
};

template <class Rig> class TapSuite : public ::testing::Test
{
protected:
    Rig rig;
};
TYPED_TEST_SUITE(TapSuite, PortRigs);

TYPED_TEST(TapSuite, ExchangeReachesTheFeedInLineOrder)
{
    const unsigned n = this->rig.AddPeer();
    TappedPort t;
    ASSERT_TRUE(t.Port.Open(n, 115200, 0));
    ASSERT_TRUE(t.Port.Write("AT+GMR\r\n", 8));
    ASSERT_EQ(this->rig.PeerRead(n, 8), "AT+GMR\r\n");
    this->rig.PeerWrite(n, "AT+GMR\r\r\nOK\r\n");
    ASSERT_TRUE(WaitFor([&] { return t.Feed.PendingBytes() == 8 + 13; }));

    std::vector<SessionDirection> order;
    const auto [sent, received] = t.Drain(&order);
    EXPECT_EQ(sent, "AT+GMR\r\n");
    EXPECT_EQ(received, "AT+GMR\r\r\nOK\r\n");
    EXPECT_EQ(order, (std::vector{SessionDirection::Sent, SessionDirection::Received}));
    EXPECT_EQ(t.Port.TakeReceived(), received) << "the tap takes nothing from the buffer";

    // A write bigger than one chunk is seen whole, once; a write to a closed port not at all.
    const std::string big = Pattern(3000, 2);
    ASSERT_TRUE(t.Port.Write(big.data(), unsigned(big.size())));
    EXPECT_EQ(this->rig.PeerRead(n, big.size()), big);
    EXPECT_EQ(t.Drain().first, big);
    t.Port.Close();
    EXPECT_FALSE(t.Port.Write("AT\r\n", 4));
    EXPECT_EQ(t.Feed.PendingBytes(), 0u);
}

TYPED_TEST(TapSuite, BurstThroughTheBoundLosesNothingAndWakesRarely)
{
    const unsigned n = this->rig.AddPeer();
    TappedPort t;
    ASSERT_TRUE(t.Port.Open(n, 115200, 0));
    const std::string data = Pattern(std::size_t{4} << 20, 5);
    std::thread peer([&] { this->rig.PeerWrite(n, data, 20000ms); });

    // The window's side: the tick takes the buffer, the log drains the feed, now and then.
    std::string tapped, buffered;
    int drains = 0;
    WaitFor(
        [&] {
            buffered += t.Port.TakeReceived();
            tapped += t.Drain().second;
            ++drains;
            return tapped.size() >= data.size() && buffered.size() >= data.size();
        },
        20000ms);
    peer.join();
    EXPECT_TRUE(tapped == data) << "tap lost or reordered bytes: " << tapped.size();
    EXPECT_TRUE(buffered == data) << "the receive path changed under the tap";
    EXPECT_LE(t.Wakes.load(), drains + 1) << "woken more than once per batch";
}

TYPED_TEST(TapSuite, RemovedTapIsNeverCalledAgain)
{
    const unsigned n = this->rig.AddPeer();
    serial::BufferedSerialPort port;
    std::atomic<int> calls{0};
    port.SetTrafficTap([&](bool, const char*, std::size_t) { ++calls; });
    ASSERT_TRUE(port.Open(n, 115200, 0));
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        while (!stop) this->rig.PeerWrite(n, "x", 100ms);
    });
    ASSERT_TRUE(WaitFor([&] { return calls.load() > 0; }));
    port.SetTrafficTap({});
    const int seen = calls.load();
    std::this_thread::sleep_for(50ms);
    stop = true;
    peer.join();
    EXPECT_EQ(calls.load(), seen);
    port.Close();
}

} // namespace
