#include "flash/app/flash_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>

#include <cstdio>
#include <fstream>
#include <memory>
#include <new>

#include "flash/app/app_strings.h"
#include "flash/app/dialog_units.h"
#include "flash/app/letter_mnemonics.h"
#include "flash/app/path_limit.h"
#include "flash/app/program_icon.h"
#include "flash/app/progress_dlg.h"
#include "flash/app/recent_settings.h"
#include "flash/app/version_text.h"
#include "flash/chipdef/chip_database.h"
#include "platform/paths.h"
#include "platform/settings_home.h"

namespace {

// The limit of a path buffer on the platform the program was written for; an executable
// path this long ends the program as it always did.
constexpr size_t kExecutablePathLimit = 260;

const int kAreaIds[12] = {1005, 1006, 1007, 1009, 1016, 1017, 1022, 1023, 1024, 1025, 1026, 1028};

QString AreaHex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%06XH", value);
  return QString::fromLatin1(text);
}

// The logo: a small picture drawn once.
QPixmap LogoPixmap(const QSize& size) {
  QPixmap pixmap(size);
  pixmap.fill(QColor(0x1f, 0x3a, 0x5f));
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0xf2, 0xc1, 0x2e), 2));
  const int h = size.height();
  const QPointF bolt[] = {{h * 0.55, h * 0.12}, {h * 0.30, h * 0.55}, {h * 0.50, h * 0.55},
                          {h * 0.40, h * 0.88}, {h * 0.72, h * 0.42}, {h * 0.52, h * 0.42}};
  painter.setBrush(QColor(0xf2, 0xc1, 0x2e));
  painter.drawPolygon(bolt, 6);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(std::max(8, h / 3));
  painter.setFont(font);
  painter.drawText(QRect(h, 0, size.width() - h, h), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("FLASH MCU"));
  return pixmap;
}

}  // namespace

CFlashDlg::CFlashDlg(const std::string& programDirectory, const std::string& executablePath)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      executablePath_(executablePath),
      programDir_(programDirectory),
      port_(platform::RealClock()),
      link_(port_, platform::RealClock(), *this) {
  setObjectName(QStringLiteral("102"));
  setWindowTitle(QStringLiteral("VELMORA FLASH MCU Programmer"));
  setWindowIcon(ProgramIcon());
  setAttribute(Qt::WA_AlwaysShowToolTips);
  openHelp = [](const QString& path) {
    // The desktop's viewer for the file; nothing is shown when none is available.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  };
  BuildControls();
}

CFlashDlg::~CFlashDlg() { link_.DestroyProgress(); }

QPushButton* CFlashDlg::AddButton(int id, const QString& caption, int x, int y, int width,
                                  int height, QWidget* parent) {
  const DialogUnits du(font());
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::number(id));
  button->setAutoDefault(false);
  button->setGeometry(du.Rect(x, y, width, height));
  controls_[id] = button;
  return button;
}

void CFlashDlg::BuildControls() {
  const DialogUnits du(font());
  setFixedSize(du.Size(355, 209));

  auto* chipLabel = new QLabel(QStringLiteral("&Target Microcontroller"), this);
  du.Place(chipLabel, 7, 7, 110, 8);
  chips_ = new QComboBox(this);
  chips_->setObjectName(QString::number(kIdChipList));
  du.Place(chips_, 7, 17, 110, 14);
  chipLabel->setBuddy(chips_);
  controls_[kIdChipList] = chips_;

  auto* clockLabel = new QLabel(QStringLiteral("Cr&ystal Frequency"), this);
  du.Place(clockLabel, 124, 7, 83, 8);
  clocks_ = new QComboBox(this);
  clocks_->setObjectName(QString::number(kIdClockList));
  du.Place(clocks_, 124, 17, 83, 14);
  clockLabel->setBuddy(clocks_);
  controls_[kIdClockList] = clocks_;

  auto* hexLabel = new QLabel(QStringLiteral("Hex File"), this);
  du.Place(hexLabel, 7, 37, 60, 8);
  hexFile_ = new QLineEdit(this);
  hexFile_->setObjectName(QString::number(kIdHexFile));
  hexFile_->setReadOnly(true);
  du.Place(hexFile_, 7, 47, 158, 13);
  controls_[kIdHexFile] = hexFile_;
  AddButton(kIdOpen, QStringLiteral("&Open"), 169, 46, 38, 14, this);

  auto* areaGroup = new QGroupBox(QStringLiteral("Flash area"), this);
  du.Place(areaGroup, 7, 65, 200, 75);
  const char* columns[3] = {"Start", "End", "Size"};
  for (int c = 0; c < 3; ++c) {
    auto* heading = new QLabel(QString::fromLatin1(columns[c]), this);
    heading->setAlignment(Qt::AlignCenter);
    du.Place(heading, 17 + c * 62, 76, 55, 8);
  }
  for (int i = 0; i < 12; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::number(kAreaIds[i]));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    du.Place(label, 17 + (i % 3) * 62, 87 + (i / 3) * 13, 55, 11);
    areaLabels_[static_cast<size_t>(i)] = label;
    controls_[kAreaIds[i]] = label;
  }

  auto* optionGroup = new QGroupBox(QStringLiteral("Option"), this);
  du.Place(optionGroup, 7, 144, 200, 28);
  AddButton(kIdSetEnvironment, QStringLiteral("&Set Environment"), 13, 154, 70, 14, this);
  AddButton(kIdCheckSum, QStringLiteral("Check SUM"), 88, 154, 55, 14, this);
  AddButton(kIdHelp, QStringLiteral("&Help"), 148, 154, 53, 14, this);

  auto* logo = new QLabel(this);
  logo->setObjectName(QString::number(kIdLogo));
  du.Place(logo, 7, 178, 120, 24);
  logo->setPixmap(LogoPixmap(logo->size()));
  controls_[kIdLogo] = logo;
  version_ = new QLabel(QStringLiteral("Version"), this);
  version_->setObjectName(QString::number(kIdVersion));
  du.Place(version_, 135, 186, 72, 8);
  controls_[kIdVersion] = version_;

  commandGroup_ = new QGroupBox(QStringLiteral("Command  to  COM1"), this);
  commandGroup_->setObjectName(QString::number(kIdCommandGroup));
  du.Place(commandGroup_, 215, 7, 133, 195);
  controls_[kIdCommandGroup] = commandGroup_;
  const struct {
    int id;
    const char* caption;
  } commands[] = {
      {kIdFullOperation, "&Full Operation(D+E+B+P)"},
      {kIdDownload, "&Download"},
      {kIdErase, "&Erase"},
      {kIdBlankCheck, "&Blank Check"},
      {kIdProgram, "&Program && Verify"},
      {kIdReadCompare, "&Read && Compare"},
      {kIdCopy, "&Copy"},
  };
  int y = 20;
  for (const auto& command : commands) {
    AddButton(command.id, QString::fromLatin1(command.caption), 225, y, 113, 18, this);
    y += 26;
  }
  copyButton_ = static_cast<QPushButton*>(controls_[kIdCopy]);
  copyButton_->installEventFilter(this);
  chips_->installEventFilter(this);
  clocks_->installEventFilter(this);

  connect(chips_, &QComboBox::currentIndexChanged, this, [this] {
    if (!updating_) OnChipChanged();
  });
  connect(clocks_, &QComboBox::currentIndexChanged, this, [this] {
    if (!updating_) OnClockChanged();
  });
  for (int id : {kIdFullOperation, kIdDownload, kIdErase, kIdBlankCheck, kIdProgram,
                 kIdReadCompare, kIdCopy}) {
    connect(static_cast<QPushButton*>(controls_[id]), &QPushButton::clicked, this,
            [this, id] { OnCommand(id); });
  }
  connect(static_cast<QPushButton*>(controls_[kIdOpen]), &QPushButton::clicked, this,
          [this] { OnOpen(); });
  connect(static_cast<QPushButton*>(controls_[kIdHelp]), &QPushButton::clicked, this,
          [this] { OnHelp(); });
  connect(static_cast<QPushButton*>(controls_[kIdSetEnvironment]), &QPushButton::clicked,
          this, [this] { OnSetEnvironment(); });
  connect(static_cast<QPushButton*>(controls_[kIdCheckSum]), &QPushButton::clicked, this,
          [this] { OnCheckSum(); });

  InstallLetterMnemonics(this);
  // The window manager's own menu cannot take items: Alt+Space opens ours, with About.
  auto* systemMenu = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
  connect(systemMenu, &QShortcut::activated, this, [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
}

QWidget* CFlashDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

StartupResult CFlashDlg::Initialize() {
  auto fail = [](StartupResult result, const char* text) {
    QMessageBox::critical(nullptr, QStringLiteral("flash"), QString::fromLatin1(text));
    return result;
  };
  // System-menu item, icon, version.
  versionText_ = ProgramVersionText();
  if (versionText_ != kVersionReadError) version_->setText(QString::fromStdString(versionText_));

  // Program directory.
  if (executablePath_.size() >= kExecutablePathLimit) return fail(StartupResult::kPathTooLong, "PATH TOO LONG error");
  if (programDir_.empty() || programDir_.back() != '/') programDir_ += '/';

  // Settings stay beside the program when the user may write there (an unpacked copy);
  // a system install keeps them in the user's config directory.
  settingsDir_ = platform::ChooseSettingsDirectory(programDir_, {"DATAFILE.TXT", "Customize.ini", "TIMETEST.TXT", "CRCTEST.TXT"});
  dataFilePath_ = platform::FindFileNoCase(settingsDir_, "DATAFILE.TXT");
  LoadRecentSettings();

  // The chip list.
  chipDefPath_ = platform::FindFileNoCase(programDir_, "CHIPDEF.INI");
  std::ifstream chipDef(chipDefPath_, std::ios::binary | std::ios::ate);
  if (!chipDef) return fail(StartupResult::kRegistFailed, "REGIST FAILED!");
  const auto size = static_cast<size_t>(chipDef.tellg());
  chipDef.close();
  // The section list is read into a buffer of the file's size; a file too large for memory
  // ends the program with its own message.
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
  if (!buffer) return fail(StartupResult::kMemoryNotEnough, "MEMORY NOT ENOUGH error");
  buffer.reset();
  const std::vector<std::string> chips = flash::ListChips(chipDefPath_);
  updating_ = true;
  chips_->clear();
  for (const std::string& name : chips) chips_->addItem(QString::fromStdString(name));
  updating_ = false;
  if (chips.empty()) return fail(StartupResult::kRegistFailed, "REGIST FAILED!");

  if (chipIndex_ < 0 || chipIndex_ >= static_cast<int>(chips.size())) chipIndex_ = 0;
  ShowChipAreas();
  ResetDownloadState();
  UpdateData(false);
  setAcceptDrops(true);
  settingsPath_ = platform::FindFileNoCase(settingsDir_, "Customize.ini");
  ReadEnvironment();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  ApplyToolTips();
  copyFormat_ = 0;
  return StartupResult::kReady;
}

void CFlashDlg::LoadRecentSettings() {
  const RecentSettings recent = ::LoadRecentSettings(dataFilePath_);
  chipIndex_ = recent.chipIndex;
  clockIndex_ = recent.clockIndex;
  hexFilePath_ = recent.hexFilePath;
  hexFileName_ = QString::fromStdString(platform::BaseName(hexFilePath_));
}

void CFlashDlg::SaveRecentSettings() {
  if (chipIndex_ < 0) chipIndex_ = 0;
  if (clockIndex_ < 0) clockIndex_ = 0;
  if (!::SaveRecentSettings(dataFilePath_, RecentSettings{chipIndex_, clockIndex_, hexFilePath_})) {
    NoticeSettingsNotSaved(dataFilePath_);
  }
  ApplyToolTips();
}

void CFlashDlg::NoticeSettingsNotSaved(const std::string& path) {
  if (settingsNoticeShown_) return;
  settingsNoticeShown_ = true;
  std::string reason = platform::WhyNotWritable(path);
  if (reason.empty()) reason = "write failed";
  const QString text = AppString(kStrSettingsNotSaved)
                           .arg(QString::fromStdString(path), QString::fromStdString(reason));
  QMessageBox::warning(this, QStringLiteral("flash"), text);
}

void CFlashDlg::ShowChipAreas() {
  const std::string name = chips_->itemText(chipIndex_).toStdString();
  flash::ChipRecord record;
  if (flash::LoadChipRecord(chipDefPath_, name, record)) chip_ = record;
  else chip_ = flash::ChipRecord{};
  chip_.chipName = name;
  for (QString& text : areaTexts_) text.clear();
  for (int row = 0; row < 4; ++row) {
    // Row 1 is always filled; later rows only when the chip has that many areas.
    if (row > 0 && chip_.areaCount <= row) break;
    const flash::FlashArea& area = chip_.areas[static_cast<size_t>(row)];
    areaTexts_[static_cast<size_t>(row * 3)] = AreaHex(area.start);
    areaTexts_[static_cast<size_t>(row * 3 + 1)] = AreaHex(area.end);
    areaTexts_[static_cast<size_t>(row * 3 + 2)] = AreaHex(area.end - area.start + 1);
  }
  updating_ = true;
  clocks_->clear();
  for (const std::string& label : chip_.clockLabels) clocks_->addItem(QString::fromStdString(label));
  updating_ = false;
  const int entries = clocks_->count();
  if (clockIndex_ > entries - 1) clockIndex_ = entries - 1;
  if (clockIndex_ < 0) clockIndex_ = 0;
  UpdateData(false);
}

void CFlashDlg::ReadEnvironment() {
  env_ = ReadEnvironmentSettings(settingsPath_);
  commandGroup_->setTitle(QStringLiteral("Command  to  COM%1").arg(env_.portNumber + 1));
  ApplyToolTips();
}

void CFlashDlg::ResetDownloadState() { link_.ResetDownloadState(); }

void CFlashDlg::ShowDownloadState(bool downloaded) {
  Control(kIdDownload)->setEnabled(true);
  Control(kIdFullOperation)->setEnabled(true);
  for (int id : {kIdErase, kIdBlankCheck, kIdProgram, kIdReadCompare, kIdCopy}) {
    Control(id)->setEnabled(downloaded);
  }
  UpdateData(false);
  update();
}

void CFlashDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate) {
    chipIndex_ = chips_->currentIndex();
    clockIndex_ = clocks_->currentIndex();
    return;
  }
  for (size_t i = 0; i < areaLabels_.size(); ++i) areaLabels_[i]->setText(areaTexts_[i]);
  hexFile_->setText(hexFileName_);
  updating_ = true;
  chips_->setCurrentIndex(chipIndex_);
  clocks_->setCurrentIndex(clockIndex_);
  updating_ = false;
}

void CFlashDlg::ApplyToolTips() {
  static const std::pair<int, int> kTips[] = {
      {kIdChipList, kStrTipChip},          {kIdClockList, kStrTipRate},
      {kIdFullOperation, kStrTipFullOperation}, {kIdReadCompare, kStrTipReadCompare},
      {kIdCopy, kStrTipCopy},              {kIdSetEnvironment, kStrTipSetEnvironment},
      {kIdOpen, kStrTipOpen},              {kIdDownload, kStrTipDownload},
      {kIdErase, kStrTipErase},            {kIdBlankCheck, kStrTipBlankCheck},
      {kIdProgram, kStrTipProgram},
  };
  const bool on = env_.toolTipsOn != 0;
  for (const auto& [id, text] : kTips) Control(id)->setToolTip(on ? AppString(text) : QString());
  // The Hex File field's tip is the full path of the file.
  hexFile_->setToolTip(on ? QString::fromStdString(hexFilePath_) : QString());
}

void CFlashDlg::OnChipChanged() {
  link_.CloseComPort();
  UpdateData(true);
  SaveRecentSettings();
  ShowChipAreas();
  ResetDownloadState();
}

void CFlashDlg::OnClockChanged() {
  UpdateData(true);
  link_.CloseComPort();
  SaveRecentSettings();
  ResetDownloadState();
}

void CFlashDlg::OnDropFiles(const QStringList& paths) {
  if (paths.isEmpty()) return;
  const QString path = paths.constFirst();
  if (path.isEmpty() || !PathWithinLimit(path.toStdString())) return;
  const QFileInfo info(path);
  if (!info.exists() || info.isDir()) return;
  hexFilePath_ = path.toStdString();
  hexFileName_ = QString::fromStdString(platform::BaseName(hexFilePath_));
  SaveRecentSettings();
  UpdateData(false);
}

void CFlashDlg::ToggleCopyFormat() {
  copyFormat_ = copyFormat_ == 0 ? 1 : 0;
  copyButton_->setText(copyFormat_ == 1 ? QStringLiteral("&Copy_i") : QStringLiteral("&Copy"));
}

bool CFlashDlg::eventFilter(QObject* watched, QEvent* event) {
  // A right press on the Copy button, enabled or not, switches the copy format; the press
  // then goes on as usual.
  if (watched == copyButton_ &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    ToggleCopyFormat();
  }
  // Extended keyboard interface of both drop-down lists: Down opens the list instead of
  // changing the selection (each change resets the download state), and F4 does nothing.
  if ((watched == chips_ || watched == clocks_) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F4) return true;
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
      static_cast<QComboBox*>(watched)->showPopup();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CFlashDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();  // Enter and Escape never close the main window
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CFlashDlg::closeEvent(QCloseEvent* event) {
  // A command owns its progress window and boxes until it ends, so a close request never
  // ends the window under it: it cancels the command where the progress window offers
  // Cancel and is otherwise ignored. It is not kept for later either; the user closes the
  // window again once the command has ended and its messages have been read.
  if (commandRunning_) {
    event->ignore();
    if (progress_) progress_->PressCancelIfOffered();
    return;
  }
  closing_ = true;
  link_.DestroyProgress();
  QDialog::closeEvent(event);
}

void CFlashDlg::reject() {
  if (closing_) QDialog::reject();
}
