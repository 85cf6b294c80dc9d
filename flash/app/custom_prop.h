// The settings sheet "Customize setting" and its three pages. A page builds its controls
// the first time it is shown; only pages built that way write their keys on OK or Apply.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "flash/app/environment_settings.h"
#include "platform/port_discovery.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

class CCustomPropPage : public QWidget {
 public:
  explicit CCustomPropPage(const std::string& settingsPath) : settingsPath_(settingsPath) {}
  bool IsCreated() const { return created_; }
  void EnsureCreated();
  // Takes what the page shows but has not stored yet, before OnOK (OK and Apply, however
  // they are pressed). False when that is refused: the page has told the user why and the
  // sheet stays open.
  virtual bool TakeShownValues() { return true; }
  // Writes the page's keys (OK and Apply); false when the settings file could not take them.
  [[nodiscard]] virtual bool OnOK() = 0;
  std::function<void()> onModified;

 protected:
  virtual void OnInitDialog() = 0;
  void SetModified() {
    if (onModified) onModified();
  }
  std::string settingsPath_;

 private:
  bool created_ = false;
};

class CCustomPropCom final : public CCustomPropPage {
 public:
  static constexpr int kIdFirstPort = 1037;  // COM1 .. 1056 COM20
  using CCustomPropPage::CCustomPropPage;
  [[nodiscard]] bool OnOK() override;
  int selectedIndex = -1;
  // The detected ports the page lists when it opens and on Refresh (tests give a fake tree).
  std::function<std::vector<platform::PortInfo>()> listPorts = [] { return platform::DiscoverPorts(); };

 protected:
  void OnInitDialog() override;

 private:
  void ShowDevice(int index);
  void RefreshPorts();
  // Writes the selected detected port to the user's port map for the checked COM name.
  void AssignClicked();
  void UpdateAssignEnabling();

  QButtonGroup* ports_ = nullptr;
  std::vector<QLabel*> devices_;
  QListWidget* found_ = nullptr;
  QPushButton* assign_ = nullptr;
  std::vector<platform::PortInfo> detected_;
};

class CCustomPropSound final : public CCustomPropPage {
 public:
  using CCustomPropPage::CCustomPropPage;
  // A wave name typed into the file box and not stored yet (Enter, or OK pressed without
  // leaving the box) is validated and stored as leaving the box would.
  bool TakeShownValues() override;
  [[nodiscard]] bool OnOK() override;
  // True when a typed wave-file name may be used.
  static bool IsValidWaveName(const QString& text);

  int masterSwitch = 0;
  int shownType = -1;
  QString fileText;
  QString errorPath;
  QString endPath;
  int errorType = 0;
  int endType = 0;
  int errorEnable = 0;
  int endEnable = 0;

 protected:
  void OnInitDialog() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ReadControls();
  void WriteControls();
  void UpdateEnabling();
  void TypeClicked();
  void EventChanged();
  // Validates the file box's text and stores it for event; false when refused (message 558
  // shown, the previous text restored).
  bool StoreTypedFileText(int event);
  void FileSelected();
  void OpenClicked();
  QString& PathOf(int event) { return event == 1 ? endPath : errorPath; }
  int& TypeOf(int event) { return event == 1 ? endType : errorType; }
  int& EnableOf(int event) { return event == 1 ? endEnable : errorEnable; }

  QCheckBox* enable_ = nullptr;
  QComboBox* events_ = nullptr;
  QButtonGroup* types_ = nullptr;
  QComboBox* file_ = nullptr;
  int rememberedEvent_ = 0;
  bool validating_ = false;
};

class CCustomPropTool final : public CCustomPropPage {
 public:
  using CCustomPropPage::CCustomPropPage;
  [[nodiscard]] bool OnOK() override;
  int toolTips = 0;

 protected:
  void OnInitDialog() override;

 private:
  QCheckBox* box_ = nullptr;
};

class CCustomPropMain final : public QDialog {
 public:
  static constexpr int kIdApply = 0x3021;
  static constexpr int kIdHelp = 9;
  CCustomPropMain(QWidget* parent, const std::string& settingsPath);
  // Pushes the record into the pages and runs the sheet modally.
  int DoModal(const EnvironmentSettings& settings);
  // Pushes the record into the pages and makes the first page (DoModal's first half).
  void Prepare(const EnvironmentSettings& settings);

  CCustomPropCom& ComPage() { return *com_; }
  CCustomPropSound& SoundPage() { return *sound_; }
  CCustomPropTool& ToolPage() { return *tool_; }
  QTabWidget* Tabs() { return tabs_; }
  // Called with the settings file when OK or Apply could not write it.
  std::function<void(const std::string& path)> onSettingsNotSaved;

 private:
  // OK and Apply: every created page takes what it shows, then writes its keys; false (and
  // nothing written) when a page refuses what it shows.
  bool ApplyCreatedPages();
  std::string settingsPath_;
  QTabWidget* tabs_ = nullptr;
  QPushButton* apply_ = nullptr;
  CCustomPropCom* com_ = nullptr;
  CCustomPropSound* sound_ = nullptr;
  CCustomPropTool* tool_ = nullptr;
};
