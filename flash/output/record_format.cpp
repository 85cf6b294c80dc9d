#include "flash/output/record_format.h"

namespace flash {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Appends bytes as pairs of upper-case digits and keeps their sum.
class LineBuilder {
 public:
  explicit LineBuilder(char* out) : out_(out) {}
  void Text(const char* text) {
    while (*text != '\0') out_[length_++] = *text++;
  }
  void Byte(uint8_t value) {
    out_[length_++] = kDigits[value >> 4];
    out_[length_++] = kDigits[value & 0x0F];
    sum_ = static_cast<uint8_t>(sum_ + value);
  }
  void Bytes(std::span<const uint8_t> data) {
    for (uint8_t b : data) Byte(b);
  }
  uint8_t Sum() const { return sum_; }
  size_t End() {
    out_[length_++] = '\n';
    out_[length_] = '\0';
    return length_;
  }

 private:
  char* out_;
  size_t length_ = 0;
  uint8_t sum_ = 0;
};

uint8_t AddressByte(uint32_t address, int shift) {
  return static_cast<uint8_t>((address >> shift) & 0xFF);
}

}  // namespace

size_t FormatSRecord(std::span<char> out, std::span<const uint8_t> data, uint32_t address,
                     int type) {
  size_t addressBytes = 0;
  switch (type) {
    case kSRecordHeader: addressBytes = 2; break;
    case kSRecordData24: addressBytes = 3; break;
    case kSRecordEnd24: addressBytes = 3; break;
    default: return 0;
  }
  const size_t count = addressBytes + data.size() + 1;
  if (count > 0xFF || out.size() < 2 + 2 * (count + 1) + 2) return 0;
  LineBuilder line(out.data());
  line.Text(type == kSRecordHeader ? "S0" : type == kSRecordData24 ? "S2" : "S8");
  line.Byte(static_cast<uint8_t>(count));
  if (type == kSRecordHeader) {
    line.Byte(0);
    line.Byte(0);
  } else {
    line.Byte(AddressByte(address, 16));
    line.Byte(AddressByte(address, 8));
    line.Byte(AddressByte(address, 0));
  }
  line.Bytes(data);
  line.Byte(static_cast<uint8_t>(~line.Sum()));
  return line.End();
}

size_t FormatIntelDataRecord(std::span<char> out, std::span<const uint8_t> data, uint32_t address) {
  if (data.size() > 0xFF || out.size() < 1 + 2 * (data.size() + 5) + 2) return 0;
  LineBuilder line(out.data());
  line.Text(":");
  line.Byte(static_cast<uint8_t>(data.size()));
  line.Byte(AddressByte(address, 8));
  line.Byte(AddressByte(address, 0));
  line.Byte(0x00);
  line.Bytes(data);
  line.Byte(static_cast<uint8_t>(-line.Sum()));
  return line.End();
}

size_t FormatIntelLinearAddressRecord(std::span<char> out, uint32_t address) {
  if (out.size() < 1 + 2 * 7 + 2) return 0;
  LineBuilder line(out.data());
  line.Text(":");
  line.Byte(0x02);
  line.Byte(0x00);
  line.Byte(0x00);
  line.Byte(0x04);
  line.Byte(AddressByte(address, 24));
  line.Byte(AddressByte(address, 16));
  line.Byte(static_cast<uint8_t>(-line.Sum()));  // 0xFA minus the two address bytes
  return line.End();
}

}  // namespace flash
