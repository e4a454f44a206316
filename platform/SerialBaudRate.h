#pragma once
// Baud rates that have no termios constant (28800, 14400, ...) are set through termios2 and
// BOTHER. The kernel header that declares termios2 clashes with <termios.h>, so these live in
// a source file of their own.
#include <cstdint>

namespace platform {

// Sets both directions to `rate` baud, leaving every other line setting as it is.
// 0 or the errno.
int SetCustomBaudRate(int fd, std::uint32_t rate);

// The output rate that the driver reports now, whichever way it was set. 0 or the errno.
int ReadBaudRate(int fd, std::uint32_t& rate);

}  // namespace platform
