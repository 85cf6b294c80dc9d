// Shared by the hex-file fuzz targets. Input: byte 0 picks the chip (one or several flash
// areas, some at the ends of the 32-bit space) and the Full Operation flag; the rest, after
// the target's fixed first line, is the hex file. Every run loads the file through
// LoadHexFile and checks that nothing outside the load range was written.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "flash/hexfile/hex_file_loader.h"

namespace hex_fuzz {

struct Chip {
  std::vector<flash::FlashArea> areas;
};

inline const std::vector<Chip>& Chips() {
  static const std::vector<Chip> chips{
      {{{0xFF0000, 0xFFFFFF}}},
      {{{0x080800, 0x09FFFF}, {0x0A0000, 0x0BFFFF}}},
      {{{0x1000, 0x1FFF}, {0x3000, 0x30FF}, {0x4000, 0x4FFF}, {0x10000, 0x1FFFF}}},
      {{{0xFFFF0000, 0xFFFFFFFF}}},
      {{{0x0, 0x8FFFF}}},
      {{{0x0, 0xFF}, {0x8FE00, 0x8FFFF}}},
  };
  return chips;
}

class View : public flash::HexLoadView {
 public:
  void ShowLoadStatus(const flash::HexLoadStatus& status) override {
    if (status.text.empty()) __builtin_trap();
  }
  void ShowLoadError(const flash::HexLoadError& error) override {
    if (error.text.empty() || error.caption.empty()) __builtin_trap();
    ++errors;
  }
  int errors = 0;
};

// The file every run writes, in a directory of its own that is removed at exit.
inline const std::string& FuzzFilePath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/kvfuzz.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr) std::abort();
    static std::string directory = dir;
    std::atexit([] {
      std::remove((directory + "/input.hex").c_str());
      rmdir(directory.c_str());
    });
    return directory + "/input.hex";
  }();
  return path;
}

inline int LoadOne(const uint8_t* data, size_t size, const char* firstLine) {
  if (size == 0) return 0;
  static flash::FlashImage image;
  const Chip& chip = Chips()[data[0] % Chips().size()];
  const bool fullOperation = (data[0] & 0x80) != 0;

  std::string text = firstLine;
  text.append(reinterpret_cast<const char*>(data + 1), size - 1);
  std::FILE* file = std::fopen(FuzzFilePath().c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);

  View view;
  const bool ok = flash::LoadHexFile(FuzzFilePath(), chip.areas, image, fullOperation, 0xA5, &view);
  if (ok != (view.errors == 0)) __builtin_trap();
  // Nothing may be stored beyond the last area's end.
  const uint64_t used = static_cast<uint64_t>(chip.areas.back().end) - chip.areas.front().start + 1;
  static const std::vector<uint8_t> fill(flash::kFlashImageSize, 0xA5);
  if (used < flash::kFlashImageSize &&
      std::memcmp(image.Data() + used, fill.data(), flash::kFlashImageSize - used) != 0) {
    __builtin_trap();
  }
  return 0;
}

}  // namespace hex_fuzz
