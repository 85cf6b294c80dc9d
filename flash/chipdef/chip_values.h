// Value syntax of CHIPDEF.INI as the GUI programmer reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flash {

// Values are read into a buffer of 256 characters: at most 255 characters are kept.
inline constexpr size_t kChipValueMaxChars = 255;
std::string_view CutChipValue(std::string_view value);

// Splits at commas; consecutive commas count as one, so empty entries are skipped.
// Entries are kept as they are (no trimming).
std::vector<std::string> SplitChipList(std::string_view value);

// Hexadecimal address: leading white space skipped, optional sign, optional "0x"/"0X",
// then hexadecimal digits up to the first other character. The signed 32-bit result
// saturates (2^31 or more reads as 2^31 - 1) and is taken as unsigned.
uint32_t ParseChipAddress(std::string_view text);

// Decimal integer: leading white space skipped, optional sign, digits up to the first other
// character; 0 when there are none; saturates at the signed 32-bit limits.
int32_t ParseChipDecimal(std::string_view text);

}  // namespace flash
