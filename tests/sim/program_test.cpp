// The module on a real pseudo-terminal: the esp8266-sim program and the in-process runner.
#include "simulatedmodule.h"

#include "serial/portinfo.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

using namespace esp8266sim;
namespace fs = std::filesystem;

namespace {

// A fresh alias folder, removed with everything in it afterwards.
struct TemporaryFolder
{
    TemporaryFolder()
    {
        char name[] = "/tmp/esp8266sim-test-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~TemporaryFolder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

// Kills the program if a failed assertion leaves it running, so that no stray process holds
// the test's output open.
struct ChildGuard
{
    ~ChildGuard()
    {
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = 0;
};

// Opens a device the way a serial port does: raw, at the given rate.
int openRaw(const std::string& device, int baud = 115200)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fd;
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, SpeedFromBaud(baud));
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

void setBaud(int fd, int baud)
{
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfsetspeed(&settings, SpeedFromBaud(baud));
    ::tcsetattr(fd, TCSANOW, &settings);
}

// Reads until `expected` bytes have come or two seconds have passed.
std::string readBytes(int fd, std::size_t expected)
{
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (data.size() < expected && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) != 1) continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, expected - data.size()));
        if (n > 0) data.append(buffer, std::size_t(n));
    }
    return data;
}

// Sends a command and reads as many bytes as the expected answer has.
std::string ask(int fd, std::string_view command, const std::string& expected)
{
    EXPECT_EQ(::write(fd, command.data(), command.size()), ssize_t(command.size()));
    return readBytes(fd, expected.size());
}

#define EXPECT_ANSWER(fd, command, answer) EXPECT_EQ(ask(fd, command, answer), answer)

// Processor time a process has used so far, in clock ticks (user and system).
long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

} // namespace

TEST(SimulatorProgram, AnnouncesRegistersAnswersAndUnregisters)
{
    TemporaryFolder folder;
    const std::string aliasFolder = folder.path + "/ports"; // created by the program
    ::setenv("ESP8266WIFI_PORTS", aliasFolder.c_str(), 1);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char program[] = ESP8266_SIM_PROGRAM;
    char com[] = "--com";
    char seven[] = "7";
    char* argv[] = {program, com, seven, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program, &actions, nullptr, argv, environ), 0);
    ChildGuard guard{pid};
    posix_spawn_file_actions_destroy(&actions);
    ::unsetenv("ESP8266WIFI_PORTS");
    ::close(out[1]);

    std::string line;
    while (line.empty() || line.back() != '\n') {
        const std::string piece = readBytes(out[0], 1);
        if (piece.empty()) break;
        line += piece;
    }
    ::close(out[0]);
    const std::string alias = aliasFolder + "/com7";
    ASSERT_TRUE(fs::is_symlink(alias)) << line;
    const std::string device = fs::read_symlink(alias).string();
    EXPECT_EQ(line, "COM7 -> " + device + "\n");

    // The simulator holds only its own side of the terminal: the port is free for a client.
    const serial::PortCandidate port = serial::InspectDevice(alias);
    EXPECT_TRUE(port.Openable) << port.Reason;

    int fd = openRaw(alias);
    ASSERT_GE(fd, 0);
    EXPECT_ANSWER(fd, "AT\r\n", "AT\r\r\n\r\nOK\r\n");
    // A client that closes and opens the port again finds the module still there; meanwhile
    // the module waits for it without spinning on the hung-up terminal.
    ::close(fd);
#ifdef __linux__
    const long before = cpuTicks(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(cpuTicks(pid) - before, 3);
#endif
    fd = openRaw(alias);
    ASSERT_GE(fd, 0);
    EXPECT_ANSWER(fd, "AT+CIPMUX?\r\n", "AT+CIPMUX?\r\r\n+CIPMUX:0\r\n\r\nOK\r\n");
    ::close(fd);

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    guard.pid = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(fs::symlink_status(alias)));
}

TEST(SimulatorProgram, RefusesBadArguments)
{
    for (const char* arguments : {"", "--com 0", "--com 3 --baud 12345", "--com 3 --parity mark",
                                  "--com 3 --bogus 1", "--com"}) {
        const std::string command =
            std::string(ESP8266_SIM_PROGRAM) + " " + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << arguments;
    }
}

TEST(InProcessModule, ServesAPseudoTerminalAndGarblesAtTheWrongRate)
{
    TemporaryFolder folder;
    SimulatedModule::Options options;
    options.module.joinDelayMs = 200;
    options.com = 12;
    options.aliasFolder = folder.path;
    std::string error;
    auto simulated = SimulatedModule::start(options, &error);
    ASSERT_TRUE(simulated) << error;
    const std::string alias = folder.path + "/com12";
    ASSERT_EQ(fs::read_symlink(alias).string(), simulated->slavePath());

    const int fd = openRaw(simulated->slavePath());
    ASSERT_GE(fd, 0);
    const std::string join = "AT+CWJAP=\"esp-test\",\"password123\"\r\n";
    const std::string echo = join.substr(0, join.size() - 2) + "\r\r\n";
    EXPECT_ANSWER(fd, join, echo);
    // The port changes its rate while the module is still joining: the verdict is noise.
    setBaud(fd, 9600);
    const std::string first = ReceiveThroughMismatchedLine("WIFI CONNECTED\r\n", {115200}, {9600});
    const std::string second =
        ReceiveThroughMismatchedLine("WIFI GOT IP\r\n\r\nOK\r\n", {115200}, {9600});
    EXPECT_EQ(readBytes(fd, first.size() + second.size()), first + second);
    setBaud(fd, 115200);
    const std::string query =
        "AT+CWJAP?\r\r\n+CWJAP:\"esp-test\",\"c8:3a:35:10:20:31\",6,-52\r\n\r\nOK\r\n";
    EXPECT_ANSWER(fd, "AT+CWJAP?\r\n", query);
    ::close(fd);

    simulated->stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(alias)));
}
