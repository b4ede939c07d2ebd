// The texts of --help and `esp8266at help SUBCOMMAND`.
#include "cli/options.h"

namespace Cli {
namespace {

const char linkOptionsHelp[] =
    "  -p, --port PORT     COM1 to COM255 (through the COMn table and the port alias\n"
    "                      folder) or a device path; repeat it, or give several separated\n"
    "                      by commas, to run on all of them at once; \"all\" is every port\n"
    "                      that can be opened with hardware behind it (as the system lists\n"
    "                      them) or an alias. Without -p: the one such port.\n"
    "      --baud N        line speed in bit/s, a standard rate from 50 to 4000000\n"
    "                      (default 115200)\n"
    "      --parity P      none (or NO), odd or even, in any case (default none)\n"
    "      --timeout S     seconds to wait for each final answer (default 10)\n"
    "      --json          one JSON object per port and line of output (JSON Lines)\n"
    "      --raw           answers reach a terminal as received; without it their control\n"
    "                      characters (but CR, LF and TAB) show as U+FFFD there\n"
    "  -h, --help          this text\n";

const char exitHelp[] =
    "Exit status (the highest of all ports when they differ):\n"
    "  0   every port succeeded\n"
    "  1   a module answered ERROR or FAIL, or a step failed\n"
    "  2   no final answer within the time-out\n"
    "  3   a port could not be opened, or was lost (the reason is on standard error)\n"
    "  64  bad usage\n"
    "  129, 130, 143  ended by SIGHUP, SIGINT or SIGTERM (ports closed and released)\n";

QString Join(std::initializer_list<const char*> parts)
{
    QString text;
    for (const char* part : parts)
        text += QString::fromUtf8(part);
    return text;
}

} // namespace

QString HelpText(Subcommand subcommand)
{
    switch (subcommand) {
    case Subcommand::Ports:
        return Join({"Usage: esp8266at ports [--json]\n"
                     "\n"
                     "Lists every candidate serial port that exists: its COMn name, its device\n"
                     "node, the USB product, vendor:product and serial number where known, and\n"
                     "whether it can be opened now, and if not, why.\n"
                     "\n"
                     "      --json          one JSON object per port (JSON Lines)\n"
                     "  -h, --help          this text\n"});
    case Subcommand::Send:
        return Join({"Usage: esp8266at send [-p PORT]... [--baud N] [--parity none|odd|even]\n"
                     "                      [--timeout SECONDS] [--json] LINE...\n"
                     "\n"
                     "Sends each LINE with CR LF and waits for its final answer (OK, ERROR,\n"
                     "FAIL, SEND OK, SEND FAIL, or ready after AT+RST) before the next; prints\n"
                     "what the module answered, echo included, as received. \"+++\" alone is\n"
                     "sent bare, with a second of quiet line before and after it, and needs no\n"
                     "answer. On several ports, each output line starts with the port's name.\n"
                     "\n",
                     linkOptionsHelp,
                     "\n"
                     "Example:\n"
                     "  esp8266at send -p COM3 AT AT+GMR\n"
                     "\n",
                     exitHelp});
    case Subcommand::Command:
        return Join({"Usage: esp8266at command [-p PORT]... NAME [CHOICE] [--ssid S]\n"
                     "                         [--password P] [--ip ADDRESS] [--remote-port N]\n"
                     "                         [--param TEXT] [link options]\n"
                     "       esp8266at command --list\n"
                     "\n"
                     "Sends one command of the catalogue, composed exactly as the window\n"
                     "composes it: quotes, commas and backslashes in the SSID, password and\n"
                     "address are escaped, control characters are dropped. NAME is the command\n"
                     "with or without AT+ (CWJAP, AT+CWJAP), in any case. CHOICE is the number\n"
                     "of its parameter choice, counted from 1, or the choice's text; without\n"
                     "it, the first choice that uses the fields given.\n"
                     "\n"
                     "      --list          the catalogue: each command, its choices and what\n"
                     "                      each sends\n"
                     "      --ssid S        the network name (AT+CWJAP)\n"
                     "      --password P    the network password (AT+CWJAP)\n"
                     "      --ip ADDRESS    the remote address (AT+CIPSTART)\n"
                     "      --remote-port N the remote port (AT+CIPSTART)\n"
                     "      --param TEXT    the user parameter (AT+CIPSERVER, AT+CIPSTO)\n",
                     linkOptionsHelp,
                     "\n"
                     "Examples:\n"
                     "  esp8266at command -p COM3 CWMODE 2                   # AT+CWMODE=1\n"
                     "  esp8266at command -p COM3 CWJAP --ssid HomeNet --password secret\n"
                     "  esp8266at command -p COM3 CIPSTART UDP --ip 10.0.0.2 --remote-port 333\n"
                     "\n",
                     exitHelp});
    case Subcommand::Connect:
        return Join({"Usage: esp8266at connect [-p PORT]... --ssid S [--password P]\n"
                     "                         --server HOST:PORT [link options]\n"
                     "\n"
                     "Runs the connection sequence: join the access point (AT+CWJAP, allowed\n"
                     "20 seconds, or --timeout if longer), open a TCP connection to the server\n"
                     "(AT+CIPSTART), switch to transparent mode (AT+CIPMODE=1) and start\n"
                     "sending (AT+CIPSEND). Each step is sent once the module has given its\n"
                     "final answer to the one before; the first failure stops the sequence and\n"
                     "is reported with the step and the module's answer. Without --password,\n"
                     "the network is an open one.\n"
                     "\n"
                     "      --ssid S            the network name\n"
                     "      --password P        the network password\n"
                     "      --server HOST:PORT  the TCP server the module connects to\n",
                     linkOptionsHelp,
                     "\n"
                     "Example:\n"
                     "  esp8266at connect -p all --ssid HomeNet --password secret \\\n"
                     "                    --server 192.168.1.10:5000\n"
                     "\n",
                     exitHelp});
    default:
        return Join({"Usage: esp8266at SUBCOMMAND [OPTION]... [ARGUMENT]...\n"
                     "\n"
                     "Configures ESP8266 Wi-Fi modules over serial ports with AT commands, on\n"
                     "one port or on many at once.\n"
                     "\n"
                     "Subcommands:\n"
                     "  ports      list the serial ports and whether each can be opened\n"
                     "  send       send AT command lines and print the answers\n"
                     "  command    send one command of the catalogue by name\n"
                     "  connect    join a network, connect to a TCP server, enter transparent\n"
                     "             mode\n"
                     "  help       the help of a subcommand (esp8266at help send)\n"
                     "\n"
                     "  --version  the program's version\n"
                     "\n",
                     exitHelp});
    }
}

} // namespace Cli
