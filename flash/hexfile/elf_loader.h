// ELF executables as input of the GUI programmer: each loadable segment's bytes go into the
// flash image at its physical address, and every segment must lie inside one flash area.
#pragma once

#include <string>

#include "flash/hexfile/flash_image.h"
#include "flash/hexfile/hex_load_view.h"

namespace flash {

inline constexpr const char* kElfDecoderCaption = "ELF decoder";

// True when the file begins with the ELF magic number.
bool IsElfFile(const std::string& path);

// Loads the segments into image (already filled); false after a reported failure.
bool LoadElfFile(const std::string& path, FlashImage& image, FlashAreaSpan areas, HexLoadView* view);

}  // namespace flash
