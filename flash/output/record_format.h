// Formatting of single read-out records, S-format and Intel-Hex: upper-case hexadecimal
// digits, one record per line ending in LF, followed by a terminating NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace flash {

// A line buffer that holds any record these functions write (up to 255 count bytes).
inline constexpr size_t kRecordLineBufferSize = 528;

// S-record types written by the read-out.
enum SRecordOutputType : int {
  kSRecordHeader = 0,  // S0: address field 0000, the address argument is not used
  kSRecordData24 = 2,  // S2: the low 24 bits of the address
  kSRecordEnd24 = 8,   // S8: the low 24 bits of the address, no data
};

// Writes one S0, S2 or S8 record with its LF and a NUL into out. Returns the length of the
// line (LF included, NUL not), or 0 when the type is not 0, 2 or 8, the data do not fit one
// record, or out is too small.
size_t FormatSRecord(std::span<char> out, std::span<const uint8_t> data, uint32_t address,
                     int type);

// Writes one Intel-Hex data record (type 00) for data at the low 16 bits of address.
// Returns the line length as FormatSRecord does; 0 for more than 255 bytes or a small out.
size_t FormatIntelDataRecord(std::span<char> out, std::span<const uint8_t> data, uint32_t address);

// Writes ":02000004", bits 31-24 and 23-16 of address as two bytes, and the checksum.
// Returns the line length, or 0 when out is too small.
size_t FormatIntelLinearAddressRecord(std::span<char> out, uint32_t address);

// The Intel-Hex end-of-file record.
inline constexpr const char* kIntelEndOfFileRecord = ":00000001FF\n";

}  // namespace flash
