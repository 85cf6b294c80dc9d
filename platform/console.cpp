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

constexpr char kEscape = '\x1b';

// Reads one byte that is already waiting; false when none is.
bool ReadWaitingByte(int fd, char& byte) {
  ssize_t n = 0;
  do {
    n = read(fd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1;
}

// A cursor or function key arrives as one escape sequence ("ESC [ ... final" or "ESC O x");
// the rest of it is read too, so the whole key is consumed and nothing is left for the shell.
void ConsumeEscapeSequence(int fd) {
  constexpr int kLongestSequence = 16;
  char byte = 0;
  if (!ReadWaitingByte(fd, byte)) return;
  if (byte == 'O') {
    ReadWaitingByte(fd, byte);
    return;
  }
  if (byte != '[') return;
  for (int i = 0; i < kLongestSequence && ReadWaitingByte(fd, byte); ++i) {
    if (byte >= 0x40 && byte <= 0x7E) return;  // the final byte
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
    if (waiting && key == kEscape) ConsumeEscapeSequence(fd);
    tcsetattr(fd, TCSANOW, &saved);
  }
  close(fd);
  return waiting;
}

}  // namespace platform
