// Kept apart from the termios users: the kernel's termbits header and the C
// library's termios.h declare the same names and cannot share a file.
#include "serial/custombaud_unix.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace YVclCtrl {

bool SetCustomBaud(int Fd, unsigned Baud) {
    struct termios2 tio;
    if (ioctl(Fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_cflag &= ~(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    tio.c_ispeed = Baud;
    tio.c_ospeed = Baud;
    return ioctl(Fd, TCSETS2, &tio) == 0;
}

} // namespace YVclCtrl
