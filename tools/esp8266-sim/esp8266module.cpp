#include "esp8266module.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace esp8266sim {

namespace {

constexpr std::size_t MaxLineLength = 1024;
constexpr long MaxSendLength = 2048;
constexpr std::size_t MaxIpdLength = 1460; // one TCP segment per "+IPD"
constexpr std::size_t MaxHeardCommands = 1000;
constexpr const char* SoftApIp = "192.168.4.1";

// What the boot ROM prints at 74880 bit/s before the firmware takes over.
constexpr std::string_view BootRomText =
    " ets Jan  8 2013,rst cause:2, boot mode:(3,6)\r\n\r\n"
    "load 0x40100000, len 2408, room 16 \r\ntail 8\r\nchksum 0xe5\r\n"
    "load 0x3ffe8000, len 776, room 0 \r\ntail 8\r\nchksum 0x84\r\n"
    "load 0x3ffe8310, len 632, room 0 \r\ntail 8\r\nchksum 0xd8\r\ncsum 0xd8\r\n\r\n"
    "2nd boot version : 1.6\r\n  SPI Speed      : 40MHz\r\n  SPI Mode       : DIO\r\n"
    "  SPI Flash Size & Map: 8Mbit(512KB+512KB)\r\njump to run user1 @ 1000\r\n\r\n";
constexpr int BootRomBaud = 74880;
constexpr int UartClockHz = 80'000'000; // the UART divides this clock, so rates come out near

bool isIpv4(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

const char* kindName(LinkKind kind)
{
    return kind == LinkKind::Udp ? "UDP" : "TCP";
}

// The access point's MAC is the station's with the locally administered bit set.
std::string softApMacFor(const std::string& stationMac)
{
    const unsigned first =
        (unsigned(std::stoul(stationMac.substr(0, 2), nullptr, 16)) | 0x02u) & 0xffu;
    char octet[8];
    std::snprintf(octet, sizeof octet, "%02x", first);
    return octet + stationMac.substr(2);
}

int parityNumber(Parity parity)
{
    return parity == Parity::Odd ? 1 : parity == Parity::Even ? 2 : 0;
}

} // namespace

std::string StationMacForPort(unsigned com)
{
    const unsigned low = (0xb2c3u + com) & 0xffffu;
    char mac[18];
    std::snprintf(mac, sizeof mac, "18:fe:34:a1:%02x:%02x", low >> 8, low & 0xffu);
    return mac;
}

bool IsMacAddress(const std::string& text)
{
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool colon = i % 3 == 2;
        if (colon ? text[i] != ':' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

std::vector<AccessPoint> ModuleOptions::DefaultAccessPoints()
{
    return {
        {"esp-test", "password123", 3, -52, "c8:3a:35:10:20:31", 6},
        {"office-guest", "", 0, -71, "b0:48:7a:44:19:02", 1},
        {"neighbour-5F", "k8#pQ2!zz", 4, -86, "74:da:38:5e:0c:9d", 11},
    };
}

Esp8266Module::Esp8266Module(ModuleOptions options, ModuleNetwork* network)
    : options(std::move(options)), network(network), echo(this->options.echo)
{
    moduleLine = storedLine = portLine = this->options.line;
    stationMac = this->options.stationMac.empty() ? StationMacForPort(0) : this->options.stationMac;
    spontaneousResetArmed = this->options.resetAfterMs > 0;
}

void Esp8266Module::setPortLine(int baud, std::optional<Parity> parity)
{
    portLine.baud = baud;
    portParity = parity;
}

bool Esp8266Module::lineMatches() const
{
    return portLine.baud == moduleLine.baud &&
           portParity.value_or(moduleLine.parity) == moduleLine.parity;
}

ModuleState Esp8266Module::state() const
{
    ModuleState state;
    state.baud = moduleLine.baud;
    state.storedBaud = storedLine.baud;
    state.parity = moduleLine.parity;
    state.echo = echo;
    state.wifiMode = wifiMode;
    state.joined = joined();
    state.hasIp = hasIp;
    state.transferMode = transferMode;
    state.multiplex = multiplex;
    state.restarts = restarts;
    state.stationMac = stationMac;
    state.commands = heard;
    return state;
}

void Esp8266Module::portOpened(std::int64_t nowMs)
{
    runDueTimers(nowMs);
    if (options.bootOnOpen) restart(nowMs);
}

void Esp8266Module::feed(std::string_view bytes, std::int64_t nowMs)
{
    runDueTimers(nowMs);
    if (!lineMatches()) return; // framing errors only: nothing the firmware can read
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (mode == Mode::Transparent && !swallowLf) {
            receiveTransparent(bytes.substr(i), nowMs);
            return;
        }
        receiveByte(bytes[i], nowMs);
    }
}

std::string Esp8266Module::poll(std::int64_t nowMs)
{
    runDueTimers(nowMs);
    std::string bytes;
    while (!inFlight.empty() && inFlight.front().dueMs <= nowMs) {
        const InFlight& piece = inFlight.front();
        const LineSettings receiver{portLine.baud, portParity.value_or(piece.line.parity)};
        bytes += ReceiveThroughMismatchedLine(piece.bytes, piece.line, receiver);
        inFlight.pop_front();
    }
    return bytes;
}

std::optional<std::int64_t> Esp8266Module::nextDueMs() const
{
    std::optional<std::int64_t> due = spontaneousResetMs;
    auto consider = [&due](std::int64_t ms) {
        if (!due || ms < *due) due = ms;
    };
    for (const Timer& timer : timers)
        consider(timer.dueMs);
    if (heldPluses > 0) consider(lastInputMs + options.escapeTrailMs);
    if (!inFlight.empty()) consider(inFlight.front().dueMs);
    return due;
}

void Esp8266Module::emitAt(const LineSettings& line, std::string_view bytes)
{
    auto append = [&](std::int64_t dueMs, std::string_view piece) {
        if (!inFlight.empty() && inFlight.back().dueMs == dueMs && inFlight.back().line == line)
            inFlight.back().bytes += piece;
        else
            inFlight.push_back({dueMs, line, std::string(piece)});
    };
    if (options.echoLatencyMs <= 0) {
        append(clockMs, bytes);
        return;
    }
    // Through an adapter each byte arrives once the UART has sent it (at the module's rate,
    // one byte after the other) and the adapter's latency has passed: late, and in pieces.
    const std::int64_t frameUs = std::max<std::int64_t>(
        1, (line.parity == Parity::None ? 10 : 11) * 1'000'000LL / std::max(1, line.baud));
    wireFreeUs = std::max(wireFreeUs, clockMs * 1000);
    for (char c : bytes) {
        wireFreeUs += frameUs;
        append((wireFreeUs + 999) / 1000 + options.echoLatencyMs, std::string_view(&c, 1));
    }
}

void Esp8266Module::schedule(std::int64_t dueMs, std::function<void()> action)
{
    timers.push_back({dueMs, std::move(action)});
}

void Esp8266Module::runDueTimers(std::int64_t nowMs)
{
    for (;;) {
        auto next =
            std::min_element(timers.begin(), timers.end(),
                             [](const Timer& a, const Timer& b) { return a.dueMs < b.dueMs; });
        const bool timerDue = next != timers.end() && next->dueMs <= nowMs;
        if (spontaneousResetMs && *spontaneousResetMs <= nowMs &&
            (!timerDue || *spontaneousResetMs <= next->dueMs)) {
            clockMs = std::max(clockMs, *spontaneousResetMs);
            spontaneousResetMs.reset();
            restart(clockMs);
            continue;
        }
        if (!timerDue) break;
        clockMs = std::max(clockMs, next->dueMs); // what the action sends goes out when due
        auto action = std::move(next->action);
        timers.erase(next);
        action();
    }
    clockMs = std::max(clockMs, nowMs);
    if (heldPluses > 0 && nowMs >= lastInputMs + options.escapeTrailMs) {
        if (heldPluses == 3) {
            heldPluses = 0;
            mode = Mode::Command; // the link stays open
        } else {
            flushHeldPluses();
        }
    }
}

// ---- serial input -------------------------------------------------------------------------

void Esp8266Module::receiveByte(char c, std::int64_t nowMs)
{
    if (swallowLf) {
        swallowLf = false;
        if (c == '\n') return;
    }
    switch (mode) {
    case Mode::Rebooting:
        return;
    case Mode::SendData:
        receiveSendData(c);
        return;
    case Mode::Transparent:
        receiveTransparent(std::string_view(&c, 1), nowMs);
        return;
    case Mode::Command:
    case Mode::Busy:
        break;
    }
    if (c != '\r' && c != '\n') {
        if (lineBuffer.size() < MaxLineLength)
            lineBuffer += c;
        else
            lineOverflow = true;
        return;
    }
    swallowLf = c == '\r';
    std::string line;
    line.swap(lineBuffer);
    const bool overflow = lineOverflow;
    lineOverflow = false;
    if (line.empty() && !overflow) return;
    if (heard.size() == MaxHeardCommands) heard.erase(heard.begin());
    heard.push_back(line);
    if (spontaneousResetArmed) {
        spontaneousResetArmed = false;
        spontaneousResetMs = nowMs + options.resetAfterMs;
    }
    if (echo) emit(line + "\r\r\n");
    if (mode == Mode::Busy) {
        // Not accepted: the command in progress keeps its own answer for later.
        emit("busy p...\r\n");
        return;
    }
    if (overflow)
        error();
    else
        handleLine(line, nowMs);
}

void Esp8266Module::receiveSendData(char c)
{
    sendBuffer += c;
    if (--sendRemaining > 0) return;
    mode = Mode::Command;
    const std::size_t length = sendBuffer.size();
    const bool sent = link == LinkState::Open && network && network->send(sendBuffer);
    sendBuffer.clear();
    emit("\r\nRecv " + std::to_string(length) + " bytes\r\n");
    emit(sent ? "\r\nSEND OK\r\n" : "\r\nSEND FAIL\r\n");
}

void Esp8266Module::receiveTransparent(std::string_view bytes, std::int64_t nowMs)
{
    std::string forward;
    for (char c : bytes) {
        const bool quietBefore = nowMs - lastInputMs >= options.escapeGuardMs;
        if (c == '+' && ((heldPluses == 0 && quietBefore) || (heldPluses > 0 && heldPluses < 3))) {
            ++heldPluses;
        } else {
            forward.append(std::size_t(heldPluses), '+');
            heldPluses = 0;
            forward += c;
        }
        lastInputMs = nowMs;
    }
    if (!forward.empty() && network) network->send(forward);
}

void Esp8266Module::flushHeldPluses()
{
    if (heldPluses > 0 && network && link == LinkState::Open)
        network->send(std::string(std::size_t(heldPluses), '+'));
    heldPluses = 0;
}

// ---- commands -------------------------------------------------------------------------------

void Esp8266Module::handleLine(const std::string& line, std::int64_t nowMs)
{
    const auto command = ParseAtCommandLine(line);
    if (!command) {
        error();
        return;
    }
    execute(*command, nowMs);
}

void Esp8266Module::execute(const AtCommandLine& command, std::int64_t nowMs)
{
    const std::string& name = command.name;
    const bool plain = command.form == CommandForm::Execute;
    if (name == "AT" && plain) {
        ok();
    } else if ((name == "ATE0" || name == "ATE1") && plain) {
        echo = name == "ATE1";
        ok();
    } else if (name == "AT+RST" && plain) {
        ok();
        restart(nowMs);
    } else if (name == "AT+GMR" && plain) {
        if (options.firmware >= 2)
            emit("AT version:2.2.0.0(b097cdf - ESP8266 - Jun 17 2021 12:57:45)\r\n"
                 "SDK version:v3.4-22-g967752e2\r\n"
                 "compile time(6800286):Aug  4 2021 17:20:05\r\n"
                 "Bin version:2.2.0(WROOM-02)\r\n");
        else if (options.firmware == 1)
            emit("AT version:1.2.0.0(Jul  1 2016 20:04:45)\r\n"
                 "SDK version:1.5.4.1(39cb9a32)\r\n"
                 "Ai-Thinker Technology Co. Ltd.\r\n"
                 "Dec  2 2016 14:21:16\r\n");
        else
            emit("00160901\r\n");
        ok();
    } else if (name == "AT+UART_CUR" || name == "AT+UART_DEF") {
        uart(command, name == "AT+UART_DEF");
    } else if (name == "AT+CIOBAUD") {
        ciobaud(command);
    } else if (name == "AT+CIPSTAMAC" || (options.firmware == 1 && (name == "AT+CIPSTAMAC_CUR" ||
                                                                    name == "AT+CIPSTAMAC_DEF"))) {
        cipstamac(command);
    } else if (name == "AT+CWMODE") {
        cwmode(command);
    } else if (name == "AT+CWJAP") {
        cwjap(command, nowMs);
    } else if (name == "AT+CWLAP") {
        cwlap(command, nowMs);
    } else if (name == "AT+CWQAP" && (plain || command.form == CommandForm::Test)) {
        ok();
        if (plain) ++joinGeneration; // also stops an automatic join under way
        if (plain && joined()) {
            dropLink(true);
            joinedIndex = -1;
            hasIp = false;
            emit("WIFI DISCONNECT\r\n");
        }
    } else if (name == "AT+CWSAP") {
        cwsap(command);
    } else if (name == "AT+CWLIF" && plain) {
        ok(); // no station has joined the module's own access point
    } else if (name == "AT+CIPSTATUS" && plain) {
        cipstatus();
    } else if (name == "AT+CIPSTART") {
        cipstart(command, nowMs);
    } else if (name == "AT+CIPSEND") {
        cipsend(command, nowMs);
    } else if (name == "AT+CIPCLOSE") {
        cipclose(command);
    } else if (name == "AT+CIFSR") {
        cifsr(command);
    } else if (name == "AT+CIPMUX") {
        cipmux(command);
    } else if (name == "AT+CIPSERVER") {
        cipserver(command);
    } else if (name == "AT+CIPMODE") {
        cipmode(command);
    } else if (name == "AT+CIPSTO") {
        cipsto(command);
    } else {
        error();
    }
}

void Esp8266Module::errorSaying(std::string_view oldFirmwareText)
{
    if (options.firmware < 2) emit(std::string(oldFirmwareText) + "\r\n");
    error();
}

void Esp8266Module::finishBusy(std::string_view text)
{
    mode = Mode::Command;
    emit(text);
}

void Esp8266Module::restart(std::int64_t nowMs)
{
    ++restarts;
    dropLink(false);
    const int rejoin = wifiMode != 2 ? joinedIndex : -1; // the network stored in flash
    joinedIndex = -1;
    hasIp = false;
    mode = Mode::Rebooting;
    timers.clear();
    moduleLine = storedLine;
    dataBits = storedDataBits;
    stopBits = storedStopBits;
    flowControl = storedFlowControl;
    // The ROM talks at its own odd rate, so even a port at the module's rate sees noise.
    emitAt({BootRomBaud, Parity::None}, BootRomText);
    schedule(nowMs + options.resetDelayMs, [this, rejoin] {
        boot();
        if (rejoin >= 0) startJoin(rejoin, false, clockMs);
    });
}

void Esp8266Module::boot()
{
    emit("\r\nready\r\n");
    mode = Mode::Command;
    echo = options.echo;
    multiplex = 0;
    transferMode = 0;
    serverPort = 0;
    lineBuffer.clear();
    lineOverflow = false;
    swallowLf = false;
    heldPluses = 0;
    sendBuffer.clear();
    sendRemaining = 0;
}

void Esp8266Module::startJoin(int index, bool answer, std::int64_t nowMs)
{
    const bool quick = options.joinDelayMs > 0;
    const std::int64_t connectedMs =
        nowMs + (quick ? options.joinDelayMs : options.joinConnectedMs);
    const std::int64_t gotIpMs = quick ? connectedMs : connectedMs + options.joinGotIpMs;
    const bool okFirst = answer && options.okBeforeIp;
    const bool okLast = answer && !options.okBeforeIp;
    if (answer) mode = Mode::Busy;
    const std::uint64_t generation = ++joinGeneration;
    schedule(connectedMs, [this, index, okFirst, generation] {
        if (generation != joinGeneration) return; // left or replaced meanwhile
        joinedIndex = index;
        emit("WIFI CONNECTED\r\n");
        if (okFirst) finishBusy("\r\nOK\r\n");
    });
    schedule(gotIpMs, [this, okLast, generation] {
        if (generation != joinGeneration) return;
        hasIp = true;
        emit("WIFI GOT IP\r\n");
        if (okLast) finishBusy("\r\nOK\r\n");
    });
}

bool Esp8266Module::firmwareTakesBaud(long baud) const
{
    switch (options.firmware) {
    case 0:
        return baud >= 9600 && baud <= 921600;
    case 1:
        return baud >= 110 && baud <= 115200 * 40;
    default:
        return baud >= 80 && baud <= 4'500'000;
    }
}

void Esp8266Module::uart(const AtCommandLine& command, bool store)
{
    if (options.firmware == 0) { // the 0.9 firmware knows only AT+CIOBAUD
        error();
        return;
    }
    const std::string name = store ? "+UART_DEF:" : "+UART_CUR:";
    if (command.form == CommandForm::Query) {
        const LineSettings& line = store ? storedLine : moduleLine;
        // The current rate is read back from the divider, so 115200 shows as 115273.
        const bool divided = !store && line.baud > 0 && line.baud <= UartClockHz;
        const int baud = divided ? UartClockHz / (UartClockHz / line.baud) : line.baud;
        emit(name + std::to_string(baud) + "," + std::to_string(store ? storedDataBits : dataBits) +
             "," + std::to_string(store ? storedStopBits : stopBits) + "," +
             std::to_string(parityNumber(line.parity)) + "," +
             std::to_string(store ? storedFlowControl : flowControl) + "\r\n");
        ok();
        return;
    }
    const auto& p = command.parameters;
    if (command.form != CommandForm::Set || p.size() != 5) {
        error();
        return;
    }
    const auto baud = NumberParameter(p[0], 1, 100'000'000);
    const auto bits = NumberParameter(p[1], 5, 8);
    const auto stop = NumberParameter(p[2], 1, 3);
    const auto parity = NumberParameter(p[3], 0, 2);
    const auto flow = NumberParameter(p[4], 0, 3);
    if (!baud || !firmwareTakesBaud(*baud) || !bits || !stop || !parity || !flow) {
        error();
        return;
    }
    ok(); // still at the old settings; everything after goes out at the new ones
    moduleLine = {int(*baud), *parity == 1   ? Parity::Odd
                              : *parity == 2 ? Parity::Even
                                             : Parity::None};
    dataBits = int(*bits);
    stopBits = int(*stop);
    flowControl = int(*flow);
    if (store) {
        storedLine = moduleLine;
        storedDataBits = dataBits;
        storedStopBits = stopBits;
        storedFlowControl = flowControl;
    }
}

void Esp8266Module::ciobaud(const AtCommandLine& command)
{
    if (options.firmware != 0) { // replaced by AT+UART_CUR/_DEF in the 1.x firmware
        error();
        return;
    }
    if (command.form == CommandForm::Query) {
        emit("+CIOBAUD:" + std::to_string(moduleLine.baud) + "\r\n");
        ok();
        return;
    }
    if (command.form == CommandForm::Test) {
        emit("+CIOBAUD:(9600-921600)\r\n");
        ok();
        return;
    }
    const auto baud = command.form == CommandForm::Set && command.parameters.size() == 1
                          ? NumberParameter(command.parameters[0], 1, 100'000'000)
                          : std::nullopt;
    if (!baud || !firmwareTakesBaud(*baud)) {
        error();
        return;
    }
    ok();
    moduleLine.baud = storedLine.baud = int(*baud);
}

void Esp8266Module::cipstamac(const AtCommandLine& command)
{
    if (command.form == CommandForm::Query) {
        emit(command.name.substr(2) + ":\"" + stationMac + "\"\r\n");
        ok();
        return;
    }
    const auto& p = command.parameters;
    // A station MAC must not be a group address (the lowest bit of its first octet clear).
    if (command.form != CommandForm::Set || p.size() != 1 || !p[0].quoted ||
        !IsMacAddress(p[0].text) || (std::stoul(p[0].text.substr(0, 2), nullptr, 16) & 1u) ||
        wifiMode == 2) {
        error();
        return;
    }
    stationMac = p[0].text;
    for (char& c : stationMac)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    ok();
}

void Esp8266Module::cwmode(const AtCommandLine& command)
{
    switch (command.form) {
    case CommandForm::Query:
        emit("+CWMODE:" + std::to_string(wifiMode) + "\r\n");
        ok();
        return;
    case CommandForm::Test:
        emit("+CWMODE:(1-3)\r\n");
        ok();
        return;
    case CommandForm::Set:
        if (command.parameters.size() == 1) {
            if (const auto value = NumberParameter(command.parameters[0], 1, 3)) {
                wifiMode = int(*value);
                ok();
                if (wifiMode == 2) ++joinGeneration;
                if (wifiMode == 2 && joined()) {
                    dropLink(true);
                    joinedIndex = -1;
                    hasIp = false;
                    emit("WIFI DISCONNECT\r\n");
                }
                return;
            }
        }
        break;
    case CommandForm::Execute:
        break;
    }
    error();
}

void Esp8266Module::cwjap(const AtCommandLine& command, std::int64_t nowMs)
{
    if (wifiMode == 2 || command.form == CommandForm::Execute ||
        command.form == CommandForm::Test) {
        error();
        return;
    }
    if (command.form == CommandForm::Query) {
        if (joined()) {
            const AccessPoint& ap = options.accessPoints[std::size_t(joinedIndex)];
            // ESP-AT adds pci_en, reconn_interval, listen_interval, scan_mode and pmf.
            emit("+CWJAP:\"" + ap.ssid + "\",\"" + ap.mac + "\"," + std::to_string(ap.channel) +
                 "," + std::to_string(ap.rssi) + (options.firmware >= 2 ? ",0,1,3,0,0" : "") +
                 "\r\n");
        } else {
            emit("No AP\r\n");
        }
        ok();
        return;
    }
    const auto& parameters = command.parameters;
    if (parameters.empty() || parameters.size() > 3 ||
        !std::all_of(parameters.begin(), parameters.end(),
                     [](const AtParameter& p) { return p.quoted; })) {
        error();
        return;
    }
    const std::string& ssid = parameters[0].text;
    const std::string password = parameters.size() > 1 ? parameters[1].text : std::string();
    if (joined()) {
        dropLink(true);
        joinedIndex = -1;
        hasIp = false;
        emit("WIFI DISCONNECT\r\n");
    }
    ++joinGeneration; // an automatic join still under way gives way to this one
    const auto& aps = options.accessPoints;
    const auto found = std::find_if(aps.begin(), aps.end(),
                                    [&](const AccessPoint& ap) { return ap.ssid == ssid; });
    if (found != aps.end() && (found->encryption == 0 || found->password == password)) {
        startJoin(int(found - aps.begin()), true, nowMs);
        return;
    }
    // The verdict comes when a success's final answer would have.
    mode = Mode::Busy;
    const std::int64_t verdictMs =
        nowMs + (options.joinDelayMs > 0 ? options.joinDelayMs
                                         : options.joinConnectedMs + options.joinGotIpMs);
    const std::string verdict = "+CWJAP:" + std::string(found == aps.end() ? "3" : "2") +
                                (options.firmware >= 2 ? "\r\n\r\nERROR\r\n" : "\r\n\r\nFAIL\r\n");
    schedule(verdictMs, [this, verdict] { finishBusy(verdict); });
}

void Esp8266Module::cwlap(const AtCommandLine& command, std::int64_t nowMs)
{
    std::optional<std::string> only;
    if (command.form == CommandForm::Set && command.parameters.size() == 1 &&
        command.parameters[0].quoted)
        only = command.parameters[0].text;
    else if (command.form != CommandForm::Execute) {
        error();
        return;
    }
    if (wifiMode == 2) {
        error();
        return;
    }
    std::string list;
    for (const AccessPoint& ap : options.accessPoints) {
        if (only && ap.ssid != *only) continue;
        list += "+CWLAP:(" + std::to_string(ap.encryption) + ",\"" + ap.ssid + "\"," +
                std::to_string(ap.rssi) + ",\"" + ap.mac + "\"," + std::to_string(ap.channel) +
                ")\r\n";
    }
    mode = Mode::Busy;
    schedule(nowMs + options.scanDelayMs, [this, list] { finishBusy(list + "\r\nOK\r\n"); });
}

void Esp8266Module::cwsap(const AtCommandLine& command)
{
    if (command.form == CommandForm::Query) {
        emit("+CWSAP:\"" + softApSsid + "\",\"" + softApPassword + "\"," +
             std::to_string(softApChannel) + "," + std::to_string(softApEncryption) + "\r\n");
        ok();
        return;
    }
    const auto& p = command.parameters;
    if (command.form != CommandForm::Set || wifiMode == 1 || p.size() < 4 || p.size() > 6 ||
        !p[0].quoted || !p[1].quoted || p[0].text.empty()) {
        error();
        return;
    }
    const auto channel = NumberParameter(p[2], 1, 14);
    const auto encryption = NumberParameter(p[3], 0, 4);
    const std::size_t passwordLength = p[1].text.size();
    if (!channel || !encryption || *encryption == 1 ||
        (*encryption != 0 && (passwordLength < 8 || passwordLength > 64))) {
        error();
        return;
    }
    softApSsid = p[0].text;
    softApPassword = p[1].text;
    softApChannel = int(*channel);
    softApEncryption = int(*encryption);
    ok();
}

void Esp8266Module::cipstatus()
{
    const int status = link == LinkState::Open ? 3 : hasIp ? 2 : 5;
    emit("STATUS:" + std::to_string(status) + "\r\n");
    if (link == LinkState::Open)
        emit("+CIPSTATUS:" + std::to_string(linkId) + ",\"" + kindName(linkKind) + "\",\"" +
             linkAddress + "\"," + std::to_string(linkPort) + "," + std::to_string(localPort) +
             ",0\r\n");
    ok();
}

std::string Esp8266Module::linkPrefix() const
{
    return multiplex ? std::to_string(linkId) + "," : std::string();
}

void Esp8266Module::cipstart(const AtCommandLine& command, std::int64_t nowMs)
{
    auto p = command.parameters;
    int id = 0;
    if (command.form != CommandForm::Set) {
        error();
        return;
    }
    if (multiplex) {
        const auto value = p.empty() ? std::nullopt : NumberParameter(p[0], 0, 4);
        if (!value) {
            error();
            return;
        }
        id = int(*value);
        p.erase(p.begin());
    }
    if (p.size() < 3 || !p[0].quoted || !p[1].quoted ||
        (p[0].text != "TCP" && p[0].text != "UDP")) {
        error();
        return;
    }
    const auto port = NumberParameter(p[2], 1, 65535);
    if (!port) {
        error();
        return;
    }
    if (!hasIp && wifiMode == 1) {
        errorSaying("no ip");
        return;
    }
    if (link != LinkState::None) {
        emit("ALREADY CONNECTED\r\n");
        error();
        return;
    }
    std::string address = p[1].text == "localhost" ? "127.0.0.1" : p[1].text;
    if (!isIpv4(address)) {
        errorSaying("DNS Fail");
        return;
    }
    linkKind = p[0].text == "UDP" ? LinkKind::Udp : LinkKind::Tcp;
    linkAddress = address;
    linkPort = int(*port);
    linkId = id;
    if (!network || !network->open(linkKind, linkAddress, linkPort)) {
        emit(linkPrefix() + "ERROR\r\n" + linkPrefix() + "CLOSED\r\n");
        return;
    }
    link = LinkState::Opening;
    mode = Mode::Busy;
    const std::uint64_t generation = ++linkGeneration;
    schedule(nowMs + options.connectTimeoutMs, [this, generation] {
        if (link == LinkState::Opening && generation == linkGeneration) {
            network->close();
            finishOpen(false);
        }
    });
}

void Esp8266Module::linkOpened(bool ok, std::int64_t nowMs)
{
    runDueTimers(nowMs);
    finishOpen(ok);
}

void Esp8266Module::finishOpen(bool ok)
{
    if (link != LinkState::Opening) return;
    ++linkGeneration; // disarms the time-out
    if (ok) {
        link = LinkState::Open;
        localPort = nextLocalPort++;
        finishBusy(linkPrefix() + "CONNECT\r\n\r\nOK\r\n");
    } else {
        link = LinkState::None;
        finishBusy(linkPrefix() + "ERROR\r\n" + linkPrefix() + "CLOSED\r\n");
    }
}

void Esp8266Module::linkData(std::string_view bytes, std::int64_t nowMs)
{
    runDueTimers(nowMs);
    if (link != LinkState::Open || bytes.empty()) return;
    if (mode == Mode::Transparent) {
        emit(bytes);
        return;
    }
    for (std::size_t from = 0; from < bytes.size(); from += MaxIpdLength) {
        const std::string_view segment = bytes.substr(from, MaxIpdLength);
        emit("\r\n+IPD," + linkPrefix() + std::to_string(segment.size()) + ":");
        emit(segment);
    }
}

void Esp8266Module::linkClosed(std::int64_t nowMs)
{
    runDueTimers(nowMs);
    if (link == LinkState::Opening) {
        finishOpen(false);
        return;
    }
    if (link != LinkState::Open) return;
    link = LinkState::None;
    if (mode == Mode::Transparent) {
        mode = Mode::Command;
        heldPluses = 0;
    }
    emit(linkPrefix() + "CLOSED\r\n");
}

void Esp8266Module::dropLink(bool report)
{
    if (link == LinkState::None) return;
    if (network) network->close();
    const bool wasOpen = link == LinkState::Open;
    link = LinkState::None;
    ++linkGeneration;
    if (report && wasOpen) emit(linkPrefix() + "CLOSED\r\n");
}

void Esp8266Module::cipsend(const AtCommandLine& command, std::int64_t nowMs)
{
    if (command.form == CommandForm::Test) {
        ok();
        return;
    }
    if (command.form == CommandForm::Execute) {
        if (transferMode != 1 || multiplex) {
            error();
        } else if (link != LinkState::Open) {
            errorSaying("link is not valid");
        } else {
            emit("\r\nOK\r\n\r\n>");
            mode = Mode::Transparent;
            lastInputMs = nowMs;
            heldPluses = 0;
        }
        return;
    }
    const auto& p = command.parameters;
    const std::size_t lengthIndex = multiplex ? 1 : 0;
    if (command.form != CommandForm::Set || transferMode == 1 || p.size() <= lengthIndex) {
        error();
        return;
    }
    const auto length = NumberParameter(p[lengthIndex], 1, MaxSendLength);
    const auto id = multiplex ? NumberParameter(p[0], 0, 4) : std::optional<long>(0);
    if (!length || !id) {
        error();
        return;
    }
    if (link != LinkState::Open || (multiplex && *id != linkId)) {
        errorSaying("link is not valid");
        return;
    }
    emit("\r\nOK\r\n> ");
    mode = Mode::SendData;
    sendRemaining = std::size_t(*length);
    sendBuffer.clear();
}

void Esp8266Module::cipclose(const AtCommandLine& command)
{
    if (command.form == CommandForm::Test) {
        ok();
        return;
    }
    if (command.form == CommandForm::Execute && !multiplex && link == LinkState::Open) {
        dropLink(true);
        ok();
        return;
    }
    if (command.form == CommandForm::Set && command.parameters.size() == 1) {
        const auto id = NumberParameter(command.parameters[0], 0, 5);
        // 5 closes every link, in either connection mode.
        if (id && (*id == 5 || (multiplex && *id == linkId && link == LinkState::Open))) {
            dropLink(true);
            ok();
            return;
        }
    }
    error();
}

void Esp8266Module::cifsr(const AtCommandLine& command)
{
    if (command.form == CommandForm::Test) {
        ok();
        return;
    }
    if (command.form != CommandForm::Execute) {
        error();
        return;
    }
    if (wifiMode != 1)
        emit(std::string("+CIFSR:APIP,\"") + SoftApIp + "\"\r\n+CIFSR:APMAC,\"" +
             softApMacFor(stationMac) + "\"\r\n");
    if (wifiMode != 2)
        emit("+CIFSR:STAIP,\"" + (hasIp ? options.stationIp : std::string("0.0.0.0")) +
             "\"\r\n+CIFSR:STAMAC,\"" + stationMac + "\"\r\n");
    ok();
}

void Esp8266Module::cipmux(const AtCommandLine& command)
{
    if (command.form == CommandForm::Query) {
        emit("+CIPMUX:" + std::to_string(multiplex) + "\r\n");
        ok();
        return;
    }
    const auto value = command.form == CommandForm::Set && command.parameters.size() == 1
                           ? NumberParameter(command.parameters[0], 0, 1)
                           : std::nullopt;
    if (!value) {
        error();
        return;
    }
    if (link != LinkState::None) {
        errorSaying("link is builded");
        return;
    }
    if ((*value == 1 && transferMode == 1) || (*value == 0 && serverPort != 0)) {
        error();
        return;
    }
    multiplex = int(*value);
    ok();
}

void Esp8266Module::cipserver(const AtCommandLine& command)
{
    const auto& p = command.parameters;
    const auto on = command.form == CommandForm::Set && (p.size() == 1 || p.size() == 2)
                        ? NumberParameter(p[0], 0, 1)
                        : std::nullopt;
    const auto port = p.size() == 2 ? NumberParameter(p[1], 1, 65535) : std::optional<long>(333);
    if (!on || !port || (*on == 1 && !multiplex)) {
        error();
        return;
    }
    serverPort = *on ? int(*port) : 0;
    ok();
}

void Esp8266Module::cipmode(const AtCommandLine& command)
{
    if (command.form == CommandForm::Query) {
        emit("+CIPMODE:" + std::to_string(transferMode) + "\r\n");
        ok();
        return;
    }
    const auto value = command.form == CommandForm::Set && command.parameters.size() == 1
                           ? NumberParameter(command.parameters[0], 0, 1)
                           : std::nullopt;
    if (!value || (*value == 1 && multiplex)) {
        error();
        return;
    }
    transferMode = int(*value);
    ok();
}

void Esp8266Module::cipsto(const AtCommandLine& command)
{
    if (command.form == CommandForm::Query) {
        emit("+CIPSTO:" + std::to_string(serverTimeout) + "\r\n");
        ok();
        return;
    }
    const auto value = command.form == CommandForm::Set && command.parameters.size() == 1
                           ? NumberParameter(command.parameters[0], 0, 7200)
                           : std::nullopt;
    if (!value) {
        error();
        return;
    }
    serverTimeout = int(*value);
    ok();
}

} // namespace esp8266sim
