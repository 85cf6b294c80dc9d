#include "flash/app/environment_settings.h"

#include "flash/app/path_limit.h"
#include "platform/profile.h"

namespace {

// A wave path over the path limit is no wave file; a path is never cut.
std::string ReadPath(const std::string& file, const char* key) {
  std::string value = platform::GetProfileString(file, "Sound", key, kNoWaveFile);
  if (!PathWithinLimit(value)) value = kNoWaveFile;
  return value;
}

}  // namespace

EnvironmentSettings ReadEnvironmentSettings(const std::string& settingsPath) {
  EnvironmentSettings s;
  s.portNumber = static_cast<uint8_t>(platform::GetProfileInt(settingsPath, "Com", "Com", 0));
  s.soundOn = platform::GetProfileInt(settingsPath, "Sound", "Sound", 0);
  s.errorEnable = platform::GetProfileInt(settingsPath, "Sound", "ErrorEnable", 0);
  s.errorType = platform::GetProfileInt(settingsPath, "Sound", "ErrorType", 0);
  s.errorPath = ReadPath(settingsPath, "ErrorPass");
  s.endEnable = platform::GetProfileInt(settingsPath, "Sound", "EndEnable", 0);
  s.endType = platform::GetProfileInt(settingsPath, "Sound", "EndType", 0);
  s.endPath = ReadPath(settingsPath, "EndPass");
  s.toolTipsOn = platform::GetProfileInt(settingsPath, "Tool", "ToolTips", 0);
  return s;
}
