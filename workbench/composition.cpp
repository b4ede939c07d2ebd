#include "workbench/composition.h"

#include "workbench/catalogue.h"
#include "workbench/lines.h"

#include <array>

namespace Workbench {
namespace {

const QByteArray crlf = QByteArrayLiteral("\r\n");

// C0 controls (CR and LF among them) and DEL cannot be part of a valid parameter: a line
// break would end the command early, and TAB, ESC, NUL and the rest only confuse the module.
QString withoutControlCharacters(QString field)
{
    field.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return field;
}

QByteArray line(const QByteArray& text)
{
    return text + crlf;
}

// The fixed text for choice p of a command whose choices map one-to-one onto fixed
// commands; empty for a choice outside the list.
std::optional<QByteArray> fixedChoice(int p, std::initializer_list<const char*> texts)
{
    if (p < 0 || p >= int(texts.size())) return std::nullopt;
    return line(QByteArray(texts.begin()[p]));
}

} // namespace

QByteArray QuotedParameter(const QString& field)
{
    const QByteArray plain = PlainParameter(field);
    QByteArray quoted;
    quoted.reserve(plain.size() + 2);
    quoted.append('"');
    for (char c : plain) {
        if (c == '"' || c == ',' || c == '\\') quoted.append('\\');
        quoted.append(c);
    }
    quoted.append('"');
    return quoted;
}

QByteArray PlainParameter(const QString& field)
{
    return withoutControlCharacters(field).toUtf8();
}

QByteArray JoinAccessPointCommand(const QString& ssid, const QString& pwd)
{
    return line("AT+CWJAP=" + QuotedParameter(ssid) + ',' + QuotedParameter(pwd));
}

QByteArray StartConnectionCommand(const QString& protocol, const QString& address,
                                  const QString& port)
{
    return line("AT+CIPSTART=" + QuotedParameter(protocol) + ',' + QuotedParameter(address) + ',' +
                PlainParameter(port));
}

std::optional<QByteArray> ComposeCommand(int commandIndex, int choiceIndex,
                                         const CommandFields& fields)
{
    const int p = choiceIndex;
    switch (commandIndex) {
    case CmdAT:
        return line("AT");
    case CmdRST:
        return line("AT+RST");
    case CmdGMR:
        return line("AT+GMR");
    case CmdCWMODE:
        return fixedChoice(p, {"AT+CWMODE?", "AT+CWMODE=1", "AT+CWMODE=2", "AT+CWMODE=3"});
    case CmdCWJAP:
        if (p == 0) return line("AT+CWJAP?");
        if (p == 1) return JoinAccessPointCommand(fields.Ssid, fields.Pwd);
        return std::nullopt;
    case CmdCWLAP:
        return line("AT+CWLAP");
    case CmdCWQAP:
        return line("AT+CWQAP");
    case CmdCWSAP:
        return line("AT+CWSAP?"); // the list's one entry is the query itself
    case CmdCWLIF:
        return line("AT+CWLIF");
    case CmdCIPSTATUS:
        return line("AT+CIPSTATUS");
    case CmdCIPSTART:
        if (p == 0 || p == 1)
            return StartConnectionCommand(p == 0 ? QStringLiteral("TCP") : QStringLiteral("UDP"),
                                          fields.Ssid, fields.Pwd);
        return std::nullopt;
    case CmdCIPSEND:
        return fixedChoice(p, {"AT+CIPSEND=?", "AT+CIPSEND"});
    case CmdCIPCLOSE:
        return fixedChoice(p, {"AT+CIPCLOSE=?", "AT+CIPCLOSE=5"});
    case CmdCIFSR:
        return fixedChoice(p, {"AT+CIFSR=?", "AT+CIFSR"});
    case CmdCIPMUX:
        return fixedChoice(p, {"AT+CIPMUX?", "AT+CIPMUX=0", "AT+CIPMUX=1"});
    case CmdCIPSERVER:
        if (p == 0) return line("AT+CIPSERVER=0");
        if (p == 1) {
            // No trimming: a lone space still counts as a port. A field holding nothing but
            // control characters counts as empty, since none of it would be sent.
            const QByteArray port = PlainParameter(fields.User);
            if (port.isEmpty()) return line("AT+CIPSERVER=1");
            return line("AT+CIPSERVER=1," + port);
        }
        return std::nullopt;
    case CmdCIPMODE:
        return fixedChoice(p, {"AT+CIPMODE?", "AT+CIPMODE=0", "AT+CIPMODE=1"});
    case CmdCIPSTO:
        if (p == 0) return line("AT+CIPSTO?");
        if (p == 1) return line("AT+CIPSTO=" + PlainParameter(fields.User));
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

FieldsUsed CommandFieldsUsed(int commandIndex, int choiceIndex)
{
    // A field is used when filling it changes the text: the composition is the only table.
    const auto bare = ComposeCommand(commandIndex, choiceIndex, {});
    const QString x = QStringLiteral("x");
    const auto differs = [&](const CommandFields& fields) {
        return bare && ComposeCommand(commandIndex, choiceIndex, fields) != bare;
    };
    return {differs({x, {}, {}}), differs({{}, x, {}}), differs({{}, {}, x})};
}

QStringList SendLogLines(const QByteArray& command)
{
    return SplitLines(QString::fromUtf8(SendLogPrefix) + QString::fromUtf8(command));
}

} // namespace Workbench
