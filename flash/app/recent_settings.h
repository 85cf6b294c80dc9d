// DATAFILE.TXT: the chip, crystal frequency and hex file chosen last.
#pragma once

#include <string>

struct RecentSettings {
  int chipIndex = 0;
  int clockIndex = 0;
  std::string hexFilePath;
};

// Section "Recent", keys "CPU", "RATE", "Write File"; a missing file gives the defaults.
RecentSettings LoadRecentSettings(const std::string& dataFilePath);
// Negative indexes are written as 0. Returns true when every key was written.
bool SaveRecentSettings(const std::string& dataFilePath, const RecentSettings& settings);
