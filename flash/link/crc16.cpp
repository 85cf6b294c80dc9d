#include "flash/link/crc16.h"

#include <array>

namespace flash {
namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000u) != 0 ? ((crc << 1) ^ 0x1021u) : (crc << 1);
    }
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ data[i]) & 0xFFu]);
  }
  return crc;
}

}  // namespace flash
