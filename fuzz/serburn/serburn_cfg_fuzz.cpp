// Fuzzes the serburn.cfg lookup: the first byte picks the chip's series, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "serburn/chip_resolver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string chip = (data[0] & 1) ? "KV41K725" : "KV40K358";
  std::ostringstream out;
  serburn::Reporter reporter(out);
  std::string dir;
  const bool ok = serburn::LookupSeriesDirectory(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), chip,
                                                 dir, reporter);
  if (ok) {
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) __builtin_trap();
    if (dir.find('"') != std::string::npos || dir.find('\r') != std::string::npos ||
        dir.find('\n') != std::string::npos) {
      __builtin_trap();
    }
    if (dir.size() > 260) __builtin_trap();
  } else if (!reporter.Failed()) {
    __builtin_trap();
  }
  return 0;
}
