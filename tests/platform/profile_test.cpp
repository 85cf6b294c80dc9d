#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/temp_dir.h"

namespace {

using platform::FindProfileValueInText;
using platform::GetProfileInt;
using platform::GetProfileSectionNames;
using platform::GetProfileString;
using platform::ParseProfileInt;
using platform::SetProfileStringInText;
using platform::WriteProfileString;
using testing_support::TempDir;

std::string ToLf(std::string s) {
  std::string out;
  for (char c : s) {
    if (c != '\r') out += c;
  }
  return out;
}

// A settings file as a Windows editor and the original platform leave it.
const std::string kWindowsIni =
    "; settings written by hand\r\n"
    "stray=before any section\r\n"
    "[Main]\r\n"
    "  Port = 3 \r\n"
    "Name=\"  quoted value  \"\r\n"
    "Single='x'\r\n"
    "Mismatch=\"abc'\r\n"
    "OnlyQuote=\"\r\n"
    "Empty=\r\n"
    ";Commented=1\r\n"
    "NoEquals line\r\n"
    "Eq=a=b\r\n"
    "Semicolon=a;b\r\n"
    "\r\n"
    "[ Spaced Section ]\r\n"
    "key\t=\t1\r\n"
    "[main]\r\n"
    "Port=99\r\n"
    "Extra=from the repeat\r\n";

struct LookupCase {
  const char* section;
  const char* key;
  const char* expected;  // nullptr: the default comes back
};

const LookupCase kLookups[] = {
    {"Main", "Port", "3"},
    {"MAIN", "port", "3"},  // names without case; first occurrence wins over the repeat
    {"Main", "Name", "  quoted value  "},
    {"Main", "Single", "x"},
    {"Main", "Mismatch", "\"abc'"},
    {"Main", "OnlyQuote", "\""},
    {"Main", "Empty", ""},
    {"Main", "Commented", nullptr},
    {"Main", "NoEquals line", nullptr},
    {"Main", "Eq", "a=b"},
    {"Main", "Semicolon", "a;b"},
    {"Main", "stray", nullptr},
    {"Spaced Section", "KEY", "1"},
    {"main", "Extra", "from the repeat"},  // repeated sections act as one
    {"Missing", "Port", nullptr},
    {"Main", "Missing", nullptr},
};

class ProfileLookup : public ::testing::TestWithParam<bool> {};

TEST_P(ProfileLookup, ReadsWindowsFileInEitherLineEnding) {
  TempDir dir;
  const std::string text = GetParam() ? kWindowsIni : ToLf(kWindowsIni);
  const std::string path = dir.Write("settings.ini", text);
  for (const LookupCase& c : kLookups) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    const std::string expected = c.expected != nullptr ? c.expected : "<default>";
    EXPECT_EQ(GetProfileString(path, c.section, c.key, "<default>"), expected);
    const auto inText = FindProfileValueInText(text, c.section, c.key);
    EXPECT_EQ(inText.has_value(), c.expected != nullptr);
  }
  EXPECT_EQ(GetProfileSectionNames(path), (std::vector<std::string>{"Main", "Spaced Section"}));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ProfileLookup, ::testing::Values(true, false),
                         [](const auto& param_info) { return param_info.param ? "CrLf" : "Lf"; });

TEST(Profile, MissingFileGivesDefaultsAndNoSections) {
  TempDir dir;
  const std::string path = dir.File("absent.ini");
  EXPECT_EQ(GetProfileString(path, "S", "k", "dflt"), "dflt");
  EXPECT_EQ(GetProfileInt(path, "S", "k", 42), 42);
  EXPECT_TRUE(GetProfileSectionNames(path).empty());
}

TEST(Profile, ByteOrderMarkIsNotPartOfFirstSection) {
  EXPECT_EQ(FindProfileValueInText("\xEF\xBB\xBF[A]\r\nk=v\r\n", "a", "K"), "v");
}

TEST(Profile, SectionHeaderUsesLastBracketAndLinesWithoutBracketAreNotSections) {
  const std::string text = "[a]b]\nk=1\n[c\nk=2\n";
  EXPECT_EQ(platform::ProfileSectionNamesInText(text), (std::vector<std::string>{"a]b"}));
  EXPECT_EQ(FindProfileValueInText(text, "a]b", "k"), "1");  // "[c" is no header
}

struct IntCase {
  const char* value;
  int32_t expected;
};

TEST(Profile, ParsesIntegersLikeThePlatform) {
  const IntCase cases[] = {
      {"123", 123},          {" -45", -45},         {"+7", 7},
      {"0x1F", 31},          {"0X1f", 31},          {"0x4000", 16384},
      {"-0x10", -16},        {"0x", 0},             {"12abc", 12},
      {"abc", 0},            {"4294967295", -1},    {"4294967296", 0},
      {"0x80000000", INT32_MIN}, {"0x7FFFFFFF", INT32_MAX}, {"\t 9 ", 9},
      {"08", 8},             {"0x1g", 1},           {"- 5", 0},
  };
  for (const IntCase& c : cases) {
    EXPECT_EQ(ParseProfileInt(c.value), c.expected) << c.value;
  }
}

TEST(Profile, GetProfileIntDefaultsOnlyWhenMissingOrEmpty) {
  TempDir dir;
  const std::string path =
      dir.Write("n.ini", "[N]\r\nHex=0x4000\r\nQuoted=\"0x10\"\r\nEmpty=\r\nWord=abc\r\n");
  EXPECT_EQ(GetProfileInt(path, "n", "hex", -1), 16384);
  EXPECT_EQ(GetProfileInt(path, "N", "Quoted", -1), 16);
  EXPECT_EQ(GetProfileInt(path, "N", "Empty", -1), -1);
  EXPECT_EQ(GetProfileInt(path, "N", "Word", -1), 0);
  EXPECT_EQ(GetProfileInt(path, "N", "Missing", -1), -1);
}

// Writing: every case starts from a text, sets one key and must give exactly the expected
// bytes, so nothing else in the file moves.
struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

const WriteCase kWrites[] = {
    {"ReplacesValueKeepingEverythingElse",
     "; top\r\n[Com]\r\nPort = 1 \r\n; note\r\nOther=x\r\n\r\n[Snd]\r\nOn=1\r\n", "com", "PORT", "5",
     "; top\r\n[Com]\r\nPort = 5\r\n; note\r\nOther=x\r\n\r\n[Snd]\r\nOn=1\r\n"},
    {"AddsKeyAfterLastKeyOfSection", "[Com]\r\nPort=1\r\n; trailing note\r\n\r\n[Snd]\r\nOn=1\r\n",
     "Com", "Baud", "9600",
     "[Com]\r\nPort=1\r\nBaud=9600\r\n; trailing note\r\n\r\n[Snd]\r\nOn=1\r\n"},
    {"AddsKeyRightAfterHeaderOfEmptySection", "[Empty]\r\n[Next]\r\nk=v\r\n", "empty", "New", "1",
     "[Empty]\r\nNew=1\r\n[Next]\r\nk=v\r\n"},
    {"AddsSectionAtEndOfFileWithoutFinalLineEnd", "[A]\r\nk=v", "B", "x", "1",
     "[A]\r\nk=v\r\n[B]\r\nx=1\r\n"},
    {"KeepsLfFilesLf", "[A]\nk=v\n", "A", "n", "2", "[A]\nk=v\nn=2\n"},
    {"FileStartingWithLfStaysLf", "\n[A]\n", "A", "n", "2", "\n[A]\nn=2\n"},
    {"AddsKeyToLastLineWithoutLineEnd", "[A]\nk=v", "A", "n", "2", "[A]\nk=v\nn=2\n"},
    {"ReplacesInTheRepeatWhereLookupFindsIt", "[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=old\r\n", "A", "y", "new",
     "[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=new\r\n"},
    {"NewKeyGoesToFirstOccurrenceOfRepeatedSection", "[A]\r\nx=1\r\n[a]\r\ny=2\r\n", "A", "z", "3",
     "[A]\r\nx=1\r\nz=3\r\n[a]\r\ny=2\r\n"},
    {"ReplacesEmptyValue", "[A]\r\nk=\r\n", "A", "k", "v", "[A]\r\nk=v\r\n"},
    {"CreatesTextFromNothingWithCrLf", "", "Recent", "CPU", "3", "[Recent]\r\nCPU=3\r\n"},
    // Names are trimmed on writing as on reading; text after a header's ']' is ignored.
    {"NamesAreTrimmedAndHeaderTailIgnored", "[B]B=\n", "   b", "K ", "v", "[B]B=\nK=v\n"},
    {"IgnoresKeysBeforeFirstSection", "k=top\r\n[A]\r\n", "A", "k", "v", "k=top\r\n[A]\r\nk=v\r\n"},
};

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheOneKey) {
  const WriteCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.Write("w.ini", c.before);
  ASSERT_TRUE(WriteProfileString(path, c.section, c.key, c.value));
  EXPECT_EQ(dir.Read("w.ini"), c.after);
  EXPECT_EQ(GetProfileString(path, c.section, c.key, "<default>"), c.value);
  EXPECT_EQ(dir.EntryCount(), 1u) << "temporary file left behind";
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileWrite, ::testing::ValuesIn(kWrites),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(Profile, WriteCreatesMissingFile) {
  TempDir dir;
  const std::string path = dir.File("DATAFILE.TXT");
  ASSERT_TRUE(WriteProfileString(path, "Recent", "Write File", "C:\\hex\\a.hex"));
  ASSERT_TRUE(WriteProfileString(path, "Recent", "CPU", "2"));
  EXPECT_EQ(dir.Read("DATAFILE.TXT"), "[Recent]\r\nWrite File=C:\\hex\\a.hex\r\nCPU=2\r\n");
}

TEST(Profile, WriteRefusesWhatCannotBeOneLineAndLeavesFileAlone) {
  TempDir dir;
  const std::string original = "[A]\r\nk=v\r\n";
  const std::string path = dir.Write("w.ini", original);
  EXPECT_FALSE(WriteProfileString(path, "A", "k", "two\r\nlines"));
  EXPECT_FALSE(WriteProfileString(path, "A", "k", "lf\nonly"));
  EXPECT_FALSE(WriteProfileString(path, "A", "k=x", "v"));
  EXPECT_FALSE(WriteProfileString(path, "A", "  ", "v"));
  EXPECT_FALSE(WriteProfileString(path, "A", ";k", "v"));
  EXPECT_FALSE(WriteProfileString(path, "A", "[k]", "v"));
  EXPECT_FALSE(WriteProfileString(path, "A\nB", "k", "v"));
  EXPECT_FALSE(WriteProfileString(path, "A", "k", std::string("nul\0byte", 8)));
  EXPECT_EQ(dir.Read("w.ini"), original);
  std::string text = original;
  EXPECT_FALSE(SetProfileStringInText(text, "A", "k", "a\nb"));
  EXPECT_EQ(text, original);
}

TEST(Profile, WriteFailsInMissingDirectory) {
  TempDir dir;
  EXPECT_FALSE(WriteProfileString(dir.File("no/such/dir.ini"), "A", "k", "v"));
}

TEST(Profile, WriteKeepsPermissionsAndSymbolicLink) {
  TempDir dir;
  const std::string real = dir.Write("real.ini", "[A]\nk=1\n");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  const std::string link = dir.File("link.ini");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteProfileString(link, "A", "k", "2"));
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.Read("real.ini"), "[A]\nk=2\n");
  EXPECT_EQ(dir.EntryCount(), 2u);
}

TEST(Profile, ValueWithBlanksAndQuotesRoundTripsAsThePlatformReadsIt) {
  std::string text;
  ASSERT_TRUE(SetProfileStringInText(text, "A", "k", "  padded  "));
  EXPECT_EQ(FindProfileValueInText(text, "A", "k"), "padded");
  ASSERT_TRUE(SetProfileStringInText(text, "A", "k", "\"  padded  \""));
  EXPECT_EQ(FindProfileValueInText(text, "A", "k"), "  padded  ");
  EXPECT_EQ(text.find("k="), text.rfind("k=")) << "the key stays on one line";
}

}  // namespace
