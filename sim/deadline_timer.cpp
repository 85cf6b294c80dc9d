#include "sim/deadline_timer.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace kvsim {

namespace {

constexpr int64_t kNsPerSecond = 1000000000;

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

}  // namespace

DeadlineTimer::DeadlineTimer() : originNs_(MonotonicNs()) {}

DeadlineTimer::~DeadlineTimer() {
  if (fd_ >= 0) close(fd_);
}

bool DeadlineTimer::Open() {
  fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  return fd_ >= 0;
}

double DeadlineTimer::NowMs() const { return static_cast<double>(MonotonicNs() - originNs_) / 1e6; }

void DeadlineTimer::ArmAt(double deadlineMs) {
  int64_t ns = -1;
  if (std::isfinite(deadlineMs)) {
    // Not before the origin (a zero it_value would disarm), rounded up to the nanosecond.
    ns = originNs_ + std::max<int64_t>(1, static_cast<int64_t>(std::ceil(deadlineMs * 1e6)));
  }
  if (ns == armedNs_) return;
  itimerspec expiry{};
  if (ns >= 0) {
    expiry.it_value.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
    expiry.it_value.tv_nsec = static_cast<long>(ns % kNsPerSecond);
  }
  timerfd_settime(fd_, TFD_TIMER_ABSTIME, &expiry, nullptr);
  armedNs_ = ns;
}

void DeadlineTimer::Acknowledge() {
  uint64_t expirations = 0;
  (void)!read(fd_, &expirations, sizeof expirations);
  armedNs_ = -1;  // an expired timer is disarmed
}

}  // namespace kvsim
