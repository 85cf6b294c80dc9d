// S-format files through LoadHexFile: a fixed S0 line first keeps every input on the S path.
#include "fuzz/hexfile/hex_load_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return hex_fuzz::LoadOne(data, size, "S0030000FC\n");
}
