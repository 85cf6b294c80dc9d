#include "sim/program_image.h"

#include <algorithm>

#include "sim/crc16.h"

namespace kvsim {

std::string CheckProgram(const std::vector<uint8_t>& image, ProgramInfo& info) {
  if (image.size() < kProgramHeaderSize) return "image shorter than its header";
  if (image[0] != 'K' || image[1] != 'V' || image[12] != 'K' || image[13] != 'V' || image[14] != 'S' ||
      image[15] != 'B') {
    return "no program header";
  }
  const uint8_t kind = image[3];
  if (kind != 'C' && kind != 'M' && kind != 'A') return "unknown program kind";
  const size_t bodyLength = image[8] | (static_cast<size_t>(image[9]) << 8);
  if (image.size() != kProgramHeaderSize + bodyLength) return "image length does not match its header";
  const uint16_t crc = static_cast<uint16_t>((image[10] << 8) | image[11]);
  if (Crc16(image.data() + kProgramHeaderSize, bodyLength) != crc) return "program body corrupted (CRC)";
  info.kind = static_cast<ProgramKind>(kind);
  info.linkAddress = static_cast<uint32_t>(image[4]) | (static_cast<uint32_t>(image[5]) << 8) |
                     (static_cast<uint32_t>(image[6]) << 16) | (static_cast<uint32_t>(image[7]) << 24);
  info.clockByte = image[kClockByteOffset];
  return "";
}

std::vector<uint8_t> BuildProgram(ProgramKind kind, uint32_t linkAddress, const std::string& text,
                                  size_t bodyLength, uint8_t clockByte) {
  std::vector<uint8_t> body(bodyLength);
  for (size_t i = 0; i < bodyLength; ++i) {
    body[i] = i < text.size() ? static_cast<uint8_t>(text[i]) : static_cast<uint8_t>((i * 7 + 0x21) & 0xFF);
  }
  const uint16_t crc = Crc16(body.data(), body.size());
  const uint8_t header[kProgramHeaderSize] = {'K',
                                              'V',
                                              clockByte,
                                              static_cast<uint8_t>(kind),
                                              static_cast<uint8_t>(linkAddress),
                                              static_cast<uint8_t>(linkAddress >> 8),
                                              static_cast<uint8_t>(linkAddress >> 16),
                                              static_cast<uint8_t>(linkAddress >> 24),
                                              static_cast<uint8_t>(bodyLength),
                                              static_cast<uint8_t>(bodyLength >> 8),
                                              static_cast<uint8_t>(crc >> 8),
                                              static_cast<uint8_t>(crc),
                                              'K',
                                              'V',
                                              'S',
                                              'B'};
  std::vector<uint8_t> image(kProgramHeaderSize + bodyLength);
  std::copy(header, header + kProgramHeaderSize, image.begin());
  std::copy(body.begin(), body.end(), image.begin() + kProgramHeaderSize);
  return image;
}

}  // namespace kvsim
