// The one reporter of the GUI programmer: builds the text of a numbered message with the
// error banner, prefix and detail, shows it in the progress window (and waits for the
// button) or in a message box, plays the event sound, and after a fatal error sends the
// user back to the download.
#include "flash/link/flash_link.h"
#include "flash/link/messages.h"

namespace flash {
namespace {

constexpr const char* kBanner = "ERROR !!    ";
constexpr const char* kReportCaption = "Flash Memory Writer";

MessageIcon ProgressIcon(uint8_t severity) {
  if (severity == kNotice) return MessageIcon::kInformation;
  if (severity == kError) return MessageIcon::kExclamation;
  return MessageIcon::kError;
}

}  // namespace

void FlashLink::ReportMessage(uint16_t id, uint8_t severity, int sound) {
  std::string text(MessageText(id));
  if (severity != kNotice) text = kBanner + errorPrefix_ + "\r\n" + text;
  if (!errorDetail_.empty()) text += "\r\n" + errorDetail_;
  errorPrefix_.clear();
  errorDetail_.clear();
  const bool fatal = severity >= kFatal;

  if (progress_) {
    progress_->SetForm(kFormMessage, false, std::nullopt);
    progress_->SetIcon(ProgressIcon(severity));
    progress_->SetInfoText(StaticControlText(text));
    PlayEventSound(sound);
    WaitForAcknowledgement();
    if (fatal) {
      progress_->SetInfoText(StaticControlText(MessageText(kMsgRedoDownload)));
      WaitForAcknowledgement();
    }
  } else {
    PlayEventSound(sound);
    ui_.ShowMessageBox(text, kReportCaption,
                       severity == kNotice ? MessageIcon::kInformation : MessageIcon::kExclamation,
                       BoxOwner::kMainWindow);
    if (fatal) {
      ui_.ShowMessageBox(std::string(MessageText(kMsgRedoDownload)), kReportCaption,
                         MessageIcon::kExclamation, BoxOwner::kMainWindow);
    }
  }
  if (fatal) {
    ResetDownloadState();
    ui_.FocusChipList();
    CloseComPort();
    // The command in progress ends at its next test instead of failing on the closed port.
    linkLost_ = true;
  }
}

void FlashLink::WaitForAcknowledgement() {
  if (progress_) progress_->WaitForButton();
}

void FlashLink::PlayEventSound(int category) {
  const SoundSettings& s = settings_.sound;
  if (s.sound == 0) return;
  int enable = 0;
  int type = 0;
  const std::string* path = nullptr;
  if (category == kErrorSound) {
    enable = s.errorEnable;
    type = s.errorType;
    path = &s.errorPath;
  } else if (category == kCompletionSound) {
    enable = s.endEnable;
    type = s.endType;
    path = &s.endPath;
  } else {
    return;
  }
  if (enable == 0) return;
  if (type != 0) {
    ui_.Beep();
  } else {
    ui_.PlayWaveFile(*path);
  }
}

void FlashLink::ResetDownloadState() {
  downloaded_ = false;
  ui_.ShowDownloadState(false);
}

}  // namespace flash
