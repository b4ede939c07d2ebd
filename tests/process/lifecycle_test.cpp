// Whatever ends a program, its port is left as it was found: a signal ends either program
// through its event loop (port closed, exclusive flag cleared, lock file removed), a killed
// program's leftovers do not keep the next run out, and a pseudo-terminal's far end (our
// simulator, socat) is no rival.
#include "programs.h"
// The simulator's header first: Qt's headers make "emit" a keyword.
#include "simulatedmodule.h"

#include "process/terminationsignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace proctest;

namespace {

class ProcessEnd : public ::testing::Test
{
protected:
    ProcessEnd()
    {
        char name[] = "/tmp/lifecycle-test-XXXXXX";
        Folder = ::mkdtemp(name);
        ::setenv("ESP8266WIFI_PORTS", Folder.c_str(), 1);
    }
    ~ProcessEnd() override
    {
        Modules.clear();
        std::error_code ec;
        fs::remove_all(Folder, ec);
        ::unsetenv("ESP8266WIFI_PORTS");
    }

    esp8266sim::SimulatedModule& StartModule(unsigned com)
    {
        esp8266sim::SimulatedModule::Options start;
        start.module.joinDelayMs = 100;
        start.module.resetDelayMs = 100;
        start.com = com;
        start.aliasFolder = Folder;
        std::string error;
        auto module = esp8266sim::SimulatedModule::start(start, &error);
        if (!module) throw std::runtime_error(error);
        Modules.push_back(std::move(module));
        return *Modules.back();
    }

    // The port answers again: what the issue asks of every way a program can end.
    static void ExpectNextSendSucceeds(unsigned com)
    {
        const Ended next =
            RunToEnd(ESP8266AT_PROGRAM, {"send", "-p", "COM" + std::to_string(com), "AT"});
        EXPECT_EQ(next.exitStatus, 0) << next.err;
    }

    // A run that holds the port for a few seconds and leaves the module idle: "+++" waits for
    // a quiet second before it goes, and one after.
    static std::vector<std::string> HoldingArgs(unsigned com)
    {
        return {"send", "-p", "COM" + std::to_string(com), "+++"};
    }

    static std::vector<std::string> WindowArgs(unsigned com)
    {
        return {"--port", "COM" + std::to_string(com), "--open"};
    }

    std::string Folder;
    std::vector<std::unique_ptr<esp8266sim::SimulatedModule>> Modules;
};

TEST_F(ProcessEnd, ASignalEndsEsp8266atWithItsStatusAndTheSimulatorsPortAsFound)
{
    const auto& module = StartModule(1);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sigabbrev_np(signal));
        Program at(ESP8266AT_PROGRAM, HoldingArgs(1));
        ASSERT_TRUE(at.Holds(module.slavePath()));
        at.Signal(signal);
        const Ended end = at.Wait(3000);
        EXPECT_EQ(end.exitStatus, 128 + signal) << end.err;
        EXPECT_NE(end.err.find(std::string("ended by SIG") + sigabbrev_np(signal)),
                  std::string::npos)
            << end.err;
        EXPECT_FALSE(ExclusiveFlagSet(module.slavePath()));
        EXPECT_FALSE(LockFileExists(module.slavePath()));
    }
    ExpectNextSendSucceeds(1);
}

TEST_F(ProcessEnd, ASignalEndsTheWindowAndReleasesItsPort)
{
    const auto& module = StartModule(2);
    Program window(ESP8266WIFI_PROGRAM, WindowArgs(2));
    ASSERT_TRUE(window.Holds(module.slavePath()));
    window.Signal(SIGTERM);
    const Ended end = window.Wait(10'000);
    EXPECT_EQ(end.exitStatus, 128 + SIGTERM) << end.err;
    EXPECT_FALSE(ExclusiveFlagSet(module.slavePath()));
    EXPECT_FALSE(LockFileExists(module.slavePath()));
    ExpectNextSendSucceeds(2);
}

TEST_F(ProcessEnd, AKilledProgramsLeftoversDoNotKeepTheNextRunOut)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can open a terminal whose exclusive flag a killed program "
                        "left set";
    const auto& module = StartModule(3);
    {
        Program at(ESP8266AT_PROGRAM, HoldingArgs(3));
        ASSERT_TRUE(at.Holds(module.slavePath()));
        // The flag follows the open at once; killed before it, there would be nothing left.
        for (int i = 0; i < 100 && !ExclusiveFlagSet(module.slavePath()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        at.Signal(SIGKILL);
        EXPECT_EQ(at.Wait().signal, SIGKILL);
    }
    ASSERT_TRUE(ExclusiveFlagSet(module.slavePath())) << "a killed program leaves it set";
    ASSERT_TRUE(LockFileExists(module.slavePath()));
    ExpectNextSendSucceeds(3);
    EXPECT_FALSE(ExclusiveFlagSet(module.slavePath())) << "the next run clears it as it ends";
    EXPECT_FALSE(LockFileExists(module.slavePath()));

    Program window(ESP8266WIFI_PROGRAM, WindowArgs(3));
    ASSERT_TRUE(window.Holds(module.slavePath()));
    for (int i = 0; i < 100 && !ExclusiveFlagSet(module.slavePath()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    window.Signal(SIGKILL);
    EXPECT_EQ(window.Wait().signal, SIGKILL);
    ExpectNextSendSucceeds(3);
}

// socat keeps both masters and both terminals of its pair open itself.
class SocatPair
{
public:
    explicit SocatPair(const std::string& folder)
        : A(folder + "/pair-a"), B(folder + "/pair-b"),
          Socat("/usr/bin/socat",
                {"PTY,link=" + A + ",raw,echo=0", "PTY,link=" + B + ",raw,echo=0"})
    {
        for (int i = 0; i < 500 && !(fs::exists(A) && fs::exists(B)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SocatPair()
    {
        Stop = true;
        if (Responder.joinable()) Responder.join();
    }
    // Answers OK to every line that arrives at B.
    void AnswerOk()
    {
        Responder = std::thread([this] {
            const int fd = ::open(B.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            std::string got;
            while (fd >= 0 && !Stop) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                char buffer[256];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) continue;
                got.append(buffer, std::size_t(n));
                for (std::size_t end; (end = got.find('\n')) != std::string::npos;) {
                    const std::string reply = got.substr(0, end + 1) + "\r\nOK\r\n";
                    [[maybe_unused]] ssize_t w = ::write(fd, reply.data(), reply.size());
                    got.erase(0, end + 1);
                }
            }
            if (fd >= 0) ::close(fd);
        });
    }

    std::string A, B;
    Program Socat;

private:
    std::thread Responder;
    std::atomic<bool> Stop{false};
};

TEST_F(ProcessEnd, ASocatPairsEndOpensInBothProgramsAndNamesSocat)
{
    if (!fs::exists("/usr/bin/socat")) GTEST_SKIP() << "socat is not installed";
    SocatPair pair(Folder);
    ASSERT_TRUE(fs::exists(pair.A));
    fs::create_symlink(pair.A, Folder + "/com4");
    pair.AnswerOk();

    const Ended ports = RunToEnd(ESP8266AT_PROGRAM, {"ports"});
    EXPECT_NE(ports.out.find("COM4  " + pair.A +
                             "  available  pseudo-terminal served by socat, "
                             "PID " +
                             std::to_string(pair.Socat.Pid())),
              std::string::npos)
        << ports.out;
    const Ended send = RunToEnd(ESP8266AT_PROGRAM, {"send", "-p", "COM4", "AT"});
    EXPECT_EQ(send.exitStatus, 0) << send.err;
    EXPECT_NE(send.out.find("OK"), std::string::npos) << send.out;

    Program window(ESP8266WIFI_PROGRAM, WindowArgs(4));
    EXPECT_TRUE(window.Holds(pair.A));
    window.Signal(SIGTERM);
    const Ended end = window.Wait(10'000);
    EXPECT_EQ(end.exitStatus, 128 + SIGTERM);
    EXPECT_EQ(end.err.find("cannot open"), std::string::npos) << end.err;
}

TEST(ProcessLife, AnEscapedExceptionIsReportedAndNeverASuccess)
{
    std::string reported = "none";
    const auto report = [&](const char* what) { reported = what; };
    EXPECT_EQ(Process::RunReportingExceptions([] { return 0; }, report), 0);
    EXPECT_EQ(reported, "none");
    EXPECT_EQ(Process::RunReportingExceptions(
                  []() -> int { throw std::runtime_error("form failed"); }, report),
              1);
    EXPECT_EQ(reported, "form failed");
    EXPECT_EQ(Process::RunReportingExceptions([]() -> int { throw 42; }, report), 1);
    EXPECT_EQ(reported, "");
}

} // namespace
