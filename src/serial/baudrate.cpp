#include "serial/baudrate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace serial::detail {

bool setBaudRate(int fd, unsigned baud)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    // BOTHER for both directions; the input speed follows the output speed.
    tio.c_cflag &= ~static_cast<unsigned>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

unsigned readBaudRate(int fd)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return tio.c_ospeed;
}

} // namespace serial::detail
