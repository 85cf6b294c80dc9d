// kvsim's time base: milliseconds since the timer was made, on CLOCK_MONOTONIC, and a
// timerfd that becomes readable at an absolute deadline on that clock (to the nanosecond,
// without the rounding of a poll() time-out), so the board's waits do not drift.
#pragma once

#include <cstdint>

namespace kvsim {

class DeadlineTimer {
 public:
  DeadlineTimer();
  ~DeadlineTimer();
  DeadlineTimer(const DeadlineTimer&) = delete;
  DeadlineTimer& operator=(const DeadlineTimer&) = delete;

  // Creates the timerfd; false on failure.
  bool Open();
  int Fd() const { return fd_; }

  // Milliseconds since construction.
  double NowMs() const;
  // Makes Fd() readable at deadlineMs (a time in the past: at once); infinity disarms it.
  void ArmAt(double deadlineMs);
  // Clears the readable state after the deadline has passed.
  void Acknowledge();

 private:
  int64_t originNs_ = 0;
  int fd_ = -1;
  int64_t armedNs_ = -1;  // the deadline set, -1 when disarmed
};

}  // namespace kvsim
