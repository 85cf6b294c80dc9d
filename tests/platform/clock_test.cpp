#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using platform::CalendarTime;
using platform::LocalCalendarTime;

// Runs the test in UTC, so local time is the UTC calendar, and puts the zone back after.
class UtcZone : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadZone_ = tz != nullptr;
    if (hadZone_) saved_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (hadZone_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool hadZone_ = false;
  std::string saved_;
};

struct MomentCase {
  int64_t unixMs;
  CalendarTime expected;
};

TEST_F(UtcZone, LocalCalendarTimeOfAMoment) {
  const MomentCase cases[] = {
      {0, {1970, 1, 1, 4, 0, 0, 0, 0}},
      {-1, {1969, 12, 31, 3, 23, 59, 59, 999}},                 // before 1970: milliseconds stay 0..999
      {951868799999, {2000, 2, 29, 2, 23, 59, 59, 999}},        // the end of a leap day
      {1767323045123, {2026, 1, 2, 5, 3, 4, 5, 123}},
  };
  for (const MomentCase& c : cases) {
    const CalendarTime t = LocalCalendarTime(c.unixMs);
    const CalendarTime& e = c.expected;
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.dayOfWeek, t.hour, t.minute, t.second, t.millisecond}),
              (std::vector<int>{e.year, e.month, e.day, e.dayOfWeek, e.hour, e.minute, e.second, e.millisecond}))
        << c.unixMs;
  }
}

}  // namespace
