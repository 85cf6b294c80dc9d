#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <vector>

#include "flash/app/app_strings.h"
#include "flash/app/custom_prop.h"
#include "flash/app/dialog_units.h"
#include "flash/app/letter_mnemonics.h"

void CCustomPropPage::EnsureCreated() {
  if (created_) return;
  created_ = true;
  OnInitDialog();
  // Controls made after the page became visible must be shown themselves.
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) child->show();
}

CCustomPropMain::CCustomPropMain(QWidget* parent, const std::string& settingsPath)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), settingsPath_(settingsPath) {
  setObjectName(QStringLiteral("CCustomPropMain"));
  setWindowTitle(AppString(kStrCustomizeSetting));
  const DialogUnits du(font());
  tabs_ = new QTabWidget(this);
  com_ = new CCustomPropCom(settingsPath);
  sound_ = new CCustomPropSound(settingsPath);
  tool_ = new CCustomPropTool(settingsPath);
  com_->setObjectName(QStringLiteral("COM PORT"));
  sound_->setObjectName(QStringLiteral("Sound"));
  tool_->setObjectName(QStringLiteral("Tooltips"));
  // Every page gets the size of the largest template, and the COM PORT page room to show
  // the device beside each name.
  for (CCustomPropPage* page : {static_cast<CCustomPropPage*>(com_),
                                static_cast<CCustomPropPage*>(sound_),
                                static_cast<CCustomPropPage*>(tool_)}) {
    page->setMinimumSize(du.Size(204, 182));
    page->onModified = [this] { apply_->setEnabled(true); };
  }
  // Below the COM names, the list of the detected ports and its buttons.
  com_->setMinimumSize(du.Size(204, 276));
  tabs_->addTab(com_, QStringLiteral("COM PORT"));
  tabs_->addTab(sound_, QStringLiteral("Sound"));
  tabs_->addTab(tool_, QStringLiteral("Tooltips"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (auto* page = dynamic_cast<CCustomPropPage*>(tabs_->widget(index))) page->EnsureCreated();
  });

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setAutoDefault(false);
  apply_ = new QPushButton(QStringLiteral("&Apply"), this);
  apply_->setObjectName(QString::number(kIdApply));
  apply_->setAutoDefault(false);
  apply_->setEnabled(false);
  auto* help = new QPushButton(QStringLiteral("Help"), this);
  help->setObjectName(QString::number(kIdHelp));
  help->setAutoDefault(false);
  help->setEnabled(false);
  connect(ok, &QPushButton::clicked, this, [this] {
    if (ApplyCreatedPages()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(apply_, &QPushButton::clicked, this, [this] {
    if (ApplyCreatedPages()) apply_->setEnabled(false);
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {ok, cancel, apply_, help}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CCustomPropMain::DoModal(const EnvironmentSettings& settings) {
  Prepare(settings);
  return exec();
}

void CCustomPropMain::Prepare(const EnvironmentSettings& settings) {
  com_->selectedIndex = settings.portNumber;
  sound_->masterSwitch = settings.soundOn;
  sound_->errorPath = QString::fromStdString(settings.errorPath);
  sound_->endPath = QString::fromStdString(settings.endPath);
  sound_->errorType = settings.errorType;
  sound_->endType = settings.endType;
  sound_->errorEnable = settings.errorEnable;
  sound_->endEnable = settings.endEnable;
  tool_->toolTips = settings.toolTipsOn;
  tabs_->setCurrentIndex(0);
  com_->EnsureCreated();
}

bool CCustomPropMain::ApplyCreatedPages() {
  std::vector<CCustomPropPage*> created;
  for (int i = 0; i < tabs_->count(); ++i) {
    auto* page = dynamic_cast<CCustomPropPage*>(tabs_->widget(i));
    if (page != nullptr && page->IsCreated()) created.push_back(page);
  }
  for (CCustomPropPage* page : created) {
    if (!page->TakeShownValues()) return false;
  }
  bool saved = true;
  for (CCustomPropPage* page : created) saved = page->OnOK() && saved;
  // The values stay in effect for this run; the user learns they were not kept.
  if (!saved && onSettingsNotSaved) onSettingsNotSaved(settingsPath_);
  return true;
}
