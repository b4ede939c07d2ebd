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
    const ProbeResult& r = report.Result;
    const bool module = r.Verdict == ProbeVerdict::Module;
    QJsonObject o;
    o[QStringLiteral("port")] = report.Target.Name;
    o[QStringLiteral("device")] = QString::fromStdString(report.Target.Device);
    o[QStringLiteral("usb_product")] = TextOrNull(report.Usb.Product);
    o[QStringLiteral("usb_manufacturer")] = TextOrNull(report.Usb.Manufacturer);
    o[QStringLiteral("usb_id")] = TextOrNull(report.Usb.VendorProduct());
    o[QStringLiteral("usb_serial")] = TextOrNull(report.Usb.SerialNumber);
    o[QStringLiteral("result")] = ProbeVerdictName(r.Verdict);
    o[QStringLiteral("baud")] = module ? QJsonValue(r.Baud) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("echo")] = module ? QJsonValue(r.Echo) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("rates_tried")] = Rates(r.RatesTried);
    o[QStringLiteral("rates_heard")] = Rates(r.RatesHeard);
    o[QStringLiteral("heard")] = module ? QJsonValue(QJsonValue::Null) : TextOrNull(Escaped(r.Heard));
    o[QStringLiteral("error")] = TextOrNull(r.Error);

    const ModuleFacts& f = r.Facts;
    if (module && f.Version.Known()) {
        const FirmwareVersion& v = f.Version;
        QJsonObject firmware;
        firmware[QStringLiteral("generation")] = v.Generation();
        firmware[QStringLiteral("at_version")] = TextOrNull(v.At);
        firmware[QStringLiteral("at_detail")] = TextOrNull(v.AtDetail);
        firmware[QStringLiteral("sdk_version")] = TextOrNull(v.Sdk);
        firmware[QStringLiteral("build_date")] = TextOrNull(v.BuildDate);
        firmware[QStringLiteral("bin_version")] = TextOrNull(v.Bin);
        firmware[QStringLiteral("lines")] = QJsonArray::fromStringList(v.Lines);
        o[QStringLiteral("firmware")] = firmware;
    } else {
        o[QStringLiteral("firmware")] = QJsonValue::Null;
    }
    o[QStringLiteral("wifi_mode")] = ValueOrNull(f.WifiMode);
    o[QStringLiteral("wifi_mode_name")] = TextOrNull(WifiModeName(f.WifiMode));
    const JoinedAccessPoint& ap = f.AccessPoint;
    o[QStringLiteral("joined")] = ap.Answered ? QJsonValue(ap.Joined) : QJsonValue(QJsonValue::Null);
    if (ap.Joined) {
        o[QStringLiteral("access_point")] =
            QJsonObject{{QStringLiteral("ssid"), ap.Ssid},
                        {QStringLiteral("bssid"), TextOrNull(ap.Bssid)},
                        {QStringLiteral("channel"), ValueOrNull(ap.Channel)},
                        {QStringLiteral("rssi"), ValueOrNull(ap.Rssi)}};
    } else {
        o[QStringLiteral("access_point")] = QJsonValue::Null;
    }
    o[QStringLiteral("station_mac")] = TextOrNull(f.StationMac);
    o[QStringLiteral("station_ip")] = TextOrNull(f.Addresses.StationIp);
    o[QStringLiteral("softap_mac")] = TextOrNull(f.Addresses.SoftApMac);
    o[QStringLiteral("softap_ip")] = TextOrNull(f.Addresses.SoftApIp);
    QJsonArray queries;
    for (const ProbeQuery& q : r.Queries)
        queries.append(QJsonObject{{QStringLiteral("command"), QString::fromLatin1(q.Command)},
                                   {QStringLiteral("answer"), QString::fromUtf8(q.Answer)},
                                   {QStringLiteral("final"), TextOrNull(q.Final)},
                                   {QStringLiteral("ok"), q.Ok}});
    o[QStringLiteral("queries")] = queries;
    return o;
}

QByteArray ProbeTable(const QList<ProbeReport>& reports)
{
    using namespace Workbench;
    QList<QStringList> rows{{"PORT", "DEVICE", "RESULT", "BAUD", "ECHO", "AT", "SDK", "BUILT",
                             "MODE", "JOINED", "STATION MAC", "ADDRESS", "ADAPTER"}};
    for (const ProbeReport& report : reports) {
        const ProbeResult& r = report.Result;
        const ModuleFacts& f = r.Facts;
        const bool module = r.Verdict == ProbeVerdict::Module;
        // A port error's reason goes to standard error, where it has room.
        const QString result = ProbeVerdictName(r.Verdict);
        const JoinedAccessPoint& ap = f.AccessPoint;
        rows.append({report.Target.Name, QString::fromStdString(report.Target.Device), result,
                     module ? QString::number(r.Baud) : QStringLiteral("-"),
                     module ? (r.Echo ? QStringLiteral("yes") : QStringLiteral("no"))
                            : QStringLiteral("-"),
                     Dash(f.Version.At), Dash(f.Version.Sdk), Dash(f.Version.BuildDate),
                     Dash(WifiModeName(f.WifiMode)),
                     ap.Joined ? ap.Ssid : (ap.Answered ? QStringLiteral("no") : QStringLiteral("-")),
                     Dash(f.StationMac), Dash(f.Addresses.StationIp),
                     Dash(UsbSummary(report.Usb))});
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
    o[QStringLiteral("port")] = target.Name;
    o[QStringLiteral("device")] = QString::fromStdString(target.Device);
    o[QStringLiteral("result")] = RateChangeOutcomeName(result.Outcome);
    o[QStringLiteral("ok")] = RateChangeExitStatus(result.Outcome) == ExitOk;
    o[QStringLiteral("from")] = result.From > 0 ? QJsonValue(result.From) : QJsonValue::Null;
    o[QStringLiteral("to")] = result.To;
    o[QStringLiteral("command")] = TextOrNull(result.Command.Name);
    o[QStringLiteral("stored")] = result.Command.Stored;
    o[QStringLiteral("message")] = TextOrNull(result.Message);
    return o;
}

} // namespace Cli
