#include "flash/chipdef/download_settings.h"

#include <limits>

#include "flash/chipdef/chip_values.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text_file.h"

namespace flash {
namespace {

std::optional<int32_t> EntryAt(std::string_view value, int index) {
  const std::vector<int32_t> rates = ParseBaudList(value);
  if (index < 0 || static_cast<size_t>(index) >= rates.size()) return std::nullopt;
  return rates[static_cast<size_t>(index)];
}

std::string ValueInText(std::string_view text, std::string_view chip, std::string_view key) {
  return platform::FindProfileValueInText(text, chip, key).value_or(std::string());
}

}  // namespace

int32_t ReadDownloadOption(const std::string& path, const std::string& chip) {
  return platform::GetProfileInt(path, chip, "DownloadOption", 0);
}

std::string ReadDownloadFile(const std::string& path, const std::string& chip) {
  return platform::GetProfileString(path, chip, "DownloadFile", "");
}

std::string DownloadFilePath(const std::string& programDir, const std::string& path,
                             const std::string& chip) {
  const std::string name = platform::NormalizeSeparators(ReadDownloadFile(path, chip));
  if (name.empty()) return name;
  if (name.front() == '/') return name;
  return platform::FindFileNoCase(programDir, name);
}

std::vector<int32_t> ParseBaudList(std::string_view value) {
  std::vector<int32_t> rates;
  for (const std::string& entry : SplitChipList(CutChipValue(value))) {
    rates.push_back(ParseChipDecimal(entry));
  }
  return rates;
}

std::optional<int32_t> BootRomBaudInText(std::string_view text, std::string_view chip,
                                         int clockIndex) {
  return EntryAt(ValueInText(text, chip, "Baud"), clockIndex);
}

std::optional<int32_t> CommandBaudInText(std::string_view text, std::string_view chip,
                                         int clockIndex) {
  const std::string baud2 = ValueInText(text, chip, "Baud2");
  if (!baud2.empty()) return EntryAt(baud2, clockIndex);
  const std::optional<int32_t> baud = BootRomBaudInText(text, chip, clockIndex);
  if (!baud) return std::nullopt;
  const int64_t twice = int64_t{*baud} * 2;
  if (twice > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (twice < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(twice);
}

std::optional<int32_t> ReadBootRomBaud(const std::string& path, const std::string& chip,
                                       int clockIndex) {
  std::string text;
  platform::ReadWholeFile(path, text);
  return BootRomBaudInText(text, chip, clockIndex);
}

std::optional<int32_t> ReadCommandBaud(const std::string& path, const std::string& chip,
                                       int clockIndex) {
  std::string text;
  platform::ReadWholeFile(path, text);
  return CommandBaudInText(text, chip, clockIndex);
}

}  // namespace flash
