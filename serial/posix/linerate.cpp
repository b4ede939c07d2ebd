#include "serial/posix/linerate.h"

// The kernel's termios2 cannot share a translation unit with <termios.h>: their structures
// have the same names.
#if defined(__linux__)
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);
#endif

namespace serial::posix {

#if defined(__linux__)

bool FreeLineRates()
{
    return true;
}

bool SetLineRate(int fd, int baud)
{
    if (baud <= 0) {
        errno = EINVAL;
        return false;
    }
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = unsigned(baud);
    tio.c_ospeed = unsigned(baud);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

int LineRate(int fd)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return int(tio.c_ospeed);
}

#else

bool FreeLineRates()
{
    return false;
}

bool SetLineRate(int, int)
{
    return false;
}

int LineRate(int)
{
    return 0;
}

#endif

} // namespace serial::posix
