// esp8266-sim: an ESP8266 with AT firmware on a pseudo-terminal, registered as a COM alias.
#include "simulatedmodule.h"

#include "serial/portnames.h"
#include "serial/posix/linerate.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace esp8266sim;

namespace {

int g_wakeFd = -1;

extern "C" void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &byte, 1);
}

constexpr const char* Usage =
    "usage: esp8266-sim --com N [--baud B] [--parity none|odd|even] [--no-echo]\n"
    "                   [--firmware 0|1|2] [--ok-before-ip] [--mac XX:XX:XX:XX:XX:XX]\n"
    "                   [--join-delay-ms MS] [--scan-delay-ms MS] [--reset-delay-ms MS]\n"
    "                   [--guard-ms MS] [--boot-on-open] [--reset-after-ms MS]\n"
    "                   [--echo-latency-ms MS] [--ap SSID:PASSWORD]...\n"
    "       esp8266-sim --help\n";

constexpr const char* Help =
    "A simulated ESP8266 with AT firmware on a pseudo-terminal, registered as COM<N>.\n"
    "\n"
    "  --com N              the port number to register (required)\n"
    "  --baud B             the module's stored rate (default 115200)\n"
    "  --parity P           none, odd or even (default none)\n"
    "  --no-echo            start with the echo off, as after ATE0\n"
    "  --firmware G         1: AT 1.x texts (default); 2: ESP-AT 2.x texts;\n"
    "                       0: old 0.9 firmware, AT+CIOBAUD instead of AT+UART_CUR/_DEF\n"
    "  --ok-before-ip       join order of newer ESP-AT: WIFI CONNECTED, OK, WIFI GOT IP\n"
    "  --mac M              station MAC (default derived from N)\n"
    "  --join-delay-ms MS   a quick join whose lines all come after MS (default: the real\n"
    "                       pace, WIFI CONNECTED after 2.5 s, WIFI GOT IP 1.5 s later)\n"
    "  --scan-delay-ms MS   time AT+CWLAP takes (default 1500)\n"
    "  --reset-delay-ms MS  time from a restart to \"ready\" (default 500)\n"
    "  --guard-ms MS        silence needed before \"+++\" (default 1000)\n"
    "  --boot-on-open       restart whenever the port is opened (boot report, \"ready\")\n"
    "  --reset-after-ms MS  reset once on its own MS after the first command\n"
    "  --echo-latency-ms MS deliver what the module sends MS late, as a USB adapter does\n"
    "  --ap SSID:PASSWORD   a network it can join (repeatable; replaces the defaults)\n"
    "  --help               show this and exit\n";

int usage(const char* message)
{
    if (message) std::fprintf(stderr, "esp8266-sim: %s\n", message);
    std::fputs(Usage, stderr);
    return 2;
}

bool parseNumber(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

} // namespace

int main(int argc, char** argv)
{
    ModuleOptions module;
    long com = 0;
    bool customAps = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            std::fputs("\n", stdout);
            std::fputs(Help, stdout);
            return 0;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-echo" || arg == "--ok-before-ip" || arg == "--boot-on-open") {
            bool& flag = arg == "--no-echo"        ? module.echo
                         : arg == "--ok-before-ip" ? module.okBeforeIp
                                                   : module.bootOnOpen;
            flag = arg != "--no-echo";
            continue;
        }
        if (i + 1 >= argc) return usage(("missing value for " + arg).c_str());
        const char* value = argv[++i];
        long number = 0;
        if (arg == "--com") {
            if (!parseNumber(value, 1, 9999, com)) return usage("--com takes a port number from 1");
        } else if (arg == "--baud") {
            if (!parseNumber(value, 1, 4'000'000, number) ||
                (SpeedFromBaud(int(number)) == 0 && !serial::posix::OfferedFreeRate(int(number))))
                return usage("--baud takes a standard rate such as 9600 or 115200");
            module.line.baud = int(number);
        } else if (arg == "--parity") {
            const std::string parity = value;
            if (parity == "none")
                module.line.parity = Parity::None;
            else if (parity == "odd")
                module.line.parity = Parity::Odd;
            else if (parity == "even")
                module.line.parity = Parity::Even;
            else
                return usage("--parity takes none, odd or even");
        } else if (arg == "--firmware") {
            if (!parseNumber(value, 0, 2, number)) return usage("--firmware takes 0, 1 or 2");
            module.firmware = int(number);
        } else if (arg == "--mac") {
            if (!IsMacAddress(value) || (std::strtoul(value, nullptr, 16) & 1u))
                return usage("--mac takes a station MAC such as 18:fe:34:a1:b2:c3");
            module.stationMac = value;
        } else if (arg == "--join-delay-ms" || arg == "--scan-delay-ms" ||
                   arg == "--reset-delay-ms" || arg == "--guard-ms" || arg == "--reset-after-ms" ||
                   arg == "--echo-latency-ms") {
            if (!parseNumber(value, 0, 600'000, number))
                return usage((arg + " takes milliseconds").c_str());
            int& target = arg == "--join-delay-ms"     ? module.joinDelayMs
                          : arg == "--scan-delay-ms"   ? module.scanDelayMs
                          : arg == "--reset-delay-ms"  ? module.resetDelayMs
                          : arg == "--reset-after-ms"  ? module.resetAfterMs
                          : arg == "--echo-latency-ms" ? module.echoLatencyMs
                                                       : module.escapeGuardMs;
            target = int(number);
        } else if (arg == "--ap") {
            const std::string ap = value;
            const auto colon = ap.find(':');
            if (colon == 0 || colon == std::string::npos)
                return usage("--ap takes SSID:PASSWORD (empty password for an open network)");
            if (!customAps) module.accessPoints.clear();
            customAps = true;
            AccessPoint entry;
            entry.ssid = ap.substr(0, colon);
            entry.password = ap.substr(colon + 1);
            entry.encryption = entry.password.empty() ? 0 : 3;
            entry.mac = "c8:3a:35:10:20:" + std::to_string(30 + module.accessPoints.size());
            module.accessPoints.push_back(entry);
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }
    if (com == 0) return usage("--com is required");
    if (module.stationMac.empty()) module.stationMac = StationMacForPort(unsigned(com));

    std::string error;
    auto runner = ModuleRunner::Create(module, &error);
    if (!runner) {
        std::fprintf(stderr, "esp8266-sim: %s\n", error.c_str());
        return 1;
    }
    g_wakeFd = runner->wakeFd();
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    PortAlias alias(serial::PortAliasFolder(), unsigned(com), runner->slavePath(), &error);
    if (alias.path().empty()) {
        std::fprintf(stderr, "esp8266-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("COM%ld -> %s\n", com, runner->slavePath().c_str());
    std::fflush(stdout);
    return runner->run() ? 0 : 1;
}
