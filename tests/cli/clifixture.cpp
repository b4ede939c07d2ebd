#include "clifixture.h"

#include "serial/portnames.h"

#include <QJsonDocument>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace clitest {

QList<QJsonObject> RunResult::JsonLines() const
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : QByteArray::fromStdString(out).split('\n')) {
        if (line.isEmpty()) continue;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_TRUE(doc.isObject()) << line.toStdString();
        objects.append(doc.object());
    }
    return objects;
}

TcpServer::TcpServer()
{
    Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (Listener < 0 || ::bind(Listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(Listener, 16) != 0 ||
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ADD_FAILURE() << "no local TCP server: " << std::strerror(errno);
    Port = ntohs(address.sin_port);
}

TcpServer::~TcpServer()
{
    for (int fd : Accepted)
        ::close(fd);
    if (Listener >= 0) ::close(Listener);
}

int TcpServer::Accept(int timeoutMs)
{
    pollfd p{Listener, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return -1;
    const int fd = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) Accepted.push_back(fd);
    return fd;
}

SilentTerminal::SilentTerminal()
{
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
        return;
    }
    Path = ::ptsname(Master);
}

SilentTerminal::~SilentTerminal()
{
    if (Master >= 0) ::close(Master);
}

std::string SilentTerminal::Drain(int timeoutMs)
{
    std::string bytes;
    pollfd p{Master, POLLIN, 0};
    while (::poll(&p, 1, bytes.empty() ? timeoutMs : 50) == 1) {
        char buffer[256];
        const ssize_t n = ::read(Master, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.append(buffer, std::size_t(n));
    }
    return bytes;
}

CliTest::CliTest()
{
    char name[] = "/tmp/esp8266at-test-XXXXXX";
    AliasFolder = ::mkdtemp(name);
    // The machine's own serial ports stay out of "-p all" and the search for the one port:
    // the suite's device guard switches the COMn table off (ESP8266WIFI_ALIASES_ONLY).
    ::setenv("ESP8266WIFI_PORTS", AliasFolder.c_str(), 1);
}

std::string CliTest::AliasPath(unsigned com) const
{
    return (fs::path(AliasFolder) / ("com" + std::to_string(com))).string();
}

CliTest::~CliTest()
{
    Modules.clear();
    for (pid_t pid : Held) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(AliasFolder, ec);
}

esp8266sim::ModuleOptions CliTest::Fast()
{
    esp8266sim::ModuleOptions options;
    options.joinDelayMs = 100;
    options.resetDelayMs = 100;
    return options;
}

esp8266sim::SimulatedModule& CliTest::StartModule(unsigned com, esp8266sim::ModuleOptions options)
{
    esp8266sim::SimulatedModule::Options start;
    start.module = std::move(options);
    start.com = com;
    start.aliasFolder = AliasFolder;
    std::string error;
    auto module = esp8266sim::SimulatedModule::start(start, &error);
    if (!module) throw std::runtime_error("no simulated module: " + error);
    Modules.push_back(std::move(module));
    return *Modules.back();
}

esp8266sim::SimulatedModule& CliTest::StartModuleWithNetwork(unsigned com, const std::string& ssid,
                                                             const std::string& password)
{
    auto options = Fast();
    esp8266sim::AccessPoint network;
    network.ssid = ssid;
    network.password = password;
    options.accessPoints = {network};
    return StartModule(com, options);
}

void CliTest::Alias(unsigned com, const std::string& device)
{
    std::error_code ec;
    fs::remove(AliasPath(com), ec);
    fs::create_symlink(device, AliasPath(com));
}

pid_t CliTest::Hold(const std::string& device)
{
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only the device: the masters of the simulated lines would make it their far end.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != ready[1]) ::close(fd);
        ::prctl(PR_SET_NAME, "cli-holder");
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    EXPECT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_TRUE(ok) << "the holder could not open and lock " << device;
    ::close(ready[0]);
    Held.push_back(pid);
    return pid;
}

RunResult CliTest::Run(const QStringList& arguments, int killAfterMs)
{
    std::vector<std::string> args{ESP8266AT_PROGRAM};
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The environment as it is, with our alias folder.
    std::vector<std::string> env{"ESP8266WIFI_PORTS=" + AliasFolder};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "ESP8266WIFI_PORTS=", 18) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    RunResult result;
    const auto started = Clock::now();
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot run " << argv[0] << ": " << std::strerror(spawned);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }
    const auto deadline = started + std::chrono::milliseconds(killAfterMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    bool killed = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (::poll(fds, 2, int(left.count())) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, std::size_t(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0) ::close(p.fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    result.exitStatus = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_FALSE(killed) << "esp8266at did not end within " << killAfterMs << " ms";
    return result;
}

} // namespace clitest
