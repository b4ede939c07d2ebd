// Linked into every test program: no test may reach a device of the machine it runs on.
//
// Before main, the COMn table's fallback to the system's nodes is switched off for the test
// and every program it starts (ESP8266WIFI_ALIASES_ONLY). And every open by path in the test
// process (ours, Qt's, the C and C++ libraries') is checked before it happens: a character or
// block device other than the harmless ones and pseudo-terminals ends the test at once with
// the node's name. The check lives in the program itself rather than in a preloaded library,
// so it works unchanged under the address sanitizer, which must come first of all libraries.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The devices every program may open: /dev/null, zero, full, random, urandom, the
// pseudo-terminal multiplexer and the pseudo-terminals themselves.
bool HarmlessDevice(dev_t device)
{
    const unsigned maj = major(device), min = minor(device);
    if (maj == 1) return min == 3 || min == 5 || min == 7 || min == 8 || min == 9;
    if (maj == 5) return min == 2;
    return maj >= 136 && maj <= 143;
}

void Check(int dirFd, const char* path)
{
    struct stat st;
    if (!path || ::fstatat(dirFd, path, &st, 0) != 0) return; // nothing there to reach
    if (!S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode)) return;
    if (S_ISCHR(st.st_mode) && HarmlessDevice(st.st_rdev)) return;
    char text[512];
    const int n = snprintf(text, sizeof text,
                           "device guard: the test tried to open %s (%s %u:%u), a device of "
                           "this machine; tests open only their own folders and "
                           "pseudo-terminals\n",
                           path, S_ISCHR(st.st_mode) ? "character device" : "block device",
                           major(st.st_rdev), minor(st.st_rdev));
    [[maybe_unused]] const ssize_t w = ::write(STDERR_FILENO, text, size_t(n > 0 ? n : 0));
    ::abort();
}

template <typename F> F Next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool TakesMode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

__attribute__((constructor)) void SwitchOffTheDeviceTable()
{
    ::setenv("ESP8266WIFI_ALIASES_ONLY", "1", 1);
}

} // namespace

extern "C" {

#define GUARD_OPEN(name)                                                                           \
    int name(const char* path, int flags, ...)                                                     \
    {                                                                                              \
        static const auto real = Next<int (*)(const char*, int, ...)>(#name);                      \
        Check(AT_FDCWD, path);                                                                     \
        mode_t mode = 0;                                                                           \
        if (TakesMode(flags)) {                                                                    \
            va_list args;                                                                          \
            va_start(args, flags);                                                                 \
            mode = va_arg(args, mode_t);                                                           \
            va_end(args);                                                                          \
        }                                                                                          \
        return real(path, flags, mode);                                                            \
    }

#define GUARD_OPENAT(name)                                                                         \
    int name(int dirFd, const char* path, int flags, ...)                                          \
    {                                                                                              \
        static const auto real = Next<int (*)(int, const char*, int, ...)>(#name);                 \
        Check(dirFd, path);                                                                        \
        mode_t mode = 0;                                                                           \
        if (TakesMode(flags)) {                                                                    \
            va_list args;                                                                          \
            va_start(args, flags);                                                                 \
            mode = va_arg(args, mode_t);                                                           \
            va_end(args);                                                                          \
        }                                                                                          \
        return real(dirFd, path, flags, mode);                                                     \
    }

GUARD_OPEN(open)
GUARD_OPEN(open64)
GUARD_OPENAT(openat)
GUARD_OPENAT(openat64)

// The forms the C library's fortified headers call.
int __open_2(const char* path, int flags)
{
    static const auto real = Next<int (*)(const char*, int)>("__open_2");
    Check(AT_FDCWD, path);
    return real(path, flags);
}

int __open64_2(const char* path, int flags)
{
    static const auto real = Next<int (*)(const char*, int)>("__open64_2");
    Check(AT_FDCWD, path);
    return real(path, flags);
}

// fopen opens inside the C library, where no call of ours can see it.
FILE* fopen(const char* path, const char* mode)
{
    static const auto real = Next<FILE* (*)(const char*, const char*)>("fopen");
    Check(AT_FDCWD, path);
    return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode)
{
    static const auto real = Next<FILE* (*)(const char*, const char*)>("fopen64");
    Check(AT_FDCWD, path);
    return real(path, mode);
}

} // extern "C"
