// The shared port logic over a recording back end: what reaches the driver, in which calls.

#include <cstdlib>
#include "serial/bufferedserialport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

using namespace serial;
using namespace std::chrono_literals;

namespace {

// Everything the port asked of the driver, shared with the test after the port owns the fake.
struct Journal
{
    std::mutex Lock;
    std::vector<std::string> Calls;
    std::vector<std::size_t> WriteSizes;
    std::deque<IoResult> WriteScript; // empty: every write succeeds whole
    bool OpenFails = false, SettingsFail = false, LineFails = false;

    void Add(std::string call)
    {
        std::lock_guard lock(Lock);
        Calls.push_back(std::move(call));
    }
    int Count(const std::string& call)
    {
        std::lock_guard lock(Lock);
        return int(std::count(Calls.begin(), Calls.end(), call));
    }
};

class FakeBackend final : public SerialBackend
{
public:
    explicit FakeBackend(std::shared_ptr<Journal> j) : J(std::move(j)) {}
    bool Probe(const std::string&) override { return true; }
    bool OpenDevice(const std::string& device) override
    {
        J->Add("open " + device);
        return !J->OpenFails;
    }
    void CloseDevice() override { J->Add("close"); }
    void Purge() override { J->Add("purge"); }
    bool ApplyPortSettings(int, int) override
    {
        J->Add("settings");
        return !J->SettingsFail;
    }
    bool ApplyLineSettings(int, int) override
    {
        J->Add("line");
        if (J->LineFails) RecordError(22, "refused");
        return !J->LineFails;
    }
    bool PrepareReader() override
    {
        J->Add("prepare");
        std::lock_guard lock(M);
        Stop = false;
        return true;
    }
    void RequestStop() override
    {
        std::lock_guard lock(M);
        Stop = true;
        Cv.notify_all();
    }
    void ReleaseReader() override {}
    WaitResult WaitForInput() override
    {
        std::unique_lock lock(M);
        Cv.wait(lock, [this] { return Stop; });
        return WaitResult::Stopped;
    }
    IoResult Read(char*, std::size_t) override { return {}; }
    IoResult Write(const char*, std::size_t size, int timeoutMs) override
    {
        IoResult r{IoStatus::Done, size};
        {
            std::lock_guard lock(J->Lock);
            J->WriteSizes.push_back(size);
            if (!J->WriteScript.empty()) {
                r = J->WriteScript.front();
                if (J->WriteScript.size() > 1) J->WriteScript.pop_front();
            }
        }
        // A stalled driver really waits for its time-out, as the real ones do.
        if (r.Status == IoStatus::TimedOut)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return r;
    }

private:
    std::shared_ptr<Journal> J;
    std::mutex M;
    std::condition_variable Cv;
    bool Stop = false;
};

struct PortOnFake
{
    // The fake back end opens nothing, so COMn may stand for the default table's names.
    PortOnFake() { ::setenv("ESP8266WIFI_ALIASES_ONLY", "0", 1); }
    ~PortOnFake() { ::setenv("ESP8266WIFI_ALIASES_ONLY", "1", 1); }
    std::shared_ptr<Journal> J = std::make_shared<Journal>();
    serial::BufferedSerialPort Port{std::make_unique<FakeBackend>(J)};
};

TEST(PortLogic, WritesGoOutIn1024ByteChunksAndEmptyWritesStillReachTheDriver)
{
    PortOnFake f;
    ASSERT_TRUE(f.Port.Open(3, 115200, 0));
    const std::string data(2500, 'x');
    EXPECT_TRUE(f.Port.Write(data.data(), 2500));
    EXPECT_EQ(f.J->WriteSizes, (std::vector<std::size_t>{1024, 1024, 452}));
    f.J->WriteSizes.clear();
    EXPECT_TRUE(f.Port.Write(data.data(), 1024));
    EXPECT_TRUE(f.Port.Write(data.data(), 0));
    EXPECT_EQ(f.J->WriteSizes, (std::vector<std::size_t>{1024, 0}));
}

TEST(PortLogic, PartialWritesResumeWhereTheDriverStopped)
{
    PortOnFake f;
    ASSERT_TRUE(f.Port.Open(3, 115200, 0));
    f.J->WriteScript = {{IoStatus::TimedOut, 100}, {IoStatus::Done, 924}, {IoStatus::Done, 476}};
    const std::string data(1500, 'x');
    EXPECT_TRUE(f.Port.Write(data.data(), 1500));
    // 100 + 924 taken by the first two calls, so the third asks for the last 476.
    EXPECT_EQ(f.J->WriteSizes, (std::vector<std::size_t>{1024, 1024, 476}));
}

TEST(PortLogic, AStalledDriverCannotHoldTheCallerAndNothingSpins)
{
    PortOnFake f;
    ASSERT_TRUE(f.Port.Open(3, 115200, 0));
    f.J->WriteScript = {{IoStatus::TimedOut, 0}};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(f.Port.Write("AT\r\n", 4));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 3000ms);
    EXPECT_LE(f.J->WriteSizes.size(), 4u) << "retries must wait, not spin";
    EXPECT_FALSE(f.Port.LastError().Message.empty());
    EXPECT_TRUE(f.Port.IsOpen()) << "a slow device is not a lost one";
}

TEST(PortLogic, AHungUpDriverEndsTheWriteAndClosesThePortForTheWindow)
{
    PortOnFake f;
    ASSERT_TRUE(f.Port.Open(3, 115200, 0));
    f.J->WriteScript = {{IoStatus::HungUp, 0}};
    EXPECT_FALSE(f.Port.Write("AT\r\n", 4));
    EXPECT_FALSE(f.Port.IsOpen());
    EXPECT_FALSE(f.Port.Write("AT\r\n", 4));
    EXPECT_EQ(f.J->WriteSizes.size(), 1u) << "no second attempt on a lost device";
    EXPECT_TRUE(f.Port.Close());
    EXPECT_EQ(f.J->Count("close"), 1);
}

TEST(PortLogic, RefusedSettingsKeepTheDeviceHeldWithoutReaderUntilClosed)
{
    PortOnFake f;
    f.J->SettingsFail = true;
    EXPECT_FALSE(f.Port.Open(4, 1234, 0));
    EXPECT_TRUE(f.Port.IsOpen());
    EXPECT_EQ(f.J->Count("prepare"), 0);
    EXPECT_TRUE(f.Port.Write("A", 1)) << "writes still reach the held device";
    EXPECT_TRUE(f.Port.Close());
    EXPECT_FALSE(f.Port.IsOpen());
    EXPECT_EQ(f.J->Count("close"), 1);
    EXPECT_TRUE(f.Port.Close());
    EXPECT_EQ(f.J->Count("close"), 1) << "closing a closed port does nothing";
}

TEST(PortLogic, OpenFailureLeavesThePortClosed)
{
    PortOnFake f;
    f.J->OpenFails = true;
    EXPECT_FALSE(f.Port.Open(4, 115200, 0));
    EXPECT_FALSE(f.Port.IsOpen());
    EXPECT_EQ(f.J->Count("settings"), 0);
}

TEST(PortLogic, DevicePathOpensWithoutAPortNumber)
{
    PortOnFake f;
    ASSERT_TRUE(f.Port.Open(3, 9600, 0));
    f.J->Calls.clear();
    ASSERT_TRUE(f.Port.OpenDevice("/dev/ttyEXAMPLE", 115200, 2));
    EXPECT_EQ(f.J->Calls, (std::vector<std::string>{"close", "open /dev/ttyEXAMPLE", "purge",
                                                    "settings", "prepare"}));
    EXPECT_EQ(f.Port.PortNumber, 0u);
    EXPECT_EQ(f.Port.DevicePath, "/dev/ttyEXAMPLE");
    EXPECT_EQ(f.Port.BaudRate, 115200);
    EXPECT_EQ(f.Port.Parity, 2);
}

TEST(PortLogic, PortWithNoDeviceFailsWithoutTouchingTheBackEnd)
{
    PortOnFake f;
    EXPECT_FALSE(f.Port.Open(0, 115200, 0));
    EXPECT_FALSE(f.Port.IsOpen());
    EXPECT_EQ(f.J->Count("open " + serial::DeviceName(0)), 0);
    EXPECT_EQ(f.Port.LastError().Code, ENOENT);
    EXPECT_FALSE(serial::SerialPort::ProbeDevice(""));
}

TEST(PortLogic, SamePortReconfiguresInPlaceAnotherReopens)
{
    PortOnFake f;
    ASSERT_TRUE(f.Port.Open(5, 115200, 0));
    f.J->Calls.clear();
    EXPECT_TRUE(f.Port.OpenOrReconfigure(5, 9600, 1));
    EXPECT_EQ(f.J->Calls, (std::vector<std::string>{"line"}));
    EXPECT_EQ(f.Port.BaudRate, 9600);
    EXPECT_EQ(f.Port.Parity, 1);

    f.J->LineFails = true;
    EXPECT_FALSE(f.Port.OpenOrReconfigure(5, 19200, 2));
    EXPECT_EQ(f.Port.BaudRate, 9600);
    EXPECT_EQ(f.Port.Parity, 1);
    EXPECT_EQ(f.Port.LastError().Code, 22);

    f.J->Calls.clear();
    EXPECT_TRUE(f.Port.OpenOrReconfigure(6, 57600, 0));
    EXPECT_EQ(f.J->Calls,
              (std::vector<std::string>{"close", "open " + serial::DeviceName(6), "purge",
                                        "settings", "prepare"}));
    EXPECT_EQ(f.Port.PortNumber, 6u);
    EXPECT_EQ(f.Port.DevicePath, serial::DeviceName(6));
    EXPECT_EQ(f.Port.ReaderExitCode(), 0);
    f.Port.Close();
    EXPECT_EQ(f.Port.ReaderExitCode(), 5);
}

TEST(PortLogic, ReceivedBytesSetTheFlagAndRestartTheIdleCount)
{
    PortOnFake f;
    {
        std::lock_guard lock(f.Port.ReceiveLock);
        f.Port.IdleTicks = 17;
    }
    f.Port.OnByteReceived('A');
    f.Port.OnByteReceived('\0');
    std::lock_guard lock(f.Port.ReceiveLock);
    EXPECT_EQ(f.Port.ReceivedFlag, 1);
    EXPECT_EQ(f.Port.IdleTicks, 0u);
    f.Port.ReceiveLock.unlock();
    EXPECT_EQ(f.Port.TakeReceived(), std::string("A\0", 2));
    f.Port.ReceiveLock.lock();
    EXPECT_EQ(f.Port.ReceivedFlag, 1) << "taking the bytes leaves the flag to the tick";
}

} // namespace
