#pragma once

// Another program holding a device: a child process that has it open until the object is
// destroyed. Shared by the serial and the window tests.

#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

class HoldingChild
{
public:
    explicit HoldingChild(const std::string& node, const char* name = "pty-holder")
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        Pid = ::fork();
        if (Pid == 0) {
            // Only the device and the two pipes: an inherited descriptor (another child's pipe,
            // a port the parent holds) would outlive the parent's wishes.
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != ready[1] && fd != release[0]) ::close(fd);
#ifdef __linux__
            ::prctl(PR_SET_NAME, name);
#endif
            const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0;
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


