#pragma once
// The benchmarks' far end of a serial line: a raw pseudo-terminal master whose slave side is
// registered as the port alias com<n> in a folder. Exits the program when the system refuses.
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <termios.h>
#include <unistd.h>

// Opens the master of a new raw pseudo-terminal and registers its slave as folder/com<com>.
inline int OpenRawPtyAs(const std::string& folder, unsigned com)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) std::exit(2);
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    std::filesystem::create_symlink(::ptsname(master), folder + "/com" + std::to_string(com));
    return master;
}

// Writes every byte, waiting while the line is full.
inline void WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) std::exit(3);
        data += n;
        size -= std::size_t(n);
    }
}
