// S-format (S-record) input: decoding one record line and loading a whole file into the
// flash image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "flash/hexfile/flash_image.h"
#include "flash/hexfile/hex_load_view.h"
#include "platform/text_file.h"

namespace flash {

// Bytes one S record decodes into: count, address, data and checksum.
inline constexpr size_t kSRecordBufferSize = 256;

// Decodes an S1, S2 or S3 line (without its line end) into buffer. Returns the number of
// data bytes (at least 1) and sets address and dataOffset (index of the first data byte in
// buffer), or returns 0 when the line is not a valid record (bad character, count that does
// not match the digits, no data byte, checksum).
int DecodeSRecord(std::string_view line, std::span<uint8_t, kSRecordBufferSize> buffer,
                  uint32_t& address, int& dataOffset);

// Reads the file from its first line to its end and stores every S1/S2/S3 data record into
// the image. The load range runs from the first area's start to the last area's end; the
// areas must fit the image (CheckAreasFitImage). Returns true at the end of the file, false
// after an error, which is shown through view (captioned "S format decoder") when a view is
// given.
bool LoadSRecords(platform::TextLineReader& file, FlashImage& image, FlashAreaSpan areas,
                  HexLoadView* view);

}  // namespace flash
