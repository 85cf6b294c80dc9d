#include "serburn/s2_converter.h"

#include <cstdio>

#include "platform/text_file.h"

namespace serburn {

namespace {

constexpr uint8_t kBlankByte = 0xFF;
constexpr uint8_t kRecordSum = 0xFF;
constexpr int kAddressBytes = 3;
constexpr int kMinimumCount = 4;  // address bytes and checksum byte

bool FileError(Reporter& reporter, const char* text) { return reporter.Error(ErrorClass::FileOperations, text); }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the pairs of hex digits of one record; a character that is not a digit (or is
// missing at the end of a short line) counts as 0 and sets the bad-digit mark.
class RecordBytes {
 public:
  RecordBytes(std::string_view line, bool& badDigit) : line_(line), badDigit_(badDigit) {}
  uint8_t Next() {
    const int high = Digit();
    const int low = Digit();
    const auto value = static_cast<uint8_t>((high << 4) | low);
    sum_ = static_cast<uint8_t>(sum_ + value);
    return value;
  }
  uint8_t Sum() const { return sum_; }

 private:
  int Digit() {
    const int value = pos_ < line_.size() ? DigitValue(line_[pos_]) : -1;
    ++pos_;
    if (value < 0) {
      badDigit_ = true;
      return 0;
    }
    return value;
  }
  std::string_view line_;
  bool& badDigit_;
  size_t pos_ = 2;  // after "S2"
  uint8_t sum_ = 0;
};

}  // namespace

bool DecodeS2Text(std::string text, uint32_t start, uint32_t end, std::vector<uint8_t>& image, Reporter& reporter) {
  platform::TextLineReader reader;
  reader.Assign(std::move(text));
  std::string_view line;
  if (!reader.NextLine(line)) return FileError(reporter, "error open .mhx");
  if (line.size() > kMaxS2Line) return FileError(reporter, "line longer than 511 characters in .mhx");
  if (line.substr(0, 2) != "S0") return FileError(reporter, "error first line in .mhx");

  const uint64_t size = end >= start ? uint64_t{end} - start + 1 : 0;
  if (size == 0 || size > kMaxS2Image) return FileError(reporter, "memory error");
  image.assign(size, kBlankByte);

  bool badDigit = false;
  std::vector<uint8_t> data;
  while (reader.NextLine(line)) {
    if (line.size() > kMaxS2Line) return FileError(reporter, "line longer than 511 characters in .mhx");
    if (line.empty() || line[0] != 'S') return FileError(reporter, "error line in .mhx");
    if (line.size() > 1 && line[1] == '8') break;
    if (line.size() < 2 || line[1] != '2') return FileError(reporter, "error type in .mhx. Support only 'S2'");

    RecordBytes bytes(line, badDigit);
    const int count = bytes.Next();
    if (count < kMinimumCount) return FileError(reporter, "error count in .mhx");
    uint32_t address = 0;
    for (int i = 0; i < kAddressBytes; ++i) address = (address << 8) | bytes.Next();
    data.resize(static_cast<size_t>(count - kMinimumCount));
    for (uint8_t& b : data) b = bytes.Next();
    bytes.Next();  // checksum byte
    if (bytes.Sum() != kRecordSum) return FileError(reporter, "error CRC in .mhx");
    if (data.empty()) continue;
    if (address < start || uint64_t{address} - start + data.size() > size) {
      return FileError(reporter, "error address in .mhx");
    }
    std::copy(data.begin(), data.end(), image.begin() + (address - start));
  }
  if (badDigit) return FileError(reporter, "unknow error in .mhx");
  return true;
}

bool ConvertS2File(const std::string& mhxPath, uint32_t start, uint32_t end, std::vector<uint8_t>& image,
                   Reporter& reporter) {
  std::string text;
  if (!platform::ReadWholeFile(mhxPath, text)) return FileError(reporter, "error open .mhx");
  return DecodeS2Text(std::move(text), start, end, image, reporter);
}

}  // namespace serburn
