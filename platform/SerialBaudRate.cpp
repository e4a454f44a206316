#include "platform/SerialBaudRate.h"

// Not <termios.h>: its struct termios differs from the kernel's.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace platform {

int SetCustomBaudRate(int fd, std::uint32_t rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

int ReadBaudRate(int fd, std::uint32_t& rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    rate = t.c_ospeed;
    return 0;
}

}  // namespace platform
