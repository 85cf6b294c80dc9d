#include "flash/app/progress_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "flash/app/dialog_units.h"
#include "flash/link/messages.h"

namespace {

QString ShownText(const std::string& text) {
  QString shown = QString::fromStdString(flash::StaticControlText(text));
  shown.remove(QLatin1Char('\r'));
  return shown;
}

}  // namespace

CProgressDlg::CProgressDlg(QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      owner_(owner) {
  setObjectName(QStringLiteral("CProgressDlg"));
  setAttribute(Qt::WA_DeleteOnClose, false);
}

CProgressDlg::~CProgressDlg() {
  if (waitLoop_ != nullptr) waitLoop_->quit();
  hide();
  if (ownerDisabled_ && owner_) owner_->setEnabled(true);
  ownerDisabled_ = false;
}

bool CProgressDlg::Create() {
  if (owner_ == nullptr) owner_ = QApplication::activeWindow();
  if (owner_ && owner_->isEnabled()) {
    owner_->setEnabled(false);
    ownerDisabled_ = true;
  }
  setWindowTitle(QStringLiteral("flash"));
  const DialogUnits du(font());
  icon_ = new QLabel(this);
  icon_->setObjectName(QString::number(kIdIcon));
  du.Place(icon_, 15, 17, 20, 20);
  info_ = new QLabel(QStringLiteral("infomation"), this);
  info_->setObjectName(QString::number(kIdInfo));
  info_->setTextFormat(Qt::PlainText);
  info_->setWordWrap(true);
  info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  du.Place(info_, 41, 26, 169, 40);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QString::number(kIdBar));
  bar_->setTextVisible(false);
  du.Place(bar_, 5, 72, 205, 10);
  button_ = new QPushButton(QStringLiteral("cancel"), this);
  button_->setObjectName(QString::number(kIdButton));
  button_->setAutoDefault(false);
  du.Place(button_, 82, 87, 50, 14);
  connect(button_, &QPushButton::clicked, this, [this] { PressButton(); });

  textFormHeight_ = du.Y(72);
  barFormHeight_ = du.Y(87);
  fullHeight_ = du.Y(106);
  setFixedSize(du.X(215), fullHeight_);
  if (owner_) {
    winId();
    if (QWindow* ownerWindow = owner_->window()->windowHandle()) {
      windowHandle()->setTransientParent(ownerWindow);
    }
  }
  bar_->setRange(lower_, upper_);
  bar_->setValue(lower_);
  SetForm(form_, true, std::nullopt);
  return true;
}

void CProgressDlg::SetForm(int form, bool centre, const std::optional<std::string>& title) {
  if (form == flash::kFormDefault) form = flash::kFormMessage;
  form_ = form;
  if (title) setWindowTitle(QString::fromStdString(*title));
  if (form & flash::kFormOkCaption) {
    button_->setText(QStringLiteral("Ok"));
  } else if (form & flash::kFormCancelCaption) {
    button_->setText(QStringLiteral("Cancel"));
  } else {
    button_->setText(QString());
  }
  buttonActive_ = (form & flash::kFormButtonActive) != 0;
  button_->setEnabled(buttonActive_);
  bar_->setEnabled((form & flash::kFormBar) != 0);
  int height = fullHeight_;
  if (form == 0) height = textFormHeight_;
  if (form == flash::kFormBar) height = barFormHeight_;
  setFixedHeight(height);
  if (centre) CentreOnOwner();
  show();
  if (buttonActive_) {
    activateWindow();
    button_->setFocus(Qt::OtherFocusReason);
  }
}

void CProgressDlg::CentreOnOwner() {
  QRect area;
  if (owner_) {
    area = owner_->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

void CProgressDlg::SetInfoText(const std::string& text) {
  info_->setEnabled(true);
  info_->setText(ShownText(text));
  repaint();
}

void CProgressDlg::SetTitle(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
}

void CProgressDlg::SetIcon(flash::MessageIcon icon) {
  QStyle::StandardPixmap which;
  switch (icon) {
    case flash::MessageIcon::kInformation: which = QStyle::SP_MessageBoxInformation; break;
    case flash::MessageIcon::kExclamation: which = QStyle::SP_MessageBoxWarning; break;
    case flash::MessageIcon::kError: which = QStyle::SP_MessageBoxCritical; break;
    case flash::MessageIcon::kQuestion: which = QStyle::SP_MessageBoxQuestion; break;
    case flash::MessageIcon::kNone:
    default:
      icon_->clear();
      icon_->setProperty("iconKind", 0);
      return;
  }
  icon_->setPixmap(style()->standardIcon(which).pixmap(icon_->size()));
  icon_->setProperty("iconKind", static_cast<int>(icon));
}

void CProgressDlg::SetButtonCaption(const std::string& caption) {
  button_->setText(QString::fromStdString(caption));
}

void CProgressDlg::InitBar(int lower, int upper, int step, int position) {
  SetRange(lower, upper);
  SetStep(step);
  SetPos(position);
}

void CProgressDlg::SetRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
  bar_->setRange(lower, upper);
}

void CProgressDlg::SetStep(int step) { step_ = step; }

int CProgressDlg::SetPos(int position) {
  setWindowTitle(QStringLiteral("%1 / %2").arg(position).arg(upper_));
  PumpMessages();
  const int previous = bar_->value() < lower_ ? lower_ : bar_->value();
  bar_->setValue(position);
  return previous;
}

int CProgressDlg::StepIt() {
  const int previous = bar_->value() < lower_ ? lower_ : bar_->value();
  int next = previous + step_;
  // The bar wraps to its lower end when a step passes the upper end, as the control does.
  if (next > upper_) next = lower_ + (next - upper_);
  setWindowTitle(QStringLiteral("%1 / %2").arg(previous + 1).arg(upper_));
  PumpMessages();
  bar_->setValue(next);
  return previous;
}

int CProgressDlg::GetPos() {
  PumpMessages();
  return bar_->value() < lower_ ? lower_ : bar_->value();
}

bool CProgressDlg::IsCancelled() {
  if (!buttonActive_) return false;
  PumpMessages();
  const bool pressed = cancelRequested_;
  cancelRequested_ = false;
  return pressed;
}

void CProgressDlg::WaitForButton() {
  if (!cancelRequested_) {
    QEventLoop loop;
    waitLoop_ = &loop;
    loop.exec();
    waitLoop_ = nullptr;
  }
  cancelRequested_ = false;
}

void CProgressDlg::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void CProgressDlg::PressCancelIfOffered() {
  if (buttonActive_ && button_->text() == QStringLiteral("Cancel")) PressButton();
}

void CProgressDlg::PressButton() {
  if (!buttonActive_) return;
  cancelRequested_ = true;
  if (waitLoop_ != nullptr) waitLoop_->quit();
}

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();  // Enter never counts as a press
      return;
    case Qt::Key_Escape:
      event->accept();
      PressButton();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CProgressDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void CProgressDlg::reject() { PressButton(); }
