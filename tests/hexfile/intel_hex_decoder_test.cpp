#include "flash/hexfile/intel_hex_decoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/hexfile/hex_test_support.h"

namespace {

using hex_test::MakeIntelRecord;

struct DecodeCase {
  const char* name;
  std::string line;
  int expectedStatus;
  uint32_t expectedAddress;
  uint8_t expectedType;
  std::vector<uint8_t> expectedData;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> Sequence(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

std::vector<DecodeCase> DecodeCases() {
  return {
      {"DataExample", ":048000000102030472", 0, 0x8000, 0x00, {1, 2, 3, 4}},
      {"LinearExample", ":0200000400FFFB", 0, 0xFF0000, 0x04, {0x00, 0xFF}},
      {"SegmentExample", ":02000002F0000C", 0, 0xF0000, 0x02, {0xF0, 0x00}},
      {"EndOfFileExample", ":00000001FF", 0, 0, 0x01, {}},
      {"LinearTop", MakeIntelRecord(4, 0x1234, {0xFF, 0xFF}), 0, 0xFFFF0000, 0x04, {0xFF, 0xFF}},
      {"StartSegment", MakeIntelRecord(3, 0, {1, 2, 3, 4}), 0, 0, 0x03, {1, 2, 3, 4}},
      {"StartLinear", MakeIntelRecord(5, 0, {1, 2, 3, 4}), 0, 0, 0x05, {1, 2, 3, 4}},
      {"TypeAboveFiveNotTestedHere", MakeIntelRecord(6, 0x10, {7}), 0, 0x10, 0x06, {7}},
      {"LargestRecord", MakeIntelRecord(0, 0xFF00, Sequence(255)), 0, 0xFF00, 0x00, Sequence(255)},
      {"EmptyDataRecord", MakeIntelRecord(0, 0x1234, {}), 0, 0x1234, 0x00, {}},
      {"UnpairedDigitIgnored", ":048000000102030472F", 0, 0x8000, 0x00, {1, 2, 3, 4}},
      {"NoColon", "048000000102030472", 1, 0, 0, {}},
      {"SRecordLine", "S1051234AA55B5", 1, 0, 0, {}},
      {"LowerCase", ":0200000400fffb", 2, 0, 0, {}},
      {"TrailingSpace", ":00000001FF ", 2, 0, 0, {}},
      {"ChecksumWrong", ":048000000102030473", 2, 0, 0, {}},
      {"LengthTooLarge", ":058000000102030471", 2, 0, 0, {}},
      {"LengthTooSmall", ":038000000102030473", 2, 0, 0, {}},
      {"ColonAlone", ":", 2, 0, 0, {}},
      {"EndOfFileWithData", MakeIntelRecord(1, 0, {0}), 3, 0, 0, {}},
      {"SegmentWithOneByte", MakeIntelRecord(2, 0, {0x10}), 3, 0, 0, {}},
      {"LinearWithFourBytes", MakeIntelRecord(4, 0, {0, 1, 2, 3}), 3, 0, 0, {}},
      {"StartSegmentWithTwoBytes", MakeIntelRecord(3, 0, {0, 1}), 3, 0, 0, {}},
      {"StartLinearWithTwoBytes", MakeIntelRecord(5, 0, {0, 1}), 3, 0, 0, {}},
  };
}

class DecodeIntelHexRecordTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeIntelHexRecordTest, DecodesOrRefuses) {
  const DecodeCase& c = GetParam();
  uint8_t data[flash::kIntelDataBufferSize] = {};
  uint32_t address = 0;
  int length = -1;
  uint8_t type = 0xEE;
  const int status = flash::DecodeIntelHexRecord(c.line, data, address, length, type);
  ASSERT_EQ(status, c.expectedStatus) << c.line;
  if (status != 0) return;
  EXPECT_EQ(address, c.expectedAddress);
  EXPECT_EQ(type, c.expectedType);
  ASSERT_EQ(length, static_cast<int>(c.expectedData.size()));
  EXPECT_EQ(std::vector<uint8_t>(data, data + length), c.expectedData);
}

INSTANTIATE_TEST_SUITE_P(Lines, DecodeIntelHexRecordTest, testing::ValuesIn(DecodeCases()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
