// CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, no final XOR.
#pragma once

#include <cstddef>
#include <cstdint>

namespace serburn {

uint16_t Crc16Xmodem(const uint8_t* data, size_t size);

}  // namespace serburn
