// esp8266at probe and baud on a bench of simulated modules at mixed rates and firmware
// generations, beside a device that answers garbage and a port with nothing behind it.
#include "clifixture.h"

#include <QJsonArray>

#include <fcntl.h>
#include <termios.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>

namespace clitest {
namespace {

// A pseudo-terminal whose far end answers whatever it is sent with bytes that are no AT
// answer at any rate.
class GarbageTerminal
{
public:
    GarbageTerminal()
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        Path = ::ptsname(Master);
        Worker = std::thread([this] {
            while (!Stop) {
                pollfd p{Master, POLLIN, 0};
                if (::poll(&p, 1, 20) != 1) continue;
                char buffer[256];
                if (::read(Master, buffer, sizeof buffer) <= 0) continue;
                static const char noise[] = "\xfe\x13\x80Z\x00\xe7" "garbage\xff\r\n";
                (void)!::write(Master, noise, sizeof noise - 1);
            }
        });
    }
    ~GarbageTerminal()
    {
        Stop = true;
        if (Worker.joinable()) Worker.join();
        if (Master >= 0) ::close(Master);
    }
    const std::string& path() const { return Path; }

private:
    int Master = -1;
    std::string Path;
    std::atomic<bool> Stop{false};
    std::thread Worker;
};

// What a probe may send: a line end, AT and the read-only queries.
const std::set<std::string> readOnly{"AT", "AT+GMR", "AT+CWMODE?", "AT+CWJAP?", "AT+CIPSTAMAC?",
                                     "AT+CIFSR"};

class ProbeTest : public CliTest
{
protected:
    struct Bench
    {
        int baud;
        int firmware;
    };
    // COM1..COM16 at 9600, 57600, 74880 and 115200 in turn, firmware 1, 2 and 0 in turn.
    void StartBench()
    {
        const int rates[] = {9600, 57600, 74880, 115200};
        for (unsigned com = 1; com <= 16; ++com) {
            auto options = Fast();
            options.line.baud = rates[(com - 1) % 4];
            options.firmware = int(com % 3);
            Setup.push_back({options.line.baud, options.firmware});
            StartModule(com, options);
        }
    }
    // Sets the port's side of every module's terminal to 9600, as a freshly plugged adapter
    // is: the simulator sets its own rate there, which the probe would try first.
    void AsFreshAdapters()
    {
        for (const auto& module : Modules) {
            const int fd = ::open(module->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            ASSERT_GE(fd, 0);
            termios tio{};
            ::tcgetattr(fd, &tio);
            ::cfsetspeed(&tio, B9600);
            ::tcsetattr(fd, TCSANOW, &tio);
            ::close(fd);
        }
    }
    std::vector<Bench> Setup;
};

TEST_F(ProbeTest, SixteenModulesAGarbageDeviceAndAnEmptyPortAtOnce)
{
    StartBench();
    AsFreshAdapters();
    GarbageTerminal garbage;
    Alias(17, garbage.path());
    SilentTerminal silent;
    Alias(18, silent.path());
    std::vector<esp8266sim::ModuleState> before;
    for (const auto& module : Modules)
        before.push_back(module->state());

    const RunResult run = Run({"probe", "--json"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const QList<QJsonObject> ports = run.JsonLines();
    ASSERT_EQ(ports.size(), 18) << run.out;
    std::map<QString, QJsonObject> byPort;
    for (const QJsonObject& port : ports)
        byPort[port["port"].toString()] = port;

    for (unsigned com = 1; com <= 16; ++com) {
        const QJsonObject p = byPort[QStringLiteral("COM%1").arg(com)];
        const esp8266sim::ModuleState after = Modules[com - 1]->state();
        SCOPED_TRACE("COM" + std::to_string(com));
        EXPECT_EQ(p["result"].toString(), "module");
        EXPECT_EQ(p["baud"].toInt(), Setup[com - 1].baud);
        // Found by its search: 9600 first (the port's own rate), then the usual order.
        EXPECT_EQ(p["rates_tried"].toArray().last().toInt(), Setup[com - 1].baud);
        EXPECT_EQ(p["echo"].toBool(), true);
        const QJsonObject firmware = p["firmware"].toObject();
        const int generation = Setup[com - 1].firmware;
        EXPECT_EQ(firmware["generation"].toInt(), generation);
        EXPECT_EQ(firmware["at_version"].toString(),
                  generation == 2 ? "2.2.0.0" : generation == 1 ? "1.2.0.0" : "");
        if (generation == 2) {
            EXPECT_EQ(firmware["bin_version"].toString(), "2.2.0(WROOM-02)");
        }
        if (generation == 1) {
            EXPECT_EQ(firmware["build_date"].toString(), "Dec  2 2016 14:21:16");
        }
        EXPECT_FALSE(firmware["lines"].toArray().isEmpty());
        EXPECT_EQ(p["wifi_mode"].toInt(), after.wifiMode);
        EXPECT_EQ(p["joined"].toBool(), false);
        EXPECT_EQ(p["station_mac"].toString().toStdString(), after.stationMac);
        EXPECT_EQ(p["station_ip"].toString(), "0.0.0.0");

        // Nothing changed in the module, and all it heard at its own rate were queries.
        const esp8266sim::ModuleState& was = before[com - 1];
        EXPECT_EQ(after.baud, was.baud);
        EXPECT_EQ(after.storedBaud, was.storedBaud);
        EXPECT_EQ(after.echo, was.echo);
        EXPECT_EQ(after.wifiMode, was.wifiMode);
        EXPECT_EQ(after.joined, was.joined);
        EXPECT_EQ(after.restarts, was.restarts);
        EXPECT_EQ(after.transferMode, was.transferMode);
        EXPECT_EQ(after.multiplex, was.multiplex);
        for (const std::string& heard : after.commands) {
            if (heard.rfind("AT", 0) == 0) {
                EXPECT_TRUE(readOnly.count(heard)) << heard;
            }
        }
    }
    EXPECT_EQ(byPort["COM17"]["result"].toString(), "not a module");
    EXPECT_FALSE(byPort["COM17"]["heard"].toString().isEmpty());
    EXPECT_EQ(byPort["COM18"]["result"].toString(), "no module");
    EXPECT_EQ(byPort["COM18"]["baud"], QJsonValue(QJsonValue::Null));
    // All ports at once: the empty port's nine silent rates and the modules' answers, not the
    // sum of eighteen ports' searches.
    EXPECT_LT(run.elapsed.count(), 3000);
    std::fprintf(stderr, "probe of 18 ports: %lld ms\n", (long long)run.elapsed.count());
}

TEST_F(ProbeTest, TableAndARateChangeThatTheNextProbeFinds)
{
    auto options = Fast();
    options.firmware = 2;
    StartModule(4, options); // 115200
    RunResult run = Run({"baud", "-p", "COM4", "--to", "9600"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "COM4: 115200 -> 9600 (AT+UART_CUR, until a restart)\n");
    EXPECT_EQ(Modules[0]->state().baud, 9600);
    EXPECT_EQ(Modules[0]->state().storedBaud, 115200);

    run = Run({"probe", "-p", "COM4"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const QStringList lines = QString::fromStdString(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out;
    EXPECT_TRUE(lines[0].startsWith("PORT  DEVICE"));
    EXPECT_TRUE(lines[1].contains(QRegularExpression(" module +9600 +yes +2\\.2\\.0\\.0 ")))
        << run.out;
    // The port was left at the rate the module answered at: the next probe asks there first.
    run = Run({"probe", "-p", "COM4", "--json"});
    ASSERT_EQ(run.JsonLines().size(), 1);
    EXPECT_EQ(run.JsonLines()[0]["rates_tried"].toArray(), QJsonArray{9600});

    // A rate the firmware does not take is refused before anything is sent.
    run = Run({"baud", "-p", "COM4", "--to", "4600000", "--save"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("refused"), std::string::npos) << run.err;
    EXPECT_EQ(Modules[0]->state().baud, 9600);
    EXPECT_EQ(Modules[0]->state().storedBaud, 115200);
}

} // namespace
} // namespace clitest
