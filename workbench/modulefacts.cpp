#include "workbench/modulefacts.h"

#include "workbench/replies.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace Workbench {
namespace {

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

// What follows `label` on a line that starts with it; nullopt for other lines.
std::optional<QString> After(const QByteArray& line, QByteArrayView label)
{
    if (!line.startsWith(label)) return std::nullopt;
    return Text(line.mid(label.size())).trimmed();
}

// The text inside the first pair of double quotes after `from`.
QString Quoted(const QByteArray& line, qsizetype from = 0)
{
    const qsizetype open = line.indexOf('"', from);
    if (open < 0) return {};
    const qsizetype close = line.indexOf('"', open + 1);
    if (close < 0) return {};
    return Text(line.mid(open + 1, close - open - 1));
}

// A build date as the 1.x firmware prints it on a line of its own: "Dec  2 2016 14:21:16".
bool IsBareDate(const QByteArray& line)
{
    static const QRegularExpression date(
        QStringLiteral("^[A-Z][a-z]{2} +[0-9]{1,2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$"));
    return date.match(Text(line)).hasMatch();
}

} // namespace

int FirmwareVersion::Generation() const
{
    if (Major >= 2) return 2;
    if (Major == 1) return 1;
    return 0;
}

QList<QByteArray> InformationLines(const QByteArray& answer, const QByteArray& command)
{
    const QByteArray echo = command.trimmed();
    QList<QByteArray> lines;
    bool echoSeen = echo.isEmpty();
    for (const QByteArray& raw : answer.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty()) continue;
        if (!echoSeen && line == echo) {
            echoSeen = true;
            continue;
        }
        if (FinalResultOfLine(line) != FinalResult::None) continue;
        lines.append(line);
    }
    return lines;
}

FirmwareVersion ParseVersion(const QByteArray& answer)
{
    FirmwareVersion v;
    for (const QByteArray& line : InformationLines(answer, "AT+GMR")) {
        v.Lines.append(Text(line));
        if (const auto at = After(line, "AT version:")) {
            const qsizetype bracket = at->indexOf(QLatin1Char('('));
            v.At = (bracket < 0 ? *at : at->left(bracket)).trimmed();
            if (bracket >= 0) {
                const qsizetype close = at->lastIndexOf(QLatin1Char(')'));
                v.AtDetail = at->mid(bracket + 1, close > bracket ? close - bracket - 1 : -1);
            }
            static const QRegularExpression number(QStringLiteral("^([0-9]+)\\.([0-9]+)"));
            const auto match = number.match(v.At);
            if (match.hasMatch()) {
                v.Major = match.captured(1).toInt();
                v.Minor = match.captured(2).toInt();
            }
        } else if (const auto sdk = After(line, "SDK version:")) {
            v.Sdk = *sdk;
        } else if (line.startsWith("compile time")) {
            // "compile time:<date>" or ESP-AT's "compile time(<hash>):<date>".
            const qsizetype colon = line.indexOf(':');
            if (colon > 0) v.BuildDate = Text(line.mid(colon + 1)).trimmed();
        } else if (const auto bin = After(line, "Bin version:")) {
            v.Bin = *bin;
        } else if (v.BuildDate.isEmpty() && IsBareDate(line)) {
            v.BuildDate = Text(line);
        }
    }
    // 1.x puts its date in the AT line's brackets when no line of its own gives one.
    if (v.BuildDate.isEmpty() && !v.AtDetail.isEmpty()) {
        static const QRegularExpression date(
            QStringLiteral("[A-Z][a-z]{2} +[0-9]{1,2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}"));
        const auto match = date.match(v.AtDetail);
        if (match.hasMatch()) v.BuildDate = match.captured(0);
    }
    return v;
}

std::optional<int> ParseWifiMode(const QByteArray& answer)
{
    for (const QByteArray& line : InformationLines(answer, "AT+CWMODE?")) {
        const auto value = After(line, "+CWMODE:");
        if (!value) continue;
        bool ok = false;
        const int mode = value->toInt(&ok);
        if (ok && mode >= 1 && mode <= 3) return mode;
    }
    return std::nullopt;
}

JoinedAccessPoint ParseJoinedAccessPoint(const QByteArray& answer, bool ok)
{
    JoinedAccessPoint ap;
    ap.Answered = ok;
    if (!ok) return ap;
    // The name may hold quotes and commas: the access point's address, a MAC, marks its end.
    static const QRegularExpression full(QStringLiteral(
        "^\\+CWJAP:\"(.*)\",\"([0-9A-Fa-f]{2}(?::[0-9A-Fa-f]{2}){5})\",(-?[0-9]+),(-?[0-9]+)"));
    static const QRegularExpression nameOnly(QStringLiteral("^\\+CWJAP:\"(.*)\"$"));
    for (const QByteArray& line : InformationLines(answer, "AT+CWJAP?")) {
        const QString text = Text(line);
        if (const auto m = full.match(text); m.hasMatch()) {
            ap.Joined = true;
            ap.Ssid = m.captured(1);
            ap.Bssid = m.captured(2).toLower();
            ap.Channel = m.captured(3).toInt();
            ap.Rssi = m.captured(4).toInt();
            return ap;
        }
        if (const auto m = nameOnly.match(text); m.hasMatch()) {
            ap.Joined = true;
            ap.Ssid = m.captured(1);
            return ap;
        }
    }
    return ap; // "No AP"
}

QString ParseStationMac(const QByteArray& answer)
{
    for (const QByteArray& line : InformationLines(answer, "AT+CIPSTAMAC?"))
        if (line.startsWith("+CIPSTAMAC:")) return Quoted(line).toLower();
    return {};
}

InterfaceAddresses ParseAddresses(const QByteArray& answer)
{
    InterfaceAddresses a;
    const std::array<std::pair<QByteArrayView, QString InterfaceAddresses::*>, 4> fields{{
        {"+CIFSR:STAIP,", &InterfaceAddresses::StationIp},
        {"+CIFSR:STAMAC,", &InterfaceAddresses::StationMac},
        {"+CIFSR:APIP,", &InterfaceAddresses::SoftApIp},
        {"+CIFSR:APMAC,", &InterfaceAddresses::SoftApMac},
    }};
    for (const QByteArray& line : InformationLines(answer, "AT+CIFSR"))
        for (const auto& [label, field] : fields)
            if (line.startsWith(label)) a.*field = Quoted(line, label.size());
    a.StationMac = a.StationMac.toLower();
    a.SoftApMac = a.SoftApMac.toLower();
    return a;
}

QString WifiModeName(std::optional<int> mode)
{
    switch (mode.value_or(0)) {
    case 1:
        return QStringLiteral("station");
    case 2:
        return QStringLiteral("soft AP");
    case 3:
        return QStringLiteral("station + soft AP");
    default:
        return {};
    }
}

RateCommand RateCommandFor(const FirmwareVersion& version, int baud, bool save)
{
    RateCommand c;
    const bool uartCommands = version.Major >= 2 || (version.Major == 1 && version.Minor >= 1);
    if (uartCommands) {
        // ESP-AT on the ESP8266 takes 80 to 4500000 bit/s; the 1.x firmware 110 to 115200 * 40.
        const int low = version.Major >= 2 ? 80 : 110;
        const int high = version.Major >= 2 ? 4'500'000 : 115200 * 40;
        c.Name = save ? QStringLiteral("AT+UART_DEF") : QStringLiteral("AT+UART_CUR");
        c.Stored = save;
        if (baud < low || baud > high) {
            c.Refusal = QStringLiteral("%1 takes %2 to %3 bit/s").arg(c.Name).arg(low).arg(high);
            return c;
        }
        // 8 data bits, 1 stop bit, no parity, no flow control: the line the probe found it on.
        c.Command = c.Name.toLatin1() + '=' + QByteArray::number(baud) + ",8,1,0,0\r\n";
        return c;
    }
    // Firmware without the UART commands keeps the rate AT+CIOBAUD sets.
    c.Name = QStringLiteral("AT+CIOBAUD");
    c.Stored = true;
    if (baud < 9600 || baud > 921600) {
        c.Refusal = QStringLiteral("this firmware (AT+CIOBAUD) takes 9600 to 921600 bit/s");
        return c;
    }
    c.Command = "AT+CIOBAUD=" + QByteArray::number(baud) + "\r\n";
    return c;
}

} // namespace Workbench
