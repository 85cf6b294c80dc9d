// Intel-Hex input: decoding one record line and loading a whole file into the flash image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "flash/hexfile/flash_image.h"
#include "flash/hexfile/hex_load_view.h"
#include "platform/text_file.h"

namespace flash {

// Largest data field of one Intel-Hex record.
inline constexpr size_t kIntelDataBufferSize = 255;

// Status of DecodeIntelHexRecord.
enum IntelHexStatus : int {
  kIntelRecordValid = 0,
  kIntelNotARecord = 1,          // the line does not begin with ':'
  kIntelUndecodable = 2,         // bad character, length mismatch or checksum error
  kIntelTypeLengthMismatch = 3,  // type 01-05 with the wrong data length
};

// Intel-Hex record types.
enum IntelRecordType : uint8_t {
  kIntelData = 0x00,
  kIntelEndOfFile = 0x01,
  kIntelExtendedSegmentAddress = 0x02,
  kIntelStartSegmentAddress = 0x03,
  kIntelExtendedLinearAddress = 0x04,
  kIntelStartLinearAddress = 0x05,
};

// Decodes one line (without its line end). On status 0: data holds the record's data bytes,
// length their number, type the record type, and address the record's 16-bit offset, or
// for type 02 the segment base (value x 16) and for type 04 the linear base (value x 65536).
int DecodeIntelHexRecord(std::string_view line, std::span<uint8_t, kIntelDataBufferSize> data,
                         uint32_t& address, int& length, uint8_t& type);

// Reads the file from its first line and stores every data record into the image, following
// the extended address records, until the end-of-file record or the end of the file. The
// areas must fit the image (CheckAreasFitImage). Returns true on success, false after an
// error, which is shown through view (captioned "IntelHex format decoder") when a view is
// given.
bool LoadIntelHex(platform::TextLineReader& file, FlashImage& image, FlashAreaSpan areas,
                  HexLoadView* view);

}  // namespace flash
