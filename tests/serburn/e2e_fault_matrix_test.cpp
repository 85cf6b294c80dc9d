// Every fault kvsim offers, against every serburn operation it can hit, through one checker:
// the run ends within its bound with the class and message of that failure (or recovers
// and succeeds), no operation that failed is reported " Ok", after a reported success the
// simulated flash holds the file, and the working directory holds only what the test put
// there (no temporary or partial read-out; an old read-out file is kept when a read fails).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace serburn {
namespace {

using testing::EndToEnd;
using testing::kKV41New;
using testing::ProcessResult;
using testing::ReadFile;

constexpr const char* kOldReadOut = "the read-out of an earlier run";

struct FaultCase {
  const char* name;
  std::vector<std::string> faults;
  std::vector<std::string> commands;  // besides /t and the chip; /b names the test's file
  int exitCode;
  // The failure's line (class header and message); empty for a run that succeeds.
  const char* errorLine;
  // The label of the operation that fails: its line must not end in " Ok".
  const char* failedLabel;
  int boundSeconds;
};

class FaultMatrix : public EndToEnd, public ::testing::WithParamInterface<FaultCase> {
 protected:
  // A file with data in every block but one, so both the "p" and the "." paths run.
  static std::string DataImage() {
    std::string image(8 * 512, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 29 + 7);
    image.replace(3 * 512, 512, std::string(512, '\xFF'));
    return image;
  }
};

TEST_P(FaultMatrix, EndsAsTheFaultDemands) {
  const FaultCase& c = GetParam();
  ASSERT_TRUE(StartBoard(kKV41New, c.faults));
  const std::string image = DataImage();
  const std::string data = work.Write("image.bin", image);
  const std::string readOut = work.Write("out.bin", kOldReadOut);
  bool reads = false;
  std::vector<std::string> args = {"/t"};
  for (const std::string& a : c.commands) {
    args.push_back(a);
    reads = reads || a == "/r";
  }
  args.push_back("/b");
  args.push_back(reads ? readOut : data);

  const auto begin = std::chrono::steady_clock::now();
  const ProcessResult r = Run(kKV41New, args);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

  EXPECT_LT(seconds, c.boundSeconds) << r.out;
  EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
  const std::string errorLine = c.errorLine;
  if (errorLine.empty()) {
    ASSERT_GE(r.out.size(), 3u);
    EXPECT_EQ(r.out.substr(r.out.size() - 3), " Ok") << r.out;
  } else {
    const std::string tail = "\n" + errorLine + "\n";
    ASSERT_GE(r.out.size(), tail.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
  }
  // The failed operation's line carries no " Ok".
  const std::string label = std::string("\n") + c.failedLabel;
  if (*c.failedLabel != '\0') {
    const size_t at = r.out.rfind(label);
    ASSERT_NE(at, std::string::npos) << r.out;
    const size_t lineEnd = r.out.find('\n', at + 1);
    const std::string line = r.out.substr(at + 1, lineEnd == std::string::npos ? std::string::npos : lineEnd - at - 1);
    EXPECT_EQ(line.find(" Ok"), std::string::npos) << line;
  }
  // What a successful run reports is what the board holds.
  const std::string flash = Area(kKV41New);
  if (r.exitCode == 0 && reads) {
    EXPECT_EQ(ReadFile(readOut), flash);
  } else if (r.exitCode == 0) {
    EXPECT_EQ(flash.substr(0, image.size()), image);
  } else if (reads) {
    EXPECT_EQ(ReadFile(readOut), kOldReadOut);
  }
  EXPECT_EQ(work.Count(), 2u) << "only the data file and the read-out";
}

const char* const kLost = "COM-port error: COM port lost (device removed or hung up)";

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    ::testing::Values(
        // Recoverable once: the retry succeeds and the flash holds the file.
        FaultCase{"CrcWriteOnce", {"crc-write=2"}, {"/e", "/p", "/v"}, 0, "", "", 30},
        FaultCase{"WriteFailOnce", {"write-fail=2"}, {"/e", "/p", "/v"}, 0, "", "", 30},
        FaultCase{"CrcReadOnce", {"crc-read=2"}, {"/e", "/p", "/v"}, 0, "", "", 30},
        FaultCase{"ShortReadOnce", {"short-read=2"}, {"/e", "/p", "/v"}, 0, "", "", 30},
        FaultCase{"NoiseOnce", {"noise=2"}, {"/e", "/p", "/v"}, 0, "", "", 30},
        FaultCase{"DownloadAnswerOnce", {"boot-reply=1:15"}, {"/e", "/p"}, 0, "", "", 30},
        FaultCase{"CrcReadDuringReadOut", {"crc-read=5"}, {"/r"}, 0, "", "", 60},
        // Failures: the class and message of the failure, nothing reported as done.
        FaultCase{"CrcWriteTwice", {"crc-write=2", "crc-write=3"}, {"/e", "/p"}, 5,
                  "RAM-execute operations error: CRC error in transmit data block", "Program: ", 30},
        FaultCase{"WriteFailTwice", {"write-fail=2", "write-fail=3"}, {"/e", "/p"}, 5,
                  "RAM-execute operations error: 'write block' fails", "Program: ", 30},
        FaultCase{"CrcReadTwice", {"crc-read=1", "crc-read=3"}, {"/e", "/p", "/v"}, 5,
                  "RAM-execute operations error: CRC error in received data block", "Verify : ", 30},
        FaultCase{"CrcReadTwiceDuringReadOut", {"crc-read=1", "crc-read=3"}, {"/r"}, 5,
                  "RAM-execute operations error: CRC error in received data block", "Read   : ", 30},
        FaultCase{"ShortReadThrice", {"short-read=1", "short-read=2", "short-read=3"}, {"/v"}, 5,
                  "RAM-execute operations error: received data block has incorrect size", "Verify : ", 30},
        FaultCase{"EraseFails", {"erase-fail=1"}, {"/e", "/p"}, 5, "RAM-execute operations error: COMMAND fails",
                  "Erase  : ", 30},
        FaultCase{"NotBlank", {"not-blank=1"}, {"/e", "/c", "/p"}, 5, "RAM-execute operations error: COMMAND fails",
                  "Check  : ", 30},
        FaultCase{"BlankCheckNeverAnswers", {"no-status=blank"}, {"/e", "/c"}, 5,
                  "RAM-execute operations error: not received valid OK reply on command", "Check  : ", 30},
        FaultCase{"TestConnectNeverAnswered", {"no-status=connect"}, {"/e"}, 5,
                  "RAM-execute operations error: not received reply during test connect", "", 30},
        FaultCase{"WriteNeverAnswered", {"no-status=write"}, {"/e", "/p"}, 5,
                  "RAM-execute operations error: not received valid reply during 'write block'", "Program: ", 30},
        // The frame never ends, and the hung board does not acknowledge the retry.
        FaultCase{"ReadNeverCompletes", {"no-status=read"}, {"/r"}, 5,
                  "RAM-execute operations error: not received ASK reply on command", "Read   : ", 60},
        FaultCase{"NulBeforeTestConnectReply", {"nul=connect"}, {"/e"}, 5,
                  "RAM-execute operations error: received wrong reply during test connect. Received=0x00, "
                  "must be=0x31",
                  "", 30},
        FaultCase{"NulBeforeEraseStatus", {"nul=erase"}, {"/e", "/p"}, 5,
                  "RAM-execute operations error: received wrong reply on command", "Erase  : ", 30},
        FaultCase{"ResetDuringWrite", {"reset=write:2"}, {"/e", "/p"}, 5,
                  "RAM-execute operations error: not received valid reply during 'write block'", "Program: ", 30},
        // Half a frame, then the board is in its boot ROM: the retry is not acknowledged.
        FaultCase{"ResetDuringReadOut", {"reset=read:3"}, {"/r"}, 5,
                  "RAM-execute operations error: not received ASK reply on command", "Read   : ", 60},
        FaultCase{"AutoEraseFails", {"ae-fail=1"}, {"/u", "/p"}, 5, "RAM-execute operations error: autoerase fails",
                  "AutoErase    : ", 30},
        FaultCase{"DownloadNeverAnswered", {"boot-reply=1:15", "boot-reply=2:15", "boot-reply=3:15",
                                            "boot-reply=4:15", "boot-reply=5:15"},
                  {"/e"}, 4, "BIROM operations error: MCU not reply during executing 'DOWNLOAD' command",
                  "Downloading ", 30},
        // The adapter pulled at every stage: at once a COM-port error, nothing reported done.
        FaultCase{"UnplugAtSync", {"unplug-after-frame=1"}, {"/e", "/p"}, 2, kLost, "", 10},
        FaultCase{"UnplugDuringDownload", {"unplug-after-frame=8"}, {"/e", "/p"}, 2, kLost, "Downloading ", 10},
        FaultCase{"UnplugDuringErase", {"unplug-after-ms=20:erase"}, {"/e", "/p"}, 2, kLost, "Erase  : ", 10},
        FaultCase{"UnplugDuringBlankCheck", {"unplug-after-ms=0:blank"}, {"/e", "/c", "/p"}, 2, kLost, "Check  : ",
                  10},
        FaultCase{"UnplugDuringProgram", {"unplug-after-ms=0:write:3"}, {"/e", "/p"}, 2, kLost, "Program: ", 10},
        FaultCase{"UnplugDuringVerify", {"unplug-after-ms=0:read:2"}, {"/e", "/p", "/v"}, 2, kLost, "Verify : ", 10},
        FaultCase{"UnplugDuringReadOut", {"unplug-after-ms=0:read:4"}, {"/r"}, 2, kLost, "Read   : ", 10},
        FaultCase{"UnplugDuringAutoErase", {"unplug-after-ms=100:autoerase"}, {"/u", "/p"}, 2, kLost,
                  "AutoErase    : ", 10}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace serburn
