#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace platform_test {

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return;
  char name[128] = {};
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    CloseMaster();
    return;
  }
  slavePath_ = name;
}

PtyPair::~PtyPair() { CloseMaster(); }

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

bool PtyPair::Send(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::vector<uint8_t> PtyPair::Receive(size_t count, int waitMs) {
  std::vector<uint8_t> got;
  while (got.size() < count) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0 || (p.revents & POLLIN) == 0) break;
    uint8_t buffer[4096];
    const size_t want = count - got.size() < sizeof buffer ? count - got.size() : sizeof buffer;
    const ssize_t n = read(master_, buffer, want);
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

}  // namespace platform_test
