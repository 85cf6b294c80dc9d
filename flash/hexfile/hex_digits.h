// Upper-case hexadecimal digits as the hex files use them, by table lookup: '0'-'9' and
// 'A'-'F' only; lower-case letters count as bad characters.
#pragma once

#include <array>
#include <cstdint>

namespace flash {

inline constexpr uint8_t kNotHexDigit = 0xFF;

inline constexpr std::array<uint8_t, 256> kHexDigitValue = [] {
  std::array<uint8_t, 256> table{};
  for (auto& value : table) value = kNotHexDigit;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) {
    table[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 'A' + 10);
  }
  return table;
}();

inline uint8_t HexDigitValue(char c) { return kHexDigitValue[static_cast<unsigned char>(c)]; }

}  // namespace flash
