#pragma once
// Runs the built esp8266at against simulated modules on pseudo-terminals registered in a
// private port alias folder, a raw terminal that never answers, and a local TCP server.
#include "simulatedmodule.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/types.h>

namespace clitest {

struct RunResult
{
    int exitStatus = -1; // -1 when it had to be killed
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};

    // Each line of standard output parsed as one JSON object.
    QList<QJsonObject> JsonLines() const;
};

// A TCP server on 127.0.0.1 with a port of the system's choosing.
class TcpServer
{
public:
    TcpServer();
    ~TcpServer();
    int port() const { return Port; }
    // Takes the next connection (waits up to timeoutMs); -1 when none came.
    int Accept(int timeoutMs = 2000);

private:
    int Listener = -1;
    int Port = 0;
    std::vector<int> Accepted;
};

// A pseudo-terminal whose other end the test holds and never answers from.
class SilentTerminal
{
public:
    SilentTerminal();
    ~SilentTerminal();
    const std::string& path() const { return Path; }
    // Everything written to the terminal so far (waits up to timeoutMs for the first byte).
    std::string Drain(int timeoutMs = 200);

private:
    int Master = -1;
    std::string Path;
};

class CliTest : public ::testing::Test
{
protected:
    CliTest();
    ~CliTest() override;

    // Starts a simulated module registered as COM<com>; the options may be changed first.
    esp8266sim::SimulatedModule& StartModule(unsigned com,
                                             esp8266sim::ModuleOptions options = Fast());
    // Starts a simulated module whose only network has this name and password.
    esp8266sim::SimulatedModule& StartModuleWithNetwork(unsigned com, const std::string& ssid,
                                                        const std::string& password);
    // Registers any device as COM<com>.
    void Alias(unsigned com, const std::string& device);
    // Runs esp8266at with the arguments; killed after killAfterMs.
    RunResult Run(const QStringList& arguments, int killAfterMs = 60'000);
    // Holds a device open and locked, as another program would: a child process named
    // "cli-holder" (the test program itself serves the simulated modules' lines, which makes
    // it their far end, no rival). Returns the child's PID.
    pid_t Hold(const std::string& device);

    // A module that joins and connects quickly, so that tests do not wait for nothing.
    static esp8266sim::ModuleOptions Fast();

    std::string AliasPath(unsigned com) const;

    std::string AliasFolder;
    std::vector<std::unique_ptr<esp8266sim::SimulatedModule>> Modules;
    std::vector<pid_t> Held;
};

} // namespace clitest
