// Line settings through the kernel's termios2 interface, which takes any baud rate
// (BOTHER). Kept in its own translation unit because <asm/termbits.h> and <termios.h>
// declare the same names and cannot be included together.
#pragma once

#include <cstdint>

namespace platform::termios2 {

// Raw 8N1 binary mode: no parity, one stop bit, receiver on, modem status ignored
// (CLOCAL), no hardware or software flow control, no character processing, and reads that
// never block in the driver (VMIN = 0, VTIME = 0). The baud rate stays as the driver had it.
bool MakeRaw(int fd);

// Sets input and output rate to baud, standard or not. 0 is refused: it would hang up.
bool SetBaud(int fd, uint32_t baud);

// The output rate the driver reports, or 0 when it cannot be read.
uint32_t GetBaud(int fd);

}  // namespace platform::termios2
