// ELF executables through the GUI programmer's file load: segments land at their physical
// addresses inside the chip's areas; anything else is refused with a message, the image
// left at its fill byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flash/hexfile/hex_file_loader.h"
#include "tests/hexfile/hex_test_support.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/elf_file.h"

namespace {

using elf_test::ElfFile;
using flash::FlashArea;
using flash::HexLoadFailure;

const std::vector<FlashArea> kGapAreas{{0x1000, 0x1FFF}, {0x3000, 0x3FFF}};

TEST(ElfLoad, SegmentsLandInTheirAreas) {
  testing_support::TempDir dir;
  const std::vector<uint8_t> code(300, 0x42), data = {7, 8, 9};
  const std::string path = dir.Write("fw.elf", ElfFile({{PT_LOAD, 0x1000, code, 0}, {PT_LOAD, 0x3FFD, data, 16}}));
  flash::FlashImage image;
  hex_test::RecordingView view;
  ASSERT_TRUE(flash::LoadHexFile(path, kGapAreas, image, false, 0xFF, &view));
  EXPECT_TRUE(view.errors.empty());
  std::vector<uint8_t> expected(flash::kFlashImageSize, 0xFF);
  std::copy(code.begin(), code.end(), expected.begin());
  std::copy(data.begin(), data.end(), expected.begin() + 0x2FFD);
  EXPECT_EQ(std::vector<uint8_t>(image.Data(), image.Data() + expected.size()), expected);
}

struct ElfRefusal {
  const char* name;
  std::string contents;
  HexLoadFailure failure;
  const char* text;
};

class ElfRefusals : public ::testing::TestWithParam<ElfRefusal> {};

TEST_P(ElfRefusals, AreReportedAndLoadNothing) {
  testing_support::TempDir dir;
  const std::string path = dir.Write("fw.elf", GetParam().contents);
  flash::FlashImage image;
  hex_test::RecordingView view;
  EXPECT_FALSE(flash::LoadHexFile(path, kGapAreas, image, false, 0xFF, &view));
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0].failure, GetParam().failure);
  EXPECT_EQ(view.errors[0].caption, "ELF decoder");
  EXPECT_EQ(view.errors[0].text, GetParam().text);
  EXPECT_EQ(std::vector<uint8_t>(image.Data(), image.Data() + 0x3000), std::vector<uint8_t>(0x3000, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElfRefusals,
    ::testing::Values(
        ElfRefusal{"InTheGap", ElfFile({{PT_LOAD, 0x1000, {1}, 0}, {PT_LOAD, 0x2800, {1}, 0}}),
                   HexLoadFailure::kElfOutsideAreas, "ELF segment at 0x00002800 (1 bytes) is outside the flash areas"},
        ElfRefusal{"AcrossTheGap", ElfFile({{PT_LOAD, 0x1FFF, {1, 2}, 0}}), HexLoadFailure::kElfOutsideAreas,
                   "ELF segment at 0x00001FFF (2 bytes) is outside the flash areas"},
        ElfRefusal{"NothingToLoad", ElfFile({{PT_NOTE, 0x1000, {1}, 0}}), HexLoadFailure::kElfUnreadable,
                   "ELF file error: no loadable segment"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
