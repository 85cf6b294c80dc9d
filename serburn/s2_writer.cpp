#include "serburn/s2_writer.h"

#include <algorithm>

namespace serburn {

namespace {

constexpr size_t kBytesPerRecord = 16;
constexpr char kDigits[] = "0123456789ABCDEF";

// Writes one record: type, count, the given bytes (address and data) and the checksum.
void AppendRecord(std::string& out, char type, const uint8_t* bytes, size_t size) {
  out += 'S';
  out += type;
  unsigned sum = 0;
  auto hex = [&](uint8_t b) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
    sum += b;
  };
  hex(static_cast<uint8_t>(size + 1));
  for (size_t i = 0; i < size; ++i) hex(bytes[i]);
  const auto checksum = static_cast<uint8_t>(~sum);
  out += kDigits[checksum >> 4];
  out += kDigits[checksum & 0x0F];
  out += '\n';
}

}  // namespace

std::string S2HeaderRecord() {
  std::string out;
  const uint8_t address[2] = {0, 0};
  AppendRecord(out, '0', address, sizeof address);
  return out;
}

void AppendS2Records(std::string& out, uint32_t address, const uint8_t* data, size_t size) {
  uint8_t record[3 + kBytesPerRecord];
  for (size_t done = 0; done < size;) {
    const size_t n = std::min(kBytesPerRecord, size - done);
    const uint32_t a = address + static_cast<uint32_t>(done);
    record[0] = static_cast<uint8_t>(a >> 16);
    record[1] = static_cast<uint8_t>(a >> 8);
    record[2] = static_cast<uint8_t>(a);
    std::copy(data + done, data + done + n, record + 3);
    AppendRecord(out, '2', record, 3 + n);
    done += n;
  }
}

std::string S2EndRecord() {
  std::string out;
  const uint8_t address[3] = {0, 0, 0};
  AppendRecord(out, '8', address, sizeof address);
  return out;
}

}  // namespace serburn
