#include "sim/chip_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/profile.h"

namespace kvsim {

namespace {

std::vector<std::string> SplitList(const std::string& value, char separator) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : value) {
    if (c == separator) {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool SectionNames(const std::string& section, const std::string& chipName) {
  const std::string name = Upper(chipName);
  const std::vector<std::string> pieces = SplitList(Upper(section), '/');
  if (pieces.empty()) return false;
  if (name == Upper(section) || name == pieces[0]) return true;
  const std::string base = pieces[0].substr(0, 8);
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (name == base + pieces[i]) return true;
  }
  return false;
}

bool ParseNumbers(const std::string& value, int base, std::vector<uint32_t>& out) {
  out.clear();
  for (const std::string& piece : SplitList(value, ',')) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(piece.c_str(), &end, base);
    if (end == piece.c_str()) return false;
    out.push_back(static_cast<uint32_t>(v));
  }
  return true;
}

}  // namespace

std::string LoadChipConfig(const std::string& chipdefPath, const std::string& chipName, ChipConfig& chip) {
  const std::vector<std::string> sections = platform::GetProfileSectionNames(chipdefPath);
  if (sections.empty()) return "cannot read " + chipdefPath;
  const auto found = std::find_if(sections.begin(), sections.end(),
                                  [&](const std::string& s) { return SectionNames(s, chipName); });
  if (found == sections.end()) return "no section for chip " + chipName + " in " + chipdefPath;
  chip = ChipConfig{};
  chip.section = *found;
  auto get = [&](const char* key) { return platform::GetProfileString(chipdefPath, *found, key, ""); };

  if (get("LoadAddress").empty()) return "LoadAddress missing";
  chip.loadAddress = static_cast<uint32_t>(platform::GetProfileInt(chipdefPath, *found, "LoadAddress", 0));
  chip.downloadOption = platform::GetProfileInt(chipdefPath, *found, "DownloadOption", 0) != 0;

  std::vector<uint32_t> starts;
  std::vector<uint32_t> ends;
  if (!ParseNumbers(get("StartAddress"), 16, starts) || !ParseNumbers(get("EndAddress"), 16, ends) ||
      ends.empty() || starts.size() != ends.size()) {
    return "StartAddress/EndAddress missing or of different lengths";
  }
  for (size_t i = 0; i < ends.size(); ++i) {
    if (starts[i] > ends[i] || ends[i] > 0xFFFFFFu || (i > 0 && starts[i] <= ends[i - 1])) {
      return "flash areas must be ascending 24-bit ranges";
    }
    chip.areas.push_back({starts[i], ends[i]});
  }
  if (chip.areas.back().end - chip.areas.front().start >= 0x1000000u) return "flash range too large";

  chip.clocks = SplitList(get("Clock"), ',');
  if (chip.clocks.empty()) return "Clock missing";
  if (!ParseNumbers(get("Baud"), 10, chip.bootBauds) || chip.bootBauds.size() != chip.clocks.size()) {
    return "Baud must hold one rate per Clock entry";
  }
  const std::string baud2 = get("Baud2");
  if (baud2.empty()) {
    for (uint32_t b : chip.bootBauds) chip.commandBauds.push_back(b * 2);
  } else if (!ParseNumbers(baud2, 10, chip.commandBauds) || chip.commandBauds.size() != chip.clocks.size()) {
    return "Baud2 must hold one rate per Clock entry";
  }
  return "";
}

int ClockIndexOf(const ChipConfig& chip, const std::string& label) {
  for (size_t i = 0; i < chip.clocks.size(); ++i) {
    if (chip.clocks[i] == label) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kvsim
