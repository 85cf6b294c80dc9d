// The two diagnostic aids, active only when their marker file lies in the settings
// directory: the timing log TIMETEST.TXT and the CRC test aid CRCTEST.TXT. Neither file
// is ever created here.
#include <cstdio>

#include "flash/link/flash_link.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace flash {
namespace {

constexpr const char* kTimingKeys[] = {"DOWNLOAD", "ERACE", "BLANK", "PROGRAM", "READ", "COPY", "AUTO"};

std::string MarkerPath(const LinkSettings& settings, const char* name) {
  const std::string& dir = settings.settingsDirectory.empty() ? settings.programDirectory : settings.settingsDirectory;
  return platform::JoinPath(dir, name);
}

}  // namespace

void FlashLink::MarkCommandStart() { commandStart_ = clock_.Now(); }

void FlashLink::WriteTimingEntry(int operation) {
  if (operation < 0 || operation > kTimingAuto) return;
  const std::string path = MarkerPath(settings_, "TIMETEST.TXT");
  if (!platform::FileExists(path)) return;
  const platform::CalendarTime end = clock_.Now();
  // Seconds and milliseconds are subtracted separately, with a borrow, as the log shows
  // them; the minute and hour fields keep a command that crosses a minute right.
  const int startSeconds = commandStart_.hour * 3600 + commandStart_.minute * 60 + commandStart_.second;
  int endSeconds = end.hour * 3600 + end.minute * 60 + end.second;
  if (endSeconds < startSeconds) endSeconds += 24 * 3600;  // past midnight
  int seconds = endSeconds - startSeconds;
  int milliseconds = end.millisecond - commandStart_.millisecond;
  if (milliseconds < 0) {
    milliseconds += 1000;
    seconds -= 1;
  }
  char section[32];
  std::snprintf(section, sizeof section, "%04d%02d%02d - ", end.year, end.month, end.day);
  char value[32];
  std::snprintf(value, sizeof value, "%d.%03d", seconds, milliseconds);
  platform::WriteProfileString(path, section + settings_.chip.chipName, kTimingKeys[operation], value);
}

int FlashLink::CrcTestOffset() {
  const std::string path = MarkerPath(settings_, "CRCTEST.TXT");
  if (!platform::FileExists(path)) return 0;
  return (crcTestRandom_() & 0x7Fu) == 0 ? 1 : 0;
}

}  // namespace flash
