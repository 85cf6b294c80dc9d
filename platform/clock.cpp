#include "platform/clock.h"

#include <ctime>

namespace platform {

uint64_t SystemClock::TickMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SystemClock::SleepMs(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

CalendarTime SystemClock::Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalCalendarTime(static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000L);
}

CalendarTime LocalCalendarTime(int64_t unixMs) {
  // Whole seconds rounded down, so a moment before 1970 keeps a millisecond part of 0..999.
  const int64_t seconds = unixMs >= 0 ? unixMs / 1000 : -((-unixMs + 999) / 1000);
  const time_t whole = static_cast<time_t>(seconds);
  tm local{};
  localtime_r(&whole, &local);
  CalendarTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.dayOfWeek = local.tm_wday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = static_cast<int>(unixMs - seconds * 1000);
  return t;
}

Clock& RealClock() {
  static SystemClock clock;
  return clock;
}

CalendarTime FakeClock::Now() {
  // Seconds and milliseconds move with the fake tick counter; larger fields stay as set.
  CalendarTime t = calendar_;
  const uint64_t elapsed = nowMs_ - calendarBaseMs_;
  const uint64_t totalMs = static_cast<uint64_t>(t.second) * 1000u + static_cast<uint64_t>(t.millisecond) + elapsed;
  t.millisecond = static_cast<int>(totalMs % 1000u);
  const uint64_t totalSeconds = totalMs / 1000u;
  t.second = static_cast<int>(totalSeconds % 60u);
  const uint64_t totalMinutes = static_cast<uint64_t>(t.minute) + totalSeconds / 60u;
  t.minute = static_cast<int>(totalMinutes % 60u);
  t.hour = static_cast<int>((static_cast<uint64_t>(t.hour) + totalMinutes / 60u) % 24u);
  return t;
}

}  // namespace platform
