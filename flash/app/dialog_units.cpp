#include "flash/app/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (alphabetWidth / 26 + 1) / 2;
  baseY_ = metrics.height();
  if (baseX_ < 1) baseX_ = 6;
  if (baseY_ < 1) baseY_ = 13;
}

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height) const {
  widget->setGeometry(Rect(x, y, width, height));
}
