#include "serburn/hex_records.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace serburn {
namespace {

using testing::TempDir;
using Result = RecordDecoding::Result;

constexpr uint32_t kStart = 0x100000;
constexpr uint32_t kEnd = 0x1003FF;

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += pair;
  }
  return text;
}

// Records with their count and checksum computed.
std::string Intel(uint8_t type, uint16_t offset, std::vector<uint8_t> data) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                                static_cast<uint8_t>(offset), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  bytes.push_back(static_cast<uint8_t>(-sum));
  return ":" + Hex(bytes) + "\n";
}

std::string SRec(char type, uint64_t address, size_t addressBytes, std::vector<uint8_t> data) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(addressBytes + data.size() + 1)};
  for (size_t i = addressBytes; i-- > 0;) bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  bytes.push_back(static_cast<uint8_t>(~sum));
  return std::string("S") + type + Hex(bytes) + "\n";
}

struct RecordCase {
  const char* name;
  std::string text;
  Result result;
  size_t line;  // OutsideArea: the line named
};

class HexRecords : public ::testing::TestWithParam<RecordCase> {};

// Each accepted file puts 0x11 0x22 at 0x100010 and 0x33 at 0x1003FF, nothing else.
TEST_P(HexRecords, DecodeOnlyWhatIsRecordsThroughout) {
  std::vector<uint8_t> image;
  const RecordDecoding d = DecodeHexRecords(GetParam().text, kStart, kEnd, image);
  EXPECT_EQ(d.result, GetParam().result);
  if (d.result == Result::OutsideArea) {
    EXPECT_EQ(d.line, GetParam().line);
  }
  if (d.result != Result::Decoded) return;
  std::vector<uint8_t> expected(kEnd - kStart + 1, 0xFF);
  expected[0x10] = 0x11;
  expected[0x11] = 0x22;
  expected[0x3FF] = 0x33;
  EXPECT_EQ(image, expected);
}

const std::string kIntel = Intel(4, 0, {0x00, 0x10}) + Intel(0, 0x0010, {0x11, 0x22}) + Intel(0, 0x03FF, {0x33}) +
                           Intel(5, 0, {0, 0x10, 0, 0}) + Intel(1, 0, {});
const std::string kS3 = SRec('0', 0, 2, {'h', 'i'}) + SRec('3', 0x100010, 4, {0x11, 0x22}) +
                        SRec('3', 0x1003FF, 4, {0x33}) + SRec('7', 0x100000, 4, {});

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexRecords,
    ::testing::Values(
        RecordCase{"IntelHexWithLinearAddress", kIntel, Result::Decoded, 0},
        RecordCase{"IntelHexWithSegmentAddress",
                   Intel(2, 0, {0xFF, 0xFF}) + Intel(0, 0x0020, {0x11, 0x22}) + Intel(0, 0x040F, {0x33}) +
                       Intel(1, 0, {}),
                   Result::Decoded, 0},
        RecordCase{"IntelHexCrLfLowerCase", WithCrLf(Lower(kIntel)), Result::Decoded, 0},
        RecordCase{"S3Records", kS3, Result::Decoded, 0},
        RecordCase{"S2Records", SRec('2', 0x100010, 3, {0x11, 0x22}) + SRec('2', 0x1003FF, 3, {0x33}),
                   Result::Decoded, 0},
        RecordCase{"LastLineWithoutLineEnd", kS3.substr(0, kS3.size() - 1), Result::Decoded, 0},
        RecordCase{"BadChecksum", kIntel.substr(0, kIntel.size() - 3) + "00\n", Result::NotRecords, 0},
        RecordCase{"CountDisagrees", ":0300000011FF\n", Result::NotRecords, 0},
        RecordCase{"EmptyLineInside", SRec('1', 0x10, 2, {1}) + "\n" + SRec('1', 0x20, 2, {2}), Result::NotRecords, 0},
        RecordCase{"FormatsMixed", Intel(0, 0x10, {1}) + SRec('1', 0x20, 2, {2}), Result::NotRecords, 0},
        RecordCase{"LineAfterTheEnd", Intel(1, 0, {}) + Intel(0, 0x10, {1}), Result::NotRecords, 0},
        RecordCase{"BinaryThatStartsWithS", "Some text\n", Result::NotRecords, 0},
        RecordCase{"BelowTheArea", kS3 + SRec('3', 0xFFFF0, 4, {1}), Result::OutsideArea, 5},
        RecordCase{"RunsPastTheArea", SRec('3', 0x1003FF, 4, {1, 2}), Result::OutsideArea, 1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(HexRecords, FirstLineThatLooksLikeARecord) {
  EXPECT_TRUE(BeginsLikeRecords(":10000000"));
  EXPECT_TRUE(BeginsLikeRecords("S1130000"));
  EXPECT_FALSE(BeginsLikeRecords("Some text"));
  EXPECT_FALSE(BeginsLikeRecords(std::string("\x7F" "ELF", 4)));
}

#ifdef SREC_CAT
// Files written by srec_cat in each format decode to the bytes they were made from.
TEST(HexRecords, AgreeWithSrecCat) {
  TempDir dir;
  std::vector<uint8_t> data(700);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 11 + 5);
  const std::string bin = dir.Write("in.bin", std::string(data.begin(), data.end()));
  for (const char* format : {"-intel", "-motorola", "-motorola -address-length=3", "-motorola -address-length=4"}) {
    const std::string out = dir.File("out.txt");
    const std::string cmd = std::string(SREC_CAT) + " " + bin + " -binary -offset 0x100040 -o " + out + " " + format;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream in(out, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> image;
    const RecordDecoding d = DecodeHexRecords(text, kStart, 0x1007FF, image);
    ASSERT_EQ(d.result, Result::Decoded) << format << "\n" << text.substr(0, 200);
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 0x40, image.begin() + 0x40 + 700), data) << format;
    EXPECT_EQ(image[0x3F], 0xFF);
  }
}
#endif

}  // namespace
}  // namespace serburn
