// The Download: the control program named by the chip record goes through the boot ROM
// into the target's RAM, is started, and the port moves to the command baud.
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "flash/chipdef/download_settings.h"
#include "flash/link/flash_link.h"
#include "flash/link/messages.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace flash {
namespace {

constexpr const char* kResetPrompt = "Please reset the microcontroller on userboard.\nThen push OK button.";
constexpr const char* kResetCaption = "flash";

constexpr uint8_t kBootSync = 0x18;
constexpr uint8_t kBootSyncReply = 0x11;
constexpr uint8_t kBootLoadReply = 0x01;
constexpr uint8_t kStartCommand = 0x40;
constexpr uint8_t kBaudCheckCommand = 0xE8;

// The smallest file that has a byte 2 to carry the clock index, and the largest length
// the 16-bit length field can announce.
constexpr size_t kMinControlProgramSize = 3;
constexpr size_t kMaxControlProgramSize = 0xFFFF;

}  // namespace

uint8_t FlashLink::TransferControlProgram() {
  progress_->SetForm(kFormBarNoButton, false, std::nullopt);
  progress_->InitBar(0, 8, 1, 0);

  // 1. The chip's download settings and the control program file.
  const std::string& chipDef = settings_.chipDefPath;
  const std::string& chip = settings_.chip.chipName;
  const bool checkReplies = ReadDownloadOption(chipDef, chip) == 0;
  const std::string path = DownloadFilePath(settings_.programDirectory, chipDef, chip);
  std::string image;
  if (path.empty() || !platform::FileExists(path)) {
    ReportMessage(kMsgCannotOpenDownloadFile, kFatal, kErrorSound);
    return 0;
  }
  // 2. The whole file in one piece.
  if (!platform::ReadWholeFile(path, image)) {
    ReportMessage(kMsgFileAccessError, kFatal, kErrorSound);
    return 0;
  }
  if (image.size() < kMinControlProgramSize || image.size() > kMaxControlProgramSize) {
    char detail[160];
    std::snprintf(detail, sizeof detail, " %s : %zu bytes (%zu - %zu)", platform::BaseName(path).c_str(),
                  image.size(), kMinControlProgramSize, kMaxControlProgramSize);
    SetErrorDetail(detail);
    ReportMessage(kMsgBadControlProgramSize, kFatal, kErrorSound);
    return 0;
  }
  // Both rates are settled before anything is sent, so a clock index without a rate never
  // reaches the line.
  const int clockIndex = settings_.clockIndex;
  const std::optional<int32_t> bootBaud = ReadBootRomBaud(chipDef, chip, clockIndex);
  const std::optional<int32_t> commandBaud = ReadCommandBaud(chipDef, chip, clockIndex);
  if (!bootBaud || !commandBaud || *bootBaud <= 0 || *commandBaud <= 0) {
    char detail[64];
    std::snprintf(detail, sizeof detail, " Clock index %d", clockIndex);
    SetErrorDetail(detail);
    ReportMessage(kMsgNoBaudForClock, kFatal, kErrorSound);
    return 0;
  }

  // 3. The control program learns the crystal frequency from its byte 2.
  image[2] = static_cast<char>(clockIndex & 0xFF);
  progress_->StepIt();

  // 4. The port at the boot-ROM rate.
  if (const int failure = OpenComPort(settings_.portNumber + 1, static_cast<uint32_t>(*bootBaud)); failure != 0) {
    CloseComPort();
    ReportMessage(static_cast<uint16_t>(failure), kFatal, kErrorSound);
    return 0;
  }
  // 5. The user resets the board into its boot mode.
  const bool reset = ui_.AskResetTarget(kResetPrompt, kResetCaption);
  PurgeComPort(PurgeWhat::kInputAndOutput);
  if (!reset) return 0;

  // Sends bytes one by one; false when one could not be written (already reported).
  auto send = [this](std::initializer_list<uint8_t> bytes) {
    for (uint8_t byte : bytes) {
      if (!WriteByte(byte)) return false;
    }
    return true;
  };
  // Waits for one reply and checks it; false after reporting a wrong or missing reply.
  auto expect = [this](int seconds, uint8_t wanted, bool examine) {
    const uint8_t reply = ReadByteWithin(seconds);
    if (linkLost_) return false;
    if (!examine) return true;
    if (reply == 0xFF) {
      ReportMessage(kMsgTimeout, kError, kErrorSound);
      return false;
    }
    if (reply != wanted) {
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "MCU : %02XH", reply);
      SetErrorPrefix(prefix);
      ReportMessage(kMsgDownloadError, kError, kErrorSound);
      return false;
    }
    return true;
  };

  // 6. Exchanges 1 to 4 at the boot-ROM rate.
  progress_->StepIt();
  if (!send({kBootSync}) || !expect(1, kBootSyncReply, checkReplies)) return 0;

  progress_->StepIt();
  const uint16_t loadAddress = static_cast<uint16_t>(settings_.chip.loadAddress & 0xFFFF);
  const uint16_t length = static_cast<uint16_t>(image.size());
  const uint8_t header[] = {static_cast<uint8_t>(loadAddress >> 8), static_cast<uint8_t>(loadAddress & 0xFF),
                            static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF)};
  uint8_t sum = 0;
  if (!WriteByte(0x00)) return 0;
  for (uint8_t byte : header) {
    sum = static_cast<uint8_t>(sum + byte);
    if (!WriteByte(byte)) return 0;
  }
  for (char c : image) {
    const auto byte = static_cast<uint8_t>(c);
    sum = static_cast<uint8_t>(sum + byte);
    if (!WriteByte(byte)) return 0;
  }
  if (!WriteByte(sum) || !expect(3, kBootLoadReply, checkReplies)) return 0;

  progress_->StepIt();
  if (!send({kBootSync}) || !expect(3, kBootSyncReply, checkReplies)) return 0;

  progress_->StepIt();
  if (!send({kStartCommand, 0x00, 0x00, 0x00, 0x00}) || !expect(5, kStatusDone, true)) return 0;

  // 7. The control program now talks at the command rate.
  progress_->StepIt();
  clock_.SleepMs(100);
  if (const int failure = ChangeBaudRate(static_cast<uint32_t>(*commandBaud)); failure != 0) {
    CloseComPort();
    ReportMessage(static_cast<uint16_t>(failure), kFatal, kErrorSound);
    return 0;
  }
  // 8. Exchange 5 proves the new rate.
  progress_->StepIt();
  clock_.SleepMs(100);
  if (!send({kBaudCheckCommand}) || !expect(3, kStatusDone, true)) return 0;

  progress_->StepIt();
  return kStatusDone;
}

bool FlashLink::DownloadControlProgram(bool fullOperation) {
  CloseComPort();
  ShowStatusText(kMsgDownloading, fullOperation);
  const bool failed = TransferControlProgram() != kStatusDone;
  if (!failed) {
    if (!fullOperation) {
      WriteTimingEntry(kTimingDownload);
      ReportMessage(kMsgDownloadOk, kNotice, kCompletionSound);
    }
    downloaded_ = true;
    ui_.ShowDownloadState(true);
  } else {
    ResetDownloadState();
    ui_.FocusChipList();
    CloseComPort();
  }
  if (progress_) progress_->SetPos(0);
  return failed;
}

}  // namespace flash
