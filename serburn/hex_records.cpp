#include "serburn/hex_records.h"

#include <string_view>

namespace serburn {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes of a record line after its lead-in; false unless every character pairs up.
bool RecordBytes(std::string_view digits, std::vector<uint8_t>& bytes) {
  if (digits.empty() || digits.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return true;
}

// One record's data and where it goes; hasData is false for records that carry none.
struct Record {
  bool hasData = false;
  uint64_t address = 0;
  std::vector<uint8_t> data;
};

// S0..S9: count, address, data, checksum (one's complement of the sum).
bool ParseSRecord(std::string_view line, std::vector<uint8_t>& bytes, Record& r) {
  if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9') return false;
  if (!RecordBytes(line.substr(2), bytes) || bytes[0] + 1u != bytes.size()) return false;
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
  if (static_cast<uint8_t>(~sum) != bytes.back()) return false;
  const char type = line[1];
  static constexpr size_t kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
  const size_t addressBytes = kAddressBytes[type - '0'];
  if (type == '4' || bytes.size() < 2 + addressBytes) return false;
  r = Record{};
  if (type < '1' || type > '3') return true;  // header, count and end records carry no data
  for (size_t i = 0; i < addressBytes; ++i) r.address = r.address << 8 | bytes[1 + i];
  r.data.assign(bytes.begin() + 1 + static_cast<std::ptrdiff_t>(addressBytes), bytes.end() - 1);
  r.hasData = !r.data.empty();
  return true;
}

// ":" count, 16-bit offset, type, data, checksum (two's complement of the sum). Types 02
// and 04 set the upper address bits for the records that follow.
bool ParseIntelRecord(std::string_view line, std::vector<uint8_t>& bytes, uint64_t& base, bool& ended, Record& r) {
  if (line.size() < 11 || line[0] != ':') return false;
  if (!RecordBytes(line.substr(1), bytes) || bytes[0] + 5u != bytes.size()) return false;
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  if ((sum & 0xFF) != 0 || ended) return false;
  const uint8_t type = bytes[3];
  const uint8_t count = bytes[0];
  r = Record{};
  switch (type) {
    case 0x00:
      r.address = base + (uint64_t{bytes[1]} << 8 | bytes[2]);
      r.data.assign(bytes.begin() + 4, bytes.end() - 1);
      r.hasData = !r.data.empty();
      return true;
    case 0x01: ended = count == 0; return ended;
    case 0x02:
      if (count != 2) return false;
      base = (uint64_t{bytes[4]} << 8 | bytes[5]) << 4;
      return true;
    case 0x04:
      if (count != 2) return false;
      base = (uint64_t{bytes[4]} << 8 | bytes[5]) << 16;
      return true;
    case 0x03: return count == 4;
    case 0x05: return count == 4;
    default: return false;
  }
}

}  // namespace

bool BeginsLikeRecords(const std::string& text) {
  if (text.size() < 3) return false;
  if (text[0] == ':') return HexValue(text[1]) >= 0 && HexValue(text[2]) >= 0;
  return text[0] == 'S' && text[1] >= '0' && text[1] <= '9' && HexValue(text[2]) >= 0;
}

RecordDecoding DecodeHexRecords(const std::string& text, uint32_t start, uint32_t end, std::vector<uint8_t>& image) {
  RecordDecoding d;
  if (text.empty() || (text[0] != ':' && text[0] != 'S')) return d;
  const bool intel = text[0] == ':';
  const uint64_t size = uint64_t{end} - start + 1;
  std::vector<uint8_t> decoded(static_cast<size_t>(size), 0xFF);
  std::vector<uint8_t> bytes;
  uint64_t base = 0;
  bool ended = false;
  size_t outsideLine = 0;
  size_t lineNumber = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t stop = text.find('\n', pos);
    const bool lastLine = stop == std::string::npos;
    if (lastLine) stop = text.size();
    std::string_view line(text.data() + pos, stop - pos);
    if (!lastLine && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = stop + 1;
    ++lineNumber;
    Record r;
    const bool parsed = intel ? ParseIntelRecord(line, bytes, base, ended, r) : ParseSRecord(line, bytes, r);
    if (!parsed) return d;
    if (!r.hasData) continue;
    if (r.address < start || r.address - start + r.data.size() > size) {
      if (outsideLine == 0) outsideLine = lineNumber;
      continue;
    }
    std::copy(r.data.begin(), r.data.end(), decoded.begin() + static_cast<std::ptrdiff_t>(r.address - start));
  }
  d.format = intel ? "Intel-Hex" : "S-record";
  d.line = outsideLine;
  d.result = outsideLine != 0 ? RecordDecoding::Result::OutsideArea : RecordDecoding::Result::Decoded;
  if (d.result == RecordDecoding::Result::Decoded) image = std::move(decoded);
  return d;
}

}  // namespace serburn
