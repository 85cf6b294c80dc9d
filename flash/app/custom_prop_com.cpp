#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "flash/app/custom_prop.h"
#include "flash/app/dialog_units.h"
#include "platform/port_names.h"
#include "platform/profile.h"

void CCustomPropCom::OnInitDialog() {
  const DialogUnits du(font());
  auto* frame = new QGroupBox(QStringLiteral("COM PORT SELECT"), this);
  du.Place(frame, 7, 7, 190, 168);
  ports_ = new QButtonGroup(this);
  for (int i = 0; i < 20; ++i) {
    const int column = i / 10;
    const int row = i % 10;
    const int x = 14 + column * 92;
    const int y = 22 + row * 15;
    auto* radio = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), this);
    radio->setObjectName(QString::number(kIdFirstPort + i));
    du.Place(radio, x, y, 40, 10);
    ports_->addButton(radio, i);
    // The device this COM name reaches on this machine.
    const QString device = QString::fromStdString(platform::ComPortDevice(i + 1));
    auto* where = new QLabel(this);
    where->setObjectName(QStringLiteral("device%1").arg(i + 1));
    where->setEnabled(false);
    du.Place(where, x + 40, y, 50, 10);
    where->setText(where->fontMetrics().elidedText(device, Qt::ElideLeft, where->width()));
    where->setToolTip(device);
    radio->setToolTip(device);
    connect(radio, &QRadioButton::clicked, this, [this] { SetModified(); });
  }
  if (selectedIndex >= 0 && selectedIndex < 20) ports_->button(selectedIndex)->setChecked(true);
}

void CCustomPropCom::OnOK() {
  selectedIndex = ports_->checkedId();
  const std::string value =
      selectedIndex >= 0 && selectedIndex < 20 ? std::to_string(selectedIndex) : std::string();
  platform::WriteProfileString(settingsPath_, "Com", "Com", value);
}
