#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/temp_dir.h"

namespace {

using platform::ReadWholeFile;
using platform::TextLineReader;
using platform::WriteFileAtomically;
using platform::WriteTextLines;
using testing_support::TempDir;

std::vector<std::string> AllLines(TextLineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.NextLine(line)) lines.emplace_back(line);
  return lines;
}

struct LineCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

const LineCase kLineCases[] = {
    {"CrLf", "S0\r\nS1\r\n", {"S0", "S1"}},
    {"Lf", "a\nb\n", {"a", "b"}},
    {"Mixed", "a\r\nb\nc", {"a", "b", "c"}},
    {"Empty", "", {}},
    {"OnlyLineEnd", "\r\n", {""}},
    {"BlankLinesKept", "a\n\n\nb\n", {"a", "", "", "b"}},
    {"CtrlZEndsFile", "a\r\nb\x1A" "c\r\nd\r\n", {"a", "b"}},
    {"CtrlZAtStart", "\x1A" "a\n", {}},
    {"LoneCrAtTheEndKept", "x\r", {"x\r"}},
    {"LoneCrBeforeCtrlZKept", "a\r\nx\r\x1A", {"a", "x\r"}},
    {"CrLfBeforeCtrlZDropped", "x\r\n\x1A", {"x"}},
    {"LoneCrLineAtTheEnd", "a\r\n\r", {"a", "\r"}},
    {"CrInsideKept", "a\rb\n", {"a\rb"}},
    {"DoubleCrKeepsOne", "x\r\r\n", {"x\r"}},
    {"NulBytesKept", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
};

class TextLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(TextLines, SplitsAsTheProgramsExpect) {
  const LineCase& c = GetParam();
  TextLineReader reader;
  reader.Assign(c.text);
  EXPECT_EQ(AllLines(reader), c.lines);
  EXPECT_EQ(reader.LineNumber(), c.lines.size());
  std::string_view line;
  EXPECT_FALSE(reader.NextLine(line)) << "reading past the end must stay at the end";
}

INSTANTIATE_TEST_SUITE_P(Cases, TextLines, ::testing::ValuesIn(kLineCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(TextFile, OpenReadsFileAndReportsMissingOne) {
  TempDir dir;
  TextLineReader reader;
  ASSERT_TRUE(reader.Open(dir.Write("a.hex", ":00000001FF\r\n")));
  EXPECT_EQ(AllLines(reader), (std::vector<std::string>{":00000001FF"}));
  EXPECT_FALSE(reader.Open(dir.File("missing.hex")));
  std::string_view line;
  EXPECT_FALSE(reader.NextLine(line));
  EXPECT_FALSE(reader.Open(dir.path())) << "a directory is not a text file";
}

TEST(TextFile, WriterEndsEveryLineWithCrLf) {
  TempDir dir;
  ASSERT_TRUE(WriteTextLines(dir.File("out.mot"), {"S0030000FC", "", "S9030000FC"}));
  EXPECT_EQ(dir.Read("out.mot"), "S0030000FC\r\n\r\nS9030000FC\r\n");
  ASSERT_TRUE(WriteTextLines(dir.File("empty.txt"), {}));
  EXPECT_EQ(dir.Read("empty.txt"), "");
}

TEST(TextFile, ReadWholeFileKeepsEveryByte) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 3 * 256; ++i) bytes += static_cast<char>(i & 0xFF);
  std::string read = "stale";
  ASSERT_TRUE(ReadWholeFile(dir.Write("bin", bytes), read));
  EXPECT_EQ(read, bytes);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing"), read));
  EXPECT_TRUE(read.empty());
}

TEST(TextFile, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.Write("settings.ini", std::string(10000, 'x'));
  ASSERT_TRUE(WriteFileAtomically(path, "short"));
  EXPECT_EQ(dir.Read("settings.ini"), "short");
  EXPECT_EQ(dir.EntryCount(), 1u);
  EXPECT_FALSE(WriteFileAtomically(dir.File("missing/dir/file"), "x"));
  EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
