// The command sequences behind the main window's buttons: the common frame (start time,
// Hex File test, progress window, port at the command baud, tidy-up on every exit) and the
// steps of each command, Full Operation included.
#include "flash/hexfile/hex_file_loader.h"
#include "flash/link/flash_link.h"
#include "flash/link/messages.h"
#include "platform/paths.h"

namespace flash {
namespace {

// Shows the hex-file load in the progress window.
class ProgressLoadView final : public HexLoadView {
 public:
  ProgressLoadView(ProgressWindow& progress, UserInterface& ui) : progress_(progress), ui_(ui) {}
  void ShowLoadStatus(const HexLoadStatus& status) override {
    progress_.SetForm(kFormTextOnly, false, std::nullopt);
    progress_.SetInfoText(status.text);
  }
  void ShowLoadError(const HexLoadError& error) override {
    ui_.ShowMessageBox(error.text, error.caption, MessageIcon::kNone, BoxOwner::kProgressWindow);
  }

 private:
  ProgressWindow& progress_;
  UserInterface& ui_;
};

// Ends a command however it leaves: progress window gone, port closed.
class CommandScope {
 public:
  explicit CommandScope(FlashLink& link) : link_(link) {}
  ~CommandScope() {
    link_.DestroyProgress();
    link_.CloseComPort();
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

 private:
  FlashLink& link_;
};

}  // namespace

FlashLink::FlashLink(platform::SerialPort& port, platform::Clock& clock, UserInterface& ui)
    : port_(port), clock_(clock), ui_(ui), image_(std::make_unique<FlashImage>()),
      crcTestRandom_(std::random_device{}()) {}

FlashLink::~FlashLink() {
  progress_.reset();
  CloseComPort();
}

bool FlashLink::CreateProgress(const std::string& title) {
  DestroyProgress();
  progress_ = ui_.CreateProgressWindow();
  if (!progress_) return false;
  progress_->SetTitle(title);
  return true;
}

void FlashLink::DestroyProgress() { progress_.reset(); }

bool FlashLink::HexFileMissing() {
  if (!settings_.hexFilePath.empty() && platform::FileExists(settings_.hexFilePath)) return false;
  ReportMessage(kMsgSetHexFile, kError, kErrorSound);
  return true;
}

bool FlashLink::AreasFitImage() {
  const AreaFit fit = CheckAreasFitImage(AreasOf(settings_.chip));
  if (fit == AreaFit::kFits) return true;
  SetErrorDetail(std::string(" ") + AreaFitText(fit));
  ReportMessage(kMsgAreasDoNotFit, kError, kErrorSound);
  return false;
}

bool FlashLink::OpenAtCommandBaud() {
  if (const int failure = OpenComPort(settings_.portNumber + 1, commandBaud_); failure != 0) {
    CloseComPort();
    ReportMessage(static_cast<uint16_t>(failure), kFatal, kErrorSound);
    return false;
  }
  PurgeComPort(PurgeWhat::kInputAndOutput);
  return true;
}

bool FlashLink::LoadHexIntoImage(bool fullOperation) {
  ProgressLoadView view(*progress_, ui_);
  return LoadHexFile(settings_.hexFilePath, AreasOf(settings_.chip), *image_, fullOperation, 0xFF, &view);
}

void FlashLink::RunDownload() {
  MarkCommandStart();
  CommandScope scope(*this);
  if (!CreateProgress("Download")) return;
  DownloadControlProgram(false);
}

void FlashLink::RunErase() {
  MarkCommandStart();
  CommandScope scope(*this);
  if (!AreasFitImage() || !CreateProgress("Erase") || !OpenAtCommandBaud()) return;
  EraseFlash(false);
}

void FlashLink::RunBlankCheck() {
  MarkCommandStart();
  CommandScope scope(*this);
  if (!AreasFitImage() || !CreateProgress("Blank Check") || !OpenAtCommandBaud()) return;
  BlankCheckFlash(false);
}

void FlashLink::RunProgramAndVerify() {
  MarkCommandStart();
  if (HexFileMissing()) return;
  CommandScope scope(*this);
  if (!AreasFitImage() || !CreateProgress("Program") || !OpenAtCommandBaud()) return;
  if (LoadHexIntoImage(false)) ProgramAndVerify(false);
}

void FlashLink::RunReadAndCompare() {
  MarkCommandStart();
  if (HexFileMissing()) return;
  CommandScope scope(*this);
  if (!AreasFitImage() || !CreateProgress("Read & Compare") || !OpenAtCommandBaud()) return;
  if (LoadHexIntoImage(false)) ReadAndCompare();
}

void FlashLink::RunCopy() {
  CommandScope scope(*this);
  if (!AreasFitImage() || !OpenAtCommandBaud()) return;
  CopyFlashToFile();
}

void FlashLink::RunFullOperation() {
  MarkCommandStart();
  if (HexFileMissing()) return;
  CommandScope scope(*this);
  if (!AreasFitImage() || !CreateProgress("Full Operation")) return;
  progress_->SetForm(kFormMessage, true, std::string("Full Operation"));
  if (!LoadHexIntoImage(true)) return;
  if (DownloadControlProgram(true)) return;
  const int precheck = PrecheckBlank();
  if (precheck == kPrecheckStop) return;
  if (precheck == kPrecheckNotBlank) {
    if (EraseFlash(true) || BlankCheckFlash(true)) return;
  }
  ProgramAndVerify(true);
}

}  // namespace flash
