#pragma once
// The command line of esp8266at: which subcommand, on which ports, with which line settings,
// and what to send. Parsing is pure, so every usage error is a value, not an exit.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Cli {

// Exit statuses, documented in --help, the man page and the README.
enum ExitStatus : int {
    ExitOk = 0,
    ExitFailed = 1,    // the module answered ERROR/FAIL, or a step failed
    ExitNoAnswer = 2,  // no final answer within the time-out
    ExitPortError = 3, // a port could not be opened (or was lost)
    ExitUsage = 64,    // bad usage
};

enum class Subcommand { None, Help, Version, Ports, Send, Command, Connect, Probe, Baud };

// One command to send and how long its answer may take.
struct Step
{
    QString Name;       // what the step does, for reports ("join"); empty for plain lines
    QByteArray Command; // the bytes written, CR LF included ("+++" alone has none)
    int TimeoutMs = 0;
    // After its OK the module's address ("WIFI GOT IP") is waited for, within timeoutMs.
    bool waitForAddress = false;
};

struct Options
{
    Cli::Subcommand Subcommand = Cli::Subcommand::None;
    Cli::Subcommand HelpFor = Cli::Subcommand::None; // with Help: the subcommand asked about
    QStringList Ports;                     // as given to -p; "all" for every port
    int Baud = 115200;
    int Parity = 0; // 0 none, 1 odd, 2 even
    int TimeoutMs = 10'000;
    bool Json = false;
    bool Raw = false; // module bytes reach a terminal as received, control characters too
    bool ListCatalogue = false; // command --list
    QList<Step> Steps;          // send, command, connect
    QList<int> probeRates;      // probe, baud: every --baud, tried first
    int toBaud = 0;             // baud --to
    bool save = false;          // baud --save
};

// What parsing gives: options, or the message of a usage error (with the subcommand whose
// help the hint should name).
struct ParseResult
{
    std::optional<Cli::Options> Options;
    QString Error;
    Subcommand ErrorIn = Subcommand::None;
};

// The time the join may take in the connection sequence: real joins take several seconds.
inline constexpr int JoinTimeoutMs = 20'000;

// Parses the arguments after the program name.
ParseResult ParseArguments(const QStringList& arguments);

// The text of `esp8266at help [subcommand]`.
QString HelpText(Subcommand subcommand);

// The subcommand's name as typed ("send"); "esp8266at" for None.
QString SubcommandName(Subcommand subcommand);

// The catalogue as `command --list` prints it.
QString CatalogueListing();

} // namespace Cli
