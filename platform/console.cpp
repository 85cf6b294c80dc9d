#include "platform/console.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

void WriteAllTo(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

void WriteToTerminal(const std::string& text) {
  const int fd = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    WriteAllTo(STDERR_FILENO, text.data(), text.size());
    return;
  }
  WriteAllTo(fd, text.data(), text.size());
  close(fd);
}

bool KeyWaiting() {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios saved{};
  // A background process must not touch the terminal modes (it would be stopped).
  if (tcgetpgrp(fd) != getpgrp() || tcgetattr(fd, &saved) != 0) {
    close(fd);
    return false;
  }
  // Briefly without line editing and echo, so a single keystroke can be seen at once; the
  // previous modes come back before returning.
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  bool waiting = false;
  if (tcsetattr(fd, TCSANOW, &raw) == 0) {
    char key = 0;
    ssize_t n = 0;
    do {
      n = read(fd, &key, 1);
    } while (n < 0 && errno == EINTR);
    waiting = n == 1;
    tcsetattr(fd, TCSANOW, &saved);
  }
  close(fd);
  return waiting;
}

}  // namespace platform
