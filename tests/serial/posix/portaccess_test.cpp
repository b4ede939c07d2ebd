// Who holds a port and why it cannot be opened, on real pseudo-terminals: another process that
// has the device open, UUCP lock files (live, stale, ours), another program's exclusive flag,
// and a user without permission.

#include "holdingchild.h"
#include "ptyrig.h"

#include "serial/portinfo.h"
#include "serial/posix/deviceaccess.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

using serial::PortProblem;

namespace {

class NullPort : public serial::SerialPort
{
public:
    void OnByteReceived(char) override {}
};

// A PID that no process has: a child that has exited and been reaped.
pid_t DeadPid()
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::string LockPath(const std::string& node)
{
    const auto folders = serial::posix::LockFolders();
    if (folders.empty()) return {};
    return folders.front() + "/" + serial::posix::LockFileName(node);
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool FileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

// Removes a lock file a test wrote, whatever the test's outcome.
struct LockFileGuard
{
    std::string Path;
    ~LockFileGuard() { ::unlink(Path.c_str()); }
};

class PortAccessTest : public ::testing::Test
{
protected:
    PtyRig Rig;
};

} // namespace

#ifdef __linux__
TEST_F(PortAccessTest, APortAnotherProcessHasOpenIsNeitherListedNorOpened)
{
    const unsigned n = Rig.AddPeer();
    const unsigned free = Rig.AddPeer();
    HoldingChild holder(Rig.Node(n));
    ASSERT_TRUE(holder.Holding);

    const serial::PortCandidate c = serial::InspectPort(n);
    EXPECT_TRUE(c.Exists);
    EXPECT_FALSE(c.Openable);
    EXPECT_EQ(c.Problem, PortProblem::Held);
    ASSERT_EQ(c.Holders.size(), 1u);
    EXPECT_EQ(c.Holders[0].Pid, holder.Pid);
    EXPECT_EQ(c.Holders[0].Program, "pty-holder");
    EXPECT_EQ(c.Reason,
              "held by another program: PID " + std::to_string(holder.Pid) + " (pty-holder)");
    EXPECT_FALSE(serial::SerialPort::ProbePort(n));

    // The scan finds the same in its single pass, and still lists the free port as free.
    bool sawHeld = false, sawFree = false;
    for (const serial::PortCandidate& s : serial::ScanPorts()) {
        if (s.Number == n) sawHeld = !s.Openable && s.Problem == PortProblem::Held;
        if (s.Number == free) sawFree = s.Openable;
    }
    EXPECT_TRUE(sawHeld);
    EXPECT_TRUE(sawFree);

    NullPort port;
    EXPECT_FALSE(port.Open(n, 115200, 0));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(port.LastError().Message.find("PID " + std::to_string(holder.Pid)),
              std::string::npos);
    EXPECT_FALSE(FileExists(LockPath(Rig.Node(n)))) << "a refused open leaves no lock file";

    holder.Stop();
    EXPECT_TRUE(serial::SerialPort::ProbePort(n));
    EXPECT_TRUE(port.Open(n, 115200, 0));
}
#endif

TEST_F(PortAccessTest, LockFilesOfLivingProgramsHoldThePortAndStaleOnesDoNot)
{
    const unsigned n = Rig.AddPeer();
    const std::string lock = LockPath(Rig.Node(n));
    ASSERT_FALSE(lock.empty());
    LockFileGuard guard{lock};

    // A live claim, in the ASCII form minicom writes: PID 1 always lives.
    WriteFile(lock, "         1\n");
    serial::PortCandidate c = serial::InspectPort(n);
    EXPECT_EQ(c.Problem, PortProblem::Held);
    EXPECT_EQ(c.LockFile, lock);
    ASSERT_EQ(c.Holders.size(), 1u);
    EXPECT_EQ(c.Holders[0].Pid, 1);
    EXPECT_FALSE(serial::SerialPort::ProbePort(n));
    NullPort port;
    EXPECT_FALSE(port.Open(n, 115200, 0));
    EXPECT_EQ(ReadFile(lock), "         1\n") << "another program's lock file is left alone";

    // The same claim in the old binary form.
    const std::int32_t one = 1;
    WriteFile(lock, std::string(reinterpret_cast<const char*>(&one), 4));
    EXPECT_EQ(serial::InspectPort(n).Problem, PortProblem::Held);
    // Four ASCII digits without a line end are a PID in text, not a binary number.
    WriteFile(lock, "4242");
    EXPECT_EQ(serial::posix::ReadLockPid(lock), 4242);

    // A program that died holding the port (a crash) leaves a stale lock: a probe ignores it
    // and leaves it there; the open replaces it with ours.
    char stale[16];
    std::snprintf(stale, sizeof stale, "%10d\n", int(DeadPid()));
    WriteFile(lock, stale);
    EXPECT_TRUE(serial::SerialPort::ProbePort(n));
    EXPECT_EQ(ReadFile(lock), stale);
    ASSERT_TRUE(port.Open(n, 115200, 0));
    char ours[16];
    std::snprintf(ours, sizeof ours, "%10d\n", int(::getpid()));
    EXPECT_EQ(ReadFile(lock), ours);
    port.Close();
    EXPECT_FALSE(FileExists(lock));

    // Nonsense in a lock file names nobody.
    WriteFile(lock, "not a pid\n");
    EXPECT_TRUE(serial::InspectPort(n).Openable);
}

TEST_F(PortAccessTest, OurLockFileLivesExactlyAsLongAsThePortIsHeld)
{
    const unsigned n = Rig.AddPeer();
    const std::string lock = LockPath(Rig.Node(n));
    ASSERT_FALSE(lock.empty());
    LockFileGuard guard{lock};
    {
        NullPort port;
        ASSERT_TRUE(port.Open(n, 115200, 0));
        EXPECT_TRUE(FileExists(lock));
        port.Close();
        EXPECT_FALSE(FileExists(lock));
        ASSERT_TRUE(port.Open(n, 9600, 0));
        ASSERT_TRUE(FileExists(lock));
        // A second port object of this program is refused while the first holds the device,
        // and its refusal does not take the first one's lock file away.
        NullPort second;
        EXPECT_FALSE(second.Open(n, 115200, 0));
        EXPECT_TRUE(FileExists(lock));
    }
    EXPECT_FALSE(FileExists(lock)) << "the port's destruction removes it too";

    // A link planted where the lock file is first written does not make us write elsewhere.
    const std::string folder = lock.substr(0, lock.rfind('/'));
    const std::string planted = folder + "/LTMP." + std::to_string(::getpid());
    char victim[] = "/tmp/lock-victim-XXXXXX";
    const int v = ::mkstemp(victim);
    ASSERT_GE(v, 0);
    ::close(v);
    WriteFile(victim, "precious\n");
    ASSERT_EQ(::symlink(victim, planted.c_str()), 0);
    {
        NullPort port;
        ASSERT_TRUE(port.Open(n, 115200, 0));
        EXPECT_TRUE(FileExists(lock));
    }
    EXPECT_EQ(ReadFile(victim), "precious\n");
    ::unlink(planted.c_str());
    ::unlink(victim);
}

TEST_F(PortAccessTest, AProbeLeavesAnotherProgramsExclusiveFlagSet)
{
    const unsigned n = Rig.AddPeer();
    // Another descriptor marks the device exclusive; as root we could still open it.
    const int other = ::open(Rig.Node(n).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);

    EXPECT_FALSE(serial::SerialPort::ProbePort(n));
    const serial::PortCandidate c = serial::InspectPort(n);
    EXPECT_EQ(c.Problem, PortProblem::Busy);
    EXPECT_FALSE(serial::ScanPorts().empty());
    NullPort port;
    EXPECT_FALSE(port.Open(n, 115200, 0));
    EXPECT_FALSE(FileExists(LockPath(Rig.Node(n)))) << "the refused open took back its lock file";
#ifdef TIOCGEXCL
    int exclusive = 0;
    ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
#endif
    // The other program ends its exclusive use (a pseudo-terminal keeps the flag past a close).
    ::ioctl(other, TIOCNXCL);
    ::close(other);

    // Our own flag goes when we close; a probe never sets one.
    ASSERT_TRUE(serial::SerialPort::ProbePort(n));
    ASSERT_TRUE(port.Open(n, 115200, 0));
    port.Close();
#ifdef TIOCGEXCL
    const int look = ::open(Rig.Node(n).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(look, 0);
    exclusive = 1;
    ASSERT_EQ(::ioctl(look, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(look);
#endif
}

TEST_F(PortAccessTest, AKilledProgramsExclusiveFlagIsALeftoverOnceNobodyHoldsTheDevice)
{
    const unsigned n = Rig.AddPeer();
    const std::string node = Rig.Node(n);
    // A program marks the line exclusive and is killed: the far end (the rig) keeps the
    // pseudo-terminal, and with it the flag.
    {
        HoldingChild killed(node, "killed-holder");
        ASSERT_TRUE(killed.Holding);
        const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
        ::close(fd);
        // While that program lives it holds the port.
        EXPECT_EQ(serial::InspectPort(n).Problem, PortProblem::Held);
    }
    if (::geteuid() != 0) {
        // Only root gets past the flag; the reason says what is going on.
        NullPort port;
        EXPECT_FALSE(port.Open(n, 115200, 0));
        EXPECT_NE(port.LastError().Message.find("ended without closing"), std::string::npos)
            << port.LastError().Message;
        return;
    }
    EXPECT_TRUE(serial::SerialPort::ProbePort(n));
    EXPECT_TRUE(serial::InspectPort(n).Openable);
    NullPort port;
    ASSERT_TRUE(port.Open(n, 115200, 0)) << port.LastError().Message;
    port.Close();
    const int look = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = 1;
    ASSERT_EQ(::ioctl(look, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "closing clears the flag it took over";
    ::close(look);
}

TEST_F(PortAccessTest, TheFarEndIsNamedAndOnlyOtherHoldersAreRivals)
{
    const unsigned n = Rig.AddPeer();
    // The rig holds the master: this test program is the line's other end.
    serial::PortCandidate c = serial::InspectPort(n);
    EXPECT_TRUE(c.Openable);
    ASSERT_EQ(c.FarEnd.size(), 1u);
    EXPECT_EQ(c.FarEnd[0].Pid, ::getpid());
    EXPECT_NE(serial::PortToolTip(c).find("\nPseudo-terminal served by "), std::string::npos);
    // A process that has the terminal open without its master is a rival, as before.
    HoldingChild rival(Rig.Node(n));
    ASSERT_TRUE(rival.Holding);
    c = serial::InspectPort(n);
    EXPECT_EQ(c.Problem, PortProblem::Held);
    ASSERT_EQ(c.Holders.size(), 1u);
    EXPECT_EQ(c.Holders[0].Pid, rival.Pid);
}

TEST_F(PortAccessTest, OneLookAtTheProcessesServesABatchOfOpens)
{
    const unsigned a = Rig.AddPeer(), b = Rig.AddPeer(), held = Rig.AddPeer();
    HoldingChild rival(Rig.Node(held));
    ASSERT_TRUE(rival.Holding);
    NullPort ports[3];
    {
        serial::HolderSnapshot batch;
        batch.Cover({Rig.Node(a), Rig.Node(b), Rig.Node(held)});
        const std::size_t scans = serial::posix::HolderScanCount();
        EXPECT_TRUE(ports[0].Open(a, 115200, 0));
        EXPECT_TRUE(ports[1].Open(b, 115200, 0));
        EXPECT_FALSE(ports[2].Open(held, 115200, 0)) << "the batch still sees the holder";
        EXPECT_EQ(serial::posix::HolderScanCount(), scans);
    }
    for (NullPort& port : ports)
        port.Close();
    const std::size_t scans = serial::posix::HolderScanCount();
    EXPECT_TRUE(ports[0].Open(a, 115200, 0));
    EXPECT_EQ(serial::posix::HolderScanCount(), scans + 1) << "outside a batch each open looks";
}

TEST(PortAccess, NodeThatIsNoTerminalIsNotASerialDevice)
{
    serial::PortCandidate c = serial::InspectDevice("/dev/null");
    EXPECT_EQ(c.Problem, PortProblem::NotSerial);
    EXPECT_TRUE(c.Holders.empty());
    EXPECT_EQ(c.Reason, "not a serial device: /dev/null is no terminal");
}

TEST(PortAccess, EveryPortMeansHardwareOrAnAlias)
{
    serial::PortCandidate legacy; // a PC's ttyS node with no UART: it opens, nothing behind
    legacy.Openable = true;
    EXPECT_FALSE(serial::TakenForEveryPort(legacy));
    serial::PortCandidate adapter = legacy;
    adapter.Hardware = true;
    EXPECT_TRUE(serial::TakenForEveryPort(adapter));
    serial::PortCandidate alias = legacy;
    alias.ByAlias = true;
    EXPECT_TRUE(serial::TakenForEveryPort(alias));
    alias.Openable = false;
    EXPECT_FALSE(serial::TakenForEveryPort(alias));
}

TEST_F(PortAccessTest, PermissionDeniedNamesTheGroupToJoin)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    const unsigned n = Rig.AddPeer();
    const std::string node = Rig.Node(n);
    // Serial devices belong to a group their users join (dialout on Debian).
    const gid_t dialout = 20;
    ASSERT_EQ(::chown(node.c_str(), 0, dialout), 0);
    ASSERT_EQ(::chmod(node.c_str(), 0660), 0);
    int result[2];
    ASSERT_EQ(::pipe(result), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(result[0]);
        std::string report = "cannot become nobody";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            const serial::PortCandidate c = serial::InspectDevice(node);
            report = std::string(serial::PortProblemKeyword(c.Problem)) + "|" + c.Group + "|" +
                     c.Reason;
        }
        [[maybe_unused]] ssize_t w = ::write(result[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(result[1]);
    std::string report;
    char buffer[512];
    for (ssize_t r; (r = ::read(result[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, std::size_t(r));
    ::close(result[0]);
    ::waitpid(child, nullptr, 0);
    if (report == "cannot become nobody") GTEST_SKIP() << report;

    const std::string group = serial::posix::GroupName(dialout);
    EXPECT_EQ(report, "permission-denied|" + group + "|permission denied: " + node +
                          " belongs to group " + group + "; join it with `sudo usermod -aG " +
                          group + " $USER`, then log in again");
}

TEST(LockFileName, FollowsTheNamesMinicomUses)
{
    using serial::posix::LockFileName;
    EXPECT_EQ(LockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(LockFileName("/dev/pts/3"), "LCK..pts_3");
    EXPECT_EQ(LockFileName("/tmp/rig/com5"), "LCK..com5");
}
