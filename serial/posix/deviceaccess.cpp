#include "serial/posix/deviceaccess.h"

#include "serial/serialbackend.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <set>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace serial::posix {

namespace {

// Reads a small file whole (at most limit bytes); nullopt when it cannot be opened.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit = 4096)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    std::string data;
    char buffer[512];
    while (data.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - data.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return data;
}

bool IsNumber(const char* s)
{
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Adds one holder to a list that names each process once.
void AddHolder(std::vector<PortHolder>& list, long pid)
{
    for (const PortHolder& h : list)
        if (h.Pid == pid) return;
    list.push_back({pid, ProgramName(pid)});
}

} // namespace

namespace {

std::atomic<std::size_t> ScanCount{0};

// The pseudo-terminal a master descriptor serves, from its fdinfo ("tty-index: 3").
std::optional<unsigned> MasterIndex(const std::string& pid, const char* fd)
{
    const auto info = ReadSmallFile("/proc/" + pid + "/fdinfo/" + fd, 1024);
    if (!info) return std::nullopt;
    const auto at = info->find("tty-index:");
    if (at == std::string::npos) return std::nullopt;
    char* end = nullptr;
    const unsigned long index = std::strtoul(info->c_str() + at + 10, &end, 10);
    if (end == info->c_str() + at + 10) return std::nullopt;
    return unsigned(index);
}

} // namespace

HolderScan FindHolders(const std::vector<dev_t>& devices)
{
    HolderScan scan;
    std::vector<dev_t> wanted(devices);
    std::sort(wanted.begin(), wanted.end());
    DIR* proc = ::opendir("/proc");
    if (!proc) return scan;
    ++ScanCount;
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumber(entry->d_name)) continue;
        const bool ours = self == entry->d_name;
        const std::string fdFolder = std::string("/proc/") + entry->d_name + "/fd";
        const int dirFd = ::open(fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) continue; // gone meanwhile, or not ours to read
        DIR* fds = ::fdopendir(dirFd);
        if (!fds) {
            ::close(dirFd);
            continue;
        }
        const long pid = std::strtol(entry->d_name, nullptr, 10);
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.') continue;
            // Only descriptors on device nodes are looked at more closely; the link text
            // costs nothing, while a stat of a file on a hung network mount could block.
            char target[64];
            const ssize_t n = ::readlinkat(dirFd, fd->d_name, target, sizeof target - 1);
            if (n < 5 || std::memcmp(target, "/dev/", 5) != 0) continue;
            target[n] = '\0';
            if (std::strcmp(target, "/dev/ptmx") == 0 ||
                std::strcmp(target, "/dev/pts/ptmx") == 0) {
                if (const auto index = MasterIndex(entry->d_name, fd->d_name))
                    AddHolder(scan.PtyServers[*index], pid);
                continue;
            }
            if (ours || wanted.empty()) continue;
            struct stat st;
            if (::fstatat(dirFd, fd->d_name, &st, 0) != 0 || !S_ISCHR(st.st_mode)) continue;
            if (!std::binary_search(wanted.begin(), wanted.end(), st.st_rdev)) continue;
            AddHolder(scan.Holders[st.st_rdev], pid);
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return scan;
}

std::size_t HolderScanCount()
{
    return ScanCount.load();
}

std::optional<unsigned> PtyIndex(dev_t device)
{
    // The Unix 98 pseudo-terminal slaves: majors 136 to 143, 256 minors each.
    const unsigned maj = major(device);
    if (maj < 136 || maj > 143) return std::nullopt;
    return (maj - 136) * 256 + minor(device);
}

bool IsTerminalDevice(dev_t device)
{
    if (PtyIndex(device)) return true;
    const std::string node = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                             std::to_string(minor(device)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t n = ::readlink(node.c_str(), target, sizeof target - 1);
    if (n <= 0) return true; // no record to judge by: the open will tell
    target[n] = '\0';
    const char* name = std::strrchr(target, '/');
    return std::strcmp(name ? name + 1 : target, "tty") == 0;
}

std::string ProgramName(long pid)
{
    const std::string base = "/proc/" + std::to_string(pid);
    std::string comm = ReadSmallFile(base + "/comm", 64).value_or("");
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\r'))
        comm.pop_back();
    // comm keeps 15 characters; the command line's first word has the whole name.
    const std::string cmdline = ReadSmallFile(base + "/cmdline").value_or("");
    std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    argv0 = argv0.substr(argv0.find_last_of('/') + 1);
    if (comm.empty()) return argv0;
    if (comm.size() >= 15 && argv0.size() > comm.size() && argv0.compare(0, comm.size(), comm) == 0)
        return argv0;
    return comm;
}

bool ProcessAlive(long pid)
{
    if (pid <= 0 || pid > INT_MAX) return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::vector<std::string> LockFolders()
{
    std::vector<std::string> folders;
    for (const char* folder : {"/var/lock", "/run/lock"}) {
        const std::string real = RealPath(folder);
        if (!real.empty() && std::find(folders.begin(), folders.end(), real) == folders.end())
            folders.push_back(real);
    }
    return folders;
}

std::string LockFileName(const std::string& node)
{
    std::string name;
    if (node.compare(0, 5, "/dev/") == 0) {
        name = node.substr(5);
        std::replace(name.begin(), name.end(), '/', '_');
    } else {
        name = node.substr(node.find_last_of('/') + 1);
    }
    return "LCK.." + name;
}

std::optional<long> ReadLockPid(const std::string& path)
{
    const auto data = ReadSmallFile(path, 128);
    if (!data || data->empty()) return std::nullopt;
    // Four ASCII digits (a PID written without its line end) are text, not a binary number:
    // as a number they would be a PID far beyond any the system hands out.
    const bool text = std::all_of(data->begin(), data->end(), [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\n' || c == '\r' || c == '\t';
    });
    if (data->size() == 4 && !text) {
        // Old binary lock files hold the PID as a native 4-byte number.
        std::int32_t pid;
        std::memcpy(&pid, data->data(), 4);
        if (pid > 0) return pid;
    }
    const char* s = data->c_str();
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(s, &end, 10);
    if (end == s || errno != 0 || pid <= 0) return std::nullopt;
    return pid;
}

std::optional<LockClaim> LiveLockClaim(const std::string& node)
{
    const std::string name = LockFileName(node);
    for (const std::string& folder : LockFolders()) {
        const std::string path = folder + "/" + name;
        const auto pid = ReadLockPid(path);
        if (pid && *pid != ::getpid() && ProcessAlive(*pid)) return LockClaim{path, *pid};
    }
    return std::nullopt;
}

bool DeviceLock::Take(const std::string& node, DeviceAccess& access)
{
    Release();
    const std::string name = LockFileName(node);
    char text[16];
    std::snprintf(text, sizeof text, "%10ld\n", long(::getpid()));
    for (const std::string& folder : LockFolders()) {
        const std::string path = folder + "/" + name;
        // Written under a private name and linked into place, so that nobody ever reads a
        // half-written lock file and of two programs only one can win.
        // The folder is usually writable by everyone: the private name is created afresh and
        // never followed, so a link planted under it cannot make us write elsewhere.
        const std::string temp = folder + "/LTMP." + std::to_string(::getpid());
        ::unlink(temp.c_str());
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) continue; // not ours to write: go on without a lock file here
        const bool written = ::write(fd, text, 11) == 11;
        ::fchmod(fd, 0644);
        ::close(fd);
        bool linked = false;
        for (int attempt = 0; written && attempt < 2 && !linked; ++attempt) {
            if (::link(temp.c_str(), path.c_str()) == 0) {
                linked = true;
                break;
            }
            if (errno != EEXIST) break;
            const auto pid = ReadLockPid(path);
            if (pid && *pid == ::getpid()) {
                // Another port of this program claims the device; that port's lock file stays
                // its own, and the open goes on to meet that port's flock.
                ::unlink(temp.c_str());
                return true;
            }
            if (pid && ProcessAlive(*pid)) {
                ::unlink(temp.c_str());
                access.LockFile = path;
                access.Holders.push_back({*pid, ProgramName(*pid)});
                SetProblem(access, PortProblem::Held);
                return false;
            }
            // Stale: its process is gone, or it names nobody. Replace it.
            ::unlink(path.c_str());
        }
        ::unlink(temp.c_str());
        if (linked) {
            File = path;
            return true;
        }
    }
    return true;
}

void DeviceLock::Release()
{
    if (File.empty()) return;
    const auto pid = ReadLockPid(File);
    if (pid && *pid == ::getpid()) ::unlink(File.c_str());
    File.clear();
}

std::string GroupName(gid_t gid)
{
    std::vector<char> buffer(1024);
    for (int attempt = 0; attempt < 6; ++attempt) {
        group entry{};
        group* found = nullptr;
        const int r = ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
        if (r == ERANGE) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (r == 0 && found && found->gr_name) return found->gr_name;
        break;
    }
    return std::to_string(gid);
}

void SetProblemFromErrno(DeviceAccess& access, int error, const std::string& what)
{
    const std::string detail = what + ": " + std::strerror(error);
    switch (error) {
    case EACCES:
    case EPERM: {
        struct stat st;
        const std::string& node = access.Resolved.empty() ? access.Device : access.Resolved;
        if (access.Group.empty() && ::stat(node.c_str(), &st) == 0)
            access.Group = GroupName(st.st_gid);
        SetProblem(access, PortProblem::PermissionDenied, error, detail);
        return;
    }
    case EBUSY:
    case EWOULDBLOCK:
        SetProblem(access, PortProblem::Busy, error);
        return;
    case ENOENT:
        access.Exists = false;
        [[fallthrough]];
    case ENXIO:
    case ENODEV:
    case EIO:
        SetProblem(access, PortProblem::Gone, error, detail);
        return;
    default:
        SetProblem(access, PortProblem::Failed, error, detail);
    }
}

namespace {

// Whether one of our own descriptors other than except is open on the device.
bool OwnProcessHas(dev_t device, int except)
{
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds) return false;
    const int dirFd = ::dirfd(fds);
    bool found = false;
    while (const dirent* fd = ::readdir(fds)) {
        if (fd->d_name[0] == '.' || std::atoi(fd->d_name) == except) continue;
        struct stat st;
        if (::fstatat(dirFd, fd->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == device) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

// The batch's snapshot of who holds what (HolderSnapshot), while one is alive.
struct Snapshot
{
    std::set<dev_t> Covered;
    HolderScan Scan;
};
std::mutex SnapshotLock;
Snapshot* ActiveSnapshot = nullptr;

// Who holds these devices (and serves those that are pseudo-terminals): from the batch's
// snapshot where it covers them, else from a pass over /proc, which the snapshot then keeps.
// Only the entries of the devices asked for are handed out, so a batch costs linear time.
HolderScan HoldersOf(const std::vector<dev_t>& devices)
{
    std::lock_guard lock(SnapshotLock);
    if (!ActiveSnapshot) return FindHolders(devices);
    std::vector<dev_t> missing;
    for (dev_t d : devices)
        if (!ActiveSnapshot->Covered.count(d)) missing.push_back(d);
    if (!missing.empty()) {
        HolderScan fresh = FindHolders(missing);
        for (dev_t d : missing) {
            ActiveSnapshot->Covered.insert(d);
            if (auto it = fresh.Holders.find(d); it != fresh.Holders.end())
                ActiveSnapshot->Scan.Holders[d] = std::move(it->second);
        }
        ActiveSnapshot->Scan.PtyServers = std::move(fresh.PtyServers);
    }
    const HolderScan& kept = ActiveSnapshot->Scan;
    HolderScan asked;
    for (dev_t d : devices) {
        if (auto it = kept.Holders.find(d); it != kept.Holders.end()) asked.Holders.insert(*it);
        if (const auto index = PtyIndex(d))
            if (auto it = kept.PtyServers.find(*index); it != kept.PtyServers.end())
                asked.PtyServers.insert(*it);
    }
    return asked;
}

} // namespace

bool CheckHolders(DeviceAccess& access, const HolderScan* scan, LeftoverFlag* leftover)
{
    if (leftover) *leftover = LeftoverFlag::Honour;
    access.Holders.clear();
    access.FarEnd.clear();
    access.LockFile.clear();
    if (access.Device.empty()) {
        access.Exists = false;
        SetProblem(access, PortProblem::Gone, ENOENT);
        return false;
    }
    struct stat st;
    if (::stat(access.Device.c_str(), &st) != 0) {
        const int error = errno;
        access.Exists = error != ENOENT && error != ENOTDIR;
        access.Resolved = access.Exists ? access.Device : std::string();
        SetProblemFromErrno(access, error == ENOTDIR ? ENOENT : error, "stat " + access.Device);
        return false;
    }
    access.Exists = true;
    access.Resolved = RealPath(access.Device);
    if (access.Resolved.empty()) access.Resolved = access.Device;
    if (!S_ISCHR(st.st_mode) || !IsTerminalDevice(st.st_rdev)) {
        SetProblem(access, PortProblem::NotSerial, ENOTTY);
        return false;
    }
    HolderScan own;
    if (!scan) {
        own = HoldersOf({st.st_rdev});
        scan = &own;
    }
    if (auto it = scan->Holders.find(st.st_rdev); it != scan->Holders.end())
        access.Holders = it->second;
    if (const auto index = PtyIndex(st.st_rdev)) {
        if (auto it = scan->PtyServers.find(*index); it != scan->PtyServers.end()) {
            // The master's holder is the line's other end, even where it has the terminal
            // itself open too.
            access.FarEnd = it->second;
            std::erase_if(access.Holders, [&](const PortHolder& h) {
                return std::any_of(access.FarEnd.begin(), access.FarEnd.end(),
                                   [&](const PortHolder& f) { return f.Pid == h.Pid; });
            });
        }
    }
    if (const auto claim = LiveLockClaim(access.Resolved)) {
        access.LockFile = claim->Path;
        AddHolder(access.Holders, claim->Pid);
    }
    if (!access.Holders.empty()) {
        SetProblem(access, PortProblem::Held);
        return false;
    }
    if (leftover) *leftover = LeftoverFlag::PassOver;
    SetProblem(access, PortProblem::None);
    return true;
}

int OpenUnclaimed(DeviceAccess& access, LeftoverFlag leftover)
{
    const std::string& node = access.Resolved.empty() ? access.Device : access.Resolved;
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        SetProblemFromErrno(access, error, "open " + node);
        if (error == EBUSY && leftover == LeftoverFlag::PassOver)
            // Nobody holds it, yet the flag stops us: only root passes a leftover flag.
            SetProblem(access, PortProblem::Busy, error,
                       "it is still marked exclusive by a program that ended without closing "
                       "it; only root may open it until the program at its other end reopens "
                       "it");
        return -1;
    }
    auto refuse = [&](PortProblem problem, int error, std::string detail) {
        ::close(fd);
        SetProblem(access, problem, error, std::move(detail));
        return -1;
    };
    if (!::isatty(fd)) return refuse(PortProblem::NotSerial, ENOTTY, {});
#ifdef TIOCGEXCL
    // Root passes another program's exclusive flag; we honour it instead, and leave it be,
    // unless nobody holds the device any more: no other process (CheckHolders) and none of
    // our own descriptors, which are looked at only now, as they change while a batch opens.
    int exclusive = 0;
    struct stat st;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive &&
        (leftover == LeftoverFlag::Honour ||
         (::fstat(fd, &st) == 0 && OwnProcessHas(st.st_rdev, fd))))
        return refuse(PortProblem::Busy, EBUSY, "another program has it open exclusively");
#endif
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(PortProblem::Busy, errno, "another open descriptor has locked it");
    SetProblem(access, PortProblem::None);
    return fd;
}

} // namespace serial::posix

namespace serial {

HolderSnapshot::HolderSnapshot()
{
    std::lock_guard lock(posix::SnapshotLock);
    if (posix::ActiveSnapshot) return; // an outer batch already keeps what is seen
    Own = new posix::Snapshot;
    posix::ActiveSnapshot = static_cast<posix::Snapshot*>(Own);
}

HolderSnapshot::~HolderSnapshot()
{
    if (!Own) return;
    std::lock_guard lock(posix::SnapshotLock);
    posix::ActiveSnapshot = nullptr;
    delete static_cast<posix::Snapshot*>(Own);
}

void HolderSnapshot::Cover(const std::vector<std::string>& devices)
{
    std::vector<dev_t> nodes;
    for (const std::string& device : devices) {
        struct stat st;
        if (!device.empty() && ::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            nodes.push_back(st.st_rdev);
    }
    if (!nodes.empty()) posix::HoldersOf(nodes);
}

std::vector<DeviceAccess> CheckDevices(const std::vector<std::string>& devices)
{
    // Who holds what is asked once, for every candidate that exists.
    std::vector<dev_t> nodes;
    for (const std::string& device : devices) {
        struct stat st;
        if (!device.empty() && ::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            nodes.push_back(st.st_rdev);
    }
    const posix::HolderScan holders = posix::HoldersOf(nodes);
    std::vector<DeviceAccess> result(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        DeviceAccess& access = result[i];
        access.Device = devices[i];
        posix::LeftoverFlag leftover;
        if (!posix::CheckHolders(access, &holders, &leftover)) continue;
        // With nobody holding it, an exclusive flag still set is a killed program's leftover,
        // which an open would pass.
        const int fd = posix::OpenUnclaimed(access, leftover);
        if (fd >= 0) ::close(fd);
    }
    return result;
}

} // namespace serial
