// What esp8266at refuses to send, and what it lets reach a terminal.
#include "programs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace proctest;

namespace {

TEST(CliInput, FieldsThatCannotGoIntoACommandAreRefusedWithTheReason)
{
    struct Case
    {
        std::vector<std::string> args;
        const char* why;
    };
    const Case cases[] = {
        {{"command", "CWJAP", "--ssid", "home\nnet", "--password", "pw"},
         "--ssid holds a control character (U+000A)"},
        {{"command", "CWJAP", "--ssid", "home", "--password", "p\tw"},
         "--password holds a control character (U+0009)"},
        {{"command", "CWJAP", "--ssid", "caf\xE9", "--password", "pw"},
         "--ssid is not valid UTF-8"},
        {{"connect", "--ssid", "\xFF\xFE", "--server", "127.0.0.1:80"},
         "--ssid is not valid UTF-8"},
        {{"command", "CIPSTART", "--ip", "10.0.0.1", "--remote-port", "5\r\nAT+RST"},
         "--remote-port takes a port number from 1 to 65535"},
        {{"command", "CIPSTART", "--ip", "10.0.0.1", "--remote-port", "http"},
         "--remote-port takes a port number from 1 to 65535"},
    };
    for (const Case& c : cases) {
        const Ended end = RunToEnd(ESP8266AT_PROGRAM, c.args);
        EXPECT_EQ(end.exitStatus, 64) << c.why;
        EXPECT_NE(end.err.find(c.why), std::string::npos) << end.err;
    }
}

TEST(CliInput, NodeThatIsNoTerminalIsNotASerialDevice)
{
    const Ended end = RunToEnd(ESP8266AT_PROGRAM, {"send", "-p", "/dev/null", "AT"});
    EXPECT_EQ(end.exitStatus, 3);
    EXPECT_NE(end.err.find("not a serial device"), std::string::npos) << end.err;
    EXPECT_EQ(end.err.find("held"), std::string::npos) << end.err;
}

// A raw pseudo-terminal pair: the end a program writes to and the master the test reads.
struct Terminal
{
    Terminal()
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(Master);
        ::unlockpt(Master);
        Slave = ::open(::ptsname(Master), O_RDWR | O_NOCTTY);
        termios raw{};
        ::tcgetattr(Slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(Slave, TCSANOW, &raw);
    }
    ~Terminal()
    {
        ::close(Slave);
        ::close(Master);
    }
    std::string Drain()
    {
        std::string text;
        pollfd p{Master, POLLIN, 0};
        while (::poll(&p, 1, 200) == 1) {
            char buffer[512];
            const ssize_t n = ::read(Master, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, std::size_t(n));
        }
        return text;
    }
    int Master = -1, Slave = -1;
};

TEST(CliInput, ModuleBytesReachATerminalWithTheirControlCharactersReplacedUnlessRaw)
{
    char name[] = "/tmp/cli-terminal-XXXXXX";
    const std::string folder = ::mkdtemp(name);
    ::setenv("ESP8266WIFI_PORTS", folder.c_str(), 1);
    // A module whose answer would retitle the terminal and ring its bell.
    Terminal line;
    std::filesystem::create_symlink(::ptsname(line.Master), folder + "/com1");
    const std::string answer = "AT\r\r\n\x1b]0;owned\x07\tx\r\nOK\r\n";
    std::thread module([&] {
        pollfd p{line.Master, POLLIN, 0};
        for (int runs = 0; runs < 3 && ::poll(&p, 1, 10'000) == 1; ++runs) {
            char buffer[64];
            if (::read(line.Master, buffer, sizeof buffer) <= 0) break;
            [[maybe_unused]] ssize_t w = ::write(line.Master, answer.data(), answer.size());
        }
    });
    const auto runOnTerminal = [](const std::vector<std::string>& args) {
        Terminal screen;
        Program at(ESP8266AT_PROGRAM, args, {}, screen.Slave);
        const Ended end = at.Wait();
        EXPECT_EQ(end.exitStatus, 0) << end.err;
        return screen.Drain();
    };
    const std::string escaped = runOnTerminal({"send", "-p", "COM1", "AT"});
    EXPECT_EQ(escaped.find('\x1b'), std::string::npos) << escaped;
    EXPECT_EQ(escaped.find('\x07'), std::string::npos) << escaped;
    EXPECT_NE(escaped.find("\xEF\xBF\xBD]0;owned\xEF\xBF\xBD\tx\r\nOK\r\n"), std::string::npos)
        << escaped;
    const std::string raw = runOnTerminal({"send", "--raw", "-p", "COM1", "AT"});
    EXPECT_NE(raw.find("\x1b]0;owned\x07\tx"), std::string::npos) << raw;
    // A pipe gets the bytes as received.
    const Ended piped = RunToEnd(ESP8266AT_PROGRAM, {"send", "-p", "COM1", "AT"});
    EXPECT_NE(piped.out.find("\x1b]0;owned\x07"), std::string::npos) << piped.out;
    module.join();
    std::filesystem::remove_all(folder);
    ::unsetenv("ESP8266WIFI_PORTS");
}

} // namespace
