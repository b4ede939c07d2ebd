#include "serial/portinfo.h"

#include "serial/portnames.h"
#include "serial/serialbackend.h"

#include <QList>
#include <QSerialPortInfo>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace serial {

namespace {

std::string LastPart(const std::string& path)
{
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Pseudo-terminals and the on-board UARTs have no adapter behind them for the system to
// describe; asking the system about every serial port costs more than the rest of a scan.
bool MayHaveAdapter(const PortCandidate& c)
{
    if (!c.Exists || c.Resolved.empty()) return false;
    for (const char* onBoard : {"/dev/pts/", "/dev/ttyS", "/dev/ttyAMA"})
        if (c.Resolved.rfind(onBoard, 0) == 0) return false;
    return true;
}

// An on-board port of the default table, which only the system can tell apart from a node
// with nothing behind it.
bool MayBeOnBoard(const PortCandidate& c)
{
    return c.Exists && !c.ByAlias && !c.Resolved.empty() && !MayHaveAdapter(c) &&
           c.Resolved.rfind("/dev/pts/", 0) != 0;
}

// Fills the USB details of every candidate whose node the system knows as a serial port. The
// system's list is asked for once, and only when some candidate could have an adapter (or,
// with findHardware, could be an on-board port).
void AddUsbDetails(std::vector<PortCandidate>& candidates, bool findHardware)
{
    const auto asked = [findHardware](const PortCandidate& c) {
        return MayHaveAdapter(c) || (findHardware && MayBeOnBoard(c));
    };
    if (std::none_of(candidates.begin(), candidates.end(), asked)) return;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (PortCandidate& c : candidates) {
        if (!asked(c)) continue;
        const QString location = QString::fromStdString(c.Resolved);
        const QString name = QString::fromStdString(LastPart(c.Resolved));
        for (const QSerialPortInfo& info : ports) {
            if (info.systemLocation() != location && info.portName() != name) continue;
            c.Hardware = true;
            c.Usb.HasIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
            c.Usb.VendorId = info.vendorIdentifier();
            c.Usb.ProductId = info.productIdentifier();
            c.Usb.Product = info.description().toStdString();
            c.Usb.Manufacturer = info.manufacturer().toStdString();
            c.Usb.SerialNumber = info.serialNumber().toStdString();
            break;
        }
    }
}

// The candidate for COMn before its device is checked.
PortCandidate NamedCandidate(unsigned n)
{
    PortCandidate c;
    c.Number = n;
    c.Name = "COM" + std::to_string(n);
    c.Device = DeviceName(n);
    const std::string alias = AliasTarget(n);
    c.ByAlias = !alias.empty() && alias == c.Device;
    return c;
}

// Inspects the candidates' devices together and adds what the system says about them.
void Inspect(std::vector<PortCandidate>& candidates, bool findHardware = false)
{
    std::vector<std::string> devices;
    devices.reserve(candidates.size());
    for (const PortCandidate& c : candidates)
        devices.push_back(c.Device);
    std::vector<DeviceAccess> access = CheckDevices(devices);
    for (std::size_t i = 0; i < candidates.size() && i < access.size(); ++i)
        static_cast<DeviceAccess&>(candidates[i]) = std::move(access[i]);
    AddUsbDetails(candidates, findHardware);
}

std::string Heading(const PortCandidate& c)
{
    const std::string& node = c.Resolved.empty() ? c.Device : c.Resolved;
    if (c.Name.empty()) return node;
    return c.Name + " (" + (node.empty() ? std::string("no device") : node) + ")";
}

// Ports next to each other whose nodes have nothing behind them (a PC's unused ttyS ports).
bool Unanswered(const PortCandidate& c)
{
    return c.Problem == PortProblem::Gone && c.Exists && c.Number != 0;
}

} // namespace

std::string UsbDetails::VendorProduct() const
{
    if (!HasIds) return {};
    char text[10];
    std::snprintf(text, sizeof text, "%04x:%04x", unsigned(VendorId), unsigned(ProductId));
    return text;
}

PortCandidate InspectPort(unsigned n)
{
    std::vector<PortCandidate> one{NamedCandidate(n)};
    Inspect(one);
    return one.front();
}

PortCandidate InspectDevice(const std::string& device)
{
    PortCandidate c;
    c.Device = device;
    std::error_code ec;
    for (unsigned n = 1; n <= LastPortNumber && !device.empty(); ++n) {
        const std::string named = DeviceName(n);
        if (!named.empty() && std::filesystem::equivalent(device, named, ec)) {
            c.Number = n;
            c.Name = "COM" + std::to_string(n);
            c.ByAlias = AliasTarget(n) == named;
            break;
        }
    }
    std::vector<PortCandidate> one{std::move(c)};
    Inspect(one);
    return one.front();
}

bool TakenForEveryPort(const PortCandidate& c)
{
    return c.Openable && (c.ByAlias || c.Hardware);
}

std::vector<PortCandidate> ScanPorts(unsigned last, bool findHardware)
{
    std::vector<PortCandidate> all;
    all.reserve(last);
    for (unsigned n = 1; n <= last; ++n)
        all.push_back(NamedCandidate(n));
    Inspect(all, findHardware);
    std::vector<PortCandidate> found;
    for (PortCandidate& c : all)
        if (c.Exists || c.ByAlias) found.push_back(std::move(c));
    return found;
}

std::string PortToolTip(const PortCandidate& c)
{
    std::string text = c.Name.empty() || c.Device.empty() ? c.Name + c.Device
                                                          : c.Name + ": " + c.Device;
    if (!c.Resolved.empty() && c.Resolved != c.Device) text += " (" + c.Resolved + ")";
    auto line = [&](const char* label, const std::string& value) {
        if (!value.empty()) text += std::string("\n") + label + ": " + value;
    };
    line("Product", c.Usb.Product);
    line("Maker", c.Usb.Manufacturer);
    line("USB vendor:product", c.Usb.VendorProduct());
    line("Serial number", c.Usb.SerialNumber);
    if (std::string farEnd = FarEndText(c); !farEnd.empty()) {
        farEnd[0] = 'P'; // a line of its own starts with a capital
        text += "\n" + farEnd;
    }
    if (!c.Openable && !c.Reason.empty()) text += "\nCannot be opened now: " + c.Reason;
    return text;
}

std::string PortProblemsText(const std::vector<PortCandidate>& candidates)
{
    std::string text;
    auto add = [&](const std::string& line) {
        if (!text.empty()) text += '\n';
        text += line;
    };
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const PortCandidate& c = candidates[i];
        if (c.Openable) continue;
        std::size_t end = i + 1;
        while (Unanswered(c) && end < candidates.size() && Unanswered(candidates[end]) &&
               candidates[end].Number == candidates[end - 1].Number + 1)
            ++end;
        if (end - i < 2) {
            add(Heading(c) + ": " + c.Reason);
            continue;
        }
        const PortCandidate& z = candidates[end - 1];
        add(c.Name + " to " + z.Name + " (" + c.Resolved + " to " + z.Resolved +
            "): gone: no device answers behind them");
        i = end - 1;
    }
    return text;
}

} // namespace serial
