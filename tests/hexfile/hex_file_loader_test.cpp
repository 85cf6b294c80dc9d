#include "flash/hexfile/hex_file_loader.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/hexfile/hex_test_support.h"
#include "tests/platform/temp_dir.h"

namespace {

using flash::FlashArea;
using flash::HexLoadFailure;
using hex_test::JoinLines;
using hex_test::MakeIntelRecord;
using hex_test::MakeSRecord;

const std::vector<FlashArea> kHighArea{{0xFF0000, 0xFFFFFF}};
const std::vector<FlashArea> kTwoAreas{{0x080800, 0x09FFFF}, {0x0A0000, 0x0BFFFF}};
const std::vector<FlashArea> kGapAreas{{0x1000, 0x1FFF}, {0x3000, 0x3FFF}};
const std::vector<FlashArea> kTopArea{{0xFFFF0000, 0xFFFFFFFF}};
const std::vector<FlashArea> kLowArea{{0x0, 0x8FFFF}};

struct Write {
  uint32_t address;
  std::vector<uint8_t> bytes;
};

struct LoadCase {
  const char* name;
  std::string text;
  std::vector<FlashArea> areas;
  bool expectOk;
  std::string expectedCaption;  // empty when the load succeeds
  std::string expectedText;
  std::vector<Write> expectedWrites;  // the image is the fill byte plus these
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + 3 * i);
  return bytes;
}

const char* kS = "S format decoder";
const char* kI = "IntelHex format decoder";
const char* kH = "HexFile decoder";

std::vector<LoadCase> LoadCases() {
  const std::string s1 = MakeSRecord('2', 0xFF0010, {1, 2, 3});
  const std::string s2 = MakeSRecord('2', 0xFF0020, {4, 5});
  const std::string i4 = MakeIntelRecord(4, 0, {0x00, 0xFF});
  return {
      // Format detection.
      {"EmptyFile", "", kHighArea, false, kH, "This file is NULL", {}},
      {"OnlyCtrlZ", "\x1A" + s1 + "\n", kHighArea, false, kH, "This file is NULL", {}},
      {"BlankFirstLine", "\n" + s1 + "\n", kHighArea, false, kH, "auto-format detector error", {}},
      {"LowerCaseS",
       "s" + s1.substr(1) + "\n",
       kHighArea,
       false,
       kH,
       "auto-format detector error",
       {}},
      {"ByteOrderMark",
       "\xEF\xBB\xBF" + s1 + "\n",
       kHighArea,
       false,
       kH,
       "auto-format detector error",
       {}},
      // S format.
      {"SRecords",
       JoinLines({"S00600004844521B", s1, s2, "S804000000FB"}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2, 3}}, {0xFF0020, {4, 5}}}},
      {"SRecordsWithLfOnlyAndNoEndRecord",
       JoinLines({s1, s2}, "\n"),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2, 3}}, {0xFF0020, {4, 5}}}},
      {"SCtrlZEndsFile",
       s1 + "\r\n\x1Agarbage\r\n",
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2, 3}}}},
      {"SSkippedRecordsNotExamined",
       JoinLines({s1, "S9030000FC", "S9XYZ", "S0", "S5zz", "S7", "S8 "}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2, 3}}}},
      {"SAllAddressSizes",
       JoinLines({MakeSRecord('1', 0x1234, {7}), MakeSRecord('2', 0x1300, {8}),
                  MakeSRecord('3', 0x1FFF, {9})}),
       kGapAreas,
       true,
       "",
       "",
       {{0x1234, {7}}, {0x1300, {8}}, {0x1FFF, {9}}}},
      {"SLaterRecordWins",
       JoinLines({s1, MakeSRecord('2', 0xFF0011, {0xEE})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 0xEE, 3}}}},
      // A CR is a line end only with its LF: left at the end of the last record (before the
      // end of the file or a Ctrl-Z) it is a stray character of that record.
      {"SLastRecordEndsInLoneCr",
       JoinLines({s1}) + s2 + "\r",
       kHighArea,
       false,
       kS,
       "decode error in 2",
       {{0xFF0010, {1, 2, 3}}}},
      {"SLastRecordEndsInLoneCrAndCtrlZ",
       JoinLines({s1}) + s2 + "\r\x1A",
       kHighArea,
       false,
       kS,
       "decode error in 2",
       {{0xFF0010, {1, 2, 3}}}},
      {"SOnlyRecordEndsInLoneCr", s1 + "\r", kHighArea, false, kS, "decode error in 1", {}},
      {"SCrLfFileEndsInCtrlZ",
       JoinLines({s1, s2}) + "\x1A",
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2, 3}}, {0xFF0020, {4, 5}}}},
      {"SGapBetweenAreasStored",
       JoinLines({MakeSRecord('1', 0x2800, {0x5A})}),
       kGapAreas,
       true,
       "",
       "",
       {{0x2800, {0x5A}}}},
      {"SLastByteOnAreaEnd",
       JoinLines({MakeSRecord('2', 0xFFFFFE, {1, 2})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFFFFFE, {1, 2}}}},
      {"SOneBytePastAreaEnd",
       JoinLines({s1, MakeSRecord('2', 0xFFFFFF, {1, 2})}),
       kHighArea,
       false,
       kS,
       "address error in 2",
       {{0xFF0010, {1, 2, 3}}}},
      {"SBelowFirstArea",
       JoinLines({MakeSRecord('2', 0xFEFFFF, {1, 2})}),
       kHighArea,
       false,
       kS,
       "address error in 1",
       {}},
      {"SAboveLastAreaOfTwo",
       JoinLines({MakeSRecord('2', 0x0C0000, {1})}),
       kTwoAreas,
       false,
       kS,
       "address error in 1",
       {}},
      {"SBlankLinesCounted",
       s1 + "\n\n\r\n\n" + s1 + " \n",
       kHighArea,
       false,
       kS,
       "decode error in 5",
       {{0xFF0010, {1, 2, 3}}}},
      {"SLowerCaseDigits",
       JoinLines({"S00600004844521B", "S2080f8000010203045e"}),
       kHighArea,
       false,
       kS,
       "decode error in 2",
       {}},
      {"SExtraDigitAccepted",
       JoinLines({s1 + "0"}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2, 3}}}},
      {"SCountWithoutData",
       JoinLines({"S1031234B6"}),
       kHighArea,
       false,
       kS,
       "decode error in 1",
       {}},
      {"SLoneCarriageReturnLeft", s1 + "\r\r\n", kHighArea, false, kS, "decode error in 1", {}},
      {"SFourIsFormatError",
       JoinLines({s1, "S4030000FC"}),
       kHighArea,
       false,
       kS,
       "S-format error in 2",
       {{0xFF0010, {1, 2, 3}}}},
      {"SSixIsFormatError",
       JoinLines({"S6030000FC"}),
       kHighArea,
       false,
       kS,
       "S-format error in 1",
       {}},
      {"SAloneIsFormatError",
       JoinLines({s1, "", "S"}),
       kHighArea,
       false,
       kS,
       "S-format error in 3",
       {{0xFF0010, {1, 2, 3}}}},
      {"SForeignLineIsFileError",
       JoinLines({s1, ":00000001FF"}),
       kHighArea,
       false,
       kS,
       "file error in 2",
       {{0xFF0010, {1, 2, 3}}}},
      // Records near the top of the 32-bit space must not wrap around the range test.
      {"SWrapAboveTopArea",
       JoinLines({MakeSRecord('3', 0xFFFFFFF8, Bytes(16, 1))}),
       kTopArea,
       false,
       kS,
       "address error in 1",
       {}},
      {"SWrapIntoLowArea",
       JoinLines({MakeSRecord('3', 0xFFFFFFF8, Bytes(16, 1))}),
       kLowArea,
       false,
       kS,
       "address error in 1",
       {}},
      {"STopByteOfTopArea",
       JoinLines({MakeSRecord('3', 0xFFFFFFF0, Bytes(16, 1))}),
       kTopArea,
       true,
       "",
       "",
       {{0xFFFFFFF0, Bytes(16, 1)}}},
      // Intel-Hex.
      {"IntelExample",
       JoinLines({i4, ":10000000000102030405060708090A0B0C0D0E0F78", ":00000001FF"}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0000, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}}},
      {"IntelNoEndRecord",
       JoinLines({i4, MakeIntelRecord(0, 0x10, {1, 2})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2}}}},
      {"IntelNothingReadAfterEnd",
       JoinLines({i4, MakeIntelRecord(0, 0x10, {1}), ":00000001FF", "garbage",
                  MakeIntelRecord(0, 0x20, {2})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1}}}},
      {"IntelEndRecordEndsInLoneCr",
       JoinLines({i4, MakeIntelRecord(0, 0x10, {1, 2})}) + ":00000001FF\r",
       kHighArea,
       false,
       kI,
       "decode error in 3",
       {{0xFF0010, {1, 2}}}},
      {"IntelLastRecordEndsInLoneCrAndCtrlZ",
       JoinLines({i4}) + MakeIntelRecord(0, 0x10, {1, 2}) + "\r\x1A",
       kHighArea,
       false,
       kI,
       "decode error in 2",
       {}},
      {"IntelCrLfFileEndsInCtrlZ",
       JoinLines({i4, MakeIntelRecord(0, 0x10, {1, 2}), ":00000001FF"}) + "\x1A",
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1, 2}}}},
      {"IntelLowerCase",
       JoinLines({":0200000400fffb"}),
       kHighArea,
       false,
       kI,
       "decode error in 1",
       {}},
      {"IntelForeignLine",
       JoinLines({i4, "", "S1051234AA55B5"}),
       kHighArea,
       false,
       kI,
       "file error in 3",
       {}},
      {"IntelStartSegmentSkipped",
       JoinLines({i4, MakeIntelRecord(3, 0, {1, 2, 3, 4}), MakeIntelRecord(5, 0, {1, 2, 3, 4}),
                  MakeIntelRecord(0, 0, {9})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0000, {9}}}},
      {"IntelStartSegmentWrongLength",
       JoinLines({i4, MakeIntelRecord(3, 0, {1, 2})}),
       kHighArea,
       false,
       kI,
       "record error in 2",
       {}},
      {"IntelTypeSix",
       JoinLines({i4, MakeIntelRecord(6, 0, {1})}),
       kHighArea,
       false,
       kI,
       "decode error in 2",
       {}},
      {"IntelBaseDoesNotAdvance",
       JoinLines(
           {i4, MakeIntelRecord(0, 0xFFF0, Bytes(16, 0x40)), MakeIntelRecord(0, 0x0000, {0x77})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFFFFF0, Bytes(16, 0x40)}, {0xFF0000, {0x77}}}},
      {"IntelRecordBelowArea",
       JoinLines({MakeIntelRecord(4, 0, {0x00, 0xFE}), MakeIntelRecord(0, 0xFFF0, Bytes(32, 2))}),
       kHighArea,
       false,
       kI,
       "address error in 2",
       {}},
      {"IntelRecordRunsIntoNextPage",
       JoinLines({MakeIntelRecord(4, 0, {0x00, 0x09}), MakeIntelRecord(0, 0xFFF0, Bytes(32, 2))}),
       kTwoAreas,
       true,
       "",
       "",
       {{0x09FFF0, Bytes(32, 2)}}},
      {"IntelSegmentThenLinear",
       JoinLines({MakeIntelRecord(2, 0, {0xF0, 0x00}), i4, MakeIntelRecord(0, 0x0100, {5})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0100, {5}}}},
      {"IntelSegmentBase",
       JoinLines({MakeIntelRecord(2, 0, {0x01, 0x00}), MakeIntelRecord(0, 0x0234, {6})}),
       kGapAreas,
       true,
       "",
       "",
       {{0x1234, {6}}}},
      {"IntelEmptyRecordOnePastEnd",
       JoinLines({i4, MakeIntelRecord(0, 0x10, {1}), MakeIntelRecord(4, 0, {0x01, 0x00}),
                  MakeIntelRecord(0, 0x0000, {})}),
       kHighArea,
       true,
       "",
       "",
       {{0xFF0010, {1}}}},
      {"IntelEmptyRecordTwoPastEnd",
       JoinLines({MakeIntelRecord(4, 0, {0x01, 0x00}), MakeIntelRecord(0, 0x0001, {})}),
       kHighArea,
       false,
       kI,
       "address error in 2",
       {}},
      {"IntelEmptyRecordBelow",
       JoinLines({MakeIntelRecord(4, 0, {0x00, 0xFE}), MakeIntelRecord(0, 0xFFFF, {})}),
       kHighArea,
       false,
       kI,
       "address error in 2",
       {}},
      {"IntelWrapAboveTopArea",
       JoinLines({MakeIntelRecord(4, 0, {0xFF, 0xFF}), MakeIntelRecord(0, 0xFFF8, Bytes(16, 1))}),
       kTopArea,
       false,
       kI,
       "address error in 2",
       {}},
      {"IntelTopBytesOfTopArea",
       JoinLines({MakeIntelRecord(4, 0, {0xFF, 0xFF}), MakeIntelRecord(0, 0xFFF0, Bytes(16, 1))}),
       kTopArea,
       true,
       "",
       "",
       {{0xFFFFFFF0, Bytes(16, 1)}}},
      // Areas that the image cannot hold are refused before the file is read.
      {"AreasTooLarge", JoinLines({s1}), {{0x0, 0x90000}}, false, kH, "", {}},
      {"LastBlockPastImage",
       JoinLines({s1}),
       {{0x0, 0x100}, {0x8FF10, 0x8FF20}},
       false,
       kH,
       "",
       {}},
      {"AreaEndBeforeStart", JoinLines({s1}), {{0x2000, 0x1000}}, false, kH, "", {}},
      {"NoArea", JoinLines({s1}), {}, false, kH, "", {}},
  };
}

class LoadHexFileTest : public testing::TestWithParam<LoadCase> {
 protected:
  testing_support::TempDir dir_;
  flash::FlashImage image_;
};

TEST_P(LoadHexFileTest, LoadsOrReportsTheFailingLine) {
  const LoadCase& c = GetParam();
  const std::string path = dir_.Write("input.hex", c.text);
  for (const int fillValue : {0xFF, 0x00}) {
    const auto fill = static_cast<uint8_t>(fillValue);
    hex_test::RecordingView view;
    const bool ok = flash::LoadHexFile(path, c.areas, image_, false, fill, &view);
    EXPECT_EQ(ok, c.expectOk);
    if (c.expectOk) {
      EXPECT_TRUE(view.errors.empty());
    } else {
      ASSERT_EQ(view.errors.size(), 1u);
      EXPECT_EQ(view.errors[0].caption, c.expectedCaption);
      if (c.expectedText.empty()) {
        EXPECT_EQ(view.errors[0].failure, HexLoadFailure::kAreasDoNotFit);
        EXPECT_FALSE(view.errors[0].text.empty());
      } else {
        EXPECT_EQ(view.errors[0].text, c.expectedText);
      }
    }
    std::vector<uint8_t> expected(flash::kFlashImageSize, fill);
    const uint32_t base = c.areas.empty() ? 0 : c.areas.front().start;
    for (const Write& w : c.expectedWrites) {
      for (size_t i = 0; i < w.bytes.size(); ++i) expected[w.address - base + i] = w.bytes[i];
    }
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image_.Bytes().begin()))
        << "image differs, fill " << int{fill};
  }
}

INSTANTIATE_TEST_SUITE_P(Files, LoadHexFileTest, testing::ValuesIn(LoadCases()),
                         [](const auto& param) { return std::string(param.param.name); });

class LoadHexFileFixture : public testing::Test {
 protected:
  testing_support::TempDir dir_;
  flash::FlashImage image_;
};

TEST_F(LoadHexFileFixture, ShowsTheDecodingStatusFirst) {
  const std::string path = dir_.Write("a.mhx", ":00000001FF\n");
  for (const bool fullOperation : {false, true}) {
    hex_test::RecordingView view;
    EXPECT_TRUE(flash::LoadHexFile(path, kHighArea, image_, fullOperation, 0xFF, &view));
    ASSERT_EQ(view.statuses.size(), 1u);
    EXPECT_EQ(view.statuses[0].messageNumber, 502);
    EXPECT_EQ(view.statuses[0].fullOperation, fullOperation);
    EXPECT_EQ(view.statuses[0].text,
              fullOperation ? "Full Operation -  Decoding HexFile" : " Decoding HexFile");
  }
}

TEST_F(LoadHexFileFixture, MissingFileReportsOpenErrorAndLeavesTheFill) {
  hex_test::RecordingView view;
  image_.Fill(0x12);
  EXPECT_FALSE(flash::LoadHexFile(dir_.File("missing.hex"), kHighArea, image_, false, 0xFF, &view));
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0].caption, "HexFile decoder");
  EXPECT_EQ(view.errors[0].text, "file open error");
  EXPECT_EQ(view.errors[0].failure, HexLoadFailure::kFileOpen);
  for (uint8_t b : image_.Bytes()) ASSERT_EQ(b, 0xFF);

  hex_test::RecordingView directoryView;
  EXPECT_FALSE(flash::LoadHexFile(dir_.path(), kHighArea, image_, false, 0xFF, &directoryView));
  ASSERT_EQ(directoryView.errors.size(), 1u);
  EXPECT_EQ(directoryView.errors[0].text, "file open error");
}

TEST_F(LoadHexFileFixture, ErrorsCarryCodeAndLineNumber) {
  const std::string path =
      dir_.Write("e.hex", JoinLines({":0200000400FFFB", "", MakeIntelRecord(3, 0, {1, 2})}));
  hex_test::RecordingView view;
  EXPECT_FALSE(flash::LoadHexFile(path, kHighArea, image_, false, 0xFF, &view));
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0].code, 3);
  EXPECT_EQ(view.errors[0].lineNumber, 3u);
  EXPECT_EQ(view.errors[0].failure, HexLoadFailure::kRecordError);
}

TEST_F(LoadHexFileFixture, ExtensionPlaysNoPart) {
  const std::string sText = JoinLines({MakeSRecord('2', 0xFF0000, {0x11})});
  const std::string iText = JoinLines({":0200000400FFFB", MakeIntelRecord(0, 0, {0x22})});
  EXPECT_TRUE(
      flash::LoadHexFile(dir_.Write("s.hex", sText), kHighArea, image_, false, 0xFF, nullptr));
  EXPECT_EQ(image_.Data()[0], 0x11);
  EXPECT_TRUE(
      flash::LoadHexFile(dir_.Write("i.mhx", iText), kHighArea, image_, false, 0xFF, nullptr));
  EXPECT_EQ(image_.Data()[0], 0x22);
}

TEST_F(LoadHexFileFixture, SecondSmallerFileLeavesNoTrace) {
  std::vector<std::string> lines;
  for (uint32_t a = 0xFF0000; a < 0xFF1000; a += 16)
    lines.push_back(MakeSRecord('2', a, Bytes(16, 9)));
  ASSERT_TRUE(flash::LoadHexFile(dir_.Write("big.mhx", JoinLines(lines)), kHighArea, image_, false,
                                 0xFF, nullptr));
  ASSERT_TRUE(
      flash::LoadHexFile(dir_.Write("small.mhx", JoinLines({MakeSRecord('2', 0xFF0800, {1})})),
                         kHighArea, image_, false, 0xFF, nullptr));
  for (uint32_t i = 0; i < flash::kFlashImageSize; ++i) {
    ASSERT_EQ(image_.Data()[i], i == 0x800 ? 1 : 0xFF) << i;
  }
}

TEST_F(LoadHexFileFixture, SilentWithoutView) {
  EXPECT_FALSE(
      flash::LoadHexFile(dir_.Write("bad.hex", "x\n"), kHighArea, image_, false, 0xFF, nullptr));
  EXPECT_FALSE(flash::LoadHexFile(dir_.Write("bad2.hex", "S1zz\n"), kHighArea, image_, false, 0xFF,
                                  nullptr));
}

}  // namespace
