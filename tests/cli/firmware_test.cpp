// esp8266at against what real firmware does: the realistic join and its newer order, a module
// that boots as the port opens, adapter latency, "busy p...", a lost port, an endless line,
// and "+++" whose quiet second is no part of the time-out.
#include "clifixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <thread>

using namespace clitest;

namespace {

// The far end of a port driven by a script on a thread of its own.
class ScriptedTerminal
{
public:
    explicit ScriptedTerminal(std::function<void(ScriptedTerminal&)> script)
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        Path = ::ptsname(Master);
        Thread = std::thread([this, script = std::move(script)] { script(*this); });
    }
    ~ScriptedTerminal()
    {
        Stop = true;
        if (Thread.joinable()) Thread.join();
        if (Master >= 0) ::close(Master);
    }
    const std::string& path() const { return Path; }
    // The next line the program wrote (without its line end); empty after timeoutMs.
    std::string ReadLine(int timeoutMs = 10000)
    {
        std::string line;
        pollfd p{Master, POLLIN, 0};
        while (!Stop && ::poll(&p, 1, timeoutMs) == 1) {
            char c;
            if (::read(Master, &c, 1) != 1) break;
            if (c == '\n') break;
            if (c != '\r') line += c;
        }
        Lines.push_back(line);
        return line;
    }
    void Write(const std::string& bytes)
    {
        if (::write(Master, bytes.data(), bytes.size()) < 0) ADD_FAILURE() << "write";
    }
    // Writes what the line takes within 50 ms; never blocks for longer.
    void TryWrite(const std::string& bytes)
    {
        ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
        pollfd p{Master, POLLOUT, 0};
        if (::poll(&p, 1, 50) == 1 && (p.revents & POLLOUT))
            (void)!::write(Master, bytes.data(), bytes.size());
    }
    // Pulls the cable.
    void HangUp()
    {
        HungUpAt = std::chrono::steady_clock::now();
        ::close(Master);
        Master = -1;
    }

    std::atomic<bool> Stop{false};
    std::vector<std::string> Lines; // read by the test once the program has ended
    std::chrono::steady_clock::time_point HungUpAt;

private:
    int Master = -1;
    std::string Path;
    std::thread Thread;
};

class Firmware : public CliTest
{
protected:
    QStringList ConnectArgs(const QString& port)
    {
        return {"connect", "-p", port, "--ssid", "esp-test", "--password", "password123",
                "--server", QStringLiteral("127.0.0.1:%1").arg(Server.port())};
    }
    TcpServer Server;
};

} // namespace

TEST_F(Firmware, ConnectSucceedsInEveryProfile)
{
    esp8266sim::ModuleOptions realistic; // silence, WIFI CONNECTED at 2.5 s, WIFI GOT IP, OK
    esp8266sim::ModuleOptions newer;
    newer.firmware = 2;
    newer.okBeforeIp = true; // OK comes before the address: CIPSTART must wait for it
    esp8266sim::ModuleOptions booting;
    booting.bootOnOpen = true; // the first step is lost in the boot and sent again
    booting.joinDelayMs = 100;
    esp8266sim::ModuleOptions late;
    late.echoLatencyMs = 25;
    late.joinDelayMs = 100;
    unsigned com = 1;
    for (const auto& [name, options] : std::vector<std::pair<const char*, esp8266sim::ModuleOptions>>{
             {"realistic", realistic}, {"firmware 2, OK before IP", newer},
             {"boot on open", booting}, {"echo latency 25 ms", late}}) {
        auto& module = StartModule(com, options);
        const RunResult r = Run(ConnectArgs(QStringLiteral("COM%1").arg(com)));
        EXPECT_EQ(r.exitStatus, 0) << name << "\n" << r.err << r.out;
        EXPECT_GE(Server.Accept(), 0) << name;
        const std::vector<std::string> heard = module.state().commands;
        for (const std::string& c : heard)
            EXPECT_EQ(c.find("busy"), std::string::npos) << name;
        EXPECT_TRUE(module.state().transferMode == 1) << name;
        if (options.okBeforeIp) {
            const auto ip = r.out.find("WIFI GOT IP");
            ASSERT_NE(ip, std::string::npos) << r.out;
            EXPECT_LT(ip, r.out.find("AT+CIPSTART")) << r.out;
        }
        ++com;
    }
}

TEST_F(Firmware, AJoinGetsItsOwnTimeAndPlusesTheirQuietSecondBeyondTheTimeout)
{
    StartModule(1, esp8266sim::ModuleOptions{}); // a join of about four seconds
    const RunResult join =
        Run({"send", "-p", "COM1", "--timeout", "1", "AT+CWJAP=\"esp-test\",\"password123\""});
    EXPECT_EQ(join.exitStatus, 0) << join.err;
    // The second of quiet before "+++" is ours to keep, not the module's answer to wait for.
    const RunResult escape = Run({"send", "-p", "COM1", "--timeout", "0.5", "AT", "+++"});
    EXPECT_EQ(escape.exitStatus, 0) << escape.err;
}

TEST_F(Firmware, ABusyCommandIsSentAgainOnceTheModuleIsFreeAtMostTwice)
{
    ScriptedTerminal once([](ScriptedTerminal& t) {
        t.ReadLine();
        t.Write("busy p...\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        t.Write("\r\nOK\r\n"); // the earlier command's answer: free now
        t.ReadLine();
        t.Write("AT+CIPMUX=0\r\r\n\r\nOK\r\n");
    });
    Alias(5, once.path());
    const RunResult r = Run({"send", "-p", "COM5", "--timeout", "3", "AT+CIPMUX=0"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(once.Lines, (std::vector<std::string>{"AT+CIPMUX=0", "AT+CIPMUX=0"}));

    ScriptedTerminal always([](ScriptedTerminal& t) {
        for (int i = 0; i < 3; ++i) {
            t.ReadLine();
            t.Write("busy p...\r\n\r\nOK\r\n");
        }
        t.ReadLine(500);
    });
    Alias(6, always.path());
    const RunResult busy = Run({"send", "-p", "COM6", "--timeout", "3", "AT+CIPMUX=0"});
    EXPECT_EQ(busy.exitStatus, 1);
    EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;
    EXPECT_EQ(always.Lines.size(), 4u); // three writes, then nothing more
}

TEST_F(Firmware, ALostPortEndsTheRunAtOnceWithExitThreeNamingTheStep)
{
    ScriptedTerminal pulled([](ScriptedTerminal& t) {
        t.ReadLine();
        t.Write("AT+CWJAP=\"esp-test\",\"password123\"\r\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        t.HangUp();
    });
    Alias(7, pulled.path());
    const auto started = std::chrono::steady_clock::now();
    const RunResult r = Run({"connect", "-p", "COM7", "--timeout", "30", "--ssid", "esp-test",
                             "--password", "password123", "--server", "127.0.0.1:9"});
    const auto ended = started + r.elapsed;
    EXPECT_EQ(r.exitStatus, 3) << r.err;
    EXPECT_LT(ended - pulled.HungUpAt, std::chrono::milliseconds(1000));
    EXPECT_NE(r.err.find("lost"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("join (AT+CWJAP)"), std::string::npos) << r.err;
}

TEST_F(Firmware, AnEndlessLineAtFullSpeedEndsOnTimeInBoundedMemory)
{
    ScriptedTerminal flood([](ScriptedTerminal& t) {
        t.ReadLine();
        const std::string block(4096, 'x');
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        while (!t.Stop && std::chrono::steady_clock::now() < until)
            t.TryWrite(block);
    });
    Alias(8, flood.path());
    const RunResult r = Run({"send", "-p", "COM8", "--timeout", "2", "AT"}, 20000);
    EXPECT_EQ(r.exitStatus, 2) << r.err;
    EXPECT_NE(r.out.find("bytes not kept"), std::string::npos);
    EXPECT_LE(r.out.size(), std::size_t(2) << 20);
#ifndef __SANITIZE_ADDRESS__
    // The address sanitizer's shadow memory, quarantine and unoptimised build are not what a
    // user runs: time and memory are bounded for the ordinary build only.
    EXPECT_LT(r.elapsed.count(), 2500);
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LE(usage.ru_maxrss, 64 * 1024) << "kB resident at most";
#endif
    flood.Stop = true;
}
