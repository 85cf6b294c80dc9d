// Fuzzes the positional CHIPDEF.INI reader: the first byte picks the series and which
// settings came from the command line; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "serburn/chip_resolver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  serburn::RunSettings s;
  s.chipName = (mode & 1) ? "KV41K725" : "KV40K358G";
  s.series = (mode & 1) ? serburn::Series::KV41 : serburn::Series::KV40;
  s.seriesDirectory = "/series/";
  if (mode & 2) s.biromBaud = 4800;
  if (mode & 4) s.clockText = "8";
  if (mode & 8) s.clockText = "";
  if (mode & 16) s.moduleFileName = "given.bin";
  std::ostringstream out;
  serburn::Reporter reporter(out);
  const bool ok = serburn::ReadChipRecord(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), s, reporter);
  if (ok == reporter.Failed()) __builtin_trap();
  if (ok && s.moduleFileName.find('\r') != std::string::npos) __builtin_trap();
  return 0;
}
