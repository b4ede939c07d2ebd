#pragma once

// What each COMn is: the device it stands for, the USB adapter behind it, whether it can be
// opened now and, if not, why. Shared by the window's port list and the command-line program.

#include "serial/portaccess.h"
#include "serial/portoptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace serial {

// The USB adapter behind a device node, as the system describes it.
struct UsbDetails
{
    bool HasIds = false; // VendorId and ProductId are known
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    std::string Product;      // "CP2102 USB to UART Bridge Controller"
    std::string Manufacturer; // "Silicon Labs"
    std::string SerialNumber;

    bool Known() const
    {
        return HasIds || !Product.empty() || !Manufacturer.empty() || !SerialNumber.empty();
    }
    // "10c4:ea60", four lower-case hex digits each; "" without ids.
    std::string VendorProduct() const;
};

// One candidate port. The access fields (Device, Resolved, Exists, Openable, Problem, Reason,
// Holders, Group ...) say what a probe found at the time of the inspection.
struct PortCandidate : DeviceAccess
{
    unsigned Number = 0;  // n of COMn; 0 for a device named only by its path
    std::string Name;     // "COM33"; "" for a device named only by its path
    bool ByAlias = false; // Device comes from a com<n> alias rather than the default table
    // The system lists the node as a serial port with a device behind it (a USB adapter, a
    // UART that answers); only known when the scan was asked to find out.
    bool Hardware = false;
    UsbDetails Usb;
};

// Whether "every port" takes the candidate: it can be opened, and a com<n> alias names it or
// the system lists hardware behind it (a PC's legacy ttyS nodes without a UART stay out).
bool TakenForEveryPort(const PortCandidate& candidate);

// Inspects COMn: the device it stands for and whether it can be opened now (the rule of
// SerialPort::ProbePort), with the USB details where known.
PortCandidate InspectPort(unsigned n);

// The same for a device named by its path; Number is 0 and Name "" unless a COMn in the
// default table or an alias names the same node.
PortCandidate InspectDevice(const std::string& device);

// Inspects COM1 to COMlast in one pass (one look at who holds what, one at the USB adapters).
// Returns the candidates whose device exists, and those an alias names whatever their state,
// in ascending order of n. With findHardware, the system is also asked about the on-board
// ports of the default table, to fill Hardware.
std::vector<PortCandidate> ScanPorts(unsigned last = LastPortNumber, bool findHardware = false);

// The text that tells a person which device a candidate is: name and device node, the node
// it resolves to, the USB product, maker, vendor:product and serial number, and the reason
// when it cannot be opened. Lines separated by '\n'.
std::string PortToolTip(const PortCandidate& candidate);

// One line per candidate that cannot be opened, "COM33 (/dev/ttyUSB0): <reason>"; runs of
// consecutive ports with nothing behind their nodes are folded into one line. "" when every
// candidate can be opened.
std::string PortProblemsText(const std::vector<PortCandidate>& candidates);

} // namespace serial
