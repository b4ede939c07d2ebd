#include "simulatedmodule.h"

#include "serial/portnames.h"
#include "serial/posix/linerate.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif
#include <unistd.h>

namespace esp8266sim {

namespace fs = std::filesystem;

namespace {

// Output the port has not taken yet is bounded like the module's UART buffer: beyond it, bytes
// are lost as they would be on a line nobody reads.
constexpr std::size_t MaxPendingOutput = 1 << 20;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

struct SpeedEntry
{
    int baud;
    speed_t speed;
};

constexpr SpeedEntry Speeds[] = {
    {50, B50},           {75, B75},         {110, B110},         {134, B134},
    {150, B150},         {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600}, {1000000, B1000000}, {1500000, B1500000},
    {2000000, B2000000},
};

void makeRaw(int fd, speed_t speed)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (speed != 0) ::cfsetspeed(&settings, speed);
    ::tcsetattr(fd, TCSANOW, &settings);
}

void closeFd(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

int BaudFromSpeed(unsigned speed)
{
    for (const SpeedEntry& entry : Speeds)
        if (entry.speed == speed) return entry.baud;
    return 0;
}

unsigned SpeedFromBaud(int baud)
{
    for (const SpeedEntry& entry : Speeds)
        if (entry.baud == baud) return entry.speed;
    return 0;
}

// ---- PseudoTerminal -------------------------------------------------------------------------

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(int baud, std::string* error)
{
    std::unique_ptr<PseudoTerminal> terminal(new PseudoTerminal);
    auto fail = [&](const char* what) {
        if (error) *error = systemError(what);
        return nullptr;
    };
    terminal->master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal->master < 0) return fail("posix_openpt");
    if (::grantpt(terminal->master) != 0 || ::unlockpt(terminal->master) != 0)
        return fail("grantpt/unlockpt");
    const char* name = ::ptsname(terminal->master);
    if (!name) return fail("ptsname");
    terminal->path = name;
    ::fcntl(terminal->master, F_SETFD, FD_CLOEXEC);
    ::fcntl(terminal->master, F_SETFL, ::fcntl(terminal->master, F_GETFL) | O_NONBLOCK);
    // The line settings of a pseudo-terminal live on the port's side; the master reads and
    // writes them there.
    makeRaw(terminal->master, SpeedFromBaud(baud));
    // A rate without a speed constant (the boot ROM's 74880) through the free-rate interface.
    if (SpeedFromBaud(baud) == 0) serial::posix::SetLineRate(terminal->master, baud);
#ifdef __linux__
    terminal->openWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (terminal->openWatch >= 0 && ::inotify_add_watch(terminal->openWatch, name, IN_OPEN) < 0)
        closeFd(terminal->openWatch);
#endif
    return terminal;
}

PseudoTerminal::~PseudoTerminal()
{
    closeFd(openWatch);
    closeFd(master);
}

int PseudoTerminal::portBaud() const
{
    // Any rate the port set, 74880 included, where the system can tell it.
    if (const int rate = serial::posix::LineRate(master); rate > 0) return rate;
    termios settings{};
    if (::tcgetattr(master, &settings) != 0) return 0;
    return BaudFromSpeed(::cfgetospeed(&settings));
}

void PseudoTerminal::drainOpens() const
{
    char events[1024];
    while (openWatch >= 0 && ::read(openWatch, events, sizeof events) > 0) {
    }
}

// ---- PortAlias ------------------------------------------------------------------------------

PortAlias::PortAlias(const std::string& folder, unsigned com, const std::string& target,
                     std::string* error)
    : target(target)
{
    std::error_code ec;
    const fs::path link = fs::path(folder) / ("com" + std::to_string(com));
    fs::create_directories(folder, ec);
    if (!ec) {
        fs::remove(link, ec); // a stale alias left by a killed run
        fs::create_symlink(target, link, ec);
    }
    if (ec) {
        if (error) *error = "cannot register " + link.string() + ": " + ec.message();
        return;
    }
    aliasPath = link.string();
}

PortAlias::~PortAlias()
{
    if (aliasPath.empty()) return;
    std::error_code ec;
    if (fs::read_symlink(aliasPath, ec) == fs::path(target) && !ec) fs::remove(aliasPath, ec);
}

// ---- ModuleRunner ---------------------------------------------------------------------------

std::unique_ptr<ModuleRunner> ModuleRunner::Create(const ModuleOptions& options, std::string* error)
{
    std::unique_ptr<ModuleRunner> runner(new ModuleRunner);
    runner->terminal = PseudoTerminal::Open(options.line.baud, error);
    if (!runner->terminal) return nullptr;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error) *error = systemError("pipe");
        return nullptr;
    }
    runner->wakeRead = fds[0];
    runner->wakeWrite = fds[1];
    runner->module = std::make_unique<Esp8266Module>(options, &runner->network);
    return runner;
}

ModuleState ModuleRunner::state() const
{
    std::lock_guard lock(moduleMutex);
    return module->state();
}

ModuleRunner::~ModuleRunner()
{
    closeFd(wakeRead);
    closeFd(wakeWrite);
}

void ModuleRunner::requestStop()
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
}

void ModuleRunner::writePending()
{
    while (!pending.empty()) {
        const ssize_t n = ::write(terminal->masterFd(), pending.data(), pending.size());
        if (n > 0)
            pending.erase(0, std::size_t(n));
        else if (n < 0 && errno == EIO)
            pending.clear(); // nobody has the port open: the bytes are lost, as on a real line
        else if (!(n < 0 && errno == EINTR))
            return; // EAGAIN: the terminal's queue is full; POLLOUT tells when it drains
    }
}

bool ModuleRunner::run()
{
    const int master = terminal->masterFd();
    // Without a way to watch for the next open, a closed port is looked at again this often.
    constexpr int ClosedPortRetryMs = 50;
    bool portClosed = false; // the master hangs up while no client has the port open
    std::unique_lock lock(moduleMutex);
    for (;;) {
        std::int64_t now = nowMs();
        module->setPortLine(terminal->portBaud());
        pending += module->poll(now);
        if (pending.size() > MaxPendingOutput) pending.resize(MaxPendingOutput);
        writePending();

        // Entries with a negative descriptor are skipped by poll().
        pollfd fds[4] = {{portClosed ? -1 : master, POLLIN, 0},
                         {wakeRead, POLLIN, 0},
                         network.pollEntry(),
                         {terminal->openWatchFd(), POLLIN, 0}};
        if (!pending.empty()) fds[0].events |= POLLOUT;
        int timeout = -1;
        if (const auto due = module->nextDueMs()) {
            const std::int64_t wait = std::max<std::int64_t>(0, *due - now);
            timeout = int(std::min<std::int64_t>(wait, 60'000));
        }
        if (portClosed && fds[3].fd < 0 && (timeout < 0 || timeout > ClosedPortRetryMs))
            timeout = ClosedPortRetryMs;
        lock.unlock();
        const int ready = ::poll(fds, 4, timeout);
        lock.lock();
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        now = nowMs();
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead, drain, sizeof drain) > 0) {
            }
            return true;
        }
        // An open comes before what the opener then writes: a module that boots on open loses it.
        const bool opened = fds[3].revents & POLLIN;
        if (opened) {
            terminal->drainOpens();
            module->setPortLine(terminal->portBaud());
            module->portOpened(now);
        }
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                module->setPortLine(terminal->portBaud());
                module->feed(std::string_view(buffer, std::size_t(n)), now);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                return false;
            }
        }
        if (fds[0].revents & POLLOUT) writePending();
        // A hang-up seen first and an open seen after it leave the master worth a look, so an
        // open that comes between poll() and the drain is never missed.
        if (fds[0].revents & (POLLHUP | POLLERR) && !(fds[0].revents & POLLIN))
            portClosed = true;
        else if (portClosed && fds[3].fd < 0)
            portClosed = false; // no watch: look again after the retry time
        if (opened) portClosed = false;
        if (fds[2].fd >= 0 && fds[2].revents) network.handleEvents(fds[2].revents, *module, now);
    }
}

// ---- SimulatedModule ------------------------------------------------------------------------

std::unique_ptr<SimulatedModule> SimulatedModule::start(const Options& options, std::string* error)
{
    std::unique_ptr<SimulatedModule> simulated(new SimulatedModule);
    ModuleOptions module = options.module;
    if (module.stationMac.empty()) module.stationMac = StationMacForPort(options.com);
    simulated->runner = ModuleRunner::Create(module, error);
    if (!simulated->runner) return nullptr;
    if (options.com != 0) {
        const std::string folder =
            options.aliasFolder.empty() ? serial::PortAliasFolder() : options.aliasFolder;
        simulated->alias =
            std::make_unique<PortAlias>(folder, options.com, simulated->runner->slavePath(), error);
        if (simulated->alias->path().empty()) return nullptr;
    }
    ModuleRunner* runner = simulated->runner.get();
    simulated->thread = std::thread([runner] { runner->run(); });
    return simulated;
}

SimulatedModule::~SimulatedModule()
{
    stop();
}

void SimulatedModule::stop()
{
    if (thread.joinable()) {
        runner->requestStop();
        thread.join();
    }
    alias.reset();
}

} // namespace esp8266sim
