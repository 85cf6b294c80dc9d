// The chip's flash with NOR semantics: programming can only clear bits, erasing sets
// bytes to 0xFF. Bytes between areas exist in the image (as 0xFF) but not in the chip.
// The contents live in an image file: byte at offset A - (first area start) is the byte at
// flash address A. Save writes the whole file atomically; SaveChanges writes only the bytes
// changed since, in place (microseconds instead of the rename's file-system work).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/chip_config.h"

namespace kvsim {

class FlashMemory {
 public:
  explicit FlashMemory(std::vector<FlashArea> areas);

  uint32_t Base() const { return areas_.front().start; }
  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  const std::vector<FlashArea>& Areas() const { return areas_; }

  // True when [address, address + length) lies inside one flash area.
  bool Covers(uint32_t address, size_t length) const;

  // Programs the bytes of [address, address + length) that lie in an area (bytes become old
  // AND new, as on NOR flash; bytes beyond an area's end are not there and are skipped).
  // Returns false when address is not inside an area, or when a bit would have to go from 0
  // to 1; the bits that could be cleared are cleared all the same.
  bool Program(uint32_t address, const uint8_t* data, size_t length);

  // Erases every area byte at or above address. False (nothing erased) when address is not
  // inside an area. limitBytes bounds how many area bytes are erased (an interrupted erase).
  bool EraseFrom(uint32_t address, size_t limitBytes = SIZE_MAX);

  // Address of the first area byte at or above address that is not 0xFF.
  std::optional<uint32_t> FirstNotBlank(uint32_t address) const;

  // Copies length bytes at address (0xFF outside the image).
  void Read(uint32_t address, uint8_t* out, size_t length) const;

  // The image file. Load accepts only a file of exactly Size() bytes. Save writes a temp
  // file and renames it over path, so a reader sees the old or the new image.
  bool Load(const std::string& path);
  bool Save(const std::string& path);
  // Writes the bytes changed since the last Load, Save or SaveChanges into the existing file
  // at path (the whole file with Save when it is missing or of another size). A reader
  // during the write may see a block half written, as on the chip while it programs.
  bool SaveChanges(const std::string& path);
  bool HasChanges() const { return changedBegin_ < changedEnd_; }

 private:
  void MarkChanged(size_t begin, size_t end);

  std::vector<FlashArea> areas_;
  std::vector<uint8_t> bytes_;
  size_t changedBegin_ = SIZE_MAX;  // offsets of the bytes changed since the last save
  size_t changedEnd_ = 0;
};

}  // namespace kvsim
