#include "sim/line_model.h"

namespace kvsim {

bool RatesMatch(uint32_t senderBaud, uint32_t receiverBaud) {
  if (senderBaud == 0 || receiverBaud == 0) return false;
  const uint64_t diff = senderBaud > receiverBaud ? senderBaud - receiverBaud : receiverBaud - senderBaud;
  return diff * 100 <= static_cast<uint64_t>(receiverBaud) * 3;
}

uint8_t Mangle(uint8_t b) { return static_cast<uint8_t>(~b); }

double LineTimeMs(uint32_t baud, uint64_t count) {
  if (baud == 0) return 0.0;
  return static_cast<double>(count) * 10.0 * 1000.0 / static_cast<double>(baud);
}

}  // namespace kvsim
