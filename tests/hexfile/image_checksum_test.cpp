#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "flash/hexfile/flash_image.h"
#include "flash/hexfile/hex_file_loader.h"
#include "tests/hexfile/hex_test_support.h"
#include "tests/platform/temp_dir.h"

namespace {

using flash::FlashArea;
using hex_test::JoinLines;
using hex_test::MakeSRecord;

class ImageChecksumTest : public testing::Test {
 protected:
  testing_support::TempDir dir_;
  flash::FlashImage image_;
};

TEST_F(ImageChecksumTest, EndRecordOnlyGivesTheFillSum) {
  const std::vector<FlashArea> areas{{0x1000, 0x1FFF}};
  const std::string path = dir_.Write("end.hex", ":00000001FF\r\n");
  struct Case {
    uint8_t fill;
    int expected;
  };
  for (const Case c : {Case{0xFF, 0xF000}, Case{0x00, 0x0000}, Case{0x01, 0x1000}}) {
    EXPECT_EQ(flash::ComputeImageChecksum(path, areas, image_, c.fill), c.expected) << int{c.fill};
  }
}

TEST_F(ImageChecksumTest, FillZeroSumsTheFileBytesInsideAreasOnly) {
  const std::vector<FlashArea> areas{{0x1000, 0x10FF}, {0x1200, 0x12FF}};
  std::vector<std::string> lines;
  unsigned expected = 0;
  for (uint32_t a = 0x1000; a < 0x1300; a += 16) {
    std::vector<uint8_t> data(16);
    for (size_t i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(a * 7 + i * 13);
    const bool inArea = a < 0x1100 || a >= 0x1200;
    if (inArea) {
      for (uint8_t b : data) expected += b;
    }
    lines.push_back(MakeSRecord('1', a, data));  // the gap 0x1100-0x11FF is loaded but not summed
  }
  const std::string path = dir_.Write("data.mhx", JoinLines(lines));
  EXPECT_EQ(flash::ComputeImageChecksum(path, areas, image_, 0x00),
            static_cast<int>(expected & 0xFFFF));
}

TEST_F(ImageChecksumTest, LoadFailureGivesTheMarkerSilently) {
  const std::vector<FlashArea> areas{{0x1000, 0x1FFF}};
  EXPECT_EQ(flash::ComputeImageChecksum(dir_.File("missing.hex"), areas, image_, 0xFF), 0x10000);
  EXPECT_EQ(flash::ComputeImageChecksum(dir_.Write("bad.hex", "S1zz\n"), areas, image_, 0xFF),
            0x10000);
  EXPECT_EQ(flash::ComputeImageChecksum(dir_.Write("empty.hex", ""), areas, image_, 0xFF), 0x10000);
  const std::string ok = dir_.Write("ok.hex", ":00000001FF\n");
  EXPECT_EQ(flash::ComputeImageChecksum(ok, std::vector<FlashArea>{{0, 0x90000}}, image_, 0xFF),
            0x10000);
}

struct FitCase {
  const char* name;
  std::vector<FlashArea> areas;
  flash::AreaFit expected;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class AreaFitTest : public testing::TestWithParam<FitCase> {};

TEST_P(AreaFitTest, RefusesChipsTheImageCannotHold) {
  const FitCase& c = GetParam();
  EXPECT_EQ(flash::CheckAreasFitImage(c.areas), c.expected);
  EXPECT_EQ(std::string(flash::AreaFitText(c.expected)).empty(),
            c.expected == flash::AreaFit::kFits);
}

INSTANTIATE_TEST_SUITE_P(
    Chips, AreaFitTest,
    testing::ValuesIn(std::vector<FitCase>{
        {"OneFullImage", {{0x0, 0x8FFFF}}, flash::AreaFit::kFits},
        {"TwoAreasFromTheExample",
         {{0x080800, 0x09FFFF}, {0x0A0000, 0x0BFFFF}},
         flash::AreaFit::kFits},
        {"TopOf32Bits", {{0xFFFF0000, 0xFFFFFFFF}}, flash::AreaFit::kFits},
        {"PartialLastBlockInside", {{0x0, 0x8FE01}}, flash::AreaFit::kFits},
        {"OneByteTooMany", {{0x0, 0x90000}}, flash::AreaFit::kBeyondImage},
        {"SecondAreaTooFar",
         {{0x100000, 0x1000FF}, {0x190000, 0x1900FF}},
         flash::AreaFit::kBeyondImage},
        {"LastBlockRunsPast",
         {{0x0, 0xFF}, {0x8FF10, 0x8FF20}},
         flash::AreaFit::kLastBlockBeyondImage},
        {"AreaEndsBeforeStart", {{0x2000, 0x1FFF}}, flash::AreaFit::kEndBeforeStart},
        {"AreaBelowFirst", {{0x2000, 0x2FFF}, {0x1000, 0x1FFF}}, flash::AreaFit::kBelowFirstArea},
        {"NoArea", {}, flash::AreaFit::kNoArea},
        {"WholeAddressSpace", {{0x0, 0xFFFFFFFF}}, flash::AreaFit::kBeyondImage},
    }),
    [](const auto& param) { return std::string(param.param.name); });

TEST(AreasOfTest, TakesTheCountedAreasOnly) {
  flash::ChipRecord chip;
  chip.areas[0] = {0x100, 0x1FF};
  chip.areas[1] = {0x200, 0x2FF};
  chip.areaCount = 1;
  EXPECT_EQ(flash::AreasOf(chip).size(), 1u);
  chip.areaCount = 25;
  EXPECT_EQ(flash::AreasOf(chip).size(), static_cast<size_t>(flash::kMaxFlashAreas));
  chip.areaCount = -3;
  EXPECT_TRUE(flash::AreasOf(chip).empty());
}

}  // namespace
