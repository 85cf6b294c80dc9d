// CProgressDlg: the modeless window of one command. Icon, information text, bar and one
// button whose caption and state follow the form; the window's height follows it too.
// The command runs on the GUI thread and keeps this window alive by processing events
// whenever it steps the bar or asks whether the button was pressed.
#pragma once

#include <QDialog>
#include <QPointer>

#include "flash/link/user_interface.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDlg final : public QDialog, public flash::ProgressWindow {
 public:
  // Control ids, kept as object names.
  static constexpr int kIdIcon = 1031;
  static constexpr int kIdInfo = 1105;
  static constexpr int kIdBar = 1103;
  static constexpr int kIdButton = 2;

  explicit CProgressDlg(QWidget* owner);
  ~CProgressDlg() override;

  // Disables the owner (when enabled), builds the window and shows it in form 13,
  // centred. Returns false when the window cannot be made; the owner is enabled again.
  bool Create();

  void SetForm(int form, bool centre, const std::optional<std::string>& title) override;
  void SetInfoText(const std::string& text) override;
  void SetTitle(const std::string& title) override;
  void SetIcon(flash::MessageIcon icon) override;
  void SetButtonCaption(const std::string& caption) override;
  void InitBar(int lower, int upper, int step, int position) override;
  void SetRange(int lower, int upper) override;
  void SetStep(int step) override;
  int SetPos(int position) override;
  int StepIt() override;
  int GetPos() override;
  bool IsCancelled() override;
  void WaitForButton() override;

  // Presses the button when it offers Cancel (active and reading "Cancel"), as a close
  // request of the main window does during a command; otherwise does nothing.
  void PressCancelIfOffered();

  std::pair<int, int> GetRange() const { return {lower_, upper_}; }
  int Form() const { return form_; }
  bool ButtonActive() const { return buttonActive_; }
  // Processes the events that wait, without waiting for new ones.
  static void PumpMessages();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void PressButton();
  void CentreOnOwner();

  QPointer<QWidget> owner_;
  QLabel* icon_ = nullptr;
  QLabel* info_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* button_ = nullptr;
  int lower_ = 0;
  int upper_ = 100;
  int step_ = 1;
  int form_ = flash::kFormMessage;
  bool buttonActive_ = false;
  bool cancelRequested_ = false;
  bool ownerDisabled_ = false;
  int textFormHeight_ = 0;
  int barFormHeight_ = 0;
  int fullHeight_ = 0;
  QEventLoop* waitLoop_ = nullptr;
};
