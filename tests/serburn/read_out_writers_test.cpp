#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serburn/data_image.h"
#include "serburn/read_out_writer.h"
#include "serburn/s2_converter.h"
#include "serburn/s2_writer.h"

namespace serburn {
namespace {

std::vector<uint8_t> Block() {
  std::vector<uint8_t> block(512);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 11 + 3);
  return block;
}

TEST(SerburnReadOutWriters, MhxNameGetsTheS2Writer) {
  const ReadOutWriter& writer = ReadOutWriterFor("dir/image.mhx");
  EXPECT_EQ(writer.Extension(), kS2FileExtension);
  const std::vector<uint8_t> block = Block();
  std::string text;
  writer.AppendHeader(text);
  writer.AppendBlock(text, 0x104000, block.data(), block.size());
  writer.AppendTrailer(text);
  std::string expected = S2HeaderRecord();
  AppendS2Records(expected, 0x104000, block.data(), block.size());
  expected += S2EndRecord();
  EXPECT_EQ(text, expected);
}

// Every other name, an upper-case ".MHX" among them, gets the bytes as they are.
TEST(SerburnReadOutWriters, AnyOtherNameGetsTheBinaryImage) {
  for (const char* name : {"image.bin", "image.MHX", "mhx", "image.mhx.bak", ""}) {
    const ReadOutWriter& writer = ReadOutWriterFor(name);
    EXPECT_TRUE(writer.Extension().empty()) << name;
    const std::vector<uint8_t> block = Block();
    std::string text;
    writer.AppendHeader(text);
    writer.AppendBlock(text, 0x4000, block.data(), block.size());
    writer.AppendTrailer(text);
    EXPECT_EQ(text, std::string(block.begin(), block.end())) << name;
  }
}

// The read-out and the data file agree on which names hold S2 records.
TEST(SerburnReadOutWriters, S2NamesAreTheNamesTheDataFileReadsAsS2) {
  for (const char* name : {"a.mhx", "a.MHX", "a.bin", ".mhx", "mhx"}) {
    EXPECT_EQ(ReadOutWriterFor(name).Extension() == kS2FileExtension, IsS2FileName(name)) << name;
  }
}

}  // namespace
}  // namespace serburn
