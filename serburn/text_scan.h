// Number reading as the C library's scanf conversions do it, without their undefined
// behaviour on overflow: leading white space, an optional sign, then digits up to the
// first character that is not one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace serburn {

// "%d": decimal; nothing when no digit follows. `used` is the number of characters consumed.
// Values beyond the 32-bit range saturate.
[[nodiscard]] std::optional<int32_t> ScanDecimal(std::string_view text, size_t* used = nullptr);

// atoi(): like ScanDecimal, 0 when there are no digits.
[[nodiscard]] int32_t DecimalOrZero(std::string_view text);

// "%lx": hexadecimal with an optional "0x"/"0X" prefix; nothing when no digit follows. A
// minus sign negates modulo 2^64. Values beyond 64 bits saturate.
[[nodiscard]] std::optional<uint64_t> ScanHex(std::string_view text);

}  // namespace serburn
