#include <QCheckBox>

#include "flash/app/custom_prop.h"
#include "flash/app/dialog_units.h"
#include "platform/profile.h"

void CCustomPropTool::OnInitDialog() {
  const DialogUnits du(font());
  box_ = new QCheckBox(QStringLiteral("&Tooltips"), this);
  box_->setObjectName(QStringLiteral("1062"));
  du.Place(box_, 30, 40, 70, 12);
  box_->setChecked(toolTips != 0);
  connect(box_, &QCheckBox::clicked, this, [this](bool checked) {
    toolTips = checked ? 1 : 0;
    SetModified();
  });
}

bool CCustomPropTool::OnOK() {
  toolTips = box_->isChecked() ? 1 : 0;
  return platform::WriteProfileString(settingsPath_, "Tool", "ToolTips", toolTips != 0 ? "1" : "0");
}
