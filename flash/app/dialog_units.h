// Geometry in dialog units: a quarter of the average character width horizontally and an
// eighth of the character height vertically, measured on the font the dialog uses, so a
// layout drawn in dialog units keeps its proportions with any font.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const { return (units * baseX_ + 2) / 4; }
  int Y(int units) const { return (units * baseY_ + 4) / 8; }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
  }
  QSize Size(int width, int height) const { return QSize(X(width), Y(height)); }
  // Places a child widget at a rectangle given in dialog units.
  void Place(QWidget* widget, int x, int y, int width, int height) const;

 private:
  int baseX_ = 6;
  int baseY_ = 13;
};
