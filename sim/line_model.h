// What a serial line does when the two ends disagree on the rate: a UART sampling at the
// wrong rate sees framing errors and wrong bits. The board drops such bytes (its receiver
// flags them); bytes it sends at a rate the PC does not listen on reach the PC mangled.
#pragma once

#include <cstdint>

namespace kvsim {

// Rates within 3 % of each other still carry bytes intact.
bool RatesMatch(uint32_t senderBaud, uint32_t receiverBaud);

// The byte a receiver at the wrong rate makes of b (never b itself).
uint8_t Mangle(uint8_t b);

// Time on the line of count bytes at baud (10 bits a byte: start, 8 data, stop), in ms.
double LineTimeMs(uint32_t baud, uint64_t count);

}  // namespace kvsim
