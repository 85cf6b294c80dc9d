#include "flash/app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "flash/app/dialog_units.h"
#include "flash/app/program_icon.h"

CAboutDlg::CAboutDlg(QWidget* parent, const std::string& versionText)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("100"));
  setWindowTitle(QStringLiteral("(C)Information"));
  const DialogUnits du(font());
  setFixedSize(du.Size(217, 62));
  auto* icon = new QLabel(this);
  du.Place(icon, 11, 17, 20, 20);
  icon->setPixmap(ProgramIcon().pixmap(icon->size()));
  auto* title = new QLabel(QStringLiteral("VELMORA FLASH MCU Programmer for OSTREL"), this);
  du.Place(title, 40, 10, 170, 8);
  auto* notice = new QLabel(QStringLiteral("Free software, provided without any warranty."), this);
  du.Place(notice, 40, 22, 170, 8);
  auto* version = new QLabel(QString::fromStdString(versionText), this);
  version->setObjectName(QStringLiteral("1027"));
  du.Place(version, 40, 34, 110, 8);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  du.Place(ok, 160, 41, 50, 14);
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}
