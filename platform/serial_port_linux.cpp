#include "platform/serial_port_linux.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/termios2_linux.h"

namespace platform {

namespace {

constexpr uint64_t kNoDeadline = std::numeric_limits<uint64_t>::max();

// The errors of a device that is no longer there: a hung-up line or a removed adapter.
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE; }

// Total bound of a transfer of count bytes, as an absolute tick, or kNoDeadline when both
// parts are 0.
uint64_t TotalDeadline(uint64_t startMs, uint32_t constantMs, uint32_t perByteMs, size_t count) {
  if (constantMs == 0 && perByteMs == 0) return kNoDeadline;
  // A bound too large to represent is no bound.
  if (perByteMs != 0 && count > (kNoDeadline - startMs - constantMs) / perByteMs) return kNoDeadline;
  return startMs + constantMs + static_cast<uint64_t>(perByteMs) * count;
}

// Waits up to waitMs (kNoDeadline: without limit) for events on fd. Returns the revents,
// 0 when the wait ran out, or -1 on a failure other than an interrupted wait (which counts
// as "something may have happened", so the caller looks again).
int WaitFor(int fd, short events, uint64_t waitMs) {
  pollfd p{fd, events, 0};
  const int timeout =
      waitMs == kNoDeadline ? -1 : static_cast<int>(std::min<uint64_t>(waitMs, std::numeric_limits<int>::max()));
  const int r = poll(&p, 1, timeout);
  if (r < 0) return errno == EINTR ? events : -1;
  if (r == 0) return 0;
  return p.revents;
}

// Line-error counters of the driver: frame, overrun, parity, break. False where the driver
// keeps none (a pseudo-terminal, many USB adapters).
bool ReadErrorCounters(int fd, uint32_t counts[4]) {
  serial_icounter_struct ic{};
  if (ioctl(fd, TIOCGICOUNT, &ic) != 0) return false;
  counts[0] = static_cast<uint32_t>(ic.frame);
  counts[1] = static_cast<uint32_t>(ic.overrun) + static_cast<uint32_t>(ic.buf_overrun);
  counts[2] = static_cast<uint32_t>(ic.parity);
  counts[3] = static_cast<uint32_t>(ic.brk);
  return true;
}

// Asks the driver not to hold received bytes back (a USB adapter's latency timer slows a
// request/response protocol badly). Drivers without the setting are left as they are.
void RequestLowLatency(int fd) {
  serial_struct ss{};
  if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return;
  if ((ss.flags & ASYNC_LOW_LATENCY) != 0) return;
  ss.flags |= ASYNC_LOW_LATENCY;
  (void)ioctl(fd, TIOCSSERIAL, &ss);
}

bool SetModemLine(int fd, int line, bool on) {
  if (fd < 0) return false;
  int bits = line;
  return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

}  // namespace

SerialPortLinux::SerialPortLinux(Clock& clock) : clock_(clock) {}

SerialPortLinux::~SerialPortLinux() { Close(); }

bool SerialPortLinux::Open(const std::string& devicePath) {
  Close();
  openError_ = 0;
  const int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    openError_ = errno;
    return false;
  }
  // TIOCEXCL keeps other programs out, but not root; the lock keeps out every program that
  // takes it, ours included, whoever runs them.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    openError_ = errno == EWOULDBLOCK ? EBUSY : errno;
  } else if (ioctl(fd, TIOCEXCL) != 0 || !termios2::MakeRaw(fd)) {
    openError_ = errno;
  }
  if (openError_ != 0) {
    close(fd);
    return false;
  }
  RequestLowLatency(fd);
  fd_ = fd;
  baud_ = termios2::GetBaud(fd);
  // Errors counted before this open are not ours to report.
  if (!ReadErrorCounters(fd_, lastCounts_)) std::fill(std::begin(lastCounts_), std::end(lastCounts_), 0u);
  return true;
}

void SerialPortLinux::Close() {
  if (fd_ < 0) return;
  (void)ioctl(fd_, TIOCNXCL);
  close(fd_);  // also releases the lock
  fd_ = -1;
}

bool SerialPortLinux::IsOpen() const { return fd_ >= 0; }

bool SerialPortLinux::SetBaudRate(uint32_t baud) {
  if (fd_ < 0 || !termios2::SetBaud(fd_, baud)) return false;
  baud_ = termios2::GetBaud(fd_);
  return true;
}

uint32_t SerialPortLinux::BaudRate() const { return baud_; }

bool SerialPortLinux::SetTimeouts(const SerialTimeouts& timeouts) {
  if (fd_ < 0) return false;
  timeouts_ = timeouts;
  return true;
}

SerialTimeouts SerialPortLinux::Timeouts() const { return timeouts_; }

IoResult SerialPortLinux::Read(uint8_t* buffer, size_t count) {
  IoResult result;
  if (fd_ < 0) return result;
  result.ok = true;
  if (count == 0) return result;

  const uint64_t start = clock_.TickMs();
  const uint64_t deadline = TotalDeadline(start, timeouts_.readTotalConstantMs, timeouts_.readTotalPerByteMs, count);
  uint64_t lastByteMs = start;
  bool hungUp = false;
  while (result.count < count) {
    const ssize_t n = read(fd_, buffer + result.count, count - result.count);
    if (n > 0) {
      result.count += static_cast<size_t>(n);
      lastByteMs = clock_.TickMs();
      continue;
    }
    // A hang-up (the other end of a pseudo-terminal closed, an adapter unplugged) makes
    // poll() report the device readable while read() finds nothing, for ever.
    if ((n < 0 && errno != EAGAIN && errno != EINTR) || hungUp) {
      result.ok = false;
      result.lost = hungUp || DeviceGone(errno);
      return result;
    }
    // Nothing waiting: sleep until a byte comes or a bound runs out.
    const uint64_t now = clock_.TickMs();
    uint64_t wait = kNoDeadline;
    if (deadline != kNoDeadline) {
      if (now >= deadline) return result;
      wait = deadline - now;
    }
    if (result.count > 0 && timeouts_.readIntervalMs != 0) {
      const uint64_t intervalEnd = lastByteMs + timeouts_.readIntervalMs;
      if (now >= intervalEnd) return result;
      wait = std::min(wait, intervalEnd - now);
    }
    const int events = WaitFor(fd_, POLLIN, wait);
    if (events == 0) return result;  // the bound ran out with the line silent
    if (events < 0) {
      result.ok = false;
      return result;
    }
    // Bytes that came before the hang-up are still read; then the read fails.
    hungUp = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
  return result;
}

IoResult SerialPortLinux::Write(const uint8_t* data, size_t count) {
  IoResult result;
  if (fd_ < 0) return result;
  result.ok = true;
  const uint64_t deadline =
      TotalDeadline(clock_.TickMs(), timeouts_.writeTotalConstantMs, timeouts_.writeTotalPerByteMs, count);
  while (result.count < count) {
    const ssize_t n = write(fd_, data + result.count, count - result.count);
    if (n > 0) {
      result.count += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      result.ok = false;
      result.lost = DeviceGone(errno);
      return result;
    }
    // The driver's buffer is full: wait for room within the write bound.
    uint64_t wait = kNoDeadline;
    if (deadline != kNoDeadline) {
      const uint64_t now = clock_.TickMs();
      if (now >= deadline) return result;
      wait = deadline - now;
    }
    const int events = WaitFor(fd_, POLLOUT, wait);
    if (events == 0) return result;
    if (events < 0 || ((events & POLLOUT) == 0 && (events & (POLLHUP | POLLERR | POLLNVAL)) != 0)) {
      result.ok = false;
      result.lost = events > 0 && (events & POLLHUP) != 0;
      return result;
    }
  }
  return result;
}

bool SerialPortLinux::Purge(uint32_t flags) {
  if (fd_ < 0) return false;
  const bool in = (flags & kPurgeInput) != 0;
  const bool out = (flags & kPurgeOutput) != 0;
  if (!in && !out) return true;
  return tcflush(fd_, in && out ? TCIOFLUSH : (in ? TCIFLUSH : TCOFLUSH)) == 0;
}

bool SerialPortLinux::Drain() {
  if (fd_ < 0) return false;
  while (tcdrain(fd_) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

uint32_t SerialPortLinux::ClearErrors() {
  if (fd_ < 0) return 0;
  uint32_t counts[4] = {0, 0, 0, 0};
  if (!ReadErrorCounters(fd_, counts)) return 0;
  static constexpr uint32_t kFlags[4] = {kLineFrameError, kLineOverrun, kLineParityError, kLineBreak};
  uint32_t flags = 0;
  for (int i = 0; i < 4; ++i) {
    if (counts[i] != lastCounts_[i]) flags |= kFlags[i];
    lastCounts_[i] = counts[i];
  }
  return flags;
}

bool SerialPortLinux::SetDtr(bool on) { return SetModemLine(fd_, TIOCM_DTR, on); }

bool SerialPortLinux::SetRts(bool on) { return SetModemLine(fd_, TIOCM_RTS, on); }

}  // namespace platform
