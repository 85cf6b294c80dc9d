// Hex files written by srec_cat, and by hand with record kinds srec_cat does not write, load
// to the same bytes that srec_cat itself decodes from them.
#include <gtest/gtest.h>

#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "flash/hexfile/hex_file_loader.h"
#include "tests/hexfile/hex_test_support.h"
#include "tests/platform/temp_dir.h"

namespace {

using flash::FlashArea;
using hex_test::Hex32;

struct Chunk {
  uint32_t address;
  size_t size;
};

struct CrossCase {
  const char* name;
  std::vector<FlashArea> areas;
  std::vector<Chunk> chunks;
  std::string outputFormat;  // srec_cat output arguments
  std::string inputFormat;   // srec_cat input format of that file
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const CrossCase& c, std::ostream* os) { *os << c.name; }

std::vector<CrossCase> CrossCases() {
  const std::vector<FlashArea> two{{0x080800, 0x09FFFF}, {0x0A0000, 0x0BFFFF}};
  const std::vector<Chunk> twoChunks{{0x080800, 0x1F800}, {0x0A1234, 0x3001}, {0x0BFF00, 0x100}};
  const std::vector<FlashArea> high{{0xFF0000, 0xFFFFFF}};
  const std::vector<Chunk> full{{0xFF0000, 0x10000}};
  const std::vector<FlashArea> low{{0x0, 0x8FFFF}};
  const std::vector<Chunk> lowChunks{{0x7, 0x2000}, {0xFFF8, 0x30}, {0x8FF00, 0x100}};
  return {
      {"SDefault", two, twoChunks, "-motorola", "-motorola"},
      {"S1Records", {{0x0, 0xFFFF}}, {{0x10, 0xFFEF}}, "-motorola -address-length=2", "-motorola"},
      {"S2Records16", high, full, "-motorola -address-length=3 -output_block_size=16", "-motorola"},
      {"S3Records", two, twoChunks, "-motorola -address-length=4", "-motorola"},
      {"SLongRecords", low, lowChunks, "-motorola -output_block_size=250", "-motorola"},
      {"IntelDefault", two, twoChunks, "-intel", "-intel"},
      {"Intel16", high, full, "-intel -output_block_size=16", "-intel"},
      {"IntelAcross64K", low, lowChunks, "-intel -output_block_size=16", "-intel"},
      {"IntelLongRecords", low, lowChunks, "-intel -output_block_size=255", "-intel"},
  };
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

class SrecCatCrossCheck : public testing::TestWithParam<CrossCase> {
 protected:
  void SetUp() override {
    if (!hex_test::HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed";
  }

  // What srec_cat decodes from file: the load range filled with 0xFF and then the records,
  // as a binary from the first area's start.
  std::vector<uint8_t> Reference(const std::string& file, const std::string& format,
                                 const std::vector<FlashArea>& areas) {
    const std::string out = dir_.File("reference.bin");
    const uint32_t base = areas.front().start;
    const uint64_t limit = static_cast<uint64_t>(areas.back().end) + 1;
    const std::string args = file + " " + format + " -fill 0xFF " + Hex32(base) + " " +
                             std::to_string(limit) + " -offset -" + Hex32(base) + " -o " + out +
                             " -binary";
    EXPECT_TRUE(hex_test::RunSrecCat(args)) << args;
    const std::string bytes = dir_.Read("reference.bin");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }

  void ExpectSameAsSrecCat(const std::string& file, const std::string& format,
                           const std::vector<FlashArea>& areas) {
    hex_test::RecordingView view;
    ASSERT_TRUE(flash::LoadHexFile(file, areas, image_, false, 0xFF, &view))
        << (view.errors.empty() ? "" : view.errors[0].text);
    const std::vector<uint8_t> reference = Reference(file, format, areas);
    const size_t span = static_cast<size_t>(areas.back().end - areas.front().start + 1);
    ASSERT_EQ(reference.size(), span);
    for (size_t i = 0; i < span; ++i) {
      ASSERT_EQ(image_.Data()[i], reference[i]) << "offset " << i;
    }
  }

  testing_support::TempDir dir_;
  flash::FlashImage image_;
};

TEST_P(SrecCatCrossCheck, LoadsWhatSrecCatDecodes) {
  const CrossCase& c = GetParam();
  std::string inputs;
  uint32_t seed = 1;
  for (const Chunk& chunk : c.chunks) {
    const std::vector<uint8_t> bytes = RandomBytes(chunk.size, seed);
    const std::string name = "chunk" + std::to_string(seed++) + ".bin";
    dir_.Write(name, std::string(bytes.begin(), bytes.end()));
    inputs += dir_.File(name) + " -binary -offset " + Hex32(chunk.address) + " ";
  }
  const std::string hexFile = dir_.File("input.hex");
  ASSERT_TRUE(hex_test::RunSrecCat(inputs + "-o " + hexFile + " " + c.outputFormat));
  ExpectSameAsSrecCat(hexFile, c.inputFormat, c.areas);
}

INSTANTIATE_TEST_SUITE_P(Formats, SrecCatCrossCheck, testing::ValuesIn(CrossCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// Segment addresses (type 02), a later linear base overriding them, S1 records mixed with
// S3, and CR LF line ends: written by hand, decoded by both.
TEST_F(SrecCatCrossCheck, HandWrittenRecordKindsMatch) {
  const std::vector<FlashArea> areas{{0xF000, 0x3FFFF}};
  std::vector<std::string> intel;
  std::vector<std::string> srec{"S00600004844521B"};
  const std::vector<uint8_t> data = RandomBytes(0x2000, 7);
  for (uint32_t i = 0; i < data.size(); i += 32) {
    const uint32_t address = 0x1F000 + i;
    const std::vector<uint8_t> piece(data.begin() + i, data.begin() + i + 32);
    const uint32_t segment = (address >> 4) & 0xF000;
    intel.push_back(hex_test::MakeIntelRecord(2, 0, {static_cast<uint8_t>(segment >> 8), 0}));
    intel.push_back(
        hex_test::MakeIntelRecord(0, static_cast<uint16_t>(address - segment * 16), piece));
    srec.push_back(hex_test::MakeSRecord(i % 64 == 0 ? '3' : '2', address, piece));
  }
  intel.push_back(hex_test::MakeIntelRecord(4, 0, {0x00, 0x03}));
  intel.push_back(hex_test::MakeIntelRecord(0, 0xFFF0, RandomBytes(16, 8)));
  srec.push_back(hex_test::MakeSRecord('1', 0xFFF0, RandomBytes(16, 8)));
  intel.push_back(":00000001FF");
  srec.push_back("S9030000FC");
  ExpectSameAsSrecCat(dir_.Write("segments.hex", hex_test::JoinLines(intel)), "-intel", areas);
  ExpectSameAsSrecCat(dir_.Write("mixed.mhx", hex_test::JoinLines(srec)), "-motorola", areas);
}

}  // namespace
