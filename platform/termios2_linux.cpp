#include "platform/termios2_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace platform::termios2 {

bool MakeRaw(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                      IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= static_cast<tcflag_t>(CS8 | CLOCAL | CREAD);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return ioctl(fd, TCSETS2, &t) == 0;
}

bool SetBaud(int fd, uint32_t baud) {
  if (baud == 0) return false;
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= static_cast<tcflag_t>(BOTHER | (BOTHER << IBSHIFT));
  t.c_ospeed = baud;
  t.c_ispeed = baud;
  if (ioctl(fd, TCSETS2, &t) != 0) return false;
  // The driver may round or refuse the rate silently; read back what it took.
  return GetBaud(fd) != 0;
}

uint32_t GetBaud(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

}  // namespace platform::termios2
