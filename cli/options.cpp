#include "cli/options.h"

#include "serial/portoptions.h"
#include "workbench/catalogue.h"
#include "workbench/composition.h"
#include "workbench/sequence.h"

#include <QMap>

#include <algorithm>
#include <cmath>

namespace Cli {
namespace {

struct OptionSpec
{
    const char* Name; // long name without the dashes
    char ShortName;   // 0 when there is none
    bool TakesValue;
};

// Options every subcommand that talks to a module accepts.
const QList<OptionSpec> linkOptions{
    {"port", 'p', true}, {"baud", 0, true}, {"parity", 0, true},
    {"timeout", 0, true}, {"json", 0, false}, {"raw", 0, false}, {"help", 'h', false},
};
const QList<OptionSpec> commandFieldOptions{
    {"ssid", 0, true}, {"password", 0, true}, {"ip", 0, true},
    {"remote-port", 0, true}, {"param", 0, true}, {"list", 0, false},
};
const QList<OptionSpec> connectOptions{
    {"ssid", 0, true}, {"password", 0, true}, {"server", 0, true}};

QList<OptionSpec> OptionsOf(Subcommand subcommand)
{
    switch (subcommand) {
    case Subcommand::Ports:
        return {{"json", 0, false}, {"help", 'h', false}};
    case Subcommand::Send:
        return linkOptions;
    case Subcommand::Command:
        return linkOptions + commandFieldOptions;
    case Subcommand::Connect:
        return linkOptions + connectOptions;
    case Subcommand::Probe:
        return {{"port", 'p', true}, {"baud", 0, true}, {"json", 0, false}, {"help", 'h', false}};
    case Subcommand::Baud:
        return {{"port", 'p', true}, {"baud", 0, true}, {"to", 0, true},
                {"save", 0, false},  {"json", 0, false}, {"help", 'h', false}};
    default:
        return {{"help", 'h', false}};
    }
}

Subcommand SubcommandNamed(const QString& name)
{
    for (Subcommand s : {Subcommand::Help, Subcommand::Ports, Subcommand::Send,
                         Subcommand::Command, Subcommand::Connect, Subcommand::Probe,
                         Subcommand::Baud})
        if (SubcommandName(s) == name) return s;
    return Subcommand::None;
}

// The arguments of one subcommand, split into option values (in order) and positionals.
struct SplitArguments
{
    QMap<QString, QStringList> Values; // long name -> every value given ("" for a flag)
    QStringList Positionals;
    QString Error;

    bool Has(const char* name) const { return Values.contains(QLatin1String(name)); }
    QString Last(const char* name) const { return Values.value(QLatin1String(name)).last(); }
};

SplitArguments Split(const QStringList& args, const QList<OptionSpec>& specs)
{
    SplitArguments out;
    const auto byLong = [&](const QString& name) -> const OptionSpec* {
        for (const OptionSpec& s : specs)
            if (name == QLatin1String(s.Name)) return &s;
        return nullptr;
    };
    const auto byShort = [&](QChar c) -> const OptionSpec* {
        for (const OptionSpec& s : specs)
            if (s.ShortName && c == QLatin1Char(s.ShortName)) return &s;
        return nullptr;
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            out.Positionals.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        std::optional<QString> inlineValue;
        if (arg.startsWith(QLatin1String("--"))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            spec = byLong(arg.mid(2, eq < 0 ? -1 : eq - 2));
            if (eq >= 0) inlineValue = arg.mid(eq + 1);
        } else {
            spec = byShort(arg.at(1));
            if (arg.size() > 2) inlineValue = arg.mid(2);
        }
        if (!spec) {
            out.Error = QStringLiteral("unknown option %1").arg(arg);
            return out;
        }
        const QString name = QLatin1String(spec->Name);
        if (!spec->TakesValue) {
            if (inlineValue) {
                out.Error = QStringLiteral("--%1 takes no value").arg(name);
                return out;
            }
            out.Values[name].append(QString());
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                out.Error = QStringLiteral("--%1 needs a value").arg(name);
                return out;
            }
            inlineValue = args[++i];
        }
        out.Values[name].append(*inlineValue);
    }
    return out;
}

// Whole decimal digits only, within [low, high].
std::optional<long long> WholeNumber(const QString& text, long long low, long long high)
{
    if (text.isEmpty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    const long long value = text.toLongLong();
    if (value < low || value > high) return std::nullopt;
    return value;
}

// Every -p value (commas separate ports too), read as the window reads port names and refused
// in the same words; "all" stands for every port.
QString ParsePorts(const SplitArguments& split, Options& options)
{
    for (const QString& port : split.Values.value(QStringLiteral("port")))
        options.Ports.append(port.split(QLatin1Char(','), Qt::SkipEmptyParts));
    if (split.Has("port") && options.Ports.isEmpty()) return QStringLiteral("-p needs a port");
    for (const QString& port : options.Ports) {
        const std::string text = port.toStdString();
        if (port.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0 &&
            !serial::ParsePortName(text))
            return QString::fromStdString(serial::BadPortName(text));
    }
    return {};
}

QString ParseLinkOptions(const SplitArguments& split, Options& options)
{
    if (QString error = ParsePorts(split, options); !error.isEmpty()) return error;
    // The line settings read as the window reads them, refused in the same words.
    if (split.Has("baud")) {
        const std::string text = split.Last("baud").toStdString();
        const auto baud = serial::ParseBaudRate(text);
        if (!baud) return QString::fromStdString(serial::BadBaudRate(text));
        options.Baud = *baud;
    }
    if (split.Has("parity")) {
        const std::string text = split.Last("parity").toStdString();
        const auto parity = serial::ParseParity(text);
        if (!parity) return QString::fromStdString(serial::BadParity(text));
        options.Parity = *parity;
    }
    if (split.Has("timeout")) {
        bool ok = false;
        const double seconds = split.Last("timeout").toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 86'400)
            return QStringLiteral("--timeout takes seconds, more than 0 (such as 10 or 2.5)");
        options.TimeoutMs = std::max(1, int(std::lround(seconds * 1000)));
    }
    options.Json = split.Has("json");
    options.Raw = split.Has("raw");
    return {};
}

// Why a field's text cannot go into a quoted AT field as given; "" when it can. Bytes that
// were not UTF-8 reach us as U+FFFD and would be sent as that; a control character would end
// or garble the command line.
QString FieldProblem(const char* option, const QString& value)
{
    for (QChar c : value) {
        if (c == QChar(0xFFFD))
            return QStringLiteral("--%1 is not valid UTF-8").arg(QLatin1String(option));
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F))
            return QStringLiteral("--%1 holds a control character (U+%2), which the module "
                                  "cannot take in a field")
                .arg(
                    QLatin1String(option),
                    QString::number(unsigned(u), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    return {};
}

// The first problem of any field option given; "" when all can be sent.
QString FieldsProblem(const SplitArguments& split)
{
    if (split.Has("remote-port") && !WholeNumber(split.Last("remote-port"), 1, 65535))
        return QStringLiteral("--remote-port takes a port number from 1 to 65535");
    for (const char* option : {"ssid", "password", "ip", "param", "server"})
        for (const QString& value : split.Values.value(QLatin1String(option)))
            if (QString problem = FieldProblem(option, value); !problem.isEmpty()) return problem;
    return {};
}

// A join takes the firmware's own time (up to 15 s) however short --timeout is.
int StepTimeoutMs(const QByteArray& command, int timeoutMs)
{
    return command.startsWith("AT+CWJAP=") ? std::max(JoinTimeoutMs, timeoutMs) : timeoutMs;
}

QString ParseSend(const SplitArguments& split, Options& options)
{
    if (split.Positionals.isEmpty()) return QStringLiteral("send needs at least one LINE");
    for (const QString& line : split.Positionals) {
        if (line.isEmpty()) return QStringLiteral("an empty LINE sends nothing the module answers");
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            return QStringLiteral("a LINE cannot hold a line break; give each line on its own");
        // "+++" ends transparent transmission only when it comes alone, without a line end.
        QByteArray bytes = line.toUtf8();
        if (bytes != Workbench::ExitCommand) bytes += "\r\n";
        options.Steps.append({QString(), bytes, StepTimeoutMs(bytes, options.TimeoutMs)});
    }
    return {};
}

// The field options `command` accepts for a command, in the order of the composition's fields.
struct FieldOption
{
    const char* Name;
    QString Workbench::CommandFields::*Field;
};

QList<FieldOption> FieldOptionsFor(int commandIndex)
{
    using Workbench::CommandFields;
    // AT+CIPSTART carries the remote address and port in the SSID and password fields.
    if (commandIndex == Workbench::CmdCIPSTART)
        return {{"ip", &CommandFields::Ssid}, {"remote-port", &CommandFields::Pwd}};
    return {{"ssid", &CommandFields::Ssid},
            {"password", &CommandFields::Pwd},
            {"param", &CommandFields::User}};
}

bool FieldUsed(const Workbench::FieldsUsed& used, QString Workbench::CommandFields::*field)
{
    using Workbench::CommandFields;
    return field == &CommandFields::Ssid  ? used.Ssid
           : field == &CommandFields::Pwd ? used.Pwd
                                          : used.User;
}

QString ChoiceName(const Workbench::CommandPanel& panel, int p)
{
    return QStringLiteral("%1 (%2)").arg(p + 1).arg(panel.Choices[p]);
}

QString ParseCommand(const SplitArguments& split, Options& options)
{
    using namespace Workbench;
    options.ListCatalogue = split.Has("list");
    if (options.ListCatalogue) {
        if (!split.Positionals.isEmpty()) return QStringLiteral("--list takes no command name");
        return {};
    }
    if (split.Positionals.isEmpty())
        return QStringLiteral("command needs a NAME (esp8266at command --list shows them)");
    if (split.Positionals.size() > 2)
        return QStringLiteral("command takes a NAME and at most one CHOICE");
    const QString name = split.Positionals[0];
    const int k = CommandIndexByName(name);
    if (k < 0)
        return QStringLiteral("no command %1 in the catalogue (esp8266at command --list shows "
                              "them)")
            .arg(name);
    const CommandPanel panel = *CommandPanelFor(k);

    // Every field option given must be one this command has; which choice uses it is
    // checked once the choice is known.
    CommandFields fields;
    QList<FieldOption> given;
    for (const char* option : {"ssid", "password", "ip", "remote-port", "param"}) {
        if (!split.Has(option)) continue;
        const QList<FieldOption> own = FieldOptionsFor(k);
        const auto it = std::find_if(own.begin(), own.end(), [&](const FieldOption& f) {
            return qstrcmp(f.Name, option) == 0;
        });
        if (it == own.end())
            return QStringLiteral("%1 takes no --%2").arg(panel.Command, QLatin1String(option));
        fields.*(it->Field) = split.Last(option);
        given.append(*it);
    }
    const auto usesAllGiven = [&](int p) {
        const FieldsUsed used = CommandFieldsUsed(k, p);
        return std::all_of(given.begin(), given.end(),
                           [&](const FieldOption& f) { return FieldUsed(used, f.Field); });
    };

    int p = -1;
    if (split.Positionals.size() == 2) {
        if (panel.Choices.isEmpty())
            return QStringLiteral("%1 takes no CHOICE").arg(panel.Command);
        p = ChoiceIndexByName(k, split.Positionals[1]);
        if (p < 0) {
            QStringList names;
            for (int i = 0; i < panel.Choices.size(); ++i)
                names.append(ChoiceName(panel, i));
            return QStringLiteral("%1 has no choice \"%2\"; its choices: %3")
                .arg(panel.Command, split.Positionals[1], names.join(QStringLiteral(", ")));
        }
    } else if (!panel.Choices.isEmpty()) {
        // Without a CHOICE: the first choice that uses every field given (the first of all,
        // as the window selects it, when none is given).
        for (int i = 0; i < panel.Choices.size() && p < 0; ++i)
            if (usesAllGiven(i)) p = i;
        if (p < 0) p = 0;
    }
    for (const FieldOption& f : given) {
        if (FieldUsed(CommandFieldsUsed(k, p), f.Field)) continue;
        if (p < 0) return QStringLiteral("%1 takes no --%2").arg(panel.Command, f.Name);
        QStringList users;
        for (int i = 0; i < panel.Choices.size(); ++i)
            if (FieldUsed(CommandFieldsUsed(k, i), f.Field)) users.append(ChoiceName(panel, i));
        return QStringLiteral("choice %1 of %2 does not use --%3; choice %4 does")
            .arg(ChoiceName(panel, p), panel.Command, QLatin1String(f.Name),
                 users.join(QStringLiteral(" or ")));
    }
    const auto text = ComposeCommand(k, p, fields);
    if (!text) return QStringLiteral("%1 has nothing to send").arg(panel.Command);
    options.Steps.append({QString(), *text, StepTimeoutMs(*text, options.TimeoutMs)});
    return {};
}

// HOST:PORT, the host possibly in brackets; the port a number from 1 to 65535.
bool SplitServer(const QString& server, QString& host, QString& port)
{
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return false;
    host = server.left(colon);
    port = server.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return !host.isEmpty() && WholeNumber(port, 1, 65535).has_value();
}

QString ParseConnect(const SplitArguments& split, Options& options)
{
    if (!split.Positionals.isEmpty())
        return QStringLiteral("connect takes no argument %1").arg(split.Positionals[0]);
    if (!split.Has("ssid")) return QStringLiteral("connect needs --ssid");
    if (!split.Has("server")) return QStringLiteral("connect needs --server HOST:PORT");
    QString host, port;
    if (!SplitServer(split.Last("server"), host, port))
        return QStringLiteral("--server takes HOST:PORT with a port from 1 to 65535");
    const QString ssid = split.Last("ssid");
    const QString password = split.Has("password") ? split.Last("password") : QString();

    // The window's sequence, paced by each final answer instead of by a quiet gap.
    Workbench::SequenceStep step = Workbench::StartConfigSequence(ssid, password);
    options.Steps.append({Workbench::SequenceStepName(0), step.Command,
                          StepTimeoutMs(step.Command, options.TimeoutMs), true});
    while (step.NextConfigStep > 0) {
        const std::int32_t configStep = step.NextConfigStep;
        step = Workbench::RunConfigStep(configStep, host, port);
        options.Steps.append({Workbench::SequenceStepName(configStep), step.Command, options.TimeoutMs});
    }
    return {};
}

// probe and baud: the ports, every --baud as a rate to try first, and baud's --to and --save.
QString ParseProbe(const SplitArguments& split, Subcommand subcommand, Options& options)
{
    if (!split.Positionals.isEmpty())
        return QStringLiteral("%1 takes no argument %2")
            .arg(SubcommandName(subcommand), split.Positionals[0]);
    // The rates are judged by the firmware and the port later (74880 included), so they need
    // only be whole numbers here.
    if (QString error = ParsePorts(split, options); !error.isEmpty()) return error;
    for (const QString& text : split.Values.value(QStringLiteral("baud"))) {
        for (const QString& rate : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto baud = WholeNumber(rate, 1, 4'000'000);
            if (!baud) return QStringLiteral("--baud takes a rate in bit/s, such as 115200");
            options.probeRates.append(int(*baud));
        }
    }
    options.Json = split.Has("json");
    if (subcommand == Subcommand::Probe) {
        if (options.Ports.isEmpty()) options.Ports.append(QStringLiteral("all"));
        return {};
    }
    if (!split.Has("to")) return QStringLiteral("baud needs --to N, the new rate");
    const auto to = WholeNumber(split.Last("to"), 1, 5'000'000);
    if (!to) return QStringLiteral("--to takes a rate in bit/s, such as 9600");
    options.toBaud = int(*to);
    options.save = split.Has("save");
    if (options.Ports.isEmpty()) return QStringLiteral("baud needs -p PORT");
    return {};
}

} // namespace

QString SubcommandName(Subcommand subcommand)
{
    switch (subcommand) {
    case Subcommand::Help:
        return QStringLiteral("help");
    case Subcommand::Ports:
        return QStringLiteral("ports");
    case Subcommand::Send:
        return QStringLiteral("send");
    case Subcommand::Command:
        return QStringLiteral("command");
    case Subcommand::Connect:
        return QStringLiteral("connect");
    case Subcommand::Probe:
        return QStringLiteral("probe");
    case Subcommand::Baud:
        return QStringLiteral("baud");
    default:
        return QStringLiteral("esp8266at");
    }
}

ParseResult ParseArguments(const QStringList& arguments)
{
    ParseResult result;
    const auto fail = [&](const QString& message, Subcommand in) {
        result.Error = message;
        result.ErrorIn = in;
        result.Options.reset();
        return result;
    };
    Options options;
    if (arguments.isEmpty()) return fail(QStringLiteral("a subcommand is needed"), {});
    const QString first = arguments[0];
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        options.Subcommand = Subcommand::Help;
        result.Options = options;
        return result;
    }
    if (first == QLatin1String("--version")) {
        options.Subcommand = Subcommand::Version;
        result.Options = options;
        return result;
    }
    const Subcommand subcommand = SubcommandNamed(first);
    if (subcommand == Subcommand::None)
        return fail(first.startsWith(QLatin1Char('-'))
                        ? QStringLiteral("unknown option %1").arg(first)
                        : QStringLiteral("unknown subcommand %1").arg(first),
                    {});
    const QStringList rest = arguments.mid(1);

    if (subcommand == Subcommand::Help) {
        options.Subcommand = Subcommand::Help;
        if (rest.size() > 1) return fail(QStringLiteral("help takes one subcommand"), {});
        if (!rest.isEmpty()) {
            options.HelpFor = SubcommandNamed(rest[0]);
            if (options.HelpFor == Subcommand::None)
                return fail(QStringLiteral("no subcommand %1").arg(rest[0]), {});
        }
        result.Options = options;
        return result;
    }

    const SplitArguments split = Split(rest, OptionsOf(subcommand));
    if (!split.Error.isEmpty()) return fail(split.Error, subcommand);
    if (split.Has("help")) {
        options.Subcommand = Subcommand::Help;
        options.HelpFor = subcommand;
        result.Options = options;
        return result;
    }
    options.Subcommand = subcommand;
    QString error;
    if (subcommand == Subcommand::Ports) {
        options.Json = split.Has("json");
        if (!split.Positionals.isEmpty())
            error = QStringLiteral("ports takes no argument %1").arg(split.Positionals[0]);
    } else if (subcommand == Subcommand::Probe || subcommand == Subcommand::Baud) {
        error = ParseProbe(split, subcommand, options);
    } else {
        error = ParseLinkOptions(split, options);
        if (error.isEmpty()) error = FieldsProblem(split);
        if (error.isEmpty() && subcommand == Subcommand::Send) error = ParseSend(split, options);
        if (error.isEmpty() && subcommand == Subcommand::Command)
            error = ParseCommand(split, options);
        if (error.isEmpty() && subcommand == Subcommand::Connect)
            error = ParseConnect(split, options);
    }
    if (!error.isEmpty()) return fail(error, subcommand);
    result.Options = options;
    return result;
}

QString CatalogueListing()
{
    using namespace Workbench;
    QString out;
    for (int k = 0; k < CommandCount; ++k) {
        const CommandPanel panel = *CommandPanelFor(k);
        QStringList options;
        for (const FieldOption& f : FieldOptionsFor(k)) {
            bool used = false;
            for (int p = 0; p < std::max<qsizetype>(1, panel.Choices.size()); ++p)
                used |= FieldUsed(CommandFieldsUsed(k, panel.Choices.isEmpty() ? -1 : p), f.Field);
            if (used) options.append(QStringLiteral("--") + QLatin1String(f.Name));
        }
        out += panel.Command;
        if (!options.isEmpty()) out += QLatin1Char(' ') + options.join(QLatin1Char(' '));
        out += QStringLiteral("\n    ") + panel.Prompt + QLatin1Char('\n');
        // What each choice sends, with the fields it fills shown by their option names.
        CommandFields shown;
        for (const FieldOption& f : FieldOptionsFor(k))
            shown.*(f.Field) = QStringLiteral("<%1>").arg(QLatin1String(f.Name));
        for (int p = 0; p < panel.Choices.size(); ++p)
            out += QStringLiteral("    %1  %2  ->  %3\n")
                       .arg(p + 1)
                       .arg(panel.Choices[p], -24)
                       .arg(QString::fromUtf8(ComposeCommand(k, p, shown)->chopped(2)));
    }
    return out;
}

} // namespace Cli
