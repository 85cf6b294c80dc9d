// Read-out files, read back by srec_cat, give the bytes that were written.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "flash/output/read_out_writer.h"
#include "tests/hexfile/hex_test_support.h"
#include "tests/output/read_out_test_support.h"
#include "tests/platform/temp_dir.h"

namespace {

using flash::ReadOutFormat;
using flash::ReadOutStatus;
using read_out_test::Area;

struct ReadBackCase {
  const char* name;
  ReadOutFormat format;
  std::vector<Area> areas;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const ReadBackCase& c, std::ostream* os) { *os << c.name; }

std::vector<ReadBackCase> ReadBackCases() {
  const std::vector<Area> two{{0x080800, 0x09FFFF}, {0x0A0000, 0x0BFFFF}};
  const std::vector<Area> odd{{0x00FFE8, 0x010427}, {0x01FFF9, 0x020100}, {0x030000, 0x030006}};
  return {
      {"SHigh", ReadOutFormat::kSFormat, {{0xFF0000, 0xFFFFFF}}},
      {"STwoAreas", ReadOutFormat::kSFormat, two},
      {"SUnaligned", ReadOutFormat::kSFormat, odd},
      {"IntelHigh", ReadOutFormat::kIntelHex, {{0xFE0000, 0xFFFFFF}}},
      {"IntelTwoAreas", ReadOutFormat::kIntelHex, two},
      {"IntelUnaligned", ReadOutFormat::kIntelHex, odd},
  };
}

class SrecCatReadBack : public testing::TestWithParam<ReadBackCase> {
 protected:
  void SetUp() override {
    if (!hex_test::HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed";
  }
  testing_support::TempDir dir_;
};

TEST_P(SrecCatReadBack, GivesTheWrittenBytes) {
  const ReadBackCase& c = GetParam();
  const std::string file = dir_.File("readout.hex");
  {
    flash::ReadOutWriter writer(c.format);
    ASSERT_EQ(writer.Create(file), ReadOutStatus::kOk);
    ASSERT_EQ(read_out_test::WriteAreas(writer, c.areas), ReadOutStatus::kOk);
    ASSERT_EQ(writer.Finish(), ReadOutStatus::kOk);
  }
  const char* format = c.format == ReadOutFormat::kSFormat ? "-motorola" : "-intel";
  // srec_cat writes the contents as a binary from the first area's start; gaps become 0xEE.
  const uint32_t base = c.areas.front().start;
  const uint64_t limit = static_cast<uint64_t>(c.areas.back().end) + 1;
  const std::string args = file + " " + format + " -fill 0xEE " + hex_test::Hex32(base) + " " +
                           std::to_string(limit) + " -offset -" + hex_test::Hex32(base) + " -o " +
                           dir_.File("readout.bin") + " -binary";
  ASSERT_TRUE(hex_test::RunSrecCat(args)) << args;
  const std::string bytes = dir_.Read("readout.bin");
  ASSERT_EQ(bytes.size(), limit - base);
  size_t nextArea = 0;
  for (uint64_t address = base; address < limit; ++address) {
    while (nextArea < c.areas.size() && address > c.areas[nextArea].end) ++nextArea;
    const bool inArea = address >= c.areas[nextArea].start;
    const uint8_t expected = inArea ? read_out_test::FlashByte(address) : 0xEE;
    ASSERT_EQ(static_cast<uint8_t>(bytes[address - base]), expected) << std::hex << address;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SrecCatReadBack, testing::ValuesIn(ReadBackCases()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
