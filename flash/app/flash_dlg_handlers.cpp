// The main window's handlers that open other windows, the command buttons, and the main
// window's side of the target link.
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <utility>

#include "flash/app/about_dlg.h"
#include "flash/app/app_strings.h"
#include "flash/app/check_sum_dlg.h"
#include "flash/app/custom_prop.h"
#include "flash/app/file_dialogs.h"
#include "flash/app/flash_dlg.h"
#include "flash/app/path_limit.h"
#include "flash/app/progress_dlg.h"
#include "flash/app/same_file.h"
#include "flash/app/sound_player.h"
#include "flash/hexfile/hex_file_loader.h"
#include "flash/output/read_out_writer.h"

namespace {

constexpr const char* kHexFilter =
    "S format files (*.mhx;*.cnv;*.ahx)|*.mhx;*.cnv;*.ahx|Intel Hex files "
    "(*.ihx;*.ehx;*.hex)|*.ihx;*.ehx;*.hex|all files (*.*)|*.*||";

// Copy refuses to write its read-out over the Hex File it would destroy.
constexpr const char* kCopyOverHexFileText = "ERROR : CANNOT OVERWRITE THE HEX FILE";

// The help documents, in the order they are looked for.
constexpr const char* kCompiledHelp = "flash_html.chm";
constexpr const char* kHtmlHelp = "flash_html.html";

QMessageBox::Icon BoxIcon(flash::MessageIcon icon) {
  switch (icon) {
    case flash::MessageIcon::kInformation: return QMessageBox::Information;
    case flash::MessageIcon::kExclamation: return QMessageBox::Warning;
    case flash::MessageIcon::kError: return QMessageBox::Critical;
    case flash::MessageIcon::kQuestion: return QMessageBox::Question;
    case flash::MessageIcon::kNone:
    default: return QMessageBox::NoIcon;
  }
}

QString BoxText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.remove(QLatin1Char('\r'));
  return shown;
}

}  // namespace

void CFlashDlg::OnOpen() {
  UpdateData(true);
  if (!hexFilePath_.empty()) {
    const QString dir = QFileInfo(QString::fromStdString(hexFilePath_)).absolutePath();
    if (QFileInfo(dir).isDir()) QDir::setCurrent(dir);
  }
  FileDialogRequest request;
  request.filter = QtFilterFromBarList(QString::fromLatin1(kHexFilter));
  request.directory = QDir::currentPath();
  const std::optional<QString> chosen = AppFileDialogs().openFile(this, request);
  // A path over the limit is refused, as a drop and DATAFILE.TXT refuse it.
  if (chosen && PathWithinLimit(QFileInfo(*chosen).absoluteFilePath().toStdString())) {
    hexFilePath_ = QFileInfo(*chosen).absoluteFilePath().toStdString();
    hexFileName_ = QFileInfo(*chosen).fileName();
    UpdateData(false);
  }
  QDir::setCurrent(QString::fromStdString(programDir_));
  SaveRecentSettings();
}

void CFlashDlg::OnHelp() {
  // Looked up relative to the current directory, which the program keeps at its own
  // directory after every Open and at every download; our HTML help stands in for the
  // compiled one, and the program directory is the last place looked at.
  QString path;
  for (const QString& candidate :
       {QDir::current().filePath(QString::fromLatin1(kCompiledHelp)),
        QDir::current().filePath(QString::fromLatin1(kHtmlHelp)),
        QDir(QString::fromStdString(programDir_)).filePath(QString::fromLatin1(kHtmlHelp))}) {
    if (QFileInfo(candidate).isFile()) {
      path = candidate;
      break;
    }
  }
  if (!path.isEmpty() && openHelp) openHelp(QFileInfo(path).absoluteFilePath());
}

void CFlashDlg::OnSetEnvironment() {
  {
    CCustomPropMain sheet(this, settingsPath_);
    sheet.onSettingsNotSaved = [this](const std::string& path) { NoticeSettingsNotSaved(path); };
    sheet.DoModal(env_);
  }
  ReadEnvironment();
}

void CFlashDlg::OnCheckSum() {
  CCheckSumDlg dialog(this, [this](uint8_t fill) {
    return static_cast<uint32_t>(flash::ComputeImageChecksum(
        hexFilePath_, flash::AreasOf(chip_), link_.Image(), fill));
  });
  dialog.exec();
}

void CFlashDlg::OnAbout() {
  CAboutDlg about(this, versionText_);
  about.exec();
}

void CFlashDlg::contextMenuEvent(QContextMenuEvent* event) {
  QWidget* under = childAt(event->pos());
  if (under != nullptr && qobject_cast<QLabel*>(under) == nullptr && qobject_cast<QGroupBox*>(under) == nullptr) {
    event->ignore();  // buttons and lists keep their own right click
    return;
  }
  ShowSystemMenu(event->globalPos());
}

void CFlashDlg::ShowSystemMenu(const QPoint& at) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Mi&nimize"), this, [this] { showMinimized(); });
  menu.addAction(QStringLiteral("&Close\tAlt+F4"), this, [this] { close(); });
  const QString about = AppString(kStrAboutMenuItem);
  if (!about.isEmpty()) {
    menu.addSeparator();
    menu.addAction(about, this, [this] { OnAbout(); });
  }
  menu.exec(at);
}

void CFlashDlg::SyncLinkSettings() {
  flash::LinkSettings& s = link_.Settings();
  s.programDirectory = programDir_;
  s.settingsDirectory = settingsDir_;
  s.chipDefPath = chipDefPath_;
  s.chip = chip_;
  s.clockIndex = clockIndex_;
  s.hexFilePath = hexFilePath_;
  s.copyFormat = copyFormat_;
  s.portNumber = env_.portNumber;
  s.sound.sound = env_.soundOn;
  s.sound.errorEnable = env_.errorEnable;
  s.sound.errorType = env_.errorType;
  s.sound.errorPath = env_.errorPath;
  s.sound.endEnable = env_.endEnable;
  s.sound.endType = env_.endType;
  s.sound.endPath = env_.endPath;
}

void CFlashDlg::OnCommand(int id) {
  const bool wasRunning = std::exchange(commandRunning_, true);
  RunCommand(id);
  commandRunning_ = wasRunning;
}

void CFlashDlg::RunCommand(int id) {
  if (id == kIdProgram || id == kIdReadCompare) UpdateData(true);
  SyncLinkSettings();
  switch (id) {
    case kIdDownload:
      QDir::setCurrent(QString::fromStdString(programDir_));
      link_.RunDownload();
      break;
    case kIdFullOperation:
      QDir::setCurrent(QString::fromStdString(programDir_));
      link_.RunFullOperation();
      break;
    case kIdErase: link_.RunErase(); break;
    case kIdBlankCheck: link_.RunBlankCheck(); break;
    case kIdProgram: link_.RunProgramAndVerify(); break;
    case kIdReadCompare: link_.RunReadAndCompare(); break;
    case kIdCopy: link_.RunCopy(); break;
    default: break;
  }
}

void CFlashDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CFlashDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  OnDropFiles(paths);
  event->acceptProposedAction();
}

// ---- flash::UserInterface ---------------------------------------------------------------

std::unique_ptr<flash::ProgressWindow> CFlashDlg::CreateProgressWindow() {
  auto window = std::make_unique<CProgressDlg>(this);
  if (!window->Create()) return nullptr;
  progress_ = window.get();
  return window;
}

QWidget* CFlashDlg::MessageOwner(flash::BoxOwner owner) {
  if (owner == flash::BoxOwner::kProgressWindow && progress_) return progress_.data();
  return this;
}

void CFlashDlg::ShowMessageBox(const std::string& text, const std::string& caption,
                               flash::MessageIcon icon, flash::BoxOwner owner) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), BoxText(text), QMessageBox::Ok,
                  MessageOwner(owner));
  box.exec();
}

bool CFlashDlg::AskResetTarget(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Information, QString::fromStdString(caption), BoxText(text),
                  QMessageBox::Ok | QMessageBox::Cancel, MessageOwner(flash::BoxOwner::kProgressWindow));
  return box.exec() == QMessageBox::Ok;
}

bool CFlashDlg::AskCrcRetry(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), BoxText(text),
                  QMessageBox::Yes | QMessageBox::No, MessageOwner(flash::BoxOwner::kProgressWindow));
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> CFlashDlg::AskSaveFileName(const flash::SaveFileRequest& request) {
  FileDialogRequest dialog;
  dialog.filter = QtFilterFromBarList(QString::fromStdString(request.filter));
  dialog.defaultExtension = QString::fromStdString(request.defaultExtension);
  // The dialog starts in the Hex File's directory with no name preset, so that Enter alone
  // never picks the Hex File.
  dialog.directory = DirectoryToStartIn(QString::fromStdString(request.initialDirectory));
  const std::optional<QString> chosen = AppFileDialogs().saveFile(MessageOwner(flash::BoxOwner::kProgressWindow), dialog);
  if (!chosen) return std::nullopt;
  if (IsSameFile(chosen->toStdString(), hexFilePath_)) {
    // Nothing is read and nothing written, as after a cancelled dialog.
    ShowMessageBox(kCopyOverHexFileText, flash::kReadOutCaption, flash::MessageIcon::kExclamation,
                   flash::BoxOwner::kMainWindow);
    return std::nullopt;
  }
  return chosen->toStdString();
}

void CFlashDlg::Beep() { SoundPlayer::Instance().Beep(); }

void CFlashDlg::PlayWaveFile(const std::string& path) { SoundPlayer::Instance().PlayWaveFile(path); }

void CFlashDlg::FocusChipList() { chips_->setFocus(Qt::OtherFocusReason); }

void CFlashDlg::PumpEvents() { CProgressDlg::PumpMessages(); }
