#include "flash/app/recent_settings.h"

#include "flash/app/path_limit.h"
#include "platform/profile.h"

RecentSettings LoadRecentSettings(const std::string& dataFilePath) {
  RecentSettings s;
  s.chipIndex = platform::GetProfileInt(dataFilePath, "Recent", "CPU", 0);
  s.clockIndex = platform::GetProfileInt(dataFilePath, "Recent", "RATE", 0);
  s.hexFilePath = platform::GetProfileString(dataFilePath, "Recent", "Write File", "");
  // A path over the limit is refused as Open and a drop refuse it: no Hex File.
  if (!PathWithinLimit(s.hexFilePath)) s.hexFilePath.clear();
  return s;
}

bool SaveRecentSettings(const std::string& dataFilePath, const RecentSettings& settings) {
  const int chip = settings.chipIndex < 0 ? 0 : settings.chipIndex;
  const int clock = settings.clockIndex < 0 ? 0 : settings.clockIndex;
  bool ok = platform::WriteProfileString(dataFilePath, "Recent", "CPU", std::to_string(chip));
  ok = platform::WriteProfileString(dataFilePath, "Recent", "RATE", std::to_string(clock)) && ok;
  ok = platform::WriteProfileString(dataFilePath, "Recent", "Write File", settings.hexFilePath) && ok;
  return ok;
}
