// The far end of a serial line for a Windows test program running under Wine.
//   wine_serial_peer LINK -- COMMAND [ARG]...
// Opens a pseudo-terminal, links its slave at LINK (a Wine dosdevices/comN entry), runs
// COMMAND and serves the master until COMMAND ends; exits with COMMAND's status.
// Every byte that arrives is echoed, except control lines "~~peer:<verb> [arg]\n":
//   line        answers "line <speed> <csize> <parenb> <parodd> <cstopb> <crtscts> <ixon> <ixoff>\n"
//   burst N     sends N bytes of the tests' shared pattern
//   hangup      closes the master, as an unplugged adapter would
#include "testsupport.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

int ChildPipe[2] = {-1, -1};

void OnChild(int)
{
    const int saved = errno;
    [[maybe_unused]] const ssize_t w = ::write(ChildPipe[1], "x", 1);
    errno = saved;
}

int SpeedOf(speed_t s)
{
    static const struct { speed_t code; int rate; } table[] = {
        {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
        {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto& e : table)
        if (e.code == s) return e.rate;
    return -1;
}

class Peer
{
public:
    Peer(int master, int slave) : Master(master), Slave(slave) {}

    bool Open() const { return Master >= 0; }
    int Fd() const { return Master; }

    // Handles what the master delivered; returns false once the line is gone.
    bool Serve()
    {
        char buffer[4096];
        const ssize_t r = ::read(Master, buffer, sizeof buffer);
        if (r < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        if (r <= 0) return false; // EIO: the slave side has no opener left
        for (ssize_t i = 0; i < r && Open(); ++i)
            Take(buffer[i]);
        return true;
    }

    void HangUp()
    {
        if (Master >= 0) ::close(Master);
        if (Slave >= 0) ::close(Slave);
        Master = Slave = -1;
    }

private:
    static constexpr const char* Marker = "~~peer:";

    // Bytes that could still be the start of a control line are held back until they
    // either complete it or turn out to be ordinary data.
    void Take(char c)
    {
        const std::size_t markerLength = std::strlen(Marker);
        if (AtLineStart || !Held.empty()) {
            Held.push_back(c);
            const bool inMarker = Held.size() <= markerLength;
            if (inMarker && Held.compare(0, Held.size(), Marker, Held.size()) != 0) {
                Send(Held);
                Held.clear();
            } else if (!inMarker && c == '\n') {
                Command(Held.substr(markerLength, Held.size() - markerLength - 1));
                Held.clear();
            }
            AtLineStart = Held.empty() && c == '\n';
            return;
        }
        Send(std::string(1, c));
        AtLineStart = c == '\n';
    }

    void Command(const std::string& line)
    {
        if (line == "hangup") {
            HangUp();
        } else if (line == "line") {
            termios t{};
            ::tcgetattr(Slave, &t);
            char text[160];
            std::snprintf(text, sizeof text, "line %d %d %d %d %d %d %d %d\n",
                          SpeedOf(::cfgetospeed(&t)),
                          (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : 0,
                          (t.c_cflag & PARENB) ? 1 : 0, (t.c_cflag & PARODD) ? 1 : 0,
                          (t.c_cflag & CSTOPB) ? 1 : 0, (t.c_cflag & CRTSCTS) ? 1 : 0,
                          (t.c_iflag & IXON) ? 1 : 0, (t.c_iflag & IXOFF) ? 1 : 0);
            Send(text);
        } else if (line.rfind("burst ", 0) == 0) {
            Send(serialtest::Pattern(std::strtoul(line.c_str() + 6, nullptr, 10)));
        } else {
            std::fprintf(stderr, "peer: unknown command '%s'\n", line.c_str());
        }
    }

    // Blocking send: the test program reads everything it asks for.
    void Send(const std::string& data)
    {
        std::size_t done = 0;
        while (Master >= 0 && done < data.size()) {
            const ssize_t w = ::write(Master, data.data() + done, data.size() - done);
            if (w > 0) {
                done += std::size_t(w);
            } else if (w < 0 && errno == EAGAIN) {
                pollfd p{Master, POLLOUT, 0};
                if (::poll(&p, 1, 5000) <= 0) return;
            } else if (w < 0 && errno != EINTR) {
                return;
            }
        }
    }

    int Master;
    int Slave;
    std::string Held;
    bool AtLineStart = true;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: %s LINK -- COMMAND [ARG]...\n", argv[0]);
        return 2;
    }
    const char* link = argv[1];

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 2;
    }
    const std::string node = ::ptsname(master);
    // Our own descriptor on the slave keeps the master readable between the test's opens
    // and lets us read back the line settings the test program applied.
    const int slave = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::unlink(link);
    if (::symlink(node.c_str(), link) != 0) {
        std::perror("symlink");
        return 2;
    }

    if (::pipe2(ChildPipe, O_CLOEXEC) != 0) return 2;
    struct sigaction sa{};
    sa.sa_handler = OnChild;
    sa.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    ::sigaction(SIGCHLD, &sa, nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[3], argv + 3);
        std::perror(argv[3]);
        ::_exit(127);
    }

    Peer peer(master, slave);
    int status = 0;
    for (;;) {
        pollfd p[2] = {{ChildPipe[0], POLLIN, 0}, {peer.Fd(), POLLIN, 0}};
        const int count = peer.Open() ? 2 : 1;
        if (::poll(p, nfds_t(count), -1) < 0 && errno != EINTR) break;
        if (p[0].revents) {
            if (::waitpid(child, &status, WNOHANG) == child) break;
            char drain[16];
            [[maybe_unused]] const ssize_t r = ::read(ChildPipe[0], drain, sizeof drain);
        }
        if (count == 2 && (p[1].revents & (POLLIN | POLLHUP | POLLERR)) && !peer.Serve())
            peer.HangUp();
    }
    peer.HangUp();
    ::unlink(link);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
