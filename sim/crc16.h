// CRC-16 with polynomial 0x1021, initial value 0, no reflection, no final inversion: the
// check the board's program runs over every 512-byte block frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvsim {

uint16_t Crc16(const uint8_t* data, size_t length, uint16_t crc = 0);

}  // namespace kvsim
