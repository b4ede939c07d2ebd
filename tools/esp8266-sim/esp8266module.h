#pragma once
// An ESP8266 running AT firmware, as a pure state machine: fed with the bytes that arrive on
// its serial line and with the time, it answers with the bytes it sends back. Its only I/O is
// the injected ModuleNetwork; every delay is a due time that the caller drives.
#include "atcommandline.h"
#include "modulenetwork.h"
#include "uartframing.h"

#include <cstdint>
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
    LineSettings line;      // the module's own UART settings
    bool echo = true;       // ATE1 at power-on
    int joinDelayMs = 2000; // from AT+CWJAP= to its verdict
    int scanDelayMs = 1500; // AT+CWLAP
    int resetDelayMs = 500; // from AT+RST to "ready"
    int connectTimeoutMs = 5000;
    int escapeGuardMs = 1000; // silence before "+++" in transparent mode
    int escapeTrailMs = 20;   // silence after it, so that it came alone
    std::vector<AccessPoint> accessPoints = DefaultAccessPoints();
    std::string stationIp = "192.168.4.2";

    // One joinable network "esp-test" (password "password123") and two neighbours.
    static std::vector<AccessPoint> DefaultAccessPoints();
};

class Esp8266Module
{
public:
    // `network` may be null: every AT+CIPSTART then fails as an unreachable host would.
    explicit Esp8266Module(ModuleOptions options, ModuleNetwork* network = nullptr);

    // Settings of the port at the other end of the line; an unknown parity is taken as matching
    // (a pseudo-terminal does not keep its parity flag).
    void setPortLine(int baud, std::optional<Parity> parity = std::nullopt);
    // Bytes that arrived on the serial line at time nowMs.
    void feed(std::string_view bytes, std::int64_t nowMs);
    // Runs whatever has fallen due by nowMs and returns the bytes to send on the serial line, as
    // the port will receive them (garbled when its settings differ from the module's).
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

private:
    enum class Mode { Command, Busy, Rebooting, SendData, Transparent };
    enum class LinkState { None, Opening, Open };
    struct Timer
    {
        std::int64_t dueMs;
        std::function<void()> action;
    };

    void receiveByte(char c, std::int64_t nowMs);
    void receiveTransparent(std::string_view bytes, std::int64_t nowMs);
    void receiveSendData(char c);
    void handleLine(const std::string& line, std::int64_t nowMs);
    void execute(const AtCommandLine& command, std::int64_t nowMs);
    void schedule(std::int64_t dueMs, std::function<void()> action);
    void runDueTimers(std::int64_t nowMs);
    void emit(std::string_view bytes) { output += bytes; }
    void ok() { emit("\r\nOK\r\n"); }
    void error() { emit("\r\nERROR\r\n"); }
    void finishBusy(std::string_view text);
    void finishOpen(bool ok);
    void flushHeldPluses();
    void dropLink(bool report);
    void boot();
    std::string linkPrefix() const;

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
    LineSettings portLine;
    std::optional<Parity> portParity;
    std::string output;
    std::vector<Timer> timers;

    // Command-line assembly.
    std::string lineBuffer;
    bool lineOverflow = false;
    bool swallowLf = false;

    Mode mode = Mode::Command;
    bool echo;
    int wifiMode = 1;     // 1 station, 2 access point, 3 both
    int joinedIndex = -1; // into options.accessPoints
    int multiplex = 0;    // AT+CIPMUX
    int transferMode = 0; // AT+CIPMODE
    int serverPort = 0;   // 0 while no server runs
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
