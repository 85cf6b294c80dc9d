// Clocks behind one interface: a monotonic millisecond tick counter, sleeping, and the
// calendar time with milliseconds. The programs take a Clock& so tests can substitute
// FakeClock, whose time moves only when something waits.
#pragma once

#include <cstdint>

namespace platform {

struct CalendarTime {
  int year = 0;         // e.g. 2026
  int month = 0;        // 1..12
  int day = 0;          // 1..31
  int dayOfWeek = 0;    // 0 = Sunday
  int hour = 0;         // 0..23
  int minute = 0;       // 0..59
  int second = 0;       // 0..59
  int millisecond = 0;  // 0..999
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary fixed point; monotonic, never wraps.
  virtual uint64_t TickMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  // Local calendar time.
  virtual CalendarTime Now() = 0;
};

// The machine's clocks (CLOCK_MONOTONIC, nanosleep, localtime).
class SystemClock final : public Clock {
 public:
  uint64_t TickMs() override;
  void SleepMs(uint32_t ms) override;
  CalendarTime Now() override;
};

// The process-wide real clock.
Clock& RealClock();

// The local calendar time of a moment given in milliseconds since 1970-01-01 00:00 UTC.
CalendarTime LocalCalendarTime(int64_t unixMs);

// Test clock: time stands still until Advance() or SleepMs() moves it. FakeSerialPort
// advances it by the time a read or write would have waited.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint64_t startMs = 1000) : nowMs_(startMs) {}
  uint64_t TickMs() override { return nowMs_; }
  void SleepMs(uint32_t ms) override { nowMs_ += ms; }
  CalendarTime Now() override;
  void Advance(uint64_t ms) { nowMs_ += ms; }
  // Calendar time reported by Now(); the millisecond part follows TickMs().
  void SetCalendar(const CalendarTime& t) { calendar_ = t; calendarBaseMs_ = nowMs_; }

 private:
  uint64_t nowMs_;
  CalendarTime calendar_{2026, 1, 2, 5, 3, 4, 5, 0};  // 2026-01-02 03:04:05.000, a Friday
  uint64_t calendarBaseMs_ = 1000;
};

}  // namespace platform
