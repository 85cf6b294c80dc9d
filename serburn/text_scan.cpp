#include "serburn/text_scan.h"

#include <limits>

namespace serburn {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Skips white space and reads a sign; returns the position after them.
size_t SkipSpaceAndSign(std::string_view text, bool& negative) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  return i;
}

}  // namespace

std::optional<int32_t> ScanDecimal(std::string_view text, size_t* used) {
  bool negative = false;
  size_t i = SkipSpaceAndSign(text, negative);
  const size_t firstDigit = i;
  int64_t magnitude = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
    ++i;
  }
  if (i == firstDigit) return std::nullopt;
  int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<int32_t>::max()) signedValue = std::numeric_limits<int32_t>::max();
  if (used) *used = i;
  return static_cast<int32_t>(signedValue);
}

int32_t DecimalOrZero(std::string_view text) { return ScanDecimal(text).value_or(0); }

std::optional<uint64_t> ScanHex(std::string_view text) {
  bool negative = false;
  size_t i = SkipSpaceAndSign(text, negative);
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      i + 2 < text.size() && HexValue(text[i + 2]) >= 0) {
    i += 2;
  }
  const size_t firstDigit = i;
  uint64_t result = 0;
  bool saturated = false;
  while (i < text.size() && HexValue(text[i]) >= 0) {
    if (result > (std::numeric_limits<uint64_t>::max() >> 4)) saturated = true;
    result = (result << 4) | static_cast<uint64_t>(HexValue(text[i]));
    ++i;
  }
  if (i == firstDigit) return std::nullopt;
  if (saturated) result = std::numeric_limits<uint64_t>::max();
  return negative ? (0 - result) : result;
}

}  // namespace serburn
