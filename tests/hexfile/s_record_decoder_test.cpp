#include "flash/hexfile/s_record_decoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/hexfile/hex_test_support.h"

namespace {

using hex_test::MakeSRecord;

struct DecodeCase {
  const char* name;
  std::string line;
  int expectedLength;  // 0: refused
  uint32_t expectedAddress;
  int expectedOffset;
  std::vector<uint8_t> expectedData;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> Sequence(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

std::vector<DecodeCase> DecodeCases() {
  const std::string s1 = "S1051234AA55B5";
  return {
      {"S2Example", "S2080F8000010203045E", 4, 0x0F8000, 4, {1, 2, 3, 4}},
      {"S1Example", s1, 2, 0x1234, 3, {0xAA, 0x55}},
      {"S3FullAddress", MakeSRecord('3', 0xFEDCBA98, {9, 8, 7}), 3, 0xFEDCBA98, 5, {9, 8, 7}},
      {"S1OneDataByte", MakeSRecord('1', 0xFFFF, {0x42}), 1, 0xFFFF, 3, {0x42}},
      {"LargestRecord", MakeSRecord('2', 0x10, Sequence(251)), 251, 0x10, 4, Sequence(251)},
      {"UnpairedDigitIgnored", s1 + "7", 2, 0x1234, 3, {0xAA, 0x55}},
      {"DigitsBeyond256BytesIgnored", MakeSRecord('1', 0, Sequence(252)) + "0123", 252, 0, 3,
       Sequence(252)},
      {"LowerCase", "S2080f8000010203045e", 0, 0, 0, {}},
      {"TrailingSpace", s1 + " ", 0, 0, 0, {}},
      {"TrailingCarriageReturn", s1 + "\r", 0, 0, 0, {}},
      {"BadCharacterBeyond256Bytes", MakeSRecord('1', 0, Sequence(252)) + "0G", 0, 0, 0, {}},
      {"ChecksumWrong", "S1051234AA55B6", 0, 0, 0, {}},
      {"CountTooLarge", "S1061234AA55B4", 0, 0, 0, {}},
      {"CountTooSmall", "S1041234AA55B6", 0, 0, 0, {}},
      {"S1WithoutData", MakeSRecord('1', 0x1234, {}), 0, 0, 0, {}},
      {"S2WithoutData", MakeSRecord('2', 0x1234, {}), 0, 0, 0, {}},
      {"S3WithoutData", MakeSRecord('3', 0x1234, {}), 0, 0, 0, {}},
      {"NoDigits", "S1", 0, 0, 0, {}},
      {"OneDigit", "S10", 0, 0, 0, {}},
      {"NotADataType", "S9030000FC", 0, 0, 0, {}},
      {"TooShortToHaveType", "S", 0, 0, 0, {}},
  };
}

class DecodeSRecordTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeSRecordTest, DecodesOrRefuses) {
  const DecodeCase& c = GetParam();
  uint8_t buffer[flash::kSRecordBufferSize] = {};
  uint32_t address = 0;
  int offset = 0;
  const int length = flash::DecodeSRecord(c.line, buffer, address, offset);
  ASSERT_EQ(length, c.expectedLength) << c.line;
  if (length == 0) return;
  EXPECT_EQ(address, c.expectedAddress);
  EXPECT_EQ(offset, c.expectedOffset);
  EXPECT_EQ(std::vector<uint8_t>(buffer + offset, buffer + offset + length), c.expectedData);
}

INSTANTIATE_TEST_SUITE_P(Lines, DecodeSRecordTest, testing::ValuesIn(DecodeCases()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
