#include "ptyrig.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

int MsLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : int(left.count());
}

} // namespace

PtyRig::PtyRig()
{
    char tmpl[] = "/tmp/serial-rig-XXXXXX";
    if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
    Folder = tmpl;
    if (const char* old = std::getenv("ESP8266WIFI_PORTS")) {
        HadPorts = true;
        SavedPorts = old;
    }
    ::setenv("ESP8266WIFI_PORTS", Folder.c_str(), 1);
}

PtyRig::~PtyRig()
{
    for (auto& [n, fd] : Masters)
        if (fd >= 0) ::close(fd);
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
    if (HadPorts)
        ::setenv("ESP8266WIFI_PORTS", SavedPorts.c_str(), 1);
    else
        ::unsetenv("ESP8266WIFI_PORTS");
}

unsigned PtyRig::AddPeer()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error("posix_openpt");
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    const std::string node = ::ptsname(master);
    const unsigned n = NextPort++;
    std::filesystem::create_symlink(node, Folder + "/com" + std::to_string(n));
    Masters[n] = master;
    Nodes[n] = node;
    return n;
}

std::size_t PtyRig::PeerWrite(unsigned n, const std::string& data, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t w = ::write(Masters.at(n), data.data() + done, data.size() - done);
        if (w > 0) {
            done += std::size_t(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) break;
        pollfd p{Masters.at(n), POLLOUT, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) break;
    }
    return done;
}

std::string PtyRig::PeerRead(unsigned n, std::size_t size, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    std::string got;
    char buffer[4096];
    while (got.size() < size) {
        const std::size_t want = std::min(sizeof buffer, size - got.size());
        const ssize_t r = ::read(Masters.at(n), buffer, want);
        if (r > 0) {
            got.append(buffer, std::size_t(r));
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EINTR) break;
        pollfd p{Masters.at(n), POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) break;
    }
    return got;
}

std::size_t PtyRig::PeerPending(unsigned n)
{
    int queued = 0;
    ::ioctl(Masters.at(n), FIONREAD, &queued);
    return std::size_t(queued);
}

void PtyRig::HangUp(unsigned n)
{
    int& fd = Masters.at(n);
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::optional<int> PtyRig::LineBaud(unsigned n)
{
    // A second descriptor on the slave; the exclusive flag lets only root through.
    const int fd = ::open(Nodes.at(n).c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios tio{};
    const bool ok = ::tcgetattr(fd, &tio) == 0;
    ::close(fd);
    if (!ok) return std::nullopt;
    switch (::cfgetospeed(&tio)) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return -1;
    }
}

std::string PtyRig::Node(unsigned n) const
{
    return Nodes.at(n);
}
