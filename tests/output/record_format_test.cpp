#include "flash/output/record_format.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Sequence(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

enum class Kind { kS, kIntelData, kIntelLinear };

struct FormatCase {
  const char* name;
  Kind kind;
  int type;
  uint32_t address;
  std::vector<uint8_t> data;
  std::string expected;  // "" when refused
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

std::vector<FormatCase> FormatCases() {
  const std::vector<uint8_t> tag{'K', 'V', 'T', '2'};
  const std::vector<uint8_t> ab(8, 0xAB);
  return {
      {"SHeader", Kind::kS, 0, 0x123456, tag, "S00700004B565432D1\n"},
      {"SEnd", Kind::kS, 8, 0, {}, "S804000000FB\n"},
      {"SData", Kind::kS, 2, 0xFF0000, Sequence(16),
       "S214FF0000000102030405060708090A0B0C0D0E0F74\n"},
      {"SShortLast", Kind::kS, 2, 0xFF1000, ab, "S20CFF1000ABABABABABABABAB8C\n"},
      {"SHighBitsDropped", Kind::kS, 2, 0x7FFF1000, ab, "S20CFF1000ABABABABABABABAB8C\n"},
      {"SLargestRecord", Kind::kS, 2, 0x0, std::vector<uint8_t>(251, 0x00),
       "S2FF000000" + std::string(502, '0') + "00\n"},
      {"STooLarge", Kind::kS, 2, 0x0, std::vector<uint8_t>(252, 0x00), ""},
      {"SUnknownType", Kind::kS, 1, 0x0, {1}, ""},
      {"IntelData", Kind::kIntelData, 0, 0xFF0000, Sequence(16),
       ":10000000000102030405060708090A0B0C0D0E0F78\n"},
      {"IntelShortLast", Kind::kIntelData, 0, 0xFF1000, ab, ":08100000ABABABABABABABAB90\n"},
      {"IntelDataTooLarge", Kind::kIntelData, 0, 0x0, std::vector<uint8_t>(256, 0x00), ""},
      {"IntelLinearFF", Kind::kIntelLinear, 0, 0xFF0000, {}, ":0200000400FFFB\n"},
      {"IntelLinearFE", Kind::kIntelLinear, 0, 0xFEFFF0, {}, ":0200000400FEFC\n"},
      {"IntelLinearTop", Kind::kIntelLinear, 0, 0xABCD1234, {}, ":02000004ABCD82\n"},
  };
}

class RecordFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(RecordFormatTest, WritesOneLine) {
  const FormatCase& c = GetParam();
  char line[flash::kRecordLineBufferSize];
  std::fill(std::begin(line), std::end(line), '#');
  size_t length = 0;
  switch (c.kind) {
    case Kind::kS: length = flash::FormatSRecord(line, c.data, c.address, c.type); break;
    case Kind::kIntelData: length = flash::FormatIntelDataRecord(line, c.data, c.address); break;
    case Kind::kIntelLinear: length = flash::FormatIntelLinearAddressRecord(line, c.address); break;
  }
  ASSERT_EQ(length, c.expected.size());
  if (length == 0) return;
  EXPECT_EQ(std::string(line, length), c.expected);
  EXPECT_EQ(line[length], '\0');
}

INSTANTIATE_TEST_SUITE_P(Records, RecordFormatTest, testing::ValuesIn(FormatCases()),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(RecordFormatBufferTest, RefusesABufferTooSmall) {
  char small[20];
  const std::vector<uint8_t> data = Sequence(16);
  EXPECT_EQ(flash::FormatSRecord(small, data, 0, 2), 0u);
  EXPECT_EQ(flash::FormatIntelDataRecord(small, data, 0), 0u);
  char exact[17];  // ":0200000400FFFB\n" and its NUL
  EXPECT_EQ(flash::FormatIntelLinearAddressRecord(exact, 0xFF0000), 16u);
  EXPECT_EQ(flash::FormatIntelLinearAddressRecord(std::span<char>(exact, 16), 0xFF0000), 0u);
}

}  // namespace
