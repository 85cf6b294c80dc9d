#include "platform/replacement_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "tests/platform/temp_dir.h"

namespace {

using platform::ReplacementFile;
using testing_support::TempDir;

bool WriteText(ReplacementFile& file, const std::string& text) {
  return file.Write(text.data(), text.size());
}

TEST(ReplacementFile, CommitMovesTheNewFileIntoPlace) {
  TempDir dir;
  dir.Write("a.txt", "old");
  ReplacementFile file;
  ASSERT_TRUE(file.Create(dir.File("a.txt")));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.TargetPath(), dir.File("a.txt"));
  EXPECT_EQ(file.TemporaryPath().rfind(dir.path() + "/.", 0), 0u) << "beside the target";
  ASSERT_TRUE(WriteText(file, "new "));
  ASSERT_TRUE(WriteText(file, "contents"));
  EXPECT_EQ(dir.Read("a.txt"), "old") << "the chosen name is untouched until Commit";
  EXPECT_EQ(dir.EntryCount(), 2u);
  ASSERT_TRUE(file.Commit());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(dir.Read("a.txt"), "new contents");
  EXPECT_EQ(dir.EntryCount(), 1u);
  EXPECT_FALSE(file.Commit()) << "nothing left to commit";
  EXPECT_FALSE(WriteText(file, "x"));
}

TEST(ReplacementFile, AbandonAndDestructorKeepTheOldFile) {
  TempDir dir;
  dir.Write("a.txt", "old");
  {
    ReplacementFile file;
    ASSERT_TRUE(file.Create(dir.File("a.txt")));
    ASSERT_TRUE(WriteText(file, "partial"));
    file.Abandon();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(dir.EntryCount(), 1u);
    ASSERT_TRUE(file.Create(dir.File("b.txt")));
    ASSERT_TRUE(WriteText(file, "partial"));
  }
  EXPECT_EQ(dir.Read("a.txt"), "old");
  EXPECT_EQ(dir.EntryCount(), 1u) << "no temporary file and no b.txt left";
}

TEST(ReplacementFile, TwoFilesForOneTargetGetDistinctNames) {
  TempDir dir;
  ReplacementFile first;
  ReplacementFile second;
  ASSERT_TRUE(first.Create(dir.File("a.txt")));
  ASSERT_TRUE(second.Create(dir.File("a.txt")));
  EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
  ASSERT_TRUE(WriteText(first, "first"));
  ASSERT_TRUE(WriteText(second, "second"));
  ASSERT_TRUE(first.Commit());
  ASSERT_TRUE(second.Commit());
  EXPECT_EQ(dir.Read("a.txt"), "second");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(ReplacementFile, ASymbolicLinkSurvivesAndItsTargetIsReplaced) {
  TempDir dir;
  dir.Write("real.txt", "old");
  ASSERT_EQ(symlink("real.txt", dir.File("link.txt").c_str()), 0);
  ReplacementFile file;
  ASSERT_TRUE(file.Create(dir.File("link.txt")));
  EXPECT_EQ(std::filesystem::path(file.TargetPath()).filename(), "real.txt");
  ASSERT_TRUE(WriteText(file, "new"));
  ASSERT_TRUE(file.Commit());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.txt")));
  EXPECT_EQ(dir.Read("real.txt"), "new");
  EXPECT_EQ(dir.EntryCount(), 2u);
}

TEST(ReplacementFile, AReplacedFileKeepsItsPermissionBits) {
  TempDir dir;
  const std::string path = dir.Write("a.txt", "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ReplacementFile file;
  ASSERT_TRUE(file.Create(path));
  ASSERT_TRUE(file.Commit());
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.Read("a.txt"), "");
}

TEST(ReplacementFile, CreateFailsWhereNoFileCanBe) {
  TempDir dir;
  ReplacementFile file;
  EXPECT_FALSE(file.Create(dir.File("missing/a.txt")));
  EXPECT_EQ(file.Error(), ENOENT);
  EXPECT_FALSE(file.Create(dir.path() + "/"));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(dir.EntryCount(), 0u);
}

TEST(ReplacementFile, CommitOverADirectoryFailsAndCleansUp) {
  TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("sub")));
  ReplacementFile file;
  ASSERT_TRUE(file.Create(dir.File("sub")));
  ASSERT_TRUE(WriteText(file, "x"));
  EXPECT_FALSE(file.Commit());
  EXPECT_NE(file.Error(), 0);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(dir.EntryCount(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
}

// An interrupt while the new file is being written (Ctrl-C, kill, a closed terminal) leaves
// the old file as it was and no temporary file; the process still ends by that signal.
class InterruptedReplacement : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedReplacement, LeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  dir.Write("a.txt", "old");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ReplacementFile file;
    if (!file.Create(dir.File("a.txt")) || !WriteText(file, "half")) _exit(1);
    raise(GetParam());
    _exit(2);  // not reached: the signal ends the process
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), GetParam());
  EXPECT_EQ(dir.Read("a.txt"), "old");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedReplacement, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

}  // namespace
