#include "flash/output/read_out_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/output/read_out_test_support.h"
#include "tests/platform/temp_dir.h"

namespace {

using flash::ReadOutFormat;
using flash::ReadOutStatus;
using read_out_test::Area;
using read_out_test::SplitCrLfLines;
using read_out_test::WriteAreas;

class ReadOutWriterTest : public testing::Test {
 protected:
  // Runs a whole read-out and returns the file's lines (CR LF checked).
  std::vector<std::string> ReadOut(ReadOutFormat format, const std::vector<Area>& areas) {
    flash::ReadOutWriter writer(format);
    EXPECT_EQ(writer.Create(dir_.File("out.hex")), ReadOutStatus::kOk);
    EXPECT_EQ(WriteAreas(writer, areas), ReadOutStatus::kOk);
    EXPECT_EQ(writer.Finish(), ReadOutStatus::kOk);
    EXPECT_EQ(dir_.EntryCount(), 1u) << "temporary file left behind";
    bool allCrLf = false;
    std::vector<std::string> lines = SplitCrLfLines(dir_.Read("out.hex"), &allCrLf);
    EXPECT_TRUE(allCrLf);
    for (const std::string& line : lines) {
      EXPECT_EQ(line.find_first_not_of("S:0123456789ABCDEF"), std::string::npos) << line;
    }
    return lines;
  }

  static std::vector<std::string> Matching(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& l : lines) {
      if (l.rfind(prefix, 0) == 0) found.push_back(l);
    }
    return found;
  }

  testing_support::TempDir dir_;
};

TEST_F(ReadOutWriterTest, SFormatOfOneHighArea) {
  const auto lines = ReadOut(ReadOutFormat::kSFormat, {{0xFF0000, 0xFFFFFF}});
  ASSERT_EQ(lines.size(), 4096u + 2);
  EXPECT_EQ(lines.front(), "S00700004B565432D1");
  EXPECT_EQ(lines.back(), "S804000000FB");
  EXPECT_EQ(lines[1].substr(0, 10), "S214FF0000");
  EXPECT_EQ(lines[4096].substr(0, 10), "S214FFFFF0");
  EXPECT_EQ(Matching(lines, "S0").size(), 1u);
  EXPECT_EQ(Matching(lines, "S8").size(), 1u);
}

TEST_F(ReadOutWriterTest, IntelOfTwoPagesStartsEachPageWithItsBase) {
  const auto lines = ReadOut(ReadOutFormat::kIntelHex, {{0xFE0000, 0xFFFFFF}});
  ASSERT_EQ(lines.size(), 8192u + 3);
  EXPECT_EQ(lines.front(), ":0200000400FEFC");
  EXPECT_EQ(lines[4097], ":0200000400FFFB");
  EXPECT_EQ(lines[4098].substr(0, 9), ":10000000");
  EXPECT_EQ(lines.back(), ":00000001FF");
  EXPECT_TRUE(Matching(lines, "S").empty());
}

TEST_F(ReadOutWriterTest, ShortLastRecordOfAnArea) {
  const std::vector<Area> area{{0xFF0000, 0xFF1007}};
  const auto s = ReadOut(ReadOutFormat::kSFormat, area);
  EXPECT_EQ(s[s.size() - 2].substr(0, 10), "S20CFF1000");
  const auto i = ReadOut(ReadOutFormat::kIntelHex, area);
  EXPECT_EQ(i[i.size() - 2].substr(0, 9), ":08100000");
}

TEST_F(ReadOutWriterTest, EveryAreaGetsItsOwnBaseRecord) {
  // Two areas in one 64 KiB page, the second starting on a page boundary: one type-04 each.
  const auto lines = ReadOut(ReadOutFormat::kIntelHex,
                             {{0x010000, 0x0101FF}, {0x010400, 0x0105FF}, {0x020000, 0x0201FF}});
  EXPECT_EQ(Matching(lines, ":02000004"),
            (std::vector<std::string>{":020000040001F9", ":020000040001F9", ":020000040002F8"}));
  EXPECT_EQ(lines[1].substr(0, 9), ":10000000");
  EXPECT_EQ(lines[34].substr(0, 9), ":10040000");
}

TEST_F(ReadOutWriterTest, UnalignedAreaNeverWrapsAnIntelOffset) {
  // Records are cut 16 bytes apart from 0xFFF8, so one would run from 0xFFF8 to 0x10007.
  const auto lines = ReadOut(ReadOutFormat::kIntelHex, {{0x00FFE8, 0x010027}});
  const std::vector<std::string> expectedStarts{":020000040000FA", ":10FFE800",  ":08FFF800",
                                                ":020000040001F9", ":08000000",  ":10000800",
                                                ":10001800",       ":00000001FF"};
  ASSERT_EQ(lines.size(), expectedStarts.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, expectedStarts[i].size()), expectedStarts[i]) << i;
  }
  // S-format records keep the 16-byte grid.
  const auto s = ReadOut(ReadOutFormat::kSFormat, {{0x00FFE8, 0x010027}});
  EXPECT_EQ(s[2].substr(0, 10), "S21400FFF8");
}

TEST_F(ReadOutWriterTest, BytesBeyondTheAreaAreLeftOut) {
  const auto lines = ReadOut(ReadOutFormat::kSFormat, {{0x1000, 0x1000}});
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 10), "S205001000");
}

TEST_F(ReadOutWriterTest, CancelLeavesNoFileAndKeepsAnExistingOne) {
  for (const ReadOutFormat format : {ReadOutFormat::kSFormat, ReadOutFormat::kIntelHex}) {
    {
      flash::ReadOutWriter writer(format);
      ASSERT_EQ(writer.Create(dir_.File("new.hex")), ReadOutStatus::kOk);
      EXPECT_EQ(WriteAreas(writer, {{0x0, 0xFFFF}}, 5), ReadOutStatus::kOk);
      EXPECT_TRUE(writer.IsOpen());
      writer.Abandon();
      EXPECT_FALSE(writer.IsOpen());
    }
    EXPECT_EQ(dir_.EntryCount(), 0u);

    dir_.Write("old.hex", "previous contents\r\n");
    {
      flash::ReadOutWriter writer(format);
      ASSERT_EQ(writer.Create(dir_.File("old.hex")), ReadOutStatus::kOk);
      EXPECT_EQ(WriteAreas(writer, {{0x0, 0xFFFF}}, 5), ReadOutStatus::kOk);
      // Destroyed without Finish: the read-out failed.
    }
    EXPECT_EQ(dir_.Read("old.hex"), "previous contents\r\n");
    EXPECT_EQ(dir_.EntryCount(), 1u);
    std::filesystem::remove(dir_.File("old.hex"));
  }
}

TEST_F(ReadOutWriterTest, FinishReplacesAnExistingFile) {
  dir_.Write("out.hex", "previous contents\r\n");
  const auto lines = ReadOut(ReadOutFormat::kIntelHex, {{0x0, 0x1FF}});
  EXPECT_EQ(lines.front(), ":020000040000FA");
}

TEST_F(ReadOutWriterTest, CreateFailsWhereNoFileCanBe) {
  flash::ReadOutWriter writer(ReadOutFormat::kSFormat);
  EXPECT_EQ(writer.Create(dir_.File("missing/out.mhx")), ReadOutStatus::kOpenFailed);
  EXPECT_EQ(writer.Create(dir_.path()), ReadOutStatus::kOpenFailed);
  EXPECT_EQ(writer.Create(dir_.path() + "/"), ReadOutStatus::kOpenFailed);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(writer.WriteHeader(), ReadOutStatus::kWriteFailed);
  EXPECT_EQ(writer.Finish(), ReadOutStatus::kWriteFailed);
  EXPECT_EQ(dir_.EntryCount(), 0u);
}

// Writes a read-out under a file-size limit that makes the writes fail; returns 0 when the
// writer reported kWriteFailed and left nothing behind.
int WriteUnderSizeLimit(const testing_support::TempDir& dir) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  flash::ReadOutWriter writer(ReadOutFormat::kSFormat);
  if (writer.Create(dir.File("big.hex")) != ReadOutStatus::kOk) return 2;
  if (WriteAreas(writer, std::vector<Area>(1, Area{0x0, 0xFFFF})) != ReadOutStatus::kWriteFailed)
    return 3;
  if (writer.IsOpen() || dir.EntryCount() != 0) return 4;
  return 0;
}

// A write that fails stops the read-out with kWriteFailed and removes the temporary file.
TEST_F(ReadOutWriterTest, WriteFailureDeletesThePartialFile) {
  EXPECT_EXIT(std::_Exit(WriteUnderSizeLimit(dir_)), testing::ExitedWithCode(0), "");
  EXPECT_EQ(dir_.EntryCount(), 0u);
}

TEST_F(ReadOutWriterTest, StatusTexts) {
  EXPECT_STREQ(flash::ReadOutStatusText(ReadOutStatus::kOpenFailed), "ERROR : OPEN FILE ERROR");
  EXPECT_STREQ(flash::ReadOutStatusText(ReadOutStatus::kDiskFull), "ERROR : DISK FULL ERROR");
  EXPECT_STREQ(flash::ReadOutStatusText(ReadOutStatus::kWriteFailed), "ERROR : WRITE FILE ERROR");
  EXPECT_STREQ(flash::kReadOutCaption, "Flash Memory Writer");
}

}  // namespace
