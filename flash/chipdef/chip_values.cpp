#include "flash/chipdef/chip_values.h"

#include <limits>

namespace flash {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads sign and digits in the given base from text[i...] and clamps to the signed 32-bit
// range, as the C library's conversion to a 32-bit long does.
int32_t ParseSaturating(std::string_view text, size_t i, int base) {
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (base == 16 && i + 2 < text.size() && text[i] == '0' &&
      (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      HexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  constexpr int64_t kLimit = int64_t{1} << 31;  // magnitude beyond which the value saturates
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || digit >= base) break;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(magnitude >= kLimit ? kLimit - 1 : magnitude);
}

size_t SkipSpaces(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  return i;
}

}  // namespace

std::string_view CutChipValue(std::string_view value) { return value.substr(0, kChipValueMaxChars); }

std::vector<std::string> SplitChipList(std::string_view value) {
  std::vector<std::string> entries;
  size_t pos = 0;
  while (pos <= value.size()) {
    size_t comma = value.find(',', pos);
    if (comma == std::string_view::npos) comma = value.size();
    if (comma > pos) entries.emplace_back(value.substr(pos, comma - pos));
    pos = comma + 1;
  }
  return entries;
}

uint32_t ParseChipAddress(std::string_view text) {
  return static_cast<uint32_t>(ParseSaturating(text, SkipSpaces(text), 16));
}

int32_t ParseChipDecimal(std::string_view text) { return ParseSaturating(text, SkipSpaces(text), 10); }

}  // namespace flash
