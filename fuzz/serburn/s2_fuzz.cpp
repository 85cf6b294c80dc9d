// Fuzzes the S2 record decoder over a small image: the first two bytes size the image.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "serburn/s2_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t start = 0x4000u + (uint32_t{data[0]} << 9);
  const uint32_t end = start + (uint32_t{data[1]} << 4);
  std::ostringstream out;
  serburn::Reporter reporter(out);
  std::vector<uint8_t> image;
  const bool ok = serburn::DecodeS2Text(std::string(reinterpret_cast<const char*>(data) + 2, size - 2), start, end,
                                        image, reporter);
  if (ok == reporter.Failed()) __builtin_trap();
  if (ok && image.size() != size_t{end} - start + 1) __builtin_trap();
  return 0;
}
