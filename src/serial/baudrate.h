#pragma once
// Baud rates through termios2, kept apart from <termios.h>: the kernel's
// asm/termbits.h defines the same names differently.

namespace serial::detail {

// Sets input and output speed of `fd` to exactly `baud` (any rate the driver
// takes, not only those with a B constant). False when the driver refuses.
bool setBaudRate(int fd, unsigned baud);

// The output speed `fd` is set to, or 0 when it cannot be read.
unsigned readBaudRate(int fd);

} // namespace serial::detail
