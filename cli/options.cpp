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
    const char* name; // long name without the dashes
    char shortName;   // 0 when there is none
    bool takesValue;
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
    QMap<QString, QStringList> values; // long name -> every value given ("" for a flag)
    QStringList positionals;
    QString error;

    bool has(const char* name) const { return values.contains(QLatin1String(name)); }
    QString last(const char* name) const { return values.value(QLatin1String(name)).last(); }
};

SplitArguments Split(const QStringList& args, const QList<OptionSpec>& specs)
{
    SplitArguments out;
    const auto byLong = [&](const QString& name) -> const OptionSpec* {
        for (const OptionSpec& s : specs)
            if (name == QLatin1String(s.name)) return &s;
        return nullptr;
    };
    const auto byShort = [&](QChar c) -> const OptionSpec* {
        for (const OptionSpec& s : specs)
            if (s.shortName && c == QLatin1Char(s.shortName)) return &s;
        return nullptr;
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            out.positionals.append(arg);
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
            out.error = QStringLiteral("unknown option %1").arg(arg);
            return out;
        }
        const QString name = QLatin1String(spec->name);
        if (!spec->takesValue) {
            if (inlineValue) {
                out.error = QStringLiteral("--%1 takes no value").arg(name);
                return out;
            }
            out.values[name].append(QString());
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                out.error = QStringLiteral("--%1 needs a value").arg(name);
                return out;
            }
            inlineValue = args[++i];
        }
        out.values[name].append(*inlineValue);
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

QString ParseLinkOptions(const SplitArguments& split, Options& options)
{
    for (const QString& port : split.values.value(QStringLiteral("port")))
        options.ports.append(port.split(QLatin1Char(','), Qt::SkipEmptyParts));
    if (split.has("port") && options.ports.isEmpty()) return QStringLiteral("-p needs a port");
    // The port and line settings read as the window reads them, refused in the same words.
    for (const QString& port : options.ports) {
        const std::string text = port.toStdString();
        if (port.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0 &&
            !serial::ParsePortName(text))
            return QString::fromStdString(serial::BadPortName(text));
    }
    if (split.has("baud")) {
        const std::string text = split.last("baud").toStdString();
        const auto baud = serial::ParseBaudRate(text);
        if (!baud) return QString::fromStdString(serial::BadBaudRate(text));
        options.baud = *baud;
    }
    if (split.has("parity")) {
        const std::string text = split.last("parity").toStdString();
        const auto parity = serial::ParseParity(text);
        if (!parity) return QString::fromStdString(serial::BadParity(text));
        options.parity = *parity;
    }
    if (split.has("timeout")) {
        bool ok = false;
        const double seconds = split.last("timeout").toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 86'400)
            return QStringLiteral("--timeout takes seconds, more than 0 (such as 10 or 2.5)");
        options.timeoutMs = std::max(1, int(std::lround(seconds * 1000)));
    }
    options.json = split.has("json");
    options.raw = split.has("raw");
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
    if (split.has("remote-port") && !WholeNumber(split.last("remote-port"), 1, 65535))
        return QStringLiteral("--remote-port takes a port number from 1 to 65535");
    for (const char* option : {"ssid", "password", "ip", "param", "server"})
        for (const QString& value : split.values.value(QLatin1String(option)))
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
    if (split.positionals.isEmpty()) return QStringLiteral("send needs at least one LINE");
    for (const QString& line : split.positionals) {
        if (line.isEmpty()) return QStringLiteral("an empty LINE sends nothing the module answers");
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            return QStringLiteral("a LINE cannot hold a line break; give each line on its own");
        // "+++" ends transparent transmission only when it comes alone, without a line end.
        QByteArray bytes = line.toUtf8();
        if (bytes != Workbench::ExitCommand) bytes += "\r\n";
        options.steps.append({QString(), bytes, StepTimeoutMs(bytes, options.timeoutMs)});
    }
    return {};
}

// The field options `command` accepts for a command, in the order of the composition's fields.
struct FieldOption
{
    const char* name;
    QString Workbench::CommandFields::*field;
};

QList<FieldOption> FieldOptionsFor(int commandIndex)
{
    using Workbench::CommandFields;
    // AT+CIPSTART carries the remote address and port in the SSID and password fields.
    if (commandIndex == Workbench::CmdCIPSTART)
        return {{"ip", &CommandFields::ssid}, {"remote-port", &CommandFields::pwd}};
    return {{"ssid", &CommandFields::ssid},
            {"password", &CommandFields::pwd},
            {"param", &CommandFields::user}};
}

bool FieldUsed(const Workbench::FieldsUsed& used, QString Workbench::CommandFields::*field)
{
    using Workbench::CommandFields;
    return field == &CommandFields::ssid  ? used.ssid
           : field == &CommandFields::pwd ? used.pwd
                                          : used.user;
}

QString ChoiceName(const Workbench::CommandPanel& panel, int p)
{
    return QStringLiteral("%1 (%2)").arg(p + 1).arg(panel.choices[p]);
}

QString ParseCommand(const SplitArguments& split, Options& options)
{
    using namespace Workbench;
    options.listCatalogue = split.has("list");
    if (options.listCatalogue) {
        if (!split.positionals.isEmpty()) return QStringLiteral("--list takes no command name");
        return {};
    }
    if (split.positionals.isEmpty())
        return QStringLiteral("command needs a NAME (esp8266at command --list shows them)");
    if (split.positionals.size() > 2)
        return QStringLiteral("command takes a NAME and at most one CHOICE");
    const QString name = split.positionals[0];
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
        if (!split.has(option)) continue;
        const QList<FieldOption> own = FieldOptionsFor(k);
        const auto it = std::find_if(own.begin(), own.end(), [&](const FieldOption& f) {
            return qstrcmp(f.name, option) == 0;
        });
        if (it == own.end())
            return QStringLiteral("%1 takes no --%2").arg(panel.command, QLatin1String(option));
        fields.*(it->field) = split.last(option);
        given.append(*it);
    }
    const auto usesAllGiven = [&](int p) {
        const FieldsUsed used = CommandFieldsUsed(k, p);
        return std::all_of(given.begin(), given.end(),
                           [&](const FieldOption& f) { return FieldUsed(used, f.field); });
    };

    int p = -1;
    if (split.positionals.size() == 2) {
        if (panel.choices.isEmpty())
            return QStringLiteral("%1 takes no CHOICE").arg(panel.command);
        p = ChoiceIndexByName(k, split.positionals[1]);
        if (p < 0) {
            QStringList names;
            for (int i = 0; i < panel.choices.size(); ++i)
                names.append(ChoiceName(panel, i));
            return QStringLiteral("%1 has no choice \"%2\"; its choices: %3")
                .arg(panel.command, split.positionals[1], names.join(QStringLiteral(", ")));
        }
    } else if (!panel.choices.isEmpty()) {
        // Without a CHOICE: the first choice that uses every field given (the first of all,
        // as the window selects it, when none is given).
        for (int i = 0; i < panel.choices.size() && p < 0; ++i)
            if (usesAllGiven(i)) p = i;
        if (p < 0) p = 0;
    }
    for (const FieldOption& f : given) {
        if (FieldUsed(CommandFieldsUsed(k, p), f.field)) continue;
        if (p < 0) return QStringLiteral("%1 takes no --%2").arg(panel.command, f.name);
        QStringList users;
        for (int i = 0; i < panel.choices.size(); ++i)
            if (FieldUsed(CommandFieldsUsed(k, i), f.field)) users.append(ChoiceName(panel, i));
        return QStringLiteral("choice %1 of %2 does not use --%3; choice %4 does")
            .arg(ChoiceName(panel, p), panel.command, QLatin1String(f.name),
                 users.join(QStringLiteral(" or ")));
    }
    const auto text = ComposeCommand(k, p, fields);
    if (!text) return QStringLiteral("%1 has nothing to send").arg(panel.command);
    options.steps.append({QString(), *text, StepTimeoutMs(*text, options.timeoutMs)});
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
    if (!split.positionals.isEmpty())
        return QStringLiteral("connect takes no argument %1").arg(split.positionals[0]);
    if (!split.has("ssid")) return QStringLiteral("connect needs --ssid");
    if (!split.has("server")) return QStringLiteral("connect needs --server HOST:PORT");
    QString host, port;
    if (!SplitServer(split.last("server"), host, port))
        return QStringLiteral("--server takes HOST:PORT with a port from 1 to 65535");
    const QString ssid = split.last("ssid");
    const QString password = split.has("password") ? split.last("password") : QString();

    // The window's sequence, paced by each final answer instead of by a quiet gap.
    Workbench::SequenceStep step = Workbench::StartConfigSequence(ssid, password);
    options.steps.append({Workbench::SequenceStepName(0), step.command,
                          StepTimeoutMs(step.command, options.timeoutMs), true});
    while (step.nextConfigStep > 0) {
        const std::int32_t configStep = step.nextConfigStep;
        step = Workbench::RunConfigStep(configStep, host, port);
        options.steps.append({Workbench::SequenceStepName(configStep), step.command, options.timeoutMs});
    }
    return {};
}

// probe and baud: the ports, every --baud as a rate to try first, and baud's --to and --save.
QString ParseProbe(const SplitArguments& split, Subcommand subcommand, Options& options)
{
    if (!split.positionals.isEmpty())
        return QStringLiteral("%1 takes no argument %2")
            .arg(SubcommandName(subcommand), split.positionals[0]);
    for (const QString& port : split.values.value(QStringLiteral("port")))
        options.ports.append(port.split(QLatin1Char(','), Qt::SkipEmptyParts));
    if (split.has("port") && options.ports.isEmpty()) return QStringLiteral("-p needs a port");
    // Port names as every subcommand reads them; the rates are judged by the firmware and the
    // port later (74880 included), so they need only be whole numbers here.
    for (const QString& port : options.ports) {
        const std::string text = port.toStdString();
        if (port.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0 &&
            !serial::ParsePortName(text))
            return QString::fromStdString(serial::BadPortName(text));
    }
    for (const QString& text : split.values.value(QStringLiteral("baud"))) {
        for (const QString& rate : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto baud = WholeNumber(rate, 1, 4'000'000);
            if (!baud) return QStringLiteral("--baud takes a rate in bit/s, such as 115200");
            options.probeRates.append(int(*baud));
        }
    }
    options.json = split.has("json");
    if (subcommand == Subcommand::Probe) {
        if (options.ports.isEmpty()) options.ports.append(QStringLiteral("all"));
        return {};
    }
    if (!split.has("to")) return QStringLiteral("baud needs --to N, the new rate");
    const auto to = WholeNumber(split.last("to"), 1, 5'000'000);
    if (!to) return QStringLiteral("--to takes a rate in bit/s, such as 9600");
    options.toBaud = int(*to);
    options.save = split.has("save");
    if (options.ports.isEmpty()) return QStringLiteral("baud needs -p PORT");
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
        result.error = message;
        result.errorIn = in;
        result.options.reset();
        return result;
    };
    Options options;
    if (arguments.isEmpty()) return fail(QStringLiteral("a subcommand is needed"), {});
    const QString first = arguments[0];
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        options.subcommand = Subcommand::Help;
        result.options = options;
        return result;
    }
    if (first == QLatin1String("--version")) {
        options.subcommand = Subcommand::Version;
        result.options = options;
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
        options.subcommand = Subcommand::Help;
        if (rest.size() > 1) return fail(QStringLiteral("help takes one subcommand"), {});
        if (!rest.isEmpty()) {
            options.helpFor = SubcommandNamed(rest[0]);
            if (options.helpFor == Subcommand::None)
                return fail(QStringLiteral("no subcommand %1").arg(rest[0]), {});
        }
        result.options = options;
        return result;
    }

    const SplitArguments split = Split(rest, OptionsOf(subcommand));
    if (!split.error.isEmpty()) return fail(split.error, subcommand);
    if (split.has("help")) {
        options.subcommand = Subcommand::Help;
        options.helpFor = subcommand;
        result.options = options;
        return result;
    }
    options.subcommand = subcommand;
    QString error;
    if (subcommand == Subcommand::Ports) {
        options.json = split.has("json");
        if (!split.positionals.isEmpty())
            error = QStringLiteral("ports takes no argument %1").arg(split.positionals[0]);
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
    result.options = options;
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
            for (int p = 0; p < std::max<qsizetype>(1, panel.choices.size()); ++p)
                used |= FieldUsed(CommandFieldsUsed(k, panel.choices.isEmpty() ? -1 : p), f.field);
            if (used) options.append(QStringLiteral("--") + QLatin1String(f.name));
        }
        out += panel.command;
        if (!options.isEmpty()) out += QLatin1Char(' ') + options.join(QLatin1Char(' '));
        out += QStringLiteral("\n    ") + panel.prompt + QLatin1Char('\n');
        // What each choice sends, with the fields it fills shown by their option names.
        CommandFields shown;
        for (const FieldOption& f : FieldOptionsFor(k))
            shown.*(f.field) = QStringLiteral("<%1>").arg(QLatin1String(f.name));
        for (int p = 0; p < panel.choices.size(); ++p)
            out += QStringLiteral("    %1  %2  ->  %3\n")
                       .arg(p + 1)
                       .arg(panel.choices[p], -24)
                       .arg(QString::fromUtf8(ComposeCommand(k, p, shown)->chopped(2)));
    }
    return out;
}

} // namespace Cli
