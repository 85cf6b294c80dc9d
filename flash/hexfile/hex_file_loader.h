// Loading the Hex File into the flash image, with the format recognised from the file's
// first character, and the check sum of the loaded image over the chip's flash areas.
#pragma once

#include <cstdint>
#include <string>

#include "flash/hexfile/flash_image.h"
#include "flash/hexfile/hex_load_view.h"

namespace flash {

// Clears the whole image to fillByte, then loads the file at path: a first line that begins
// with ':' is read as Intel-Hex, one that begins with 'S' as S-format. A chip whose areas do
// not fit the image is refused before the file is read. With a view (a progress window is
// open) the status text is shown first and failures are shown; without one the load is
// silent. fullOperation prefixes the status text with "Full Operation - ". Returns true when
// the file was read to its end (or to the Intel-Hex end-of-file record) without error; on
// false the image holds the fill value plus whatever was stored before the error.
bool LoadHexFile(const std::string& path, FlashAreaSpan areas, FlashImage& image,
                 bool fullOperation, uint8_t fillByte, HexLoadView* view);

// Returned by ComputeImageChecksum when the file fails to load.
inline constexpr int kChecksumLoadFailed = 0x10000;

// Loads the file silently with fillByte and returns the 16-bit sum of every image byte of
// every flash area (gaps between areas excluded), or kChecksumLoadFailed.
int ComputeImageChecksum(const std::string& path, FlashAreaSpan areas, FlashImage& image,
                         uint8_t fillByte);

}  // namespace flash
