#include "tests/link/silence_fast_forward.h"

#include <ctime>

namespace flash::testing {

platform::CalendarTime FastForwardClock::Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const int64_t realMs = static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000L;
  return platform::LocalCalendarTime(realMs + static_cast<int64_t>(jumpedMs_));
}

platform::IoResult SilenceFastForwardPort::Read(uint8_t* buffer, size_t count) {
  const platform::IoResult result = port_.Read(buffer, count);
  if (fastForward_ && result.ok && result.count < count && ++silentReads_ > kSilentReadsInRealTime) {
    clock_.Jump(kJumpMs);
  }
  return result;
}

platform::IoResult SilenceFastForwardPort::Write(const uint8_t* data, size_t count) {
  silentReads_ = 0;
  return port_.Write(data, count);
}

}  // namespace flash::testing
