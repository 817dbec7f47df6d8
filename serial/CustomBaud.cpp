// Arbitrary baud rates through Linux's termios2 interface. It lives in a file
// of its own because the kernel's termios definitions clash with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include "serial/CustomBaud.h"

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace kovra {

bool SetCustomBaudRate(int fd, unsigned rate) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return false;
    }
    settings.c_cflag &= ~CBAUD;
    settings.c_cflag |= BOTHER;
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace kovra
