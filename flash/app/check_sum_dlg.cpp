#include "flash/app/check_sum_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "flash/app/dialog_units.h"

namespace {

// Value of an upper-case hexadecimal digit, or -1.
int HexDigit(QChar c) {
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return c.unicode() - u'0';
  if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) return c.unicode() - u'A' + 10;
  return -1;
}

}  // namespace

CCheckSumDlg::CCheckSumDlg(QWidget* parent, std::function<uint32_t(uint8_t)> checksum)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      checksum_(std::move(checksum)) {
  setObjectName(QStringLiteral("CCheckSumDlg"));
  setWindowTitle(QStringLiteral("Check Sum"));
  const DialogUnits du(font());
  setFixedSize(du.Size(178, 61));
  auto* label = new QLabel(QStringLiteral("Fill Data"), this);
  du.Place(label, 10, 12, 40, 8);
  fill_ = new QLineEdit(fillText, this);
  fill_->setObjectName(QStringLiteral("1055"));
  fill_->setMaxLength(2);
  fill_->setAlignment(Qt::AlignCenter);
  du.Place(fill_, 52, 10, 30, 12);
  // Typed letters become upper case, as in an upper-case edit control.
  connect(fill_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const int cursor = fill_->cursorPosition();
    fill_->setText(text.toUpper());
    fill_->setCursorPosition(cursor);
  });
  auto* compute = new QPushButton(QStringLiteral("Check SUM"), this);
  compute->setObjectName(QStringLiteral("1054"));
  compute->setAutoDefault(false);
  du.Place(compute, 10, 36, 60, 14);
  connect(compute, &QPushButton::clicked, this, [this] { OnCheckSum(); });
  result_ = new QLineEdit(this);
  result_->setObjectName(QStringLiteral("1056"));
  result_->setReadOnly(true);
  result_->setMaxLength(4);
  result_->setAlignment(Qt::AlignCenter);
  du.Place(result_, 90, 10, 40, 12);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  du.Place(ok, 121, 36, 50, 14);
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}

void CCheckSumDlg::OnCheckSum() {
  fillText = fill_->text();
  resultText.clear();
  if (fillText.size() >= 2) {
    const int high = HexDigit(fillText[0]);
    const int low = HexDigit(fillText[1]);
    if (high >= 0 && low >= 0) {
      const uint32_t sum = checksum_(static_cast<uint8_t>(high * 16 + low));
      if (sum != 0x10000u) resultText = QStringLiteral("%1").arg(sum, 4, 16, QLatin1Char('0')).toUpper();
    }
  }
  fill_->setText(fillText);
  result_->setText(resultText);
}
