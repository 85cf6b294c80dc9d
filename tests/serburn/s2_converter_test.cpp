#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "serburn/s2_converter.h"
#include "serburn/s2_writer.h"
#include "temp_dir.h"

namespace serburn {
namespace {

using testing::TempDir;

constexpr uint32_t kStart = 0x4000;
constexpr uint32_t kEnd = 0x43FF;  // two blocks

// One S2 record with its count and checksum computed.
std::string S2(uint32_t address, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size() + 4), static_cast<uint8_t>(address >> 16),
                                static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  bytes.push_back(static_cast<uint8_t>(~sum));
  std::string line = "S2";
  char hex[3];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line + "\n";
}

struct Decoded {
  bool ok;
  std::string output;
  std::vector<uint8_t> image;
};

Decoded Decode(const std::string& text, uint32_t start = kStart, uint32_t end = kEnd) {
  Decoded d;
  std::ostringstream out;
  Reporter r(out);
  d.ok = DecodeS2Text(text, start, end, d.image, r);
  d.output = out.str();
  return d;
}

TEST(S2Converter, HeaderOnlyGivesABlankImageOfTheWholeArea) {
  const Decoded d = Decode("S0030000FC\n");
  ASSERT_TRUE(d.ok) << d.output;
  EXPECT_EQ(d.image, std::vector<uint8_t>(kEnd - kStart + 1, 0xFF));
}

TEST(S2Converter, RecordsFillTheirBytesGapsStayBlankLaterOverwrites) {
  const Decoded d = Decode("S0030000FC\n" + S2(0x4000, {1, 2, 3}) + S2(0x4010, {4, 5}) + S2(0x4011, {9}) +
                           S2(0x43FF, {7}) + "S804004000BB\nanything after the end\n");
  ASSERT_TRUE(d.ok) << d.output;
  std::vector<uint8_t> expected(kEnd - kStart + 1, 0xFF);
  expected[0] = 1;
  expected[1] = 2;
  expected[2] = 3;
  expected[0x10] = 4;
  expected[0x11] = 9;
  expected[0x3FF] = 7;
  EXPECT_EQ(d.image, expected);
}

TEST(S2Converter, WindowsLineEnds) {
  std::string text = "S0030000FC\r\n" + S2(0x4000, {0xAB});
  text.insert(text.size() - 1, "\r");
  const Decoded d = Decode(text);
  ASSERT_TRUE(d.ok) << d.output;
  EXPECT_EQ(d.image[0], 0xAB);
}

struct ErrorCase {
  std::string text;
  const char* message;
};

class S2Errors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(S2Errors, Message) {
  const Decoded d = Decode(GetParam().text);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.output, std::string("\nFile operations error: ") + GetParam().message + "\n");
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const std::string kHeader = "S0030000FC\n";

INSTANTIATE_TEST_SUITE_P(
    Messages, S2Errors,
    ::testing::Values(
        ErrorCase{"", "error open .mhx"},
        ErrorCase{"S1030000FC\n", "error first line in .mhx"},
        ErrorCase{"s0030000FC\n", "error first line in .mhx"},
        ErrorCase{kHeader + Lower(S2(0x4000, {1})), "error line in .mhx"},
        ErrorCase{kHeader + "\n" + S2(0x4000, {1}), "error line in .mhx"},
        ErrorCase{kHeader + " S2", "error line in .mhx"},
        ErrorCase{kHeader + "S1050000010203F4\n", "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + "S30500000000FA\n", "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + "S5030001FB\n", "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + "S70500000000FA\n", "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + "S9030000FC\n", "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + kHeader, "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + "S\n", "error type in .mhx. Support only 'S2'"},
        ErrorCase{kHeader + "S20500400001B8\n", "error CRC in .mhx"},
        ErrorCase{kHeader + "S2050040000aB9\n", "error CRC in .mhx"},
        // A bad digit whose record still sums up is reported after the whole file.
        ErrorCase{kHeader + "S2050040000GBA\n" + S2(0x4001, {1}), "unknow error in .mhx"},
        // Bytes outside the area and counts below 4 are refused instead of written anywhere.
        ErrorCase{kHeader + S2(0x3FFF, {1}), "error address in .mhx"},
        ErrorCase{kHeader + S2(0x43FF, {1, 2}), "error address in .mhx"},
        ErrorCase{kHeader + S2(0xFFFFFF, {1}), "error address in .mhx"},
        ErrorCase{kHeader + "S203004000BC\n", "error count in .mhx"},
        ErrorCase{kHeader + "S200\n", "error count in .mhx"},
        ErrorCase{kHeader + "S2", "error count in .mhx"},
        ErrorCase{kHeader + "S2" + std::string(510, '0') + "\n", "line longer than 511 characters in .mhx"},
        ErrorCase{"S0" + std::string(510, '0') + "\n", "line longer than 511 characters in .mhx"}));

TEST(S2Converter, LongestLineIsRead) {
  // Count 0xFC: 252 bytes, 2 + 2 * 253 = 508 characters; a 511-character line is accepted.
  std::vector<uint8_t> data(0xFC - 4, 0x5A);
  std::string record = S2(0x4000, data);
  EXPECT_LE(record.size() - 1, kMaxS2Line);
  const Decoded d = Decode(kHeader + record + "S2" + std::string(509, '?') + "\n");
  EXPECT_EQ(d.output, "\nFile operations error: error count in .mhx\n");
}

TEST(S2Converter, ImpossibleImageIsAMemoryError) {
  EXPECT_EQ(Decode(kHeader, 0x8000, 0x7FFF).output, "\nFile operations error: memory error\n");
  EXPECT_EQ(Decode(kHeader, 0x4000, 0xFFFFFFFF).output, "\nFile operations error: memory error\n");
}

TEST(S2Converter, RecordWithoutDataAnywhereIsHarmless) {
  const Decoded d = Decode(kHeader + "S2040000FFFC\n");
  EXPECT_TRUE(d.ok) << d.output;
}

class S2Files : public ::testing::Test {
 protected:
  std::string Convert(const std::string& mhx, std::vector<uint8_t>& image, bool& ok) {
    std::ostringstream out;
    Reporter r(out);
    ok = ConvertS2File(mhx, kStart, kEnd, image, r);
    return out.str();
  }
  TempDir dir;
};

TEST_F(S2Files, ConvertsInMemoryAndWritesNoFile) {
  const std::string mhx = dir.Write("in.mhx", kHeader + S2(0x4200, {0x11, 0x22}));
  std::vector<uint8_t> bytes;
  bool ok = false;
  Convert(mhx, bytes, ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(bytes[0x200], 0x11);
  EXPECT_EQ(bytes[0x201], 0x22);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(dir.Count(), 1u);
}

TEST_F(S2Files, FailureLeavesNoFile) {
  const std::string mhx = dir.Write("in.mhx", kHeader + S2(0x4200, {1}) + "S2BAD\n");
  std::vector<uint8_t> image;
  bool ok = true;
  EXPECT_EQ(Convert(mhx, image, ok), "\nFile operations error: error CRC in .mhx\n");
  EXPECT_FALSE(ok);
  EXPECT_EQ(dir.Count(), 1u);
}

TEST_F(S2Files, MissingFile) {
  std::vector<uint8_t> image;
  bool ok = true;
  EXPECT_EQ(Convert(dir.File("none.mhx"), image, ok), "\nFile operations error: error open .mhx\n");
  EXPECT_EQ(dir.Count(), 0u);
}

// A read-out written as S2 records reads back to the same bytes.
TEST(S2Writer, RecordsReadBackThroughTheConverter) {
  std::vector<uint8_t> data(kEnd - kStart + 1);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 5);
  std::string text = S2HeaderRecord();
  AppendS2Records(text, kStart, data.data(), 512);
  AppendS2Records(text, kStart + 512, data.data() + 512, 512);
  text += S2EndRecord();
  const Decoded d = Decode(text);
  ASSERT_TRUE(d.ok) << d.output;
  EXPECT_EQ(d.image, data);
}

TEST(S2Writer, RecordLayout) {
  const uint8_t data[17] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                            0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xAB};
  std::string text;
  AppendS2Records(text, 0x12FFF8, data, sizeof data);
  // Sixteen bytes a record; count, address and data, then the one's complement of their sum.
  const std::vector<uint8_t> first(data, data + 16);
  EXPECT_EQ(text, S2(0x12FFF8, first) + S2(0x130008, {0xAB}));
  EXPECT_EQ(S2HeaderRecord(), "S0030000FC\n");
  EXPECT_EQ(S2EndRecord(), "S804000000FB\n");
}

#ifdef SREC_CAT
TEST_F(S2Files, AgreesWithSrecCat) {
  std::vector<uint8_t> data(700);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  const std::string bin = dir.Write("in.bin", std::string(data.begin(), data.end()));
  const std::string mhx = dir.File("in.mhx");
  const std::string cmd = std::string(SREC_CAT) + " " + bin + " -binary -offset 0x4100 -o " + mhx +
                          " -motorola -address-length=3 -disable=data-count -enable=exec-start-address"
                          " -execution-start-address=0x4000";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::vector<uint8_t> bytes;
  bool ok = false;
  const std::string output = Convert(mhx, bytes, ok);
  ASSERT_TRUE(ok) << output;
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 0x100), std::vector<uint8_t>(0x100, 0xFF));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 0x100, bytes.begin() + 0x100 + 700), data);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 0x100 + 700, bytes.end()), std::vector<uint8_t>(1024 - 0x100 - 700, 0xFF));
}

// srec_cat reads the records the writer makes to the bytes they were made from.
TEST_F(S2Files, SrecCatReadsTheWrittenRecords) {
  std::vector<uint8_t> data(1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 1);
  std::string text = S2HeaderRecord();
  AppendS2Records(text, 0x104000, data.data(), data.size());
  text += S2EndRecord();
  const std::string mhx = dir.Write("out.mhx", text);
  const std::string bin = dir.File("out.bin");
  const std::string cmd = std::string(SREC_CAT) + " " + mhx + " -motorola -offset -0x104000 -o " + bin + " -binary";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(bin, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, data);
}
#endif

}  // namespace
}  // namespace serburn
