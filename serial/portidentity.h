#pragma once
// What tells a device again after it went away and came back: the COM number or node it was
// opened by, and the USB serial number of the adapter, which survives a new node name.
#include <functional>
#include <string>
#include <vector>

namespace serial {

class SerialPort;

struct PortIdentity
{
    unsigned PortNumber = 0;     // COMn it was opened as; 0 when opened by its node
    std::string Device;          // the node it was opened on
    std::string UsbSerialNumber; // "" when the device is not a USB adapter or reports none
};

// A USB serial adapter the system lists now.
struct UsbSerialDevice
{
    std::string Device;
    std::string SerialNumber;
};

// The identity of the device the port has open, read while it is still there.
PortIdentity IdentityOfOpenPort(const SerialPort& port);

// The USB serial adapters present now, with their serial numbers.
std::vector<UsbSerialDevice> UsbSerialDevices();

// Where a device that went away can be opened again: the node its COM number stands for now
// (the alias may point elsewhere), else the node it had, else the node of the adapter with the
// same USB serial number; "" when none of them can be opened.
std::string FindReturnedDevice(const PortIdentity& lost, const std::vector<UsbSerialDevice>& usb,
                               const std::function<bool(const std::string&)>& canOpen);

} // namespace serial
