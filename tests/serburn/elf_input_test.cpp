// ELF executables as serburn data files: the loadable segments land at their physical
// addresses in the flash area; a segment outside it is refused before the port opens.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "serburn/data_image.h"
#include "temp_dir.h"
#include "tests/support/elf_file.h"

namespace serburn {
namespace {

using testing::TempDir;

using elf_test::ElfFile;
using elf_test::Segment;

class ElfInput : public ::testing::Test {
 protected:
  ElfInput() {
    settings.startAddress = 0x4000;
    settings.endAddress = 0x4000 + 4 * 512 - 1;
  }
  bool Load(const std::string& contents) {
    settings.dataFileName = dir.Write("fw.elf", contents);
    return LoadDataImage(settings, image, reporter);
  }
  TempDir dir;
  RunSettings settings;
  std::ostringstream out;
  Reporter reporter{out};
  std::vector<uint8_t> image;
};

TEST_F(ElfInput, LoadableSegmentsLandAtTheirPhysicalAddresses) {
  const std::vector<uint8_t> code(600, 0x5A);
  const std::vector<uint8_t> table = {1, 2, 3, 4};
  ASSERT_TRUE(Load(ElfFile({{PT_LOAD, 0x4000, code, 0},
                            {PT_NOTE, 0x9000, {9, 9}, 0},  // not loaded
                            {PT_LOAD, 0x4700, table, 256}})))
      << out.str();
  std::vector<uint8_t> expected(4 * 512, 0xFF);
  std::copy(code.begin(), code.end(), expected.begin());
  std::copy(table.begin(), table.end(), expected.begin() + 0x700);
  EXPECT_EQ(image, expected);
  EXPECT_EQ(out.str(), "\nData file: ELF executable, 2 loadable segment(s)");
}

struct BadElf {
  const char* name;
  std::string contents;
  const char* message;
};

class BadElfFiles : public ElfInput, public ::testing::WithParamInterface<BadElf> {};

TEST_P(BadElfFiles, AreFileErrors) {
  EXPECT_FALSE(Load(GetParam().contents));
  EXPECT_EQ(out.str(), std::string("\nFile operations error: ") + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadElfFiles,
    ::testing::Values(
        BadElf{"SegmentPastTheArea", ElfFile({{PT_LOAD, 0x4700, std::vector<uint8_t>(300, 1), 0}}),
               "ELF segment at 0x004700 (300 bytes) outside the flash area 0x004000..0x0047FF"},
        BadElf{"SegmentBelowTheArea", ElfFile({{PT_LOAD, 0x3000, {1}, 0}}),
               "ELF segment at 0x003000 (1 bytes) outside the flash area 0x004000..0x0047FF"},
        BadElf{"NothingToLoad", ElfFile({{PT_LOAD, 0x4000, {}, 64}}),
               "unable to read from data file (ELF: no loadable segment)"},
        BadElf{"Truncated", ElfFile({{PT_LOAD, 0x4000, std::vector<uint8_t>(100, 1), 0}}).substr(0, 90),
               "unable to read from data file (ELF: a segment lies beyond the end of the file)"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace serburn
