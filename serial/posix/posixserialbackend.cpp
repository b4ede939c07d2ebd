#include "serial/posix/posixserialbackend.h"

#include "serial/portnames.h"
#include "serial/portoptions.h"
#include "serial/posix/deviceaccess.h"
#include "serial/posix/linerate.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace serial {

std::unique_ptr<SerialBackend> CreateSerialBackend()
{
    return std::make_unique<PosixSerialBackend>();
}

std::string DeviceName(unsigned n)
{
    if (n == 0 || n > serial::LastPortNumber) return {};
    if (std::string alias = AliasTarget(n); !alias.empty()) return alias;
    // The test suite sets this, so that no test ever reaches a device of the machine.
    if (const char* only = std::getenv("ESP8266WIFI_ALIASES_ONLY"); only && *only && *only != '0')
        return {};
    static constexpr std::array<const char*, 4> families = {"/dev/ttyS", "/dev/ttyUSB",
                                                            "/dev/ttyACM", "/dev/ttyAMA"};
    const unsigned family = (n - 1) / 32;
    if (family >= families.size()) return {};
    return families[family] + std::to_string((n - 1) % 32);
}

namespace {

struct BaudEntry
{
    int Rate;
    speed_t Code;
};

constexpr BaudEntry BaudTable[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

bool SpeedCode(int baud, speed_t& code)
{
    for (const BaudEntry& e : BaudTable)
        if (e.Rate == baud) {
            code = e.Code;
            return true;
        }
    return false;
}

void CloseFd(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool SetNonBlockingCloexec(int fd)
{
    const int fl = ::fcntl(fd, F_GETFL);
    return fl >= 0 && ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

bool HangUpErrno(int e)
{
    return e == EIO || e == ENXIO || e == ENODEV || e == EPIPE || e == EBADF;
}

} // namespace

PosixSerialBackend::~PosixSerialBackend()
{
    ReleaseReader();
    CloseDevice();
}

bool PosixSerialBackend::Fail(const char* what)
{
    const int e = errno;
    RecordError(e, std::string(what) + ": " + std::strerror(e));
    return false;
}

bool PosixSerialBackend::Refuse(const DeviceAccess& access)
{
    RecordError(access.Error, access.Device + ": " + access.Reason);
    return false;
}

bool PosixSerialBackend::Probe(const std::string& device)
{
    DeviceAccess access;
    access.Device = device;
    posix::LeftoverFlag leftover;
    if (!posix::CheckHolders(access, nullptr, &leftover)) return Refuse(access);
    const int fd = posix::OpenUnclaimed(access, leftover);
    if (fd < 0) return Refuse(access);
    ::close(fd);
    return true;
}

// Refuses a device that another program has open or claims by a lock file, writes our own
// lock file, then opens the node without becoming its controlling terminal, holding its flock
// and its exclusive flag so that later openers (that lock, or are not root) fail. With nobody
// holding the device and our lock taken, an exclusive flag already set was left by a program
// that was killed: it is taken over (and cleared when we close).
bool PosixSerialBackend::OpenDevice(const std::string& device)
{
    CloseDevice();
    DeviceAccess access;
    access.Device = device;
    posix::LeftoverFlag leftover;
    if (!posix::CheckHolders(access, nullptr, &leftover) || !Lock.Take(access.Resolved, access))
        return Refuse(access);
    Device = posix::OpenUnclaimed(access, leftover);
    if (Device < 0) {
        Lock.Release();
        return Refuse(access);
    }
    if (::ioctl(Device, TIOCEXCL) != 0) {
        Fail(("exclusive " + device).c_str());
        CloseFd(Device);
        Lock.Release();
        return false;
    }
    FoundRate = posix::LineRate(Device);
    return true;
}

void PosixSerialBackend::CloseDevice()
{
    if (Device >= 0) {
        // The exclusive flag is ours: OpenDevice refuses a device whose flag is already set.
        ::ioctl(Device, TIOCNXCL);
        CloseFd(Device);
    }
    Lock.Release();
}

void PosixSerialBackend::Purge()
{
    if (Device >= 0) ::tcflush(Device, TCIOFLUSH);
}

bool PosixSerialBackend::SetSpeedAndParity(termios& tio, int baud, int parity)
{
    // A rate without a speed constant (74880, the boot ROM's) is set by Commit through the
    // kernel's free-rate interface, where there is one.
    speed_t code;
    const bool constant = SpeedCode(baud, code);
    if (!constant && !posix::OfferedFreeRate(baud)) {
        RecordError(EINVAL, "unsupported baud rate " + std::to_string(baud));
        return false;
    }
    if (parity < 0 || parity > 2) {
        RecordError(EINVAL, "unsupported parity code " + std::to_string(parity));
        return false;
    }
    if (constant) {
        ::cfsetispeed(&tio, code);
        ::cfsetospeed(&tio, code);
    }
    tio.c_cflag &= ~(PARENB | PARODD);
    if (parity == 1) tio.c_cflag |= PARENB | PARODD;
    if (parity == 2) tio.c_cflag |= PARENB;
    return true;
}

// tcsetattr succeeds when any one change took; read the speed back to see that it did. Parity
// is not compared: a pseudo-terminal has no parity and always reads back without it.
bool PosixSerialBackend::Commit(const termios& wanted, int baud)
{
    if (::tcsetattr(Device, TCSANOW, &wanted) != 0) return Fail("tcsetattr");
    speed_t code;
    if (!SpeedCode(baud, code) && !posix::SetLineRate(Device, baud)) return Fail("set line rate");
    termios now{};
    if (::tcgetattr(Device, &now) != 0) return Fail("tcgetattr");
    const int rate = posix::LineRate(Device);
    const bool rateTook =
        rate != 0 ? rate == baud : ::cfgetospeed(&now) == ::cfgetospeed(&wanted);
    if (!rateTook || (now.c_cflag & CSIZE) != (wanted.c_cflag & CSIZE)) {
        RecordError(EINVAL, "the driver refused the line settings");
        return false;
    }
    return true;
}

bool PosixSerialBackend::ApplyPortSettings(int baud, int parity)
{
    if (Device < 0) {
        RecordError(EBADF, "port is not open");
        return false;
    }
    termios tio{};
    if (::tcgetattr(Device, &tio) != 0) return Fail("tcgetattr");
    ::cfmakeraw(&tio);
    // 8 data bits, 1 stop bit, no hardware or software flow control, receiver on, modem
    // status ignored; parity errors are checked (a bad byte reads as NUL).
    tio.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR | PARMRK);
    tio.c_iflag |= INPCK;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (!SetSpeedAndParity(tio, baud, parity) || !Commit(tio, baud)) return false;
    // DTR and RTS held off. A pseudo-terminal has no modem lines and says so with ENOTTY or
    // EINVAL; that is not a failed configuration.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(Device, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        return Fail("clear DTR/RTS");
    return true;
}

bool PosixSerialBackend::ApplyLineSettings(int baud, int parity)
{
    if (Device < 0) {
        RecordError(EBADF, "port is not open");
        return false;
    }
    termios tio{};
    if (::tcgetattr(Device, &tio) != 0) return Fail("tcgetattr");
    return SetSpeedAndParity(tio, baud, parity) && Commit(tio, baud);
}

bool PosixSerialBackend::PrepareReader()
{
    ReleaseReader();
    int fds[2];
    if (::pipe(fds) != 0) return Fail("pipe");
    WakeRead = fds[0];
    WakeWrite = fds[1];
    if (!SetNonBlockingCloexec(WakeRead) || !SetNonBlockingCloexec(WakeWrite)) {
        Fail("pipe flags");
        ReleaseReader();
        return false;
    }
    return true;
}

void PosixSerialBackend::RequestStop()
{
    // One byte stays in the pipe, so the reader sees the stop however late it looks.
    if (WakeWrite >= 0) {
        const char one = 1;
        while (::write(WakeWrite, &one, 1) < 0 && errno == EINTR) {
        }
    }
}

void PosixSerialBackend::ReleaseReader()
{
    CloseFd(WakeRead);
    CloseFd(WakeWrite);
}

WaitResult PosixSerialBackend::WaitForInput()
{
    pollfd fds[2] = {{WakeRead, POLLIN, 0}, {Device, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            Fail("poll");
            return WaitResult::Failed;
        }
        break;
    }
    // The stop request wins over queued input.
    if (fds[0].revents != 0) return WaitResult::Stopped;
    // Bytes queued before a hang-up are still read; the read then reports the hang-up.
    if (fds[1].revents & POLLIN) return WaitResult::Readable;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        RecordError(EIO, "device hung up");
        return WaitResult::HungUp;
    }
    return WaitResult::Readable;
}

IoResult PosixSerialBackend::Read(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(Device, buffer, size);
        if (n > 0) return {IoStatus::Done, std::size_t(n)};
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {IoStatus::Done, 0};
        if (n == 0) {
            RecordError(EIO, "device hung up");
            return {IoStatus::HungUp, 0};
        }
        Fail("read");
        return {HangUpErrno(errno) ? IoStatus::HungUp : IoStatus::Failed, 0};
    }
}

IoResult PosixSerialBackend::Write(const char* data, std::size_t size, int timeoutMs)
{
    std::size_t done = 0;
    do {
        const ssize_t n = ::write(Device, data + done, size - done);
        if (n >= 0) {
            done += std::size_t(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail("write");
            return {HangUpErrno(errno) ? IoStatus::HungUp : IoStatus::Failed, done};
        }
        // Output queue full: wait for room, at most timeoutMs.
        pollfd out{Device, POLLOUT, 0};
        int r;
        while ((r = ::poll(&out, 1, timeoutMs)) < 0 && errno == EINTR) {
        }
        if (r < 0) {
            Fail("poll");
            return {IoStatus::Failed, done};
        }
        if (r == 0) return {IoStatus::TimedOut, done};
        if (out.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            RecordError(EIO, "device hung up");
            return {IoStatus::HungUp, done};
        }
    } while (done < size);
    return {IoStatus::Done, done};
}

} // namespace serial
