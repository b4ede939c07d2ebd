// esp8266at against a plain threaded pyserial script (bench/pyserial_batch.py), side by side in
// one run: N simulated modules through the README's four commands (ports, send, command,
// connect), each tool on every module at once. Reports wall time and CPU of each tool (its
// processes only; the simulated modules are processes of their own, the same for both), the
// ratio, and how the time grows from N to a larger batch.
//   bench_cli [--modules N] [--rounds R] [--scale M] [--script PATH] [--python PATH]
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Debian's interpreter, which has Debian's pyserial (python3-serial).
std::string Python = "/usr/bin/python3";

// Accepts and drains every connection the modules open, as a server at the far side would.
class Server
{
public:
    Server()
    {
        Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(Listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(Listener, 1024);
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
        Thread = std::thread([this] {
            std::vector<int> open;
            while (!Stop) {
                pollfd p{Listener, POLLIN, 0};
                if (::poll(&p, 1, 50) == 1) {
                    const int fd = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
                    if (fd >= 0) open.push_back(fd);
                }
            }
            for (int fd : open)
                ::close(fd);
        });
    }
    ~Server()
    {
        Stop = true;
        Thread.join();
        ::close(Listener);
    }
    int Port = 0;

private:
    int Listener = -1;
    std::atomic<bool> Stop{false};
    std::thread Thread;
};

struct Cost
{
    double wallS = 0, cpuS = 0;
    bool ok = true;
};

// Runs a program to its end with its output thrown away; its own CPU time comes from wait4.
Cost RunOne(const std::vector<std::string>& args)
{
    std::vector<std::string> text(args);
    std::vector<char*> argv;
    for (std::string& a : text)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string errors = "/tmp/bench-cli-errors." + std::to_string(::getpid());
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const auto start = Clock::now();
    pid_t pid;
    Cost cost;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", argv[0]);
        cost.ok = false;
        return cost;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    cost.wallS = std::chrono::duration<double>(Clock::now() - start).count();
    cost.cpuS = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!cost.ok) {
        std::fprintf(stderr, "%s %s failed (status %d):\n", argv[0], argv[1], status);
        // The last line says why (a traceback ends with its exception).
        if (FILE* text = std::fopen(errors.c_str(), "r")) {
            char line[512], last[512] = "";
            while (std::fgets(line, sizeof line, text))
                if (line[0] != ' ') std::snprintf(last, sizeof last, "%s", line);
            std::fputs(last, stderr);
            std::fclose(text);
        }
    }
    ::unlink(errors.c_str());
    return cost;
}

// The four commands of one tool on a fresh set of modules.
Cost RunTool(bool ours, unsigned modules, const std::string& folder, const std::string& script,
             int serverPort)
{
    // The modules as a user starts them: one simulator process each, registered as com<n>.
    std::vector<pid_t> sims;
    for (unsigned n = 1; n <= modules; ++n) {
        std::vector<std::string> args{SIM_PROGRAM, "--com", std::to_string(n), "--join-delay-ms",
                                      "100"}; // the tools' cost is measured
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid;
        if (::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0) {
            std::fprintf(stderr, "cannot start %s\n", argv[0]);
            std::exit(1);
        }
        posix_spawn_file_actions_destroy(&quiet);
        sims.push_back(pid);
    }
    for (unsigned n = 1; n <= modules; ++n)
        for (int i = 0; i < 1000 && !fs::exists(folder + "/com" + std::to_string(n)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string at = ESP8266AT_PROGRAM;
    const std::string server = "127.0.0.1:" + std::to_string(serverPort);
    std::vector<std::vector<std::string>> runs;
    if (ours)
        runs = {{at, "ports"},
                {at, "send", "-p", "all", "AT"},
                {at, "command", "-p", "all", "CWMODE", "2"},
                {at, "connect", "-p", "all", "--ssid", "esp-test", "--password", "password123",
                 "--server", server}};
    else
        runs = {{Python, script, folder, "ports"},
                {Python, script, folder, "send"},
                {Python, script, folder, "command"},
                {Python, script, folder, "connect", server}};
    Cost total;
    for (const auto& run : runs) {
        const Cost one = RunOne(run);
        if (std::getenv("BENCH_CLI_STEPS"))
            std::fprintf(stderr, "  %-10s %-8s %6.3f s wall %6.3f s CPU%s\n",
                         ours ? "esp8266at" : "pyserial", run[ours ? 1 : 3].c_str(), one.wallS,
                         one.cpuS, one.ok ? "" : " (failed)");
        total.wallS += one.wallS;
        total.cpuS += one.cpuS;
        total.ok = total.ok && one.ok;
    }
    for (pid_t pid : sims)
        ::kill(pid, SIGTERM);
    for (pid_t pid : sims)
        ::waitpid(pid, nullptr, 0);
    return total;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Figures
{
    double atWall, atCpu, pyWall, pyCpu;
    bool ok;
};

Figures Compare(unsigned modules, int rounds, const std::string& folder, const std::string& script,
                int serverPort)
{
    std::vector<double> atWall, atCpu, pyWall, pyCpu;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        // Side by side: the tools take turns, so a busy moment of the machine meets both.
        for (bool ours : {r % 2 == 0, r % 2 != 0}) {
            const Cost c = RunTool(ours, modules, folder, script, serverPort);
            ok = ok && c.ok;
            (ours ? atWall : pyWall).push_back(c.wallS);
            (ours ? atCpu : pyCpu).push_back(c.cpuS);
        }
    }
    return {Median(atWall), Median(atCpu), Median(pyWall), Median(pyCpu), ok};
}

void Print(unsigned modules, const Figures& f)
{
    std::printf("%4u modules  esp8266at %6.2f s wall %6.2f s CPU   pyserial %6.2f s wall %6.2f s "
                "CPU   ratio wall %.2fx CPU %.2fx%s\n",
                modules, f.atWall, f.atCpu, f.pyWall, f.pyCpu, f.atWall / f.pyWall,
                f.atCpu / f.pyCpu, f.ok ? "" : "  (a run failed)");
}

} // namespace

int main(int argc, char** argv)
{
    unsigned modules = 64, scale = 256;
    int rounds = 3;
    std::string script = BENCH_SOURCE_DIR "/pyserial_batch.py";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--modules")
            modules = unsigned(std::atoi(argv[i + 1]));
        else if (option == "--rounds")
            rounds = std::atoi(argv[i + 1]);
        else if (option == "--scale")
            scale = unsigned(std::atoi(argv[i + 1]));
        else if (option == "--script")
            script = argv[i + 1];
        else if (option == "--python")
            Python = argv[i + 1];
    }
    // More descriptors than the default allows: every module is a pseudo-terminal.
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    char name[] = "/tmp/bench-cli-XXXXXX";
    const std::string folder = ::mkdtemp(name);
    ::setenv("ESP8266WIFI_PORTS", folder.c_str(), 1);
    ::setenv("ESP8266WIFI_ALIASES_ONLY", "1", 1); // the machine's own ports stay out
    Server server;

    const Figures base = Compare(modules, rounds, folder, script, server.Port);
    Print(modules, base);
    std::printf("goal: esp8266at at most 1.10x the script's wall time: %s\n",
                base.atWall <= 1.10 * base.pyWall ? "met" : "MISSED");
    int status = base.ok ? 0 : 1;
    if (scale > modules) {
        const Figures big = Compare(scale, 1, folder, script, server.Port);
        Print(scale, big);
        const double growth = big.atWall / base.atWall, size = double(scale) / modules;
        std::printf("growth from %u to %u modules: esp8266at %.2fx, pyserial %.2fx (modules "
                    "%.2fx): %s\n",
                    modules, scale, growth, big.pyWall / base.pyWall, size,
                    growth <= size ? "no faster than the modules" : "FASTER than the modules");
        status = status || !big.ok;
    }
    fs::remove_all(folder);
    return status;
}
