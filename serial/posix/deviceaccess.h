#pragma once

// Who holds a terminal device on a POSIX system, and the rules of opening one for our use:
// holders found through /proc, UUCP lock files in /var/lock and /run/lock, and an open that
// never takes a device someone else has marked exclusive or locked.

#include "serial/portaccess.h"

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace serial::posix {

// What one pass over /proc/*/fd found: the programs that have each of the given devices open
// (our own process left out), and the programs that hold the master of each pseudo-terminal,
// by its number (n of /dev/pts/n; our own process included there). Processes whose descriptors we
// may not read are left out.
using HolderMap = std::map<dev_t, std::vector<PortHolder>>;
struct HolderScan
{
    HolderMap Holders;
    std::map<unsigned, std::vector<PortHolder>> PtyServers;
};
HolderScan FindHolders(const std::vector<dev_t>& devices);

// How many passes over /proc this process has made: a batch of ports should cost one.
std::size_t HolderScanCount();

// The number n of /dev/pts/n for a pseudo-terminal's device number; nullopt for any other.
std::optional<unsigned> PtyIndex(dev_t device);

// Whether the character device is a terminal, judged without opening it: the kernel's own
// record of the device's class where there is one, else its major number.
bool IsTerminalDevice(dev_t device);

// The name a person knows the process by: /proc/PID/comm, completed from the command line
// where comm was cut short; "" when the process cannot be read.
std::string ProgramName(long pid);

// Whether a process with this PID exists (one we may not signal counts as living).
bool ProcessAlive(long pid);

// The folders UUCP lock files live in that exist here, each real folder once (/var/lock is
// usually a link to /run/lock).
std::vector<std::string> LockFolders();

// The lock file's name for a device node, as minicom and lockdev spell it: the path below
// /dev with '/' turned into '_' ("LCK..ttyUSB0", "LCK..pts_3"); outside /dev its last part.
std::string LockFileName(const std::string& node);

// The PID a lock file names (ASCII as HDB UUCP writes it, with or without its line end, or a
// 4-byte binary number as old programs did); nullopt when the file cannot be read or names
// nothing.
std::optional<long> ReadLockPid(const std::string& path);

// A lock file for the node that names a living process other than ours.
struct LockClaim
{
    std::string Path;
    long Pid = 0;
};
std::optional<LockClaim> LiveLockClaim(const std::string& node);

// Our lock file for a device we hold. Written when the device is opened, removed when it is
// closed; never removes a lock file that names another living process.
class DeviceLock
{
public:
    DeviceLock() = default;
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
    ~DeviceLock() { Release(); }

    // Claims the node: false (with access filled) when another living process has claimed it.
    // A folder we may not write to is passed over; the open then goes on without a lock file.
    bool Take(const std::string& node, DeviceAccess& access);
    // Removes our lock file, if we wrote one and it still names us.
    void Release();
    const std::string& Path() const { return File; }

private:
    std::string File;
};

// The problem an errno of open() means, with the device's group for a refused permission.
void SetProblemFromErrno(DeviceAccess& access, int error, const std::string& what);

// The name of a group; its number when the group has no name.
std::string GroupName(gid_t gid);

// Finds out what stands between access.Device and an open, short of opening it: whether it
// exists and is a terminal, who has it open (from scan, or from the batch's snapshot or a scan
// of its own when null) and whether a live lock file claims it. The far end of a
// pseudo-terminal (the holder of its master, which may also hold the terminal itself, as
// socat does) is named in FarEnd and is no rival. Fills access and returns whether an open
// may be tried; leftover then tells that no other process has it open, so that an exclusive
// flag found on it is a killed program's leftover unless a descriptor of our own holds it.
enum class LeftoverFlag { Honour, PassOver };
bool CheckHolders(DeviceAccess& access, const HolderScan* scan, LeftoverFlag* leftover = nullptr);

// Opens access.Resolved for reading and writing, never as our controlling terminal, and
// refuses it (descriptor closed, access filled) when it is no terminal or another descriptor
// holds its flock. An exclusive flag already set is honoured, unless the caller has found that
// nobody holds the device (CheckHolders) and, when it opens for keeps, taken its lock: then
// the flag is a leftover of a program that ended without closing (killed), judged as a stale
// lock file is, and passed over. Takes no exclusive flag of its own, so a probe that closes
// the descriptor leaves the device as it found it.
int OpenUnclaimed(DeviceAccess& access, LeftoverFlag leftover = LeftoverFlag::Honour);

} // namespace serial::posix
