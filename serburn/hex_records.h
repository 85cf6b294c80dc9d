// Intel-Hex and S-record (S1/S2/S3) data files, recognised by content: a file is taken as
// records only when every line is a well-formed record of one of the two formats (count,
// address, data and checksum all agree); anything else is left to be read as binary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace serburn {

struct RecordDecoding {
  enum class Result { NotRecords, Decoded, OutsideArea };
  Result result = Result::NotRecords;
  const char* format = "";  // "Intel-Hex" or "S-record"
  size_t line = 0;          // with OutsideArea: the 1-based line of the first such record
};

// Decodes text into image (end - start + 1 bytes, 0xFF where no record gives a byte).
[[nodiscard]] RecordDecoding DecodeHexRecords(const std::string& text, uint32_t start, uint32_t end,
                                              std::vector<uint8_t>& image);

// True when the text's first line begins like a record (":" or "S" and a digit followed by
// hex digits), so a file read as binary after all deserves a warning.
[[nodiscard]] bool BeginsLikeRecords(const std::string& text);

}  // namespace serburn
