#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "flash/app/app_strings.h"
#include "flash/app/custom_prop.h"
#include "flash/app/dialog_units.h"
#include "flash/app/file_dialogs.h"
#include "flash/app/sound_player.h"
#include "platform/profile.h"

namespace {

const QString kNone = QStringLiteral("<none>");

// The stored form of a wave path: the path of an existing file, else "<none>".
QString StoredWavePath(const QString& path) {
  if (path.isEmpty() || path == kNone || !QFileInfo(path).isFile()) return kNone;
  return path;
}

}  // namespace

bool CCustomPropSound::IsValidWaveName(const QString& text) {
  if (text == kNone) return true;
  if (text.size() < 5) return false;
  if (text.right(4).toLower() != QStringLiteral(".wav")) return false;
  const QChar before = text[text.size() - 5];
  return before != QLatin1Char('\\') && before != QLatin1Char('/');
}

void CCustomPropSound::OnInitDialog() {
  const DialogUnits du(font());
  enable_ = new QCheckBox(QStringLiteral("&Enable sound"), this);
  enable_->setObjectName(QStringLiteral("1004"));
  du.Place(enable_, 7, 7, 100, 10);
  auto* eventLabel = new QLabel(QStringLiteral("Event"), this);
  eventLabel->setObjectName(QStringLiteral("1048"));
  du.Place(eventLabel, 7, 25, 30, 8);
  events_ = new QComboBox(this);
  events_->setObjectName(QStringLiteral("1049"));
  events_->addItems({QStringLiteral("ERROR"), QStringLiteral("END")});
  du.Place(events_, 40, 23, 70, 14);
  auto* typeBox = new QGroupBox(QStringLiteral("Sound type"), this);
  typeBox->setObjectName(QStringLiteral("1108"));
  du.Place(typeBox, 7, 43, 166, 30);
  types_ = new QButtonGroup(this);
  auto* wave = new QRadioButton(QStringLiteral("&Wave"), this);
  wave->setObjectName(QStringLiteral("1059"));
  du.Place(wave, 20, 55, 50, 10);
  auto* beep = new QRadioButton(QStringLiteral("&Beep"), this);
  beep->setObjectName(QStringLiteral("1060"));
  du.Place(beep, 90, 55, 50, 10);
  types_->addButton(wave, 0);
  types_->addButton(beep, 1);
  auto* fileLabel = new QLabel(QStringLiteral(" Wave &File"), this);
  fileLabel->setObjectName(QStringLiteral("1109"));
  du.Place(fileLabel, 7, 82, 60, 8);
  file_ = new QComboBox(this);
  file_->setObjectName(QStringLiteral("1078"));
  file_->setEditable(true);
  file_->setInsertPolicy(QComboBox::NoInsert);
  file_->addItem(kNone);
  du.Place(file_, 7, 92, 166, 14);
  fileLabel->setBuddy(file_);
  auto* open = new QPushButton(QStringLiteral("&Open"), this);
  open->setObjectName(QStringLiteral("1115"));
  du.Place(open, 7, 114, 50, 14);
  auto* play = new QPushButton(QStringLiteral("&Play"), this);
  play->setObjectName(QStringLiteral("1046"));
  du.Place(play, 65, 114, 50, 14);
  auto* stop = new QPushButton(QStringLiteral("&Stop"), this);
  stop->setObjectName(QStringLiteral("1047"));
  du.Place(stop, 123, 114, 50, 14);

  connect(enable_, &QCheckBox::clicked, this, [this] {
    ReadControls();
    UpdateEnabling();
    SetModified();
  });
  connect(types_, &QButtonGroup::idClicked, this, [this] { TypeClicked(); });
  connect(events_, &QComboBox::activated, this, [this] { EventChanged(); });
  connect(file_, &QComboBox::activated, this, [this] { FileSelected(); });
  file_->installEventFilter(this);
  connect(open, &QPushButton::clicked, this, [this] { OpenClicked(); });
  connect(play, &QPushButton::clicked, this, [this] {
    SoundPlayer::Instance().Stop();
    SoundPlayer::Instance().PlayWaveFile(file_->currentText().toStdString());
  });
  connect(stop, &QPushButton::clicked, this, [] { SoundPlayer::Instance().Stop(); });

  events_->setCurrentIndex(0);
  shownType = errorType;
  fileText = errorPath;
  UpdateEnabling();
  WriteControls();
}

void CCustomPropSound::ReadControls() {
  masterSwitch = enable_->isChecked() ? 1 : 0;
  shownType = types_->checkedId();
  fileText = file_->currentText();
}

void CCustomPropSound::WriteControls() {
  enable_->setChecked(masterSwitch != 0);
  if (QAbstractButton* button = types_->button(shownType)) {
    button->setChecked(true);
  } else {
    types_->setExclusive(false);
    for (QAbstractButton* b : types_->buttons()) b->setChecked(false);
    types_->setExclusive(true);
  }
  file_->setEditText(fileText);
}

void CCustomPropSound::UpdateEnabling() {
  const bool on = masterSwitch != 0;
  const bool wave = on && shownType == 0;
  for (const char* id : {"1048", "1049", "1108", "1059", "1060"}) {
    if (auto* w = findChild<QWidget*>(QLatin1String(id))) w->setEnabled(on);
  }
  for (const char* id : {"1109", "1078", "1115", "1046", "1047"}) {
    if (auto* w = findChild<QWidget*>(QLatin1String(id))) w->setEnabled(wave);
  }
}

void CCustomPropSound::TypeClicked() {
  ReadControls();
  UpdateEnabling();
  const int event = events_->currentIndex();
  TypeOf(event) = shownType;
  EnableOf(event) = (shownType == 1 || fileText != kNone) ? 1 : 0;
  SetModified();
}

void CCustomPropSound::EventChanged() {
  ReadControls();
  const int event = events_->currentIndex();
  fileText = PathOf(event);
  shownType = TypeOf(event);
  UpdateEnabling();
  WriteControls();
}

bool CCustomPropSound::eventFilter(QObject* watched, QEvent* event) {
  if (watched == file_ && !validating_) {
    if (event->type() == QEvent::FocusIn) {
      rememberedEvent_ = events_->currentIndex();
    } else if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // A drop-down list or another window taking the focus is not leaving the box.
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
        StoreTypedFileText(rememberedEvent_);
      }
    }
  }
  return CCustomPropPage::eventFilter(watched, event);
}

bool CCustomPropSound::StoreTypedFileText(int event) {
  const QString previous = fileText;
  ReadControls();
  if (!IsValidWaveName(fileText)) {
    validating_ = true;
    QMessageBox::warning(this, QStringLiteral("falsh"), AppString(kStrWaveNameMistake));
    validating_ = false;
    fileText = previous;
    WriteControls();
    return false;
  }
  PathOf(event) = fileText;
  EnableOf(event) = fileText != kNone ? 1 : 0;
  SetModified();
  return true;
}

bool CCustomPropSound::TakeShownValues() {
  // The shown text belongs to the event the list shows; unchanged text keeps its flags.
  const int event = events_->currentIndex();
  if (file_->currentText() == PathOf(event)) return true;
  return StoreTypedFileText(event);
}

void CCustomPropSound::FileSelected() {
  ReadControls();
  const int event = events_->currentIndex();
  PathOf(event) = fileText;
  EnableOf(event) = fileText != kNone ? 1 : 0;
  SetModified();
}

void CCustomPropSound::OpenClicked() {
  FileDialogRequest request;
  request.filter = QtFilterFromBarList(QStringLiteral("Sound (*.wav)|*.wav||"));
  request.initialName = QStringLiteral("*.wav");
  request.defaultExtension = QStringLiteral("wav");
  request.directory = QDir::currentPath();
  const std::optional<QString> chosen = AppFileDialogs().openFile(this, request);
  if (!chosen) return;
  fileText = *chosen;
  const int event = events_->currentIndex();
  PathOf(event) = fileText;
  EnableOf(event) = 1;
  WriteControls();
  SetModified();
}

bool CCustomPropSound::OnOK() {
  errorPath = StoredWavePath(errorPath);
  endPath = StoredWavePath(endPath);
  const std::string& file = settingsPath_;
  bool ok = platform::WriteProfileString(file, "Sound", "Sound", std::to_string(masterSwitch));
  ok = platform::WriteProfileString(file, "Sound", "ErrorEnable", std::to_string(errorEnable)) && ok;
  ok = platform::WriteProfileString(file, "Sound", "ErrorType", std::to_string(errorType)) && ok;
  ok = platform::WriteProfileString(file, "Sound", "ErrorPass", errorPath.toStdString()) && ok;
  ok = platform::WriteProfileString(file, "Sound", "EndEnable", std::to_string(endEnable)) && ok;
  ok = platform::WriteProfileString(file, "Sound", "EndType", std::to_string(endType)) && ok;
  ok = platform::WriteProfileString(file, "Sound", "EndPass", endPath.toStdString()) && ok;
  return ok;
}
