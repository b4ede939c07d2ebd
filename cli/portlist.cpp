#include "cli/portlist.h"

#include "serial/portinfo.h"
#include "serial/portoptions.h"
#include "serial/serialport.h"

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

// The ports with hardware behind them, or named by an alias, that can be opened now.
QList<PortTarget> OpenablePorts()
{
    QList<PortTarget> ports;
    for (const serial::PortCandidate& c : serial::ScanPorts(serial::LastPortNumber, true))
        if (serial::TakenForEveryPort(c))
            ports.append({QString::fromStdString(c.Name), c.Number, c.Device});
    return ports;
}

} // namespace

QString OpenFailureReason(const std::string& device, const serial::SerialError& error)
{
    const serial::PortCandidate found = serial::InspectDevice(device);
    if (!found.Openable && !found.Reason.empty()) return QString::fromStdString(found.Reason);
    return error.Message.empty() ? QStringLiteral("it cannot be opened")
                                 : QString::fromStdString(error.Message);
}

Targets ResolveTargets(const QStringList& names)
{
    Targets out;
    const auto fail = [&](int status, const QString& message) {
        out.Ports.clear();
        out.ExitStatus = status;
        out.Error = message;
        return out;
    };
    if (names.isEmpty()) {
        out.Ports = OpenablePorts();
        if (out.Ports.isEmpty())
            return fail(ExitPortError,
                        QStringLiteral("no port can be opened (esp8266at ports lists them)"));
        if (out.Ports.size() > 1) {
            QStringList found;
            for (const PortTarget& p : out.Ports)
                found.append(p.Name);
            return fail(ExitUsage, QStringLiteral("several ports can be opened (%1): choose with "
                                                  "-p PORT, or -p all")
                                       .arg(found.join(QStringLiteral(", "))));
        }
        return out;
    }
    std::set<std::string> seen;
    const auto add = [&](const PortTarget& target) {
        if (seen.insert(CanonicalDevice(target.Device)).second) out.Ports.append(target);
    };
    for (const QString& name : names) {
        if (name.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
            const QList<PortTarget> all = OpenablePorts();
            if (all.isEmpty())
                return fail(ExitPortError,
                            QStringLiteral("no port can be opened (esp8266at ports lists them)"));
            for (const PortTarget& p : all)
                add(p);
            continue;
        }
        const auto port = serial::ParsePortName(name.toStdString());
        if (!port)
            return fail(ExitUsage, QString::fromStdString(serial::BadPortName(name.toStdString())));
        if (port->Number == 0) {
            add({name, 0, port->Path});
            continue;
        }
        const QString com = QString::fromStdString(port->Text());
        const std::string device = serial::DeviceName(port->Number);
        if (device.empty())
            return fail(ExitPortError,
                        QStringLiteral("%1: no device stands for it (see the port alias folder)")
                            .arg(com));
        add({com, port->Number, device});
    }
    return out;
}

void CoverTargets(serial::HolderSnapshot& batch, const Targets& targets)
{
    std::vector<std::string> devices;
    for (const PortTarget& target : targets.Ports)
        devices.push_back(target.Device);
    batch.Cover(devices);
}

} // namespace Cli
