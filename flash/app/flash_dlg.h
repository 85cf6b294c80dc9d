// CFlashDlg: the main window. It holds the work in hand (chip, crystal frequency, hex file,
// settings, download state) and is the main window's side of the target link: it makes
// the progress windows, shows message boxes and prompts, plays the sounds and enables the
// command buttons.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <string>

#include "flash/app/environment_settings.h"
#include "flash/chipdef/chip_record.h"
#include "flash/link/flash_link.h"
#include "flash/link/user_interface.h"
#include "platform/serial_port_linux.h"

class CProgressDlg;
class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Control ids of the main window, kept as the controls' object names.
enum FlashDlgId : int {
  kIdChipList = 1018,
  kIdClockList = 1020,
  kIdHexFile = 1008,
  kIdOpen = 1015,
  kIdCommandGroup = 1080,
  kIdFullOperation = 1019,
  kIdDownload = 1021,
  kIdErase = 1010,
  kIdBlankCheck = 1014,
  kIdProgram = 1011,
  kIdReadCompare = 1012,
  kIdCopy = 1013,
  kIdSetEnvironment = 1051,
  kIdCheckSum = 1052,
  kIdHelp = 2000,
  kIdLogo = 1036,
  kIdVersion = 1027,
};

// Why the window could not start; each ends the program after its message box.
enum class StartupResult { kReady, kPathTooLong, kRegistFailed, kMemoryNotEnough };

class CFlashDlg final : public QDialog, public flash::UserInterface {
 public:
  // programDirectory ends in '/'; executablePath is checked against the path-length limit.
  CFlashDlg(const std::string& programDirectory, const std::string& executablePath);
  ~CFlashDlg() override;

  // Start-up: program directory, recent settings, chip list, settings file. A failure
  // shows its message box (caption "flash") and is returned; the window is then not shown.
  StartupResult Initialize();

  // Model operations.
  void LoadRecentSettings();
  void SaveRecentSettings();
  void ShowChipAreas();
  void ReadEnvironment();
  void ResetDownloadState();
  void UpdateData(bool saveAndValidate);

  // Handlers (also reachable by the tests).
  void OnChipChanged();
  void OnClockChanged();
  void OnOpen();
  void OnHelp();
  void OnSetEnvironment();
  void OnCheckSum();
  void OnAbout();
  void OnCommand(int id);
  // A dropped file (only the first one counts).
  void OnDropFiles(const QStringList& paths);
  void ToggleCopyFormat();

  // State the tests read.
  int CopyFormat() const { return copyFormat_; }
  bool Downloaded() const { return link_.Downloaded(); }
  const std::string& HexFilePath() const { return hexFilePath_; }
  const QString& HexFileName() const { return hexFileName_; }
  int ChipIndex() const { return chipIndex_; }
  int ClockIndex() const { return clockIndex_; }
  const EnvironmentSettings& Environment() const { return env_; }
  const std::string& VersionText() const { return versionText_; }
  const std::string& DataFilePath() const { return dataFilePath_; }
  const std::string& SettingsFilePath() const { return settingsPath_; }
  const std::string& SettingsDirectory() const { return settingsDir_; }
  flash::FlashLink& Link() { return link_; }
  QString AreaText(int index) const { return areaTexts_[static_cast<size_t>(index)]; }
  // Opens the help document; replaceable so tests see the request instead of a viewer.
  std::function<void(const QString& path)> openHelp;

  // flash::UserInterface
  std::unique_ptr<flash::ProgressWindow> CreateProgressWindow() override;
  void ShowMessageBox(const std::string& text, const std::string& caption, flash::MessageIcon icon,
                      flash::BoxOwner owner) override;
  bool AskResetTarget(const std::string& text, const std::string& caption) override;
  bool AskCrcRetry(const std::string& text, const std::string& caption) override;
  std::optional<std::string> AskSaveFileName(const flash::SaveFileRequest& request) override;
  void Beep() override;
  void PlayWaveFile(const std::string& path) override;
  void ShowDownloadState(bool downloaded) override;
  void FocusChipList() override;
  void PumpEvents() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // A right click on the window's background or a label opens the window menu (with
  // About), on desktops whose window manager keeps Alt+Space for its own menu.
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildControls();
  QPushButton* AddButton(int id, const QString& caption, int x, int y, int width, int height,
                         QWidget* parent);
  void ApplyToolTips();
  void SyncLinkSettings();
  // Tells the user, once per run, that a settings file could not be written.
  void NoticeSettingsNotSaved(const std::string& path);
  // One command, progress window and port included (OnCommand marks it as running).
  void RunCommand(int id);
  void ShowSystemMenu(const QPoint& at);
  QWidget* MessageOwner(flash::BoxOwner owner);
  QWidget* Control(int id) const;

  // Paths.
  std::string executablePath_;
  std::string programDir_;
  std::string chipDefPath_;
  std::string settingsDir_;  // DATAFILE.TXT, Customize.ini, TIMETEST.TXT, CRCTEST.TXT
  bool settingsNoticeShown_ = false;
  std::string settingsPath_;
  std::string dataFilePath_;
  std::string versionText_;

  // Model.
  std::array<QString, 12> areaTexts_;
  QString hexFileName_;
  std::string hexFilePath_;
  int chipIndex_ = 0;
  int clockIndex_ = 0;
  flash::ChipRecord chip_;
  EnvironmentSettings env_;
  int copyFormat_ = 0;
  bool closing_ = false;
  bool updating_ = false;
  bool commandRunning_ = false;

  // Controls.
  QComboBox* chips_ = nullptr;
  QComboBox* clocks_ = nullptr;
  QLineEdit* hexFile_ = nullptr;
  QGroupBox* commandGroup_ = nullptr;
  QPushButton* copyButton_ = nullptr;
  QLabel* version_ = nullptr;
  std::array<QLabel*, 12> areaLabels_{};
  std::map<int, QWidget*> controls_;

  // Link.
  platform::SerialPortLinux port_;
  flash::FlashLink link_;
  QPointer<CProgressDlg> progress_;
};
