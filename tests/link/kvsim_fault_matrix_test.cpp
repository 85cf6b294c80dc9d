// The link under every fault kvsim offers, at every command of the GUI programmer that the
// fault can hit, over a real pseudo-terminal. One checker looks at each run: it ends within a
// bound, the user is told what the fault means (and never of a success that did not happen),
// a reported success is true of the board or the read-out file, and nothing is left behind.
// The link's time-outs are fast-forwarded (the 60 s of an erase pass in about a second), so
// only a link that hangs on by itself, as on a failing port, runs into the bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "flash/hexfile/flash_image.h"
#include "flash/hexfile/hex_file_loader.h"
#include "flash/link/messages.h"
#include "tests/link/kvsim_link_fixture.h"

namespace flash::testing {
namespace {

enum class Command { kDownload, kErase, kBlankCheck, kProgram, kReadCompare, kCopy, kFull };

struct FaultCase {
  const char* name;
  Command command;
  std::vector<std::string> faults;
  std::vector<int> told;                 // the messages the user is shown, in order
  std::vector<std::string> options = {};  // further kvsim options
  std::deque<bool> crcAnswers = {};       // the user's answers to the CRC retry question
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

// A fatal report is followed by the request to download again.
std::vector<int> Fatal(int id) { return {id, kMsgRedoDownload}; }

// The frames of a download: sync, load frame, sync, start frame, baud check. A fault on the
// n-th frame of a command after the download is on frame kDownloadFrames + n.
constexpr int kDownloadFrames = 5;
constexpr int kLoadFrame = 2;
std::string UnplugAtFrame(int frame) { return "unplug-after-frame=" + std::to_string(frame); }

// Every number that tells the user how a command ended.
constexpr int kOutcomes[] = {kMsgDownloadError,
                             kMsgTimeout,
                             kMsgCannotOpenPort,
                             kMsgCannotOpenDownloadFile,
                             kMsgCannotGetPortInfo,
                             kMsgCannotChangePortSetting,
                             kMsgCommunicationError,
                             kMsgReadError,
                             kMsgProgramError,
                             kMsgPortWriteError,
                             kMsgPortReadError,
                             kMsgFileAccessError,
                             kMsgNoMemory,
                             kMsgEraseOk,
                             kMsgBlankOk,
                             kMsgProgramOk,
                             kMsgCompareOk,
                             kMsgFullOperationOk,
                             kMsgDownloadOk,
                             kMsgCopyOk,
                             kMsgRedoDownload,
                             kMsgCancelled,
                             kMsgNotErased,
                             kMsgCompareDiffers,
                             kMsgEraseError,
                             kMsgAreasDoNotFit,
                             kMsgBadControlProgramSize,
                             kMsgNoBaudForClock};

bool IsSuccess(int id) { return id / 100 == 3; }

int SuccessOf(Command command) {
  switch (command) {
    case Command::kDownload: return kMsgDownloadOk;
    case Command::kErase: return kMsgEraseOk;
    case Command::kBlankCheck: return kMsgBlankOk;
    case Command::kProgram: return kMsgProgramOk;
    case Command::kReadCompare: return kMsgCompareOk;
    case Command::kCopy: return kMsgCopyOk;
    case Command::kFull: return kMsgFullOperationOk;
  }
  return 0;
}

// The outcome messages among what the user saw (progress-window texts and message boxes).
std::vector<int> ToldTheUser(const ScriptedUi& ui) {
  std::vector<int> told;
  for (const std::string& entry : ui.log) {
    const bool info = entry.rfind("info ", 0) == 0;
    if (!info && entry.rfind("box ", 0) != 0) continue;
    for (int id : kOutcomes) {
      const std::string text = info ? StaticControlText(MessageText(id)) : std::string(MessageText(id));
      if (entry.find(text) != std::string::npos) told.push_back(id);
    }
  }
  return told;
}

std::set<std::string> FileNames(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename());
  return names;
}

// A fast-forwarded time-out ends a command within about a second; a link that waited out
// a status time-out of its own (5 to 6 s) in real time would not.
constexpr auto kBound = std::chrono::seconds(4);
constexpr const char* kCopyName = "copy.mhx";

class LinkUnderFaults : public KvsimLinkFixture, public ::testing::WithParamInterface<FaultCase> {
 protected:
  // What the flash holds before the command: the file's image where the command reads or
  // erases it, other data where Full Operation has to erase first (zeros where the file has
  // data, which programming alone cannot turn into the file's bytes), blank elsewhere.
  std::vector<uint8_t> FlashBefore(Command command, const std::vector<uint8_t>& image) const {
    switch (command) {
      case Command::kErase:
      case Command::kReadCompare:
      case Command::kCopy: return image;
      case Command::kFull: {
        std::vector<uint8_t> stale = image;
        for (uint8_t& b : stale) b = b == 0xFF ? 0xFF : 0x00;
        return stale;
      }
      default: return std::vector<uint8_t>(image.size(), 0xFF);
    }
  }
  // What a successful command leaves in the flash.
  std::vector<uint8_t> FlashAfterSuccess(Command command, const std::vector<uint8_t>& image) const {
    switch (command) {
      case Command::kDownload:
      case Command::kErase:
      case Command::kBlankCheck: return std::vector<uint8_t>(image.size(), 0xFF);
      default: return image;
    }
  }
  void Run(Command command) {
    switch (command) {
      case Command::kDownload: link.RunDownload(); break;
      case Command::kErase: link.RunErase(); break;
      case Command::kBlankCheck: link.RunBlankCheck(); break;
      case Command::kProgram: link.RunProgramAndVerify(); break;
      case Command::kReadCompare: link.RunReadAndCompare(); break;
      case Command::kCopy: link.RunCopy(); break;
      case Command::kFull: link.RunFullOperation(); break;
    }
  }
  // The read-out file holds what the flash holds.
  void ExpectCopyEqualsFlash() {
    FlashImage copy;
    ASSERT_TRUE(LoadHexFile(dir.File(kCopyName), AreasOf(link.Settings().chip), copy, false, 0xFF, nullptr));
    const std::string flash = board.ReadFlashImage();
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), copy.Data(),
                           [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
  }
};

TEST_P(LinkUnderFaults, TellsWhatHappenedAndNoSuccessThatDidNot) {
  const FaultCase& c = GetParam();
  const std::vector<uint8_t> image = Image();
  const std::vector<uint8_t> before = FlashBefore(c.command, image);
  StartBoard("TWOAREA", "16", c.faults, std::string(before.begin(), before.end()), c.options);
  link.Settings().hexFilePath = HexFile("input.mhx", image, kBase);
  port.FastForward(true);
  if (c.command != Command::kDownload && c.command != Command::kFull) Download();
  ui.crcAnswers = c.crcAnswers;
  ui.savePath = dir.File(kCopyName);
  const std::set<std::string> filesBefore = FileNames(dir.path());

  const auto start = std::chrono::steady_clock::now();
  Run(c.command);
  const auto took = std::chrono::steady_clock::now() - start;

  const std::vector<int> told = ToldTheUser(ui);
  EXPECT_LT(took, kBound);
  EXPECT_EQ(told, c.told) << ::testing::PrintToString(ui.log);
  // Success and failure are never both told; a command expected to fail claims no success.
  const bool toldSuccess = std::any_of(told.begin(), told.end(), IsSuccess);
  const bool toldFailure = std::any_of(told.begin(), told.end(), [](int id) { return !IsSuccess(id); });
  EXPECT_FALSE(toldSuccess && toldFailure);
  const bool succeeds = std::find(c.told.begin(), c.told.end(), SuccessOf(c.command)) != c.told.end();
  if (!succeeds) {
    EXPECT_FALSE(toldSuccess);
  }
  if (toldSuccess) ExpectFlashEquals(FlashAfterSuccess(c.command, image));
  if (toldSuccess && c.command == Command::kCopy) ExpectCopyEqualsFlash();
  if (std::find(told.begin(), told.end(), kMsgRedoDownload) != told.end()) {
    EXPECT_FALSE(link.Downloaded());
  }
  // Nothing is left behind: no progress window, no open port, no temporary or partial file.
  EXPECT_FALSE(ui.progressOpen);
  EXPECT_FALSE(link.PortOpen());
  std::set<std::string> filesExpected = filesBefore;
  if (toldSuccess && c.command == Command::kCopy) filesExpected.insert(kCopyName);
  EXPECT_EQ(FileNames(dir.path()), filesExpected);
}

const std::vector<std::string> kSlowErase = {"--erase-ms", "3000"};
const std::vector<std::string> kSlowBlankCheck = {"--blank-ms", "2000"};

const FaultCase kCases[] = {
    // Download: the boot ROM's replies, the start, the baud check (the first connect).
    {"DownloadWrongBootReply", Command::kDownload, {"boot-reply=1:05"}, {kMsgDownloadError}},
    {"DownloadProgramNeverStarts", Command::kDownload, {"no-status=exec"}, {kMsgTimeout}},
    {"DownloadNoBaudCheckAnswer", Command::kDownload, {"no-status=connect"}, {kMsgTimeout}},
    // A busy '0' is a wrong answer to the baud check, which wants '1' at once.
    {"DownloadBusyBaudCheck", Command::kDownload, {"busy=connect"}, {kMsgDownloadError}},
    {"DownloadResetAtBaudCheck", Command::kDownload, {"reset=connect"}, {kMsgTimeout}},
    {"DownloadNulBeforeBaudCheckAnswer", Command::kDownload, {"nul=connect"}, {kMsgDownloadOk}},
    {"DownloadUnplugAtLoadFrame", Command::kDownload, {UnplugAtFrame(kLoadFrame)}, Fatal(kMsgPortReadError)},
    {"DownloadUnplugAtStart", Command::kDownload, {"unplug-after-ms=0:exec"}, Fatal(kMsgPortReadError)},
    // Erase.
    {"EraseFails", Command::kErase, {"erase-fail=1"}, {kMsgEraseError}},
    {"EraseNoStatus", Command::kErase, {"no-status=erase"}, Fatal(kMsgTimeout)},
    {"EraseEndlessBusy", Command::kErase, {"busy=erase"}, Fatal(kMsgTimeout)},
    {"EraseResetHalfway", Command::kErase, {"reset=erase"}, Fatal(kMsgTimeout)},
    {"EraseNulBeforeStatus", Command::kErase, {"nul=erase"}, {kMsgEraseOk}},
    {"EraseUnplugAtCommand", Command::kErase, {UnplugAtFrame(kDownloadFrames + 1)}, Fatal(kMsgPortReadError)},
    {"EraseUnplugWhileErasing", Command::kErase, {"unplug-after-ms=200:erase"}, Fatal(kMsgPortReadError),
     kSlowErase},
    // Blank Check.
    {"BlankCheckNotBlank", Command::kBlankCheck, {"not-blank=1"}, {kMsgNotErased}},
    {"BlankCheckNoStatus", Command::kBlankCheck, {"no-status=blank"}, Fatal(kMsgTimeout)},
    {"BlankCheckEndlessBusy", Command::kBlankCheck, {"busy=blank"}, Fatal(kMsgTimeout)},
    {"BlankCheckReset", Command::kBlankCheck, {"reset=blank"}, Fatal(kMsgTimeout)},
    {"BlankCheckNulBeforeStatus", Command::kBlankCheck, {"nul=blank"}, {kMsgBlankOk}},
    {"BlankCheckUnplugAtCommand", Command::kBlankCheck, {UnplugAtFrame(kDownloadFrames + 1)},
     Fatal(kMsgPortReadError)},
    {"BlankCheckUnplugWhileChecking", Command::kBlankCheck, {"unplug-after-ms=100:blank"}, Fatal(kMsgPortReadError),
     kSlowBlankCheck},
    // Program & Verify (three blocks hold data).
    {"ProgramCrcErrorRetried", Command::kProgram, {"crc-write=1"}, {kMsgProgramOk}, {}, {true}},
    {"ProgramWriteFails", Command::kProgram, {"write-fail=2"}, Fatal(kMsgProgramError)},
    {"ProgramNoStatus", Command::kProgram, {"no-status=write:2"}, Fatal(kMsgTimeout)},
    {"ProgramEndlessBusy", Command::kProgram, {"busy=write"}, Fatal(kMsgTimeout)},
    {"ProgramResetInFrame", Command::kProgram, {"reset=write:3"}, Fatal(kMsgTimeout)},
    {"ProgramNulBeforeStatus", Command::kProgram, {"nul=write:2"}, {kMsgProgramOk}},
    {"ProgramUnplugAtCommand", Command::kProgram, {UnplugAtFrame(kDownloadFrames + 1)}, Fatal(kMsgPortReadError)},
    {"ProgramUnplugAtFrame", Command::kProgram, {UnplugAtFrame(kDownloadFrames + 2)}, Fatal(kMsgPortReadError)},
    // Read & Compare (ten blocks).
    {"ReadCompareCrcErrorRetried", Command::kReadCompare, {"crc-read=3"}, {kMsgCompareOk}, {}, {true}},
    {"ReadCompareShortFrameRetried", Command::kReadCompare, {"short-read=2"}, {kMsgCompareOk}, {}, {true}},
    {"ReadCompareLineNoiseRetried", Command::kReadCompare, {"noise=1"}, {kMsgCompareOk}, {}, {true}},
    {"ReadCompareNoStatus", Command::kReadCompare, {"no-status=read:4"}, Fatal(kMsgTimeout)},
    {"ReadCompareEndlessBusy", Command::kReadCompare, {"busy=read"}, Fatal(kMsgTimeout)},
    {"ReadCompareResetInFrame", Command::kReadCompare, {"reset=read:2"}, Fatal(kMsgTimeout)},
    {"ReadCompareNulBeforeStatus", Command::kReadCompare, {"nul=read:5"}, {kMsgCompareOk}},
    {"ReadCompareUnplugAtCommand", Command::kReadCompare, {UnplugAtFrame(kDownloadFrames + 4)},
     Fatal(kMsgPortReadError)},
    // Copy (ten blocks into an S-format file).
    {"CopyCrcErrorNotRetried", Command::kCopy, {"crc-read=1"}, {kMsgCancelled}},
    {"CopyShortFrameRetried", Command::kCopy, {"short-read=10"}, {kMsgCopyOk}, {}, {true}},
    {"CopyLineNoiseRetried", Command::kCopy, {"noise=4"}, {kMsgCopyOk}, {}, {true}},
    {"CopyNoStatus", Command::kCopy, {"no-status=read:6"}, Fatal(kMsgTimeout)},
    {"CopyEndlessBusy", Command::kCopy, {"busy=read"}, Fatal(kMsgTimeout)},
    {"CopyResetInFrame", Command::kCopy, {"reset=read:7"}, Fatal(kMsgTimeout)},
    {"CopyNulBeforeStatus", Command::kCopy, {"nul=read:10"}, {kMsgCopyOk}},
    {"CopyUnplugAtCommand", Command::kCopy, {UnplugAtFrame(kDownloadFrames + 3)}, Fatal(kMsgPortReadError)},
    // Full Operation: download, pre-check (blank check 1), erase, blank check 2, program.
    {"FullWrongBootReply", Command::kFull, {"boot-reply=3:15"}, {kMsgDownloadError}},
    {"FullProgramNeverStarts", Command::kFull, {"no-status=exec"}, {kMsgTimeout}},
    {"FullBusyBaudCheck", Command::kFull, {"busy=connect"}, {kMsgDownloadError}},
    {"FullResetAtBaudCheck", Command::kFull, {"reset=connect"}, {kMsgTimeout}},
    {"FullPrecheckNoStatus", Command::kFull, {"no-status=blank"}, Fatal(kMsgTimeout)},
    {"FullEraseFails", Command::kFull, {"erase-fail=1"}, {kMsgEraseError}},
    {"FullEraseEndlessBusy", Command::kFull, {"busy=erase"}, Fatal(kMsgTimeout)},
    {"FullEraseResetHalfway", Command::kFull, {"reset=erase"}, Fatal(kMsgTimeout)},
    {"FullNotBlankAfterErase", Command::kFull, {"not-blank=2"}, {kMsgNotErased}},
    {"FullCrcErrorNotRetried", Command::kFull, {"crc-write=2"}, {kMsgCancelled}},
    {"FullWriteFails", Command::kFull, {"write-fail=3"}, Fatal(kMsgProgramError)},
    {"FullNoStatusAfterWrite", Command::kFull, {"no-status=write"}, Fatal(kMsgTimeout)},
    {"FullNulBeforeEveryStatus", Command::kFull, {"nul=connect", "nul=blank:2", "nul=erase", "nul=write:3"},
     {kMsgFullOperationOk}},
    {"FullUnplugAtErase", Command::kFull, {UnplugAtFrame(kDownloadFrames + 2)}, Fatal(kMsgPortReadError)},
    {"FullUnplugWhileErasing", Command::kFull, {"unplug-after-ms=200:erase"}, Fatal(kMsgPortReadError),
     kSlowErase},
    {"FullUnplugAtSecondWrite", Command::kFull, {"unplug-after-ms=0:write:2"}, Fatal(kMsgPortReadError)},
};

INSTANTIATE_TEST_SUITE_P(Matrix, LinkUnderFaults, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace flash::testing
