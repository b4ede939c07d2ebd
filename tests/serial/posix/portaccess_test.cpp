// Who holds a port and why it cannot be opened, on real pseudo-terminals: another process that
// has the device open, UUCP lock files (live, stale, ours), another program's exclusive flag,
// and a user without permission.

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
#ifdef __linux__
#include <sys/prctl.h>
#endif

using serial::PortProblem;

namespace {

class NullPort : public SerialPort
{
public:
    void OnByteReceived(char) override {}
};

// A child process that has a device open (and, if asked, marked exclusive) until destroyed.
class HoldingChild
{
public:
    HoldingChild(const std::string& node, bool exclusive, const char* name = "pty-holder")
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        Pid = ::fork();
        if (Pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
#ifdef __linux__
            ::prctl(PR_SET_NAME, name);
#endif
            const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0 && (!exclusive || ::ioctl(fd, TIOCEXCL) == 0);
            [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
            char c;
            n = ::read(release[0], &c, 1); // ends when the parent closes its end, or dies
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        Release = release[1];
        char ok = 0;
        Holding = ::read(ready[0], &ok, 1) == 1 && ok;
        ::close(ready[0]);
    }
    ~HoldingChild() { Stop(); }
    void Stop()
    {
        if (Release >= 0) ::close(Release);
        Release = -1;
        if (Pid > 0) ::waitpid(Pid, nullptr, 0);
        Pid = -1;
    }

    pid_t Pid = -1;
    bool Holding = false;

private:
    int Release = -1;
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
    return folders.empty() ? std::string() : folders.front() + "/" + serial::posix::LockFileName(node);
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
    HoldingChild holder(Rig.Node(n), false);
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
    EXPECT_FALSE(SerialPort::ProbePort(n));

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
    EXPECT_TRUE(SerialPort::ProbePort(n));
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
    EXPECT_FALSE(SerialPort::ProbePort(n));
    NullPort port;
    EXPECT_FALSE(port.Open(n, 115200, 0));
    EXPECT_EQ(ReadFile(lock), "         1\n") << "another program's lock file is left alone";

    // The same claim in the old binary form.
    const std::int32_t one = 1;
    WriteFile(lock, std::string(reinterpret_cast<const char*>(&one), 4));
    EXPECT_EQ(serial::InspectPort(n).Problem, PortProblem::Held);

    // A program that died holding the port (a crash) leaves a stale lock: a probe ignores it
    // and leaves it there; the open replaces it with ours.
    char stale[16];
    std::snprintf(stale, sizeof stale, "%10d\n", int(DeadPid()));
    WriteFile(lock, stale);
    EXPECT_TRUE(SerialPort::ProbePort(n));
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
}

TEST_F(PortAccessTest, AProbeLeavesAnotherProgramsExclusiveFlagSet)
{
    const unsigned n = Rig.AddPeer();
    // Another descriptor marks the device exclusive; as root we could still open it.
    const int other = ::open(Rig.Node(n).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);

    EXPECT_FALSE(SerialPort::ProbePort(n));
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
    ASSERT_TRUE(SerialPort::ProbePort(n));
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
