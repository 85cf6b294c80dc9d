// The user's preferences in Customize.ini: COM port, sound notices, tooltips.
#pragma once

#include <cstdint>
#include <string>

struct EnvironmentSettings {
  uint8_t portNumber = 0;  // 0 = COM1 ... 19 = COM20
  int soundOn = 0;         // master switch
  std::string errorPath = "<none>";
  std::string endPath = "<none>";
  int errorType = 0;  // 0 wave, 1 beep
  int endType = 0;
  int errorEnable = 0;
  int endEnable = 0;
  int toolTipsOn = 0;
};

inline constexpr const char* kNoWaveFile = "<none>";

// Reads every key with its default; a missing file gives the defaults.
EnvironmentSettings ReadEnvironmentSettings(const std::string& settingsPath);
