#include "sim/pty_endpoint.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/termios2_linux.h"

namespace kvsim {

PtyEndpoint::~PtyEndpoint() { Close(); }

std::string PtyEndpoint::Open(const std::string& linkPath, uint32_t initialBaud) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return std::string("posix_openpt: ") + std::strerror(errno);
  char name[256];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    return std::string("cannot unlock the pseudo-terminal: ") + std::strerror(errno);
  }
  slavePath_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0) return "cannot open " + slavePath_ + ": " + std::strerror(errno);
  if (!platform::termios2::MakeRaw(slave_) || !platform::termios2::SetBaud(slave_, initialBaud)) {
    return "cannot set up " + slavePath_;
  }
  struct stat st {};
  if (lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) return linkPath + " exists and is not a symbolic link";
    unlink(linkPath.c_str());
  }
  if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
    return "cannot link " + linkPath + ": " + std::strerror(errno);
  }
  linkPath_ = linkPath;
  return "";
}

void PtyEndpoint::Close() {
  if (!linkPath_.empty()) {
    // Remove the link only while it still points at our slave.
    char target[256];
    const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) unlink(linkPath_.c_str());
    linkPath_.clear();
  }
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
  slave_ = master_ = -1;
}

uint32_t PtyEndpoint::LineBaud() const { return platform::termios2::GetBaud(master_); }

}  // namespace kvsim
