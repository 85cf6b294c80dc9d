// CRC-16 of the block frames: polynomial 0x1021, initial value 0, most significant bit
// first, no final inversion. A frame of data followed by its CRC (high byte first) has a
// CRC of 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flash {

uint16_t Crc16(const uint8_t* data, size_t length);

}  // namespace flash
