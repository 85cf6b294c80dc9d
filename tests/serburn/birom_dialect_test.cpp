#include <gtest/gtest.h>

#include "serburn/birom_dialect.h"

namespace serburn {
namespace {

TEST(BiromDialects, SeriesNumber604IsTheOneKV41WithTheOlderBootRom) {
  EXPECT_EQ(&BiromDialectFor(Series::KV41, kOlderBootRomKV41Series), &kOlderKV41Birom);
  for (int32_t number : {0, 358, 603, 605, 725}) {
    EXPECT_EQ(&BiromDialectFor(Series::KV41, number), &kNewerKV41Birom) << number;
  }
}

TEST(BiromDialects, EveryKV40SpeaksTheKV40Dialect) {
  for (int32_t number : {0, 358, kOlderBootRomKV41Series}) {
    EXPECT_EQ(&BiromDialectFor(Series::KV40, number), &kKV40Birom) << number;
  }
}

}  // namespace
}  // namespace serburn
