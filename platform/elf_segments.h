// The loadable contents of an ELF executable, the usual output of firmware toolchains: each
// PT_LOAD segment's bytes from the file at its physical (load) address. Bytes a segment only
// reserves in memory (its size in memory beyond its size in the file) are not part of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ElfSegment {
  uint64_t address = 0;  // physical address
  std::vector<uint8_t> bytes;
};

// True when the bytes begin with the ELF magic number.
bool HasElfMagic(const std::string& head);

// Reads the segments of the ELF file at path; on failure returns false with a reason.
bool ReadElfSegments(const std::string& path, std::vector<ElfSegment>& segments, std::string& error);

}  // namespace platform
