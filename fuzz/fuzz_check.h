// Check(condition) for fuzz targets: stops the run with the failed condition named, so a
// finding is easy to read.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzz_check {

inline void CheckThat(bool condition, const char* what, int line) {
  if (condition) return;
  std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
  std::abort();
}

}  // namespace fuzz_check

#define Check(condition) ::fuzz_check::CheckThat((condition), #condition, __LINE__)
