#include "posixnetwork.h"

#include "esp8266module.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace esp8266sim {

namespace {

// Bytes a stalled peer may leave queued before further data is dropped, like the module's own
// buffer overflowing.
constexpr std::size_t MaxOutgoing = 1 << 20;

} // namespace

PosixNetwork::~PosixNetwork()
{
    close();
}

bool PosixNetwork::open(LinkKind kind, const std::string& address, int port)
{
    close();
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) return false;
    datagram = kind == LinkKind::Udp;
    const int type = datagram ? SOCK_DGRAM : SOCK_STREAM;
    fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        connecting = false;
        openReported = false; // reported from the next handleEvents
        return true;
    }
    if (errno == EINPROGRESS) {
        connecting = true;
        openReported = false;
        return true;
    }
    close();
    return false;
}

bool PosixNetwork::send(std::string_view bytes)
{
    if (fd < 0 || connecting) return false;
    if (outgoing.size() + bytes.size() > MaxOutgoing) return false;
    outgoing.append(bytes);
    flushOutgoing();
    return true;
}

void PosixNetwork::close()
{
    if (fd >= 0) ::close(fd);
    fd = -1;
    connecting = false;
    openReported = true;
    outgoing.clear();
}

void PosixNetwork::flushOutgoing()
{
    while (fd >= 0 && !outgoing.empty()) {
        const ssize_t n = ::send(fd, outgoing.data(), outgoing.size(), MSG_NOSIGNAL);
        if (n > 0) {
            outgoing.erase(0, std::size_t(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // EAGAIN waits for POLLOUT; a UDP peer that refused a datagram loses only that one.
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) outgoing.clear();
            return;
        }
    }
}

pollfd PosixNetwork::pollEntry() const
{
    pollfd entry{fd, 0, 0};
    if (fd < 0) return entry;
    entry.events = POLLIN;
    if (connecting || !openReported || !outgoing.empty()) entry.events |= POLLOUT;
    return entry;
}

void PosixNetwork::handleEvents(short revents, Esp8266Module& module, std::int64_t nowMs)
{
    if (fd < 0) return;
    if (connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        connecting = false;
        openReported = true;
        if (error != 0) {
            close();
            module.linkOpened(false, nowMs);
            return;
        }
        module.linkOpened(true, nowMs);
        return;
    }
    if (!openReported) {
        openReported = true;
        module.linkOpened(true, nowMs);
    }
    if (revents & POLLOUT) flushOutgoing();
    if (!(revents & (POLLIN | POLLERR | POLLHUP))) return;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        module.linkData(std::string_view(buffer, std::size_t(n)), nowMs);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (datagram) return; // an empty datagram or an ICMP refusal does not end a UDP link
    close();
    module.linkClosed(nowMs);
}

void PosixNetwork::pump(Esp8266Module& module, std::int64_t nowMs, int timeoutMs)
{
    pollfd entry = pollEntry();
    if (entry.fd < 0) return;
    if (!openReported && !connecting) timeoutMs = 0;
    if (::poll(&entry, 1, timeoutMs) >= 0) handleEvents(entry.revents, module, nowMs);
}

} // namespace esp8266sim
