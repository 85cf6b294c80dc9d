#include "flash/hexfile/intel_hex_decoder.h"

#include <algorithm>
#include <cstring>

#include "flash/hexfile/hex_digits.h"
#include "flash/hexfile/load_report.h"

namespace flash {
namespace {

// Count, two offset bytes, type, up to 255 data bytes and the checksum.
constexpr size_t kIntelRecordBufferSize = kIntelDataBufferSize + 5;

bool ReportIntelError(HexLoadView* view, int code, size_t lineNumber) {
  switch (code) {
    case kIntelNotARecord:
      ReportLineError(view, kIntelHexDecoderCaption, HexLoadFailure::kFileError, 1, lineNumber,
                      "file error");
      break;
    case kIntelTypeLengthMismatch:
      ReportLineError(view, kIntelHexDecoderCaption, HexLoadFailure::kRecordError, 3, lineNumber,
                      "record error");
      break;
    case 4:
      ReportLineError(view, kIntelHexDecoderCaption, HexLoadFailure::kAddressBelow, 4, lineNumber,
                      "address error");
      break;
    case 5:
      ReportLineError(view, kIntelHexDecoderCaption, HexLoadFailure::kAddressAbove, 5, lineNumber,
                      "address error");
      break;
    default:
      ReportLineError(view, kIntelHexDecoderCaption, HexLoadFailure::kDecodeError, 2, lineNumber,
                      "decode error");
      break;
  }
  return false;
}

}  // namespace

int DecodeIntelHexRecord(std::string_view line, std::span<uint8_t, kIntelDataBufferSize> data,
                         uint32_t& address, int& length, uint8_t& type) {
  if (line.empty() || line[0] != ':') return kIntelNotARecord;
  const char* digits = line.data() + 1;
  const size_t digitCount = line.size() - 1;

  // Every character after ':' must be an upper-case hexadecimal digit; pairs are converted
  // up to 260 bytes, and digits beyond that (or one left over) are only checked.
  uint8_t buffer[kIntelRecordBufferSize];
  const size_t pairs = std::min(digitCount / 2, kIntelRecordBufferSize);
  uint8_t bad = 0;
  uint8_t sum = 0;
  for (size_t i = 0; i < pairs; ++i) {
    const uint8_t high = HexDigitValue(digits[2 * i]);
    const uint8_t low = HexDigitValue(digits[2 * i + 1]);
    bad |= static_cast<uint8_t>(high | low);
    buffer[i] = static_cast<uint8_t>((high << 4) | (low & 0x0F));
    sum = static_cast<uint8_t>(sum + buffer[i]);
  }
  for (size_t i = 2 * pairs; i < digitCount; ++i) bad |= HexDigitValue(digits[i]);
  if ((bad & 0xF0) != 0 || pairs == 0) return kIntelUndecodable;

  length = buffer[0];
  const size_t dataLength = buffer[0];
  if (pairs != dataLength + 5) return kIntelUndecodable;
  address = static_cast<uint32_t>(buffer[1]) << 8 | buffer[2];
  type = buffer[3];
  std::memcpy(data.data(), buffer + 4, dataLength);
  if (sum != 0) return kIntelUndecodable;

  switch (type) {
    case kIntelEndOfFile:
      if (dataLength != 0) return kIntelTypeLengthMismatch;
      break;
    case kIntelExtendedSegmentAddress:
    case kIntelExtendedLinearAddress:
      if (dataLength != 2) return kIntelTypeLengthMismatch;
      break;
    case kIntelStartSegmentAddress:
    case kIntelStartLinearAddress:
      if (dataLength != 4) return kIntelTypeLengthMismatch;
      break;
    default: break;
  }
  if (type == kIntelExtendedSegmentAddress || type == kIntelExtendedLinearAddress) {
    const uint32_t value = static_cast<uint32_t>(data[0]) << 8 | data[1];
    address = type == kIntelExtendedSegmentAddress ? value * 16 : value * 65536;
  }
  return kIntelRecordValid;
}

bool LoadIntelHex(platform::TextLineReader& file, FlashImage& image, FlashAreaSpan areas,
                  HexLoadView* view) {
  const AreaFit fit = CheckAreasFitImage(areas);
  if (fit != AreaFit::kFits) {
    ReportLoadError(view, HexLoadFailure::kAreasDoNotFit, AreaFitText(fit));
    return false;
  }
  const int64_t first = areas.front().start;
  const int64_t last = areas.back().end;
  uint8_t data[kIntelDataBufferSize];
  uint32_t base = 0;

  file.Rewind();
  std::string_view line;
  while (file.NextLine(line)) {
    if (line.empty()) continue;
    uint32_t offset = 0;
    int length = 0;
    uint8_t type = 0;
    const int status = DecodeIntelHexRecord(line, data, offset, length, type);
    if (status != kIntelRecordValid) return ReportIntelError(view, status, file.LineNumber());
    switch (type) {
      case kIntelEndOfFile: return true;
      case kIntelStartSegmentAddress:
      case kIntelStartLinearAddress: continue;
      case kIntelExtendedSegmentAddress:
      case kIntelExtendedLinearAddress: base = offset; continue;
      case kIntelData: break;
      default: return ReportIntelError(view, kIntelUndecodable, file.LineNumber());
    }
    // 64-bit arithmetic: a record near the top of the 32-bit space must not wrap around.
    const int64_t address = static_cast<int64_t>(base) + offset;
    if (address < first) return ReportIntelError(view, 4, file.LineNumber());
    if (address + length - 1 > last) return ReportIntelError(view, 5, file.LineNumber());
    std::memcpy(image.Data() + (address - first), data, static_cast<size_t>(length));
  }
  return true;
}

}  // namespace flash
