// The words a person reads about a port: its tooltip and the reasons a port cannot be opened.

#include "serial/portinfo.h"

#include <gtest/gtest.h>

using serial::PortCandidate;
using serial::PortProblem;

namespace {

PortCandidate Candidate(unsigned n, const std::string& device)
{
    PortCandidate c;
    c.Number = n;
    c.Name = "COM" + std::to_string(n);
    c.Device = device;
    c.Resolved = device;
    c.Exists = true;
    c.Openable = true;
    return c;
}

PortCandidate Unanswered(unsigned n, const std::string& device)
{
    PortCandidate c = Candidate(n, device);
    serial::SetProblem(c, PortProblem::Gone, 5);
    return c;
}

} // namespace

TEST(PortToolTip, NamesTheDeviceAndTheUsbAdapterBehindIt)
{
    PortCandidate c = Candidate(3, "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0");
    c.ByAlias = true;
    c.Resolved = "/dev/ttyUSB0";
    c.Usb.HasIds = true;
    c.Usb.VendorId = 0x10c4;
    c.Usb.ProductId = 0xea60;
    c.Usb.Product = "CP2102 USB to UART Bridge Controller";
    c.Usb.Manufacturer = "Silicon Labs";
    c.Usb.SerialNumber = "0001";
    EXPECT_EQ(serial::PortToolTip(c),
              "COM3: /dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0 (/dev/ttyUSB0)\n"
              "Product: CP2102 USB to UART Bridge Controller\n"
              "Maker: Silicon Labs\n"
              "USB vendor:product: 10c4:ea60\n"
              "Serial number: 0001");

    // Small ids keep their four digits; unknown fields are left out.
    PortCandidate small = Candidate(65, "/dev/ttyACM0");
    small.Usb.HasIds = true;
    small.Usb.VendorId = 0x1a;
    small.Usb.ProductId = 0x7;
    EXPECT_EQ(serial::PortToolTip(small), "COM65: /dev/ttyACM0\nUSB vendor:product: 001a:0007");
    EXPECT_EQ(serial::PortToolTip(Candidate(1, "/dev/ttyS0")), "COM1: /dev/ttyS0");

    // A port that cannot be opened says why.
    PortCandidate held = Candidate(33, "/dev/ttyUSB0");
    held.Holders = {{4242, "minicom"}};
    held.LockFile = "/run/lock/LCK..ttyUSB0";
    serial::SetProblem(held, PortProblem::Held);
    EXPECT_EQ(serial::PortToolTip(held),
              "COM33: /dev/ttyUSB0\nCannot be opened now: held by another program: PID 4242 "
              "(minicom) (lock file /run/lock/LCK..ttyUSB0)");
}

TEST(PortProblemsText, OneLinePerPortAndUnansweredRunsFolded)
{
    std::vector<PortCandidate> list;
    for (unsigned n = 1; n <= 4; ++n)
        list.push_back(Unanswered(n, "/dev/ttyS" + std::to_string(n - 1)));
    list.push_back(Unanswered(7, "/dev/ttyS6")); // a run of one stays a line of its own
    PortCandidate denied = Candidate(33, "/dev/ttyUSB0");
    denied.Group = "dialout";
    serial::SetProblem(denied, PortProblem::PermissionDenied, 13);
    list.push_back(denied);
    list.push_back(Candidate(34, "/dev/ttyUSB1")); // openable: not a problem
    PortCandidate busy = Candidate(35, "/dev/ttyUSB2");
    serial::SetProblem(busy, PortProblem::Busy, 16);
    list.push_back(busy);
    PortCandidate gone;
    gone.Number = 201;
    gone.Name = "COM201";
    gone.Device = "/dev/ttyUSB9";
    gone.ByAlias = true;
    serial::SetProblem(gone, PortProblem::Gone, 2);
    list.push_back(gone);

    EXPECT_EQ(serial::PortProblemsText(list),
              "COM1 to COM4 (/dev/ttyS0 to /dev/ttyS3): gone: no device answers behind them\n"
              "COM7 (/dev/ttyS6): gone: no device answers behind /dev/ttyS6\n"
              "COM33 (/dev/ttyUSB0): permission denied: /dev/ttyUSB0 belongs to group dialout; "
              "join it with `sudo usermod -aG dialout $USER`, then log in again\n"
              "COM35 (/dev/ttyUSB2): busy: another program has it open exclusively\n"
              "COM201 (/dev/ttyUSB9): gone: /dev/ttyUSB9 is not there");
    EXPECT_EQ(serial::PortProblemsText({Candidate(1, "/dev/ttyS0")}), "");
}

TEST(DescribeProblem, RootOwnedDevicesGetNoAdviceToJoinRoot)
{
    serial::DeviceAccess a;
    a.Device = a.Resolved = "/dev/ttyS0";
    a.Exists = true;
    a.Group = "root";
    serial::SetProblem(a, PortProblem::PermissionDenied, 13);
    EXPECT_EQ(a.Reason, "permission denied: only root may open /dev/ttyS0");
    EXPECT_FALSE(a.Openable);
    EXPECT_STREQ(serial::PortProblemKeyword(a.Problem), "permission-denied");
}
