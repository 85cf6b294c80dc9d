// Intel-Hex files through LoadHexFile: a fixed first record (linear base 0) keeps every
// input on the Intel-Hex path.
#include "fuzz/hexfile/hex_load_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return hex_fuzz::LoadOne(data, size, ":020000040000FA\n");
}
