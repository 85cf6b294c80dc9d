#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs body in a child process that has no controlling terminal and whose standard error
// goes into a pipe; returns what it wrote there and its exit code.
std::string RunWithoutTerminal(int (*body)(), int& exitCode) {
  int fds[2];
  if (pipe(fds) != 0) return "<pipe failed>";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDERR_FILENO);
    close(fds[1]);
    if (setsid() < 0) _exit(100);
    _exit(body());
  }
  close(fds[1]);
  std::string out;
  char buffer[256];
  ssize_t n = 0;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(Console, WithoutTerminalTextGoesToStandardError) {
  int exitCode = -1;
  const std::string out = RunWithoutTerminal(
      [] {
        platform::WriteToTerminal("usage: serburn\r\n");
        return 0;
      },
      exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(out, "usage: serburn\r\n");
}

TEST(Console, WithoutTerminalNoKeyIsWaiting) {
  int exitCode = -1;
  RunWithoutTerminal([] { return platform::KeyWaiting() ? 1 : 0; }, exitCode);
  EXPECT_EQ(exitCode, 0);
}

// Child side of the terminal test: a new session whose controlling terminal is the pty
// slave. Exit code 0 when every step behaved; otherwise the number of the failed step.
int KeyTestOnControllingTerminal(const char* slaveName, int readyFd, int goFd) {
  if (setsid() < 0) return 10;
  const int slave = open(slaveName, O_RDWR);
  if (slave < 0 || ioctl(slave, TIOCSCTTY, 0) != 0) return 11;
  if (platform::KeyWaiting()) return 1;  // nothing typed yet
  platform::WriteToTerminal("ready");
  char go = 0;
  if (write(readyFd, "r", 1) != 1 || read(goFd, &go, 1) != 1) return 12;
  // The parent has typed one key; the terminal delivers it shortly (polled, up to 5 s).
  bool seen = false;
  for (int i = 0; i < 500 && !seen; ++i) {
    seen = platform::KeyWaiting();
    if (!seen) usleep(10000);
  }
  if (!seen) return 2;
  if (platform::KeyWaiting()) return 3;  // the key was consumed
  termios modes{};
  if (tcgetattr(slave, &modes) != 0) return 13;
  if ((modes.c_lflag & ICANON) == 0 || (modes.c_lflag & ECHO) == 0) return 4;  // modes restored
  return 0;
}

// Types key on a pty that is the controlling terminal of a child running
// KeyTestOnControllingTerminal; exitCode receives the child's exit code.
void TypeKeyOnControllingTerminal(const std::string& key, int& exitCode) {
  exitCode = -1;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slaveName = ptsname(master);
  int ready[2];
  int go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(master);
    _exit(KeyTestOnControllingTerminal(slaveName.c_str(), ready[1], go[0]));
  }
  close(ready[1]);
  close(go[0]);
  char flag = 0;
  ASSERT_EQ(read(ready[0], &flag, 1), 1);
  std::string shown;
  char buffer[64];
  pollfd p{master, POLLIN, 0};
  while (shown.size() < 5 && poll(&p, 1, 5000) == 1) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    shown.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(shown, "ready");
  EXPECT_EQ(write(master, key.data(), key.size()), static_cast<ssize_t>(key.size()));
  EXPECT_EQ(write(go[1], "g", 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  close(ready[0]);
  close(go[1]);
  if (WIFEXITED(status)) exitCode = WEXITSTATUS(status);
}

TEST(Console, KeyOnControllingTerminalIsSeenOnceAndModesComeBack) {
  int exitCode = -1;
  TypeKeyOnControllingTerminal("k", exitCode);
  EXPECT_EQ(exitCode, 0) << "failed step (see KeyTestOnControllingTerminal)";
}

TEST(Console, CursorKeyIsConsumedWithItsWholeSequence) {
  for (const char* key : {"\x1b[A", "\x1b[15~", "\x1bOP"}) {
    int exitCode = -1;
    TypeKeyOnControllingTerminal(key, exitCode);
    EXPECT_EQ(exitCode, 0) << "failed step (see KeyTestOnControllingTerminal) for a key of " << std::string(key).size()
                           << " bytes";
  }
}

}  // namespace
