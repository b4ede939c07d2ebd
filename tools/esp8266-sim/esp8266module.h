#pragma once
// An ESP8266 running AT firmware, as a pure state machine: fed with the bytes that arrive on
// its serial line and with the time, it answers with the bytes it sends back. Its only I/O is
// the injected ModuleNetwork; every delay is a due time that the caller drives.
#include "atcommandline.h"
#include "modulenetwork.h"
#include "uartframing.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace esp8266sim {

struct AccessPoint
{
    std::string ssid;
    std::string password; // empty for an open network
    int encryption = 3;   // 0 open, 2 WPA_PSK, 3 WPA2_PSK, 4 WPA_WPA2_PSK
    int rssi = -52;
    std::string mac;
    int channel = 6;
};

struct ModuleOptions
{
    LineSettings line; // the module's stored UART settings: what it starts and restarts at
    // Which firmware's texts it speaks: 1 the AT 1.x firmware, 2 ESP-AT 2.x, 0 the old 0.9
    // firmware (only where rates are concerned: AT+CIOBAUD instead of AT+UART_CUR/_DEF).
    int firmware = 1;
    bool echo = true; // ATE1 at power-on
    // 0: the realistic join, silence, "WIFI CONNECTED" after joinConnectedMs, "WIFI GOT IP"
    // joinGotIpMs later, then the verdict. > 0: a quick join whose lines all come at
    // joinDelayMs (failures too), for fast tests.
    int joinDelayMs = 0;
    int joinConnectedMs = 2500;
    int joinGotIpMs = 1500;
    bool okBeforeIp = false; // ESP-AT's newer order: "WIFI CONNECTED", OK, then "WIFI GOT IP"
    bool bootOnOpen = false; // each open of the port restarts it, as a board's auto-reset does
    int resetAfterMs = 0;    // > 0: it resets once on its own this long after the first command
    int echoLatencyMs = 0;   // > 0: an adapter that delivers what the module sends this late
    std::string stationMac;  // empty: StationMacForPort(0)
    int scanDelayMs = 1500;  // AT+CWLAP
    int resetDelayMs = 500;  // from a restart to "ready"
    int connectTimeoutMs = 5000;
    int escapeGuardMs = 1000; // silence before "+++" in transparent mode
    int escapeTrailMs = 20;   // silence after it, so that it came alone
    std::vector<AccessPoint> accessPoints = DefaultAccessPoints();
    std::string stationIp = "192.168.4.2";

    // One joinable network "esp-test" (password "password123") and two neighbours.
    static std::vector<AccessPoint> DefaultAccessPoints();
};

// A stable station MAC for a port number, distinct for every number below 65536 (0 gives
// 18:fe:34:a1:b2:c3).
std::string StationMacForPort(unsigned com);
// Whether text is a MAC address written as six pairs of hex digits separated by colons.
bool IsMacAddress(const std::string& text);

// What a test may check about the module from outside: its settings and what it was told.
struct ModuleState
{
    int baud = 0;       // the rate it talks at now
    int storedBaud = 0; // the rate it restarts at
    Parity parity = Parity::None;
    bool echo = true;
    int wifiMode = 1;
    bool joined = false; // associated with an access point
    bool hasIp = false;
    int transferMode = 0;
    int multiplex = 0;
    int restarts = 0; // AT+RST, spontaneous resets and boots on open
    std::string stationMac;
    std::vector<std::string> commands; // every command line it heard, busy ones too (last 1000)
};

class Esp8266Module
{
public:
    // `network` may be null: every AT+CIPSTART then fails as an unreachable host would.
    explicit Esp8266Module(ModuleOptions options, ModuleNetwork* network = nullptr);

    // Settings of the port at the other end of the line; an unknown parity is taken as matching
    // (a pseudo-terminal does not keep its parity flag).
    void setPortLine(int baud, std::optional<Parity> parity = std::nullopt);
    // The port was opened: with bootOnOpen the module restarts (boot report, then "ready").
    void portOpened(std::int64_t nowMs);
    // Bytes that arrived on the serial line at time nowMs.
    void feed(std::string_view bytes, std::int64_t nowMs);
    // Runs whatever has fallen due by nowMs and returns the bytes that reach the port by then,
    // as the port receives them (garbled where its settings differ from those they were sent
    // with).
    std::string poll(std::int64_t nowMs);
    // Earliest time poll() has something to do, if any.
    std::optional<std::int64_t> nextDueMs() const;

    // Reports from the network about the link.
    void linkOpened(bool ok, std::int64_t nowMs);
    void linkData(std::string_view bytes, std::int64_t nowMs);
    void linkClosed(std::int64_t nowMs);

    // State visible for the runner and for tests.
    bool transparent() const { return mode == Mode::Transparent; }
    bool joined() const { return joinedIndex >= 0; }
    bool linkOpen() const { return link == LinkState::Open; }
    bool lineMatches() const;
    const LineSettings& line() const { return moduleLine; }
    ModuleState state() const;

private:
    enum class Mode { Command, Busy, Rebooting, SendData, Transparent };
    enum class LinkState { None, Opening, Open };
    struct Timer
    {
        std::int64_t dueMs;
        std::function<void()> action;
    };
    // Bytes on their way to the port: when they arrive there, and the settings they were sent
    // with.
    struct InFlight
    {
        std::int64_t dueMs;
        LineSettings line;
        std::string bytes;
    };

    void receiveByte(char c, std::int64_t nowMs);
    void receiveTransparent(std::string_view bytes, std::int64_t nowMs);
    void receiveSendData(char c);
    void handleLine(const std::string& line, std::int64_t nowMs);
    void execute(const AtCommandLine& command, std::int64_t nowMs);
    void schedule(std::int64_t dueMs, std::function<void()> action);
    void runDueTimers(std::int64_t nowMs);
    void emit(std::string_view bytes) { emitAt(moduleLine, bytes); }
    void emitAt(const LineSettings& line, std::string_view bytes);
    void ok() { emit("\r\nOK\r\n"); }
    void error() { emit("\r\nERROR\r\n"); }
    // An explanation line that only the 1.x firmware puts before its ERROR.
    void errorSaying(std::string_view oldFirmwareText);
    void finishBusy(std::string_view text);
    void finishOpen(bool ok);
    void flushHeldPluses();
    void dropLink(bool report);
    void restart(std::int64_t nowMs);
    void boot();
    void startJoin(int index, bool answer, std::int64_t nowMs);
    std::string linkPrefix() const;
    bool firmwareTakesBaud(long baud) const;

    void uart(const AtCommandLine& command, bool store);
    void ciobaud(const AtCommandLine& command);
    void cipstamac(const AtCommandLine& command);
    void cwmode(const AtCommandLine& command);
    void cwjap(const AtCommandLine& command, std::int64_t nowMs);
    void cwlap(const AtCommandLine& command, std::int64_t nowMs);
    void cwsap(const AtCommandLine& command);
    void cipstatus();
    void cipstart(const AtCommandLine& command, std::int64_t nowMs);
    void cipsend(const AtCommandLine& command, std::int64_t nowMs);
    void cipclose(const AtCommandLine& command);
    void cifsr(const AtCommandLine& command);
    void cipmux(const AtCommandLine& command);
    void cipserver(const AtCommandLine& command);
    void cipmode(const AtCommandLine& command);
    void cipsto(const AtCommandLine& command);

    ModuleOptions options;
    ModuleNetwork* network;
    LineSettings moduleLine; // what it talks at now
    LineSettings storedLine; // what it restarts at (AT+UART_DEF, AT+CIOBAUD)
    int dataBits = 8, stopBits = 1, flowControl = 0; // kept for the queries only
    int storedDataBits = 8, storedStopBits = 1, storedFlowControl = 0;
    LineSettings portLine;
    std::optional<Parity> portParity;
    std::vector<Timer> timers;
    std::deque<InFlight> inFlight;
    std::int64_t clockMs = 0;    // the time of what is happening now, for emitAt()
    std::int64_t wireFreeUs = 0; // when the module's transmitter is done with what it sends
    std::optional<std::int64_t> spontaneousResetMs;
    bool spontaneousResetArmed;
    std::vector<std::string> heard;
    int restarts = 0;

    // Command-line assembly.
    std::string lineBuffer;
    bool lineOverflow = false;
    bool swallowLf = false;

    Mode mode = Mode::Command;
    bool echo;
    std::string stationMac;
    int wifiMode = 1;     // 1 station, 2 access point, 3 both
    int joinedIndex = -1; // into options.accessPoints
    bool hasIp = false;
    std::uint64_t joinGeneration = 0; // a join's timers act only while it is the latest
    int multiplex = 0;                // AT+CIPMUX
    int transferMode = 0;             // AT+CIPMODE
    int serverPort = 0;               // 0 while no server runs
    int serverTimeout = 180;
    std::string softApSsid = "ESP_A1B2C3";
    std::string softApPassword;
    int softApChannel = 1;
    int softApEncryption = 0;

    // The one network link.
    LinkState link = LinkState::None;
    LinkKind linkKind = LinkKind::Tcp;
    std::string linkAddress;
    int linkPort = 0;
    int linkId = 0;
    int localPort = 0;
    int nextLocalPort = 4097;
    std::uint64_t linkGeneration = 0;

    // AT+CIPSEND=<len> data phase.
    std::size_t sendRemaining = 0;
    std::string sendBuffer;

    // Transparent mode and its "+++" escape.
    std::int64_t lastInputMs = 0;
    int heldPluses = 0;
};

} // namespace esp8266sim
