#include "cli/probereport.h"

#include <QJsonArray>

#include <algorithm>

namespace Cli {
namespace {

QJsonValue TextOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue TextOrNull(const std::string& text)
{
    return TextOrNull(QString::fromStdString(text));
}

template <typename T> QJsonValue ValueOrNull(const std::optional<T>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonArray Rates(const QList<int>& rates)
{
    QJsonArray array;
    for (int rate : rates)
        array.append(rate);
    return array;
}

// Bytes from something that is no module: printable ASCII kept, the rest as \xNN.
QString Escaped(const QByteArray& bytes)
{
    QString text;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\')
            text += QLatin1Char(c);
        else if (c == '\r')
            text += QStringLiteral("\\r");
        else if (c == '\n')
            text += QStringLiteral("\\n");
        else
            text += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return text;
}

QString Dash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString UsbSummary(const serial::UsbDetails& usb)
{
    if (!usb.Known()) return {};
    QStringList parts;
    if (!usb.Product.empty()) parts.append(QString::fromStdString(usb.Product));
    if (usb.HasIds) parts.append(QString::fromStdString(usb.VendorProduct()));
    if (!usb.SerialNumber.empty())
        parts.append(QStringLiteral("serial ") + QString::fromStdString(usb.SerialNumber));
    return parts.join(QStringLiteral(", "));
}

} // namespace

QJsonObject ProbeJson(const ProbeReport& report)
{
    using namespace Workbench;
    const ProbeResult& r = report.result;
    const bool module = r.verdict == ProbeVerdict::Module;
    QJsonObject o;
    o[QStringLiteral("port")] = report.target.name;
    o[QStringLiteral("device")] = QString::fromStdString(report.target.device);
    o[QStringLiteral("usb_product")] = TextOrNull(report.usb.Product);
    o[QStringLiteral("usb_manufacturer")] = TextOrNull(report.usb.Manufacturer);
    o[QStringLiteral("usb_id")] = TextOrNull(report.usb.VendorProduct());
    o[QStringLiteral("usb_serial")] = TextOrNull(report.usb.SerialNumber);
    o[QStringLiteral("result")] = ProbeVerdictName(r.verdict);
    o[QStringLiteral("baud")] = module ? QJsonValue(r.baud) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("echo")] = module ? QJsonValue(r.echo) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("rates_tried")] = Rates(r.ratesTried);
    o[QStringLiteral("rates_heard")] = Rates(r.ratesHeard);
    o[QStringLiteral("heard")] = module ? QJsonValue(QJsonValue::Null) : TextOrNull(Escaped(r.heard));
    o[QStringLiteral("error")] = TextOrNull(r.error);

    const ModuleFacts& f = r.facts;
    if (module && f.version.Known()) {
        const FirmwareVersion& v = f.version;
        QJsonObject firmware;
        firmware[QStringLiteral("generation")] = v.Generation();
        firmware[QStringLiteral("at_version")] = TextOrNull(v.at);
        firmware[QStringLiteral("at_detail")] = TextOrNull(v.atDetail);
        firmware[QStringLiteral("sdk_version")] = TextOrNull(v.sdk);
        firmware[QStringLiteral("build_date")] = TextOrNull(v.buildDate);
        firmware[QStringLiteral("bin_version")] = TextOrNull(v.bin);
        firmware[QStringLiteral("lines")] = QJsonArray::fromStringList(v.lines);
        o[QStringLiteral("firmware")] = firmware;
    } else {
        o[QStringLiteral("firmware")] = QJsonValue::Null;
    }
    o[QStringLiteral("wifi_mode")] = ValueOrNull(f.wifiMode);
    o[QStringLiteral("wifi_mode_name")] = TextOrNull(WifiModeName(f.wifiMode));
    const JoinedAccessPoint& ap = f.accessPoint;
    o[QStringLiteral("joined")] = ap.answered ? QJsonValue(ap.joined) : QJsonValue(QJsonValue::Null);
    if (ap.joined) {
        o[QStringLiteral("access_point")] =
            QJsonObject{{QStringLiteral("ssid"), ap.ssid},
                        {QStringLiteral("bssid"), TextOrNull(ap.bssid)},
                        {QStringLiteral("channel"), ValueOrNull(ap.channel)},
                        {QStringLiteral("rssi"), ValueOrNull(ap.rssi)}};
    } else {
        o[QStringLiteral("access_point")] = QJsonValue::Null;
    }
    o[QStringLiteral("station_mac")] = TextOrNull(f.stationMac);
    o[QStringLiteral("station_ip")] = TextOrNull(f.addresses.stationIp);
    o[QStringLiteral("softap_mac")] = TextOrNull(f.addresses.softApMac);
    o[QStringLiteral("softap_ip")] = TextOrNull(f.addresses.softApIp);
    QJsonArray queries;
    for (const ProbeQuery& q : r.queries)
        queries.append(QJsonObject{{QStringLiteral("command"), QString::fromLatin1(q.command)},
                                   {QStringLiteral("answer"), QString::fromUtf8(q.answer)},
                                   {QStringLiteral("final"), TextOrNull(q.final)},
                                   {QStringLiteral("ok"), q.ok}});
    o[QStringLiteral("queries")] = queries;
    return o;
}

QByteArray ProbeTable(const QList<ProbeReport>& reports)
{
    using namespace Workbench;
    QList<QStringList> rows{{"PORT", "DEVICE", "RESULT", "BAUD", "ECHO", "AT", "SDK", "BUILT",
                             "MODE", "JOINED", "STATION MAC", "ADDRESS", "ADAPTER"}};
    for (const ProbeReport& report : reports) {
        const ProbeResult& r = report.result;
        const ModuleFacts& f = r.facts;
        const bool module = r.verdict == ProbeVerdict::Module;
        // A port error's reason goes to standard error, where it has room.
        const QString result = ProbeVerdictName(r.verdict);
        const JoinedAccessPoint& ap = f.accessPoint;
        rows.append({report.target.name, QString::fromStdString(report.target.device), result,
                     module ? QString::number(r.baud) : QStringLiteral("-"),
                     module ? (r.echo ? QStringLiteral("yes") : QStringLiteral("no"))
                            : QStringLiteral("-"),
                     Dash(f.version.at), Dash(f.version.sdk), Dash(f.version.buildDate),
                     Dash(WifiModeName(f.wifiMode)),
                     ap.joined ? ap.ssid : (ap.answered ? QStringLiteral("no") : QStringLiteral("-")),
                     Dash(f.stationMac), Dash(f.addresses.stationIp),
                     Dash(UsbSummary(report.usb))});
    }
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QByteArray out;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        out += line.trimmed().toUtf8() + '\n';
    }
    return out;
}

QString RateChangeOutcomeName(Workbench::RateChangeOutcome outcome)
{
    using O = Workbench::RateChangeOutcome;
    switch (outcome) {
    case O::Changed:
        return QStringLiteral("changed");
    case O::AlreadyThere:
        return QStringLiteral("already there");
    case O::Refused:
        return QStringLiteral("refused");
    case O::WentBack:
        return QStringLiteral("went back");
    case O::Lost:
        return QStringLiteral("lost");
    case O::NotFound:
        return QStringLiteral("not found");
    case O::PortError:
        return QStringLiteral("port error");
    case O::Pending:
        break;
    }
    return QStringLiteral("pending");
}

int RateChangeExitStatus(Workbench::RateChangeOutcome outcome)
{
    using O = Workbench::RateChangeOutcome;
    switch (outcome) {
    case O::Changed:
    case O::AlreadyThere:
        return ExitOk;
    case O::Refused:
    case O::WentBack:
        return ExitFailed;
    case O::Lost:
    case O::NotFound:
    case O::Pending:
        return ExitNoAnswer;
    case O::PortError:
        return ExitPortError;
    }
    return ExitFailed;
}

QJsonObject RateChangeJson(const PortTarget& target, const Workbench::RateChangeResult& result)
{
    QJsonObject o;
    o[QStringLiteral("port")] = target.name;
    o[QStringLiteral("device")] = QString::fromStdString(target.device);
    o[QStringLiteral("result")] = RateChangeOutcomeName(result.outcome);
    o[QStringLiteral("ok")] = RateChangeExitStatus(result.outcome) == ExitOk;
    o[QStringLiteral("from")] = result.from > 0 ? QJsonValue(result.from) : QJsonValue::Null;
    o[QStringLiteral("to")] = result.to;
    o[QStringLiteral("command")] = TextOrNull(result.command.name);
    o[QStringLiteral("stored")] = result.command.stored;
    o[QStringLiteral("message")] = TextOrNull(result.message);
    return o;
}

} // namespace Cli
