#include "flash/hexfile/s_record_decoder.h"

#include <algorithm>
#include <cstring>

#include "flash/hexfile/hex_digits.h"
#include "flash/hexfile/load_report.h"

namespace flash {

int DecodeSRecord(std::string_view line, std::span<uint8_t, kSRecordBufferSize> buffer,
                  uint32_t& address, int& dataOffset) {
  if (line.size() < 2 || line[1] < '1' || line[1] > '3') return 0;
  const int type = line[1] - '0';
  const char* digits = line.data() + 2;
  const size_t digitCount = line.size() - 2;

  // Every character after the type must be an upper-case hexadecimal digit; pairs are
  // converted up to 256 bytes, and digits beyond that (or one left over) are only checked.
  const size_t pairs = std::min(digitCount / 2, kSRecordBufferSize);
  uint8_t bad = 0;
  for (size_t i = 0; i < pairs; ++i) {
    const uint8_t high = HexDigitValue(digits[2 * i]);
    const uint8_t low = HexDigitValue(digits[2 * i + 1]);
    bad |= static_cast<uint8_t>(high | low);
    buffer[i] = static_cast<uint8_t>((high << 4) | (low & 0x0F));
  }
  for (size_t i = 2 * pairs; i < digitCount; ++i) bad |= HexDigitValue(digits[i]);
  if ((bad & 0xF0) != 0 || pairs == 0) return 0;

  const size_t count = buffer[0];
  if (count != pairs - 1) return 0;
  if (count < static_cast<size_t>(type) + 3) return 0;
  uint8_t sum = 0;
  for (size_t i = 0; i < pairs; ++i) sum = static_cast<uint8_t>(sum + buffer[i]);
  if (sum != 0xFF) return 0;

  const int addressBytes = type + 1;
  uint32_t value = 0;
  for (int i = 1; i <= addressBytes; ++i) value = (value << 8) | buffer[static_cast<size_t>(i)];
  address = value;
  dataOffset = addressBytes + 1;
  return static_cast<int>(count) - addressBytes - 1;
}

bool LoadSRecords(platform::TextLineReader& file, FlashImage& image, FlashAreaSpan areas,
                  HexLoadView* view) {
  const AreaFit fit = CheckAreasFitImage(areas);
  if (fit != AreaFit::kFits) {
    ReportLoadError(view, HexLoadFailure::kAreasDoNotFit, AreaFitText(fit));
    return false;
  }
  const uint64_t first = areas.front().start;
  const uint64_t last = areas.back().end;
  uint8_t buffer[kSRecordBufferSize];

  file.Rewind();
  std::string_view line;
  while (file.NextLine(line)) {
    if (line.empty()) continue;
    if (line[0] != 'S') {
      ReportLineError(view, kSFormatDecoderCaption, HexLoadFailure::kFileError, 1,
                      file.LineNumber(), "file error");
      return false;
    }
    const char type = line.size() > 1 ? line[1] : '\0';
    if (type == '0' || type == '5' || type == '7' || type == '8' || type == '9') continue;
    if (type != '1' && type != '2' && type != '3') {
      ReportLineError(view, kSFormatDecoderCaption, HexLoadFailure::kRecordTypeError, 2,
                      file.LineNumber(), "S-format error");
      return false;
    }
    uint32_t address = 0;
    int dataOffset = 0;
    const int length = DecodeSRecord(line, buffer, address, dataOffset);
    if (length == 0) {
      ReportLineError(view, kSFormatDecoderCaption, HexLoadFailure::kDecodeError, 3,
                      file.LineNumber(), "decode error");
      return false;
    }
    // 64-bit arithmetic: a record near the top of the 32-bit space must not wrap around.
    if (address < first) {
      ReportLineError(view, kSFormatDecoderCaption, HexLoadFailure::kAddressBelow, 4,
                      file.LineNumber(), "address error");
      return false;
    }
    if (static_cast<uint64_t>(address) + static_cast<uint64_t>(length) - 1 > last) {
      ReportLineError(view, kSFormatDecoderCaption, HexLoadFailure::kAddressAbove, 5,
                      file.LineNumber(), "address error");
      return false;
    }
    std::memcpy(image.Data() + (address - first), buffer + dataOffset, static_cast<size_t>(length));
  }
  return true;
}

}  // namespace flash
