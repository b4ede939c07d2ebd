#pragma once
// The module on a pseudo-terminal: one poll() loop over the terminal, the module's network
// link and a wake-up pipe, with the module's own due times as the only time-outs.
#include "esp8266module.h"
#include "posixnetwork.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace esp8266sim {

// A pseudo-terminal whose master side the module talks through. Only the master is held: a
// descriptor of our own on the other side would count as a program holding the port. While no
// client has the port open the master reports a hang-up, so the runner then waits for the
// next open of the port's node instead.
class PseudoTerminal
{
public:
    // Opens the master and sets the port's side raw at the given speed; nullptr (and a message)
    // on failure.
    static std::unique_ptr<PseudoTerminal> Open(int baud, std::string* error);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master; }
    const std::string& slavePath() const { return path; }
    // The speed the port last set on the terminal; 0 when it is not a known rate.
    int portBaud() const;
    // Readable when a client has opened the port's node since the last drainOpens(); -1 where
    // the system cannot watch a node for that.
    int openWatchFd() const { return openWatch; }
    void drainOpens() const;

private:
    PseudoTerminal() = default;
    int master = -1;
    int openWatch = -1;
    std::string path;
};

// The alias com<n> in the port alias folder, a symbolic link to the terminal; removed again
// (only while it still points there) when destroyed.
class PortAlias
{
public:
    // Creates the folder if needed and replaces a stale alias; empty path() on failure.
    PortAlias(const std::string& folder, unsigned com, const std::string& target,
              std::string* error);
    ~PortAlias();
    PortAlias(const PortAlias&) = delete;
    PortAlias& operator=(const PortAlias&) = delete;
    const std::string& path() const { return aliasPath; }

private:
    std::string aliasPath;
    std::string target;
};

// Speed in bit/s for a termios speed constant; 0 for B0 and unknown values.
int BaudFromSpeed(unsigned speed);
// termios speed constant for a rate in bit/s; 0 when the rate has none.
unsigned SpeedFromBaud(int baud);

// Runs the module over a pseudo-terminal in the calling thread until stopped.
class ModuleRunner
{
public:
    static std::unique_ptr<ModuleRunner> Create(const ModuleOptions& options, std::string* error);
    ~ModuleRunner();
    ModuleRunner(const ModuleRunner&) = delete;
    ModuleRunner& operator=(const ModuleRunner&) = delete;

    const std::string& slavePath() const { return terminal->slavePath(); }
    // Serves the line until requestStop(); returns false on an unexpected I/O failure.
    bool run();
    // Safe from any thread and from a signal handler.
    void requestStop();
    // The write end of the wake-up pipe, for a signal handler to write one byte to.
    int wakeFd() const { return wakeWrite; }
    // The module's state as of now; safe from any thread.
    ModuleState state() const;

private:
    ModuleRunner() = default;
    void writePending();

    mutable std::mutex moduleMutex; // the runner's thread and state() share the module

    std::unique_ptr<PseudoTerminal> terminal;
    PosixNetwork network;
    std::unique_ptr<Esp8266Module> module;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::string pending;
};

// The module running in-process on a fresh pseudo-terminal, for integration tests.
class SimulatedModule
{
public:
    struct Options
    {
        ModuleOptions module;
        unsigned com = 0;        // registers com<n> in aliasFolder when not 0; an empty
                                 // module.stationMac then becomes StationMacForPort(com)
        std::string aliasFolder; // empty: the user's port alias folder
    };
    // Starts the runner on a thread of its own; nullptr (and a message) on failure.
    static std::unique_ptr<SimulatedModule> start(const Options& options,
                                                  std::string* error = nullptr);
    ~SimulatedModule();
    const std::string& slavePath() const { return runner->slavePath(); }
    // The module's settings and the commands it heard, for checks after a test.
    ModuleState state() const { return runner->state(); }
    // Ends the thread and removes the alias; also done by the destructor.
    void stop();

private:
    SimulatedModule() = default;
    std::unique_ptr<ModuleRunner> runner;
    std::unique_ptr<PortAlias> alias;
    std::thread thread;
};

} // namespace esp8266sim
