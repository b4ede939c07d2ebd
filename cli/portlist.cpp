#include "cli/portlist.h"

#include "serial/serialport.h"

#include <QRegularExpression>

#include <cerrno>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace Cli {
namespace {

// The device a name stands for, links followed, so that two names of one device count once.
std::string CanonicalDevice(const std::string& device)
{
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(device, ec);
    return ec ? device : canonical.string();
}

// A stable keyword and a sentence for a failed open, from the OS error it recorded.
std::pair<QString, QString> DescribeFailure(const serial::SerialError& error)
{
    const QString message = QString::fromStdString(error.Message);
    switch (error.Code) {
    case EACCES:
    case EPERM:
        return {QStringLiteral("permission"), QStringLiteral("permission denied")};
    case EWOULDBLOCK:
    case EBUSY:
        return {QStringLiteral("busy"), QStringLiteral("busy: another program holds it")};
    case ENOENT:
        return {QStringLiteral("gone"), QStringLiteral("no such device")};
    case EIO:
    case ENXIO:
    case ENODEV:
        return {QStringLiteral("gone"), QStringLiteral("no device answers behind it")};
    default:
        return {QStringLiteral("failed"),
                message.isEmpty() ? QStringLiteral("it cannot be opened") : message};
    }
}

std::optional<unsigned> ComNumber(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]{1,4})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto match = com.match(name);
    if (!match.hasMatch()) return std::nullopt;
    const unsigned n = match.captured(1).toUInt();
    if (n == 0) return std::nullopt;
    return n;
}

QList<PortTarget> OpenablePorts()
{
    QList<PortTarget> ports;
    for (const PortCandidate& c : ListPortCandidates())
        if (c.openable) ports.append({c.name, c.number, c.device});
    return ports;
}

} // namespace

QList<PortCandidate> ListPortCandidates()
{
    QList<PortCandidate> candidates;
    for (unsigned n = 1; n <= HighestPort; ++n) {
        const std::string device = serial::PortDevice(n);
        std::error_code ec;
        if (device.empty() || !fs::exists(device, ec)) continue;
        PortCandidate c;
        c.name = QStringLiteral("COM%1").arg(n);
        c.number = n;
        c.device = device;
        const auto backend = serial::CreateSerialBackend();
        c.openable = backend->Probe(device);
        if (!c.openable) std::tie(c.problem, c.reason) = DescribeFailure(backend->LastError());
        candidates.append(c);
    }
    return candidates;
}

QString OpenFailureReason(const std::string& device, const serial::SerialError& error)
{
    Q_UNUSED(device);
    return DescribeFailure(error).second;
}

Targets ResolveTargets(const QStringList& names)
{
    Targets out;
    const auto fail = [&](int status, const QString& message) {
        out.ports.clear();
        out.exitStatus = status;
        out.error = message;
        return out;
    };
    if (names.isEmpty()) {
        out.ports = OpenablePorts();
        if (out.ports.isEmpty())
            return fail(ExitPortError,
                        QStringLiteral("no port can be opened (esp8266at ports lists them)"));
        if (out.ports.size() > 1) {
            QStringList found;
            for (const PortTarget& p : out.ports)
                found.append(p.name);
            return fail(ExitUsage, QStringLiteral("several ports can be opened (%1): choose with "
                                                  "-p PORT, or -p all")
                                       .arg(found.join(QStringLiteral(", "))));
        }
        return out;
    }
    std::set<std::string> seen;
    const auto add = [&](const PortTarget& target) {
        if (seen.insert(CanonicalDevice(target.device)).second) out.ports.append(target);
    };
    for (const QString& name : names) {
        if (name.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
            const QList<PortTarget> all = OpenablePorts();
            if (all.isEmpty())
                return fail(ExitPortError,
                            QStringLiteral("no port can be opened (esp8266at ports lists them)"));
            for (const PortTarget& p : all)
                add(p);
        } else if (const auto n = ComNumber(name)) {
            const std::string device = serial::PortDevice(*n);
            if (device.empty())
                return fail(ExitPortError, QStringLiteral("%1: no device stands for it (see the "
                                                          "port alias folder)")
                                               .arg(name.toUpper()));
            add({QStringLiteral("COM%1").arg(*n), *n, device});
        } else {
            add({name, 0, name.toStdString()});
        }
    }
    return out;
}

} // namespace Cli
