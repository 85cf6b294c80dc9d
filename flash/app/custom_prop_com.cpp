#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "flash/app/custom_prop.h"
#include "flash/app/dialog_units.h"
#include "flash/app/port_assignment.h"
#include "platform/port_names.h"
#include "platform/profile.h"

void CCustomPropCom::OnInitDialog() {
  const DialogUnits du(font());
  auto* frame = new QGroupBox(QStringLiteral("COM PORT SELECT"), this);
  du.Place(frame, 7, 7, 190, 168);
  ports_ = new QButtonGroup(this);
  devices_.clear();
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
    auto* where = new QLabel(this);
    where->setObjectName(QStringLiteral("device%1").arg(i + 1));
    where->setEnabled(false);
    du.Place(where, x + 40, y, 50, 10);
    devices_.push_back(where);
    ShowDevice(i);
    connect(radio, &QRadioButton::clicked, this, [this] {
      UpdateAssignEnabling();
      SetModified();
    });
  }
  if (selectedIndex >= 0 && selectedIndex < 20) ports_->button(selectedIndex)->setChecked(true);

  // The serial ports and simulated boards found on this machine; Assign points the checked
  // COM name at the selected one.
  auto* caption = new QLabel(QStringLiteral("Ports found"), this);
  du.Place(caption, 7, 180, 190, 10);
  found_ = new QListWidget(this);
  found_->setObjectName(QStringLiteral("portList"));
  du.Place(found_, 7, 191, 190, 62);
  assign_ = new QPushButton(QStringLiteral("Assign to COM"), this);
  assign_->setObjectName(QStringLiteral("assignPort"));
  assign_->setAutoDefault(false);
  du.Place(assign_, 7, 257, 70, 14);
  auto* refresh = new QPushButton(QStringLiteral("Refresh"), this);
  refresh->setObjectName(QStringLiteral("refreshPorts"));
  refresh->setAutoDefault(false);
  du.Place(refresh, 81, 257, 50, 14);
  connect(found_, &QListWidget::currentRowChanged, this, [this] { UpdateAssignEnabling(); });
  connect(assign_, &QPushButton::clicked, this, [this] { AssignClicked(); });
  connect(refresh, &QPushButton::clicked, this, [this] { RefreshPorts(); });
  RefreshPorts();
}

void CCustomPropCom::ShowDevice(int index) {
  const QString device = QString::fromStdString(platform::ComPortDevice(index + 1));
  QLabel* where = devices_[static_cast<size_t>(index)];
  where->setText(where->fontMetrics().elidedText(device, Qt::ElideLeft, where->width()));
  where->setToolTip(device);
  ports_->button(index)->setToolTip(device);
}

void CCustomPropCom::RefreshPorts() {
  detected_ = listPorts ? listPorts() : std::vector<platform::PortInfo>{};
  found_->clear();
  for (const platform::PortInfo& port : detected_) {
    const QString line = QString::fromStdString(platform::DescribePort(port));
    auto* item = new QListWidgetItem(line, found_);
    item->setToolTip(line);
  }
  UpdateAssignEnabling();
}

void CCustomPropCom::UpdateAssignEnabling() {
  const int row = found_->currentRow();
  assign_->setEnabled(ports_->checkedId() >= 0 && row >= 0 && row < static_cast<int>(detected_.size()));
}

void CCustomPropCom::AssignClicked() {
  const int index = ports_->checkedId();
  const int row = found_->currentRow();
  if (index < 0 || index >= 20 || row < 0 || row >= static_cast<int>(detected_.size())) return;
  AssignPortToCom(index + 1, detected_[static_cast<size_t>(row)]);
  ShowDevice(index);
}

bool CCustomPropCom::OnOK() {
  selectedIndex = ports_->checkedId();
  const std::string value =
      selectedIndex >= 0 && selectedIndex < 20 ? std::to_string(selectedIndex) : std::string();
  return platform::WriteProfileString(settingsPath_, "Com", "Com", value);
}
