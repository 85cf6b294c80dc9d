// Profile reader and writer on arbitrary text: no crash, and setting one key changes that
// key only.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/profile.h"

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\v\f");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\v\f") - b + 1);
}

// A name or value that reads back as written: printable, no blanks at either end, no quotes.
std::string PlainText(FuzzedDataProvider& data, size_t maxLength, const char* alphabet) {
  const std::string raw = data.ConsumeRandomLengthString(maxLength);
  std::string out;
  const std::string letters(alphabet);
  for (char c : raw) out += letters[static_cast<unsigned char>(c) % letters.size()];
  return out;
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::string section = PlainText(data, 8, "AbZz09_]/[;= ");
  const std::string key = "K" + PlainText(data, 8, "AbZz09_]/[; ");
  const std::string value = "v" + PlainText(data, 16, "AbZz09_]/[;=\" ") + "v";
  std::string text = data.ConsumeRemainingBytesAsString();

  const std::vector<std::string> names = platform::ProfileSectionNamesInText(text);
  static const char* const kKeys[] = {"K", "KA", "Kb", "K0", "Port", ""};
  std::vector<std::optional<std::string>> before;
  for (const std::string& name : names) {
    for (const char* k : kKeys) {
      before.push_back(platform::FindProfileValueInText(text, name, k));
      if (before.back()) (void)platform::ParseProfileInt(*before.back());
    }
  }

  const std::string original = text;
  if (!platform::SetProfileStringInText(text, section, key, value)) {
    Check(text == original);
    return 0;
  }
  // The key reads back as written.
  Check(platform::FindProfileValueInText(text, section, key) == value);
  // Every other key keeps its value, and no section disappears or moves.
  const std::vector<std::string> namesAfter = platform::ProfileSectionNamesInText(text);
  Check(namesAfter.size() >= names.size());
  for (size_t i = 0; i < names.size(); ++i) Check(namesAfter[i] == names[i]);
  size_t n = 0;
  for (const std::string& name : names) {
    for (const char* k : kKeys) {
      const bool target = EqualNoCase(name, Trimmed(section)) && EqualNoCase(k, Trimmed(key));
      if (!target) Check(platform::FindProfileValueInText(text, name, k) == before[n]);
      ++n;
    }
  }
  return 0;
}
