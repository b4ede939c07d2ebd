#include "serial/portidentity.h"

#include "serial/serialport.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace serial {

namespace {

// Nodes compare by what they are, not by the link or relative path that named them.
std::string Canonical(const std::string& device)
{
    const QString path = QFileInfo(QString::fromStdString(device)).canonicalFilePath();
    return path.isEmpty() ? device : path.toStdString();
}

} // namespace

std::vector<UsbSerialDevice> UsbSerialDevices()
{
    std::vector<UsbSerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (!info.serialNumber().isEmpty())
            devices.push_back({info.systemLocation().toStdString(), info.serialNumber().toStdString()});
    return devices;
}

PortIdentity IdentityOfOpenPort(const SerialPort& port)
{
    PortIdentity identity{port.PortNumber, port.DevicePath, {}};
    const std::string node = Canonical(port.DevicePath);
    for (const UsbSerialDevice& usb : UsbSerialDevices())
        if (Canonical(usb.Device) == node) identity.UsbSerialNumber = usb.SerialNumber;
    return identity;
}

std::string FindReturnedDevice(const PortIdentity& lost, const std::vector<UsbSerialDevice>& usb,
                               const std::function<bool(const std::string&)>& canOpen)
{
    if (lost.PortNumber != 0) {
        const std::string device = serial::DeviceName(lost.PortNumber);
        if (!device.empty() && canOpen(device)) return device;
    }
    if (!lost.Device.empty() && canOpen(lost.Device)) return lost.Device;
    if (lost.UsbSerialNumber.empty()) return {};
    for (const UsbSerialDevice& candidate : usb)
        if (candidate.SerialNumber == lost.UsbSerialNumber && canOpen(candidate.Device))
            return candidate.Device;
    return {};
}

} // namespace serial
