#include "tests/link/scripted_ui.h"

#include <algorithm>

namespace flash::testing {
namespace {

class ScriptedProgress final : public ProgressWindow {
 public:
  explicit ScriptedProgress(ScriptedUi& ui) : ui_(ui) {
    ui_.log.push_back("create progress");
    ui_.progressOpen = true;
  }
  ~ScriptedProgress() override {
    ui_.log.push_back("destroy progress");
    ui_.progressOpen = false;
  }

  void SetForm(int form, bool centre, const std::optional<std::string>& title) override {
    if (form == kFormDefault) form = kFormMessage;
    form_ = form;
    ui_.log.push_back("form " + std::to_string(form) + (centre ? " centred" : ""));
    if (title) SetTitle(*title);
    active_ = (form & kFormButtonActive) != 0;
    caption_ = (form & kFormOkCaption) != 0 ? "Ok" : (form & kFormCancelCaption) != 0 ? "Cancel" : "";
  }
  void SetInfoText(const std::string& text) override { ui_.log.push_back("info " + text); }
  void SetTitle(const std::string& title) override {
    ui_.titles.push_back(title);
    ui_.log.push_back("title " + title);
  }
  void SetIcon(MessageIcon icon) override { ui_.log.push_back(std::string("icon ") + IconName(icon)); }
  void SetButtonCaption(const std::string& caption) override {
    caption_ = caption;
    ui_.log.push_back("caption " + caption);
  }
  void InitBar(int lower, int upper, int step, int position) override {
    ui_.log.push_back("bar " + std::to_string(lower) + " " + std::to_string(upper) + " " + std::to_string(step) +
                      " " + std::to_string(position));
    SetRange(lower, upper);
    SetStep(step);
    SetPos(position);
  }
  void SetRange(int lower, int upper) override {
    lower_ = lower;
    upper_ = upper;
  }
  void SetStep(int step) override { step_ = step; }
  int SetPos(int position) override {
    const int previous = pos_;
    pos_ = position;
    ui_.positions.push_back(position);
    ui_.titles.push_back(std::to_string(position) + " / " + std::to_string(upper_));
    ui_.log.push_back("pos " + std::to_string(position));
    if (ui_.cancelAtPos >= 0 && position == ui_.cancelAtPos) {
      pressed_ = true;
      ui_.cancelAtPos = -1;
    }
    return previous;
  }
  int StepIt() override {
    const int previous = pos_;
    pos_ = std::min(pos_ + step_, upper_);
    ui_.positions.push_back(pos_);
    ui_.titles.push_back(std::to_string(pos_) + " / " + std::to_string(upper_));
    ui_.log.push_back("step");
    return previous;
  }
  int GetPos() override { return pos_; }
  bool IsCancelled() override {
    if (!active_) return false;
    ++ui_.polls;
    if (ui_.cancelAtPoll != 0 && ui_.polls == ui_.cancelAtPoll) pressed_ = true;
    const bool was = pressed_;
    pressed_ = false;
    if (was) ui_.log.push_back("cancel pressed");
    return was;
  }
  void WaitForButton() override {
    // The user reads the text and presses the button.
    ui_.log.push_back("wait " + caption_);
    pressed_ = false;
  }

 private:
  ScriptedUi& ui_;
  int form_ = kFormMessage;
  int lower_ = 0;
  int upper_ = 100;
  int step_ = 1;
  int pos_ = 0;
  bool active_ = true;
  bool pressed_ = false;
  std::string caption_ = "Ok";
};

const char* OwnerName(BoxOwner owner) { return owner == BoxOwner::kMainWindow ? "main" : "progress"; }

}  // namespace

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kNone:
      return "none";
    case MessageIcon::kInformation:
      return "information";
    case MessageIcon::kExclamation:
      return "exclamation";
    case MessageIcon::kError:
      return "error";
    case MessageIcon::kQuestion:
      return "question";
  }
  return "?";
}

std::unique_ptr<ProgressWindow> ScriptedUi::CreateProgressWindow() {
  if (failCreate) return nullptr;
  ++createdProgressWindows;
  return std::make_unique<ScriptedProgress>(*this);
}

void ScriptedUi::ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                BoxOwner owner) {
  log.push_back("box " + caption + "|" + IconName(icon) + "|" + OwnerName(owner) + "|" + text);
}

bool ScriptedUi::AskResetTarget(const std::string& text, const std::string& caption) {
  log.push_back("reset? " + caption + "|" + text);
  return onReset ? onReset() : true;
}

bool ScriptedUi::AskCrcRetry(const std::string& text, const std::string& caption) {
  log.push_back("crc? " + caption + "|" + text);
  if (crcAnswers.empty()) return false;
  const bool answer = crcAnswers.front();
  crcAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedUi::AskSaveFileName(const SaveFileRequest& request) {
  log.push_back("save? " + request.filter + "|" + request.defaultExtension + "|" + request.initialDirectory);
  return savePath;
}

void ScriptedUi::ShowDownloadState(bool downloaded) {
  downloadedShown = downloaded;
  log.push_back(downloaded ? "state downloaded" : "state not downloaded");
}

std::vector<std::string> ScriptedUi::InfoTexts() const {
  std::vector<std::string> texts;
  for (const std::string& entry : log) {
    if (entry.rfind("info ", 0) == 0) texts.push_back(entry.substr(5));
  }
  return texts;
}

std::vector<std::string> ScriptedUi::Boxes() const {
  std::vector<std::string> boxes;
  for (const std::string& entry : log) {
    if (entry.rfind("box ", 0) == 0) boxes.push_back(entry.substr(4));
  }
  return boxes;
}

bool ScriptedUi::Saw(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }

bool ScriptedUi::SawText(const std::string& fragment) const {
  return std::any_of(log.begin(), log.end(), [&](const std::string& e) { return e.find(fragment) != std::string::npos; });
}

int ScriptedUi::Count(const std::string& entry) const {
  return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

}  // namespace flash::testing
