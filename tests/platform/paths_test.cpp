#include "platform/paths.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/platform/temp_dir.h"

namespace {

using platform::BaseName;
using platform::FileExists;
using platform::FindFileNoCase;
using platform::JoinPath;
using platform::NormalizeSeparators;
using testing_support::TempDir;

TEST(Paths, JoinPathPutsExactlyOneSlash) {
  const struct {
    const char* dir;
    const char* name;
    const char* joined;
  } cases[] = {
      {"/opt/kv", "CHIPDEF.INI", "/opt/kv/CHIPDEF.INI"},
      {"/opt/kv/", "CHIPDEF.INI", "/opt/kv/CHIPDEF.INI"},
      {"/opt/kv//", "/CHIPDEF.INI", "/opt/kv/CHIPDEF.INI"},
      {"/", "etc", "/etc"},
      {"", "file", "file"},
      {"rel", "sub/file", "rel/sub/file"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.dir, c.name), c.joined) << c.dir << " + " << c.name;
}

TEST(Paths, SeparatorsAndBaseName) {
  EXPECT_EQ(NormalizeSeparators("ctrl\\kv40\\prog.bin"), "ctrl/kv40/prog.bin");
  EXPECT_EQ(NormalizeSeparators("a/b\\c"), "a/b/c");
  EXPECT_EQ(BaseName("C:\\hex\\file.hex"), "file.hex");
  EXPECT_EQ(BaseName("/home/u/file.mot"), "file.mot");
  EXPECT_EQ(BaseName("mixed/dir\\name"), "name");
  EXPECT_EQ(BaseName("plain"), "plain");
  EXPECT_EQ(BaseName("dir/"), "");
}

TEST(Paths, FindFileNoCaseMatchesEachComponent) {
  TempDir dir;
  dir.Write("CHIPDEF.ini", "x");
  std::filesystem::create_directory(dir.File("Ctrl"));
  dir.Write("Ctrl/kv40.BIN", "x");
  dir.Write("exact.txt", "x");

  EXPECT_EQ(FindFileNoCase(dir.path(), "CHIPDEF.INI"), dir.File("CHIPDEF.ini"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "exact.txt"), dir.File("exact.txt"));
  EXPECT_EQ(FindFileNoCase(dir.path() + "/", "ctrl/KV40.bin"), dir.File("Ctrl/kv40.BIN"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "CTRL\\Kv40.Bin"), dir.File("Ctrl/kv40.BIN"));
  // Nothing matches: the exact spelling comes back so the caller's open fails.
  EXPECT_EQ(FindFileNoCase(dir.path(), "Customize.ini"), dir.File("Customize.ini"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "nodir/kv40.bin"), dir.File("nodir/kv40.bin"));
}

TEST(Paths, FindFileNoCasePrefersExactThenFirstInByteOrder) {
  TempDir dir;
  dir.Write("data.TXT", "1");
  dir.Write("DATA.txt", "2");
  EXPECT_EQ(FindFileNoCase(dir.path(), "data.TXT"), dir.File("data.TXT"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "Data.Txt"), dir.File("DATA.txt"));
}

TEST(Paths, FileExistsOnlyForFiles) {
  TempDir dir;
  EXPECT_TRUE(FileExists(dir.Write("TIMETEST.TXT", "")));
  EXPECT_FALSE(FileExists(dir.File("CRCTEST.TXT")));
  EXPECT_FALSE(FileExists(dir.path()));
}

TEST(Paths, ProgramDirectoryHoldsTheRunningExecutable) {
  const std::string dir = platform::ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_EQ(dir.back(), '/');
  struct stat self {};
  ASSERT_EQ(stat("/proc/self/exe", &self), 0);
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    struct stat st {};
    if (stat(entry.path().c_str(), &st) == 0 && st.st_ino == self.st_ino && st.st_dev == self.st_dev) {
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
