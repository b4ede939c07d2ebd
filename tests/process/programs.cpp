#include "programs.h"

#include "serial/posix/deviceaccess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace proctest {
namespace {
using Clock = std::chrono::steady_clock;
}

Program::Program(const std::string& path, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, int outFd)
{
    std::vector<std::string> argvText{path};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText(env);
    for (char** e = environ; *e; ++e)
        envText.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int outPipe[2] = {-1, -1}, errPipe[2];
    if ((outFd < 0 && ::pipe2(outPipe, O_CLOEXEC) != 0) || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd >= 0 ? outFd : outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int spawned = ::posix_spawn(&Child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (outFd < 0) ::close(outPipe[1]);
    ::close(errPipe[1]);
    Out = outPipe[0];
    Err = errPipe[0];
    if (spawned != 0) {
        ADD_FAILURE() << "cannot run " << path << ": " << std::strerror(spawned);
        Child = -1;
    }
}

Program::~Program()
{
    if (Child > 0) {
        ::kill(Child, SIGKILL);
        ::waitpid(Child, nullptr, 0);
    }
    if (Out >= 0) ::close(Out);
    if (Err >= 0) ::close(Err);
}

bool Program::Holds(const std::string& node, int timeoutMs)
{
    struct stat wanted;
    if (Child <= 0 || ::stat(node.c_str(), &wanted) != 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string folder = "/proc/" + std::to_string(Child) + "/fd";
    while (Clock::now() < deadline) {
        Gather(0);
        if (DIR* fds = ::opendir(folder.c_str())) {
            bool found = false;
            while (const dirent* e = ::readdir(fds)) {
                struct stat st;
                if (e->d_name[0] != '.' && ::fstatat(::dirfd(fds), e->d_name, &st, 0) == 0 &&
                    S_ISCHR(st.st_mode) && st.st_rdev == wanted.st_rdev)
                    found = true;
            }
            ::closedir(fds);
            if (found) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Program::Signal(int signal)
{
    if (Child > 0) ::kill(Child, signal);
}

void Program::Gather(int waitMs)
{
    pollfd fds[2] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}};
    std::string* sinks[2] = {&OutText, &ErrText};
    if (::poll(fds, 2, waitMs) <= 0) return;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) sinks[i]->append(buffer, std::size_t(n));
    }
}

Ended Program::Wait(int timeoutMs)
{
    Ended end;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    bool exited = false;
    while (Child > 0 && Clock::now() < deadline) {
        if (::waitpid(Child, &status, WNOHANG) == Child) {
            exited = true;
            break;
        }
        Gather(10);
    }
    if (!exited && Child > 0) {
        ::kill(Child, SIGKILL);
        ::waitpid(Child, &status, 0);
        ADD_FAILURE() << "the program did not end within " << timeoutMs << " ms";
    }
    Child = -1;
    for (int i = 0; i < 50; ++i)
        Gather(0); // what is still in the pipes
    if (exited && WIFEXITED(status)) end.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    end.out = OutText;
    end.err = ErrText;
    return end;
}

Ended RunToEnd(const std::string& path, const std::vector<std::string>& args,
               const std::vector<std::string>& env, int timeoutMs)
{
    Program program(path, args, env);
    return program.Wait(timeoutMs);
}

bool ExclusiveFlagSet(const std::string& node)
{
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;
    int exclusive = 0;
    ::ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
    return exclusive != 0;
}

bool LockFileExists(const std::string& node)
{
    char real[PATH_MAX];
    const std::string resolved = ::realpath(node.c_str(), real) ? real : node;
    for (const std::string& folder : serial::posix::LockFolders())
        if (::access((folder + "/" + serial::posix::LockFileName(resolved)).c_str(), F_OK) == 0)
            return true;
    return false;
}

} // namespace proctest
