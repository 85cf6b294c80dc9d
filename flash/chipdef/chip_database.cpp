#include "flash/chipdef/chip_database.h"

#include "flash/chipdef/chip_values.h"
#include "platform/profile.h"
#include "platform/text_file.h"

namespace flash {
namespace {

// A value as read into the 256-character buffer; empty when the key is missing.
std::string ChipValue(std::string_view text, std::string_view section, std::string_view key) {
  const std::optional<std::string> value = platform::FindProfileValueInText(text, section, key);
  return value ? std::string(CutChipValue(*value)) : std::string();
}

int32_t ChipInt(std::string_view text, std::string_view section, std::string_view key) {
  const std::optional<std::string> value = platform::FindProfileValueInText(text, section, key);
  return (value && !value->empty()) ? platform::ParseProfileInt(*value) : 0;
}

// The area lists fit the record: at most kMaxFlashAreas entries each and a start for every end.
bool AreaListsFit(const std::vector<std::string>& starts, const std::vector<std::string>& ends) {
  const size_t limit = static_cast<size_t>(kMaxFlashAreas);
  return starts.size() <= limit && ends.size() <= limit && starts.size() >= ends.size();
}

}  // namespace

std::string ChipDisplayName(std::string_view section) {
  std::string name(section);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

bool IsCompleteChipSectionInText(std::string_view text, std::string_view section) {
  static constexpr std::string_view kRequiredKeys[] = {"DownloadFile", "LoadAddress", "StartAddress",
                                                       "EndAddress",   "FlashSize",   "Clock",
                                                       "Baud"};
  for (std::string_view key : kRequiredKeys) {
    if (ChipValue(text, section, key).empty()) return false;
  }
  // A listed chip has at least one area: an EndAddress of commas alone is not empty, but
  // holds no area, and the programs take the first area's start as the flash base.
  const std::vector<std::string> ends = SplitChipList(ChipValue(text, section, "EndAddress"));
  return !ends.empty() && AreaListsFit(SplitChipList(ChipValue(text, section, "StartAddress")), ends);
}

std::vector<std::string> ListChipsInText(std::string_view text) {
  std::vector<std::string> chips;
  for (const std::string& section : platform::ProfileSectionNamesInText(text)) {
    // A section without a name cannot be chosen by name; it does not end the list either.
    if (section.empty()) continue;
    if (IsCompleteChipSectionInText(text, section)) chips.push_back(ChipDisplayName(section));
  }
  return chips;
}

std::optional<std::string> LoadChipRecordFromText(std::string_view text, std::string_view section,
                                                  ChipRecord& record) {
  const int32_t loadAddress = ChipInt(text, section, "LoadAddress");
  const std::vector<std::string> starts = SplitChipList(ChipValue(text, section, "StartAddress"));
  const std::vector<std::string> ends = SplitChipList(ChipValue(text, section, "EndAddress"));
  if (!AreaListsFit(starts, ends)) return std::nullopt;
  std::string clock = ChipValue(text, section, "Clock");

  record.chipName = ChipDisplayName(section);
  record.loadAddress = loadAddress;
  record.areas = {};
  for (size_t i = 0; i < ends.size(); ++i) {
    record.areas[i].start = ParseChipAddress(starts[i]);
    record.areas[i].end = ParseChipAddress(ends[i]);
  }
  record.areaCount = static_cast<int32_t>(ends.size());
  record.clockLabels = SplitChipList(clock);
  return clock;
}

std::vector<std::string> ListChipSections(const std::string& path) {
  return platform::GetProfileSectionNames(path);
}

bool IsCompleteChipSection(const std::string& path, const std::string& section) {
  std::string text;
  return platform::ReadWholeFile(path, text) && IsCompleteChipSectionInText(text, section);
}

std::vector<std::string> ListChips(const std::string& path) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return {};
  return ListChipsInText(text);
}

std::optional<std::string> LoadChipRecord(const std::string& path, const std::string& section,
                                          ChipRecord& record) {
  std::string text;
  platform::ReadWholeFile(path, text);  // a missing file reads as empty: every key missing
  return LoadChipRecordFromText(text, section, record);
}

}  // namespace flash
