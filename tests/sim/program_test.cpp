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
#include <vector>

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

// The esp8266-sim program started with the given arguments, its alias in a folder of its own;
// `announced` is the line it printed when ready.
struct RunningProgram
{
    explicit RunningProgram(std::vector<std::string> arguments, unsigned com)
    {
        aliasFolder = folder.path + "/ports"; // created by the program
        alias = aliasFolder + "/com" + std::to_string(com);
        ::setenv("ESP8266WIFI_PORTS", aliasFolder.c_str(), 1);
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        arguments.insert(arguments.begin(), {ESP8266_SIM_PROGRAM, "--com", std::to_string(com)});
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&guard.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            guard.pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::unsetenv("ESP8266WIFI_PORTS");
        ::close(out[1]);
        while (guard.pid > 0 && (announced.empty() || announced.back() != '\n')) {
            const std::string piece = readBytes(out[0], 1);
            if (piece.empty()) break;
            announced += piece;
        }
        ::close(out[0]);
    }
    pid_t pid() const { return guard.pid; }

    TemporaryFolder folder;
    ChildGuard guard;
    std::string aliasFolder;
    std::string alias;
    std::string announced;
};

TEST(SimulatorProgram, AnnouncesRegistersAnswersAndUnregisters)
{
    RunningProgram program({}, 7);
    const pid_t pid = program.pid();
    ASSERT_GT(pid, 0);
    ChildGuard& guard = program.guard;
    const std::string& alias = program.alias;
    ASSERT_TRUE(fs::is_symlink(alias)) << program.announced;
    const std::string device = fs::read_symlink(alias).string();
    EXPECT_EQ(program.announced, "COM7 -> " + device + "\n");

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

TEST(SimulatorProgram, BootsWhenThePortIsOpenedAndSpeaksTheChosenFirmware)
{
    RunningProgram program({"--boot-on-open", "--reset-delay-ms", "150", "--firmware", "2", "--mac",
                            "5c:cf:7f:0a:0b:0c"},
                           9);
    ASSERT_TRUE(fs::is_symlink(program.alias)) << program.announced;
    const int fd = openRaw(program.alias);
    ASSERT_GE(fd, 0);
    // The boot report at 74880 bit/s reads as noise at 115200; what is typed meanwhile is lost.
    const std::string ready = "\r\nready\r\n";
    ASSERT_EQ(::write(fd, "AT+GMR\r\n", 8), 8);
    std::string boot;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (boot.find(ready) == std::string::npos && std::chrono::steady_clock::now() < deadline)
        boot += readBytes(fd, 1);
    ASSERT_NE(boot.find(ready), std::string::npos);
    EXPECT_GT(boot.size() - ready.size(), 100u);
    EXPECT_EQ(boot.find("ets Jan"), std::string::npos);
    EXPECT_EQ(boot.find("AT+GMR"), std::string::npos) << "the command typed during boot is lost";
    EXPECT_EQ(boot.substr(boot.size() - ready.size()), ready);
    const std::string version = "AT+CIPSTAMAC?\r\r\n+CIPSTAMAC:\"5c:cf:7f:0a:0b:0c\"\r\n\r\nOK\r\n";
    EXPECT_ANSWER(fd, "AT+CIPSTAMAC?\r\n", version);
    const std::string gmr = ask(fd, "AT+GMR\r\n", "AT+GMR\r\r\nAT version:2.");
    EXPECT_EQ(gmr, "AT+GMR\r\r\nAT version:2.");
    ::close(fd);
}

TEST(SimulatorProgram, EchoLatencyDelaysEveryAnswer)
{
    RunningProgram program({"--echo-latency-ms", "300"}, 10);
    ASSERT_TRUE(fs::is_symlink(program.alias)) << program.announced;
    const int fd = openRaw(program.alias);
    ASSERT_GE(fd, 0);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_ANSWER(fd, "AT\r\n", "AT\r\r\n\r\nOK\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(300));
    ::close(fd);
}

TEST(SimulatorProgram, RefusesBadArgumentsAndHelpsOnRequest)
{
    for (const char* arguments :
         {"", "--com 0", "--com 3 --baud 12345", "--com 3 --parity mark", "--com 3 --bogus 1",
          "--com", "--com 3 --firmware 3", "--com 3 --mac 18:fe:34:a1:b2",
          "--com 3 --mac "
          "01:fe:34:a1:b2:c3",
          "--com 3 --echo-latency-ms -1"}) {
        const std::string command =
            std::string(ESP8266_SIM_PROGRAM) + " " + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << arguments;
    }
    // --help wins over everything else and goes to standard output.
    const std::string command = std::string(ESP8266_SIM_PROGRAM) + " --bogus --help 2>/dev/null";
    FILE* help = ::popen(command.c_str(), "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char buffer[512];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, help))
        text.append(buffer, n);
    const int status = ::pclose(help);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(text.rfind("usage: esp8266-sim --com N", 0), 0u) << text;
    for (const char* option : {"--firmware", "--ok-before-ip", "--boot-on-open", "--reset-after-ms",
                               "--echo-latency-ms", "--mac", "--join-delay-ms"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
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
    const std::string verdict = ReceiveThroughMismatchedLine(
        "WIFI CONNECTED\r\nWIFI GOT IP\r\n\r\nOK\r\n", {115200}, {9600});
    EXPECT_EQ(readBytes(fd, verdict.size()), verdict);
    setBaud(fd, 115200);
    const std::string query =
        "AT+CWJAP?\r\r\n+CWJAP:\"esp-test\",\"c8:3a:35:10:20:31\",6,-52\r\n\r\nOK\r\n";
    EXPECT_ANSWER(fd, "AT+CWJAP?\r\n", query);
    EXPECT_ANSWER(fd, "AT+CIPSTAMAC?\r\n",
                  "AT+CIPSTAMAC?\r\r\n+CIPSTAMAC:\"" + StationMacForPort(12) + "\"\r\n\r\nOK\r\n");

    // A rate command answers at the old rate and moves the module: the port follows it.
    EXPECT_ANSWER(fd, "AT+UART_CUR=9600,8,1,0,0\r\n", "AT+UART_CUR=9600,8,1,0,0\r\r\n\r\nOK\r\n");
    setBaud(fd, 9600);
    EXPECT_ANSWER(fd, "AT\r\n", "AT\r\r\n\r\nOK\r\n");
    EXPECT_EQ(simulated->state().baud, 9600);
    EXPECT_EQ(simulated->state().storedBaud, 115200);
    ::close(fd);

    simulated->stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(alias)));
}
