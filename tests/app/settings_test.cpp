// The settings sheet: only the pages shown write, an out-of-range port writes an empty
// value, wave names are checked, and the main window reloads the file afterwards.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "flash/app/app_strings.h"
#include "flash/app/custom_prop.h"
#include "flash/app/environment_settings.h"
#include "flash/app/file_dialogs.h"
#include "flash/app/flash_dlg.h"
#include "flash/app/path_limit.h"
#include "flash/app/sound_player.h"
#include "flash/link/messages.h"
#include "platform/profile.h"

namespace {

using apptest::BoxLog;
using apptest::ProgramDir;

class SettingsSheetTest : public testing::Test {
 protected:
  std::string Ini() const { return dir_.File(QStringLiteral("Customize.ini")).toStdString(); }
  std::string Value(const char* section, const char* key) const {
    return platform::GetProfileString(Ini(), section, key, "(missing)");
  }
  // Runs the sheet; step runs once it is open and must close it.
  void RunSheet(const EnvironmentSettings& settings, std::function<void(CCustomPropMain&)> step) {
    CCustomPropMain sheet(nullptr, Ini());
    apptest::WhenModal([&](QWidget*) { step(sheet); });
    sheet.DoModal(settings);
  }
  // Sounds on, with an existing wave file for ERROR.
  EnvironmentSettings SoundOnWithErrorWave() const {
    dir_.Write(QStringLiteral("ding.wav"), "RIFF");
    EnvironmentSettings settings;
    settings.soundOn = 1;
    settings.errorEnable = 1;
    settings.errorPath = dir_.File(QStringLiteral("ding.wav")).toStdString();
    return settings;
  }
  static QPushButton* Button(QWidget* parent, int id) {
    return parent->findChild<QPushButton*>(QString::number(id));
  }
  ProgramDir dir_;
};

TEST_F(SettingsSheetTest, OkWritesOnlyTheFirstPageWhenNoOtherWasShown) {
  EnvironmentSettings settings;
  settings.portNumber = 2;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    EXPECT_TRUE(sheet.findChild<QRadioButton*>(QStringLiteral("1039"))->isChecked());
    sheet.findChild<QRadioButton*>(QStringLiteral("1056"))->click();  // COM20
    Button(&sheet, 1)->click();
  });
  EXPECT_EQ(Value("Com", "Com"), "19");
  EXPECT_EQ(Value("Sound", "Sound"), "(missing)");
  EXPECT_EQ(Value("Tool", "ToolTips"), "(missing)");
}

TEST_F(SettingsSheetTest, ShownPagesWriteTheirKeysAndCancelWritesNothing) {
  EnvironmentSettings settings;
  settings.toolTipsOn = 1;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    sheet.Tabs()->setCurrentIndex(2);
    auto* tips = sheet.findChild<QCheckBox*>(QStringLiteral("1062"));
    EXPECT_TRUE(tips->isChecked());
    tips->click();
    Button(&sheet, 2)->click();  // Cancel
  });
  EXPECT_EQ(Value("Tool", "ToolTips"), "(missing)");
  EXPECT_EQ(Value("Com", "Com"), "(missing)");

  RunSheet(settings, [&](CCustomPropMain& sheet) {
    sheet.Tabs()->setCurrentIndex(2);
    sheet.findChild<QCheckBox*>(QStringLiteral("1062"))->click();
    QPushButton* apply = Button(&sheet, CCustomPropMain::kIdApply);
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_FALSE(Button(&sheet, CCustomPropMain::kIdHelp)->isEnabled());
    Button(&sheet, 1)->click();
  });
  EXPECT_EQ(Value("Tool", "ToolTips"), "0");
  EXPECT_EQ(Value("Com", "Com"), "0");
  EXPECT_EQ(Value("Sound", "Sound"), "(missing)");
}

TEST_F(SettingsSheetTest, OutOfRangePortSelectsNothingAndWritesAnEmptyValue) {
  dir_.Write(QStringLiteral("CHIPDEF.INI"),
             apptest::ChipSection(QStringLiteral("KV1"), QStringLiteral("0"), QStringLiteral("0xFFF")));
  dir_.Write(QStringLiteral("Customize.ini"), "[Com]\r\nCom=25\r\n");
  CFlashDlg dlg(dir_.Path(), dir_.Path() + "flash");
  ASSERT_EQ(dlg.Initialize(), StartupResult::kReady);
  EXPECT_EQ(dlg.findChild<QGroupBox*>(QStringLiteral("1080"))->title(), QStringLiteral("Command  to  COM26"));
  apptest::WhenModal([&](QWidget* modal) {
    auto* sheet = dynamic_cast<CCustomPropMain*>(modal);
    ASSERT_NE(sheet, nullptr);
    for (QRadioButton* radio : sheet->ComPage().findChildren<QRadioButton*>()) EXPECT_FALSE(radio->isChecked());
    Button(sheet, 1)->click();
  });
  dlg.OnSetEnvironment();
  EXPECT_EQ(Value("Com", "Com"), "");
  EXPECT_EQ(dlg.Environment().portNumber, 0);
  EXPECT_EQ(dlg.findChild<QGroupBox*>(QStringLiteral("1080"))->title(), QStringLiteral("Command  to  COM1"));
}

TEST_F(SettingsSheetTest, EachPortShowsTheDeviceItReaches) {
  qputenv("KVPORT_COM7", "/dev/pts/77");
  RunSheet(EnvironmentSettings{}, [&](CCustomPropMain& sheet) {
    EXPECT_EQ(sheet.findChild<QRadioButton*>(QStringLiteral("1043"))->text(), QStringLiteral("COM7"));
    EXPECT_EQ(sheet.findChild<QRadioButton*>(QStringLiteral("1043"))->toolTip(), QStringLiteral("/dev/pts/77"));
    EXPECT_EQ(sheet.findChild<QRadioButton*>(QStringLiteral("1037"))->toolTip(), QStringLiteral("/dev/ttyS0"));
    Button(&sheet, 2)->click();
  });
  qunsetenv("KVPORT_COM7");
}

TEST(WaveNameTest, AcceptsOnlyNamesEndingInDotWav) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {{"<none>", true},   {"a.wav", true},      {"C:\\snd\\Ding.WAV", true},
               {"C:\\.wav", false}, {"/tmp/.wav", false}, {"abc.mp3", false},
               {".wav", false},     {"", false},          {"x.wave", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(CCustomPropSound::IsValidWaveName(QString::fromLatin1(c.text)), c.valid) << c.text;
  }
}

TEST_F(SettingsSheetTest, TypedWaveNameWithMistakeBringsMessage558AndIsRestored) {
  const EnvironmentSettings settings = SoundOnWithErrorWave();
  BoxLog log;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    sheet.Tabs()->setCurrentIndex(1);
    CCustomPropSound& page = sheet.SoundPage();
    auto* file = page.findChild<QComboBox*>(QStringLiteral("1078"));
    ASSERT_TRUE(file->isEnabled());
    ASSERT_TRUE(file->isVisible());
    EXPECT_EQ(file->currentText(), QString::fromStdString(settings.errorPath));
    file->setFocus();
    QApplication::processEvents();
    file->lineEdit()->selectAll();
    QTest::keyClicks(file->lineEdit(), QStringLiteral("abc.mp3"));
    apptest::AnswerNextBox(log, 0x00000400, &sheet);
    page.findChild<QComboBox*>(QStringLiteral("1049"))->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(file->currentText(), QString::fromStdString(settings.errorPath));
    // A valid name is taken for the event that was shown when the box got the focus.
    sheet.activateWindow();  // the window manager does this when the box closes
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    file->setFocus();
    QApplication::processEvents();
    file->setEditText(QStringLiteral("<none>"));
    page.findChild<QComboBox*>(QStringLiteral("1049"))->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(page.errorPath, QStringLiteral("<none>"));
    EXPECT_EQ(page.errorEnable, 0);
    Button(&sheet, 1)->click();
  });
  ASSERT_EQ(log.texts.size(), 1);
  EXPECT_EQ(log.captions[0], QStringLiteral("falsh"));
  EXPECT_EQ(log.texts[0], QStringLiteral("The entry file has a mistake\nIt returns to the original file"));
  EXPECT_EQ(Value("Sound", "Sound"), "1");
  EXPECT_EQ(Value("Sound", "ErrorPass"), "<none>");
  EXPECT_EQ(Value("Sound", "ErrorEnable"), "0");
  EXPECT_EQ(Value("Sound", "EndPass"), "<none>");
}

// Types text into the wave-file box of the Sound page, which keeps the focus.
QComboBox* TypeIntoFileBox(CCustomPropMain& sheet, const QString& text) {
  sheet.Tabs()->setCurrentIndex(1);
  auto* file = sheet.SoundPage().findChild<QComboBox*>(QStringLiteral("1078"));
  file->setFocus();
  QApplication::processEvents();
  file->lineEdit()->selectAll();
  QTest::keyClicks(file->lineEdit(), text);
  EXPECT_TRUE(file->hasFocus());
  return file;
}

TEST_F(SettingsSheetTest, TypedWavePathIsStoredHoweverOkIsPressed) {
  dir_.Write(QStringLiteral("typed.wav"), "RIFF");
  const QString typed = dir_.File(QStringLiteral("typed.wav"));
  const struct {
    const char* name;
    std::function<void(CCustomPropMain&, QComboBox*)> pressOk;
  } ways[] = {
      {"Enter in the box", [](CCustomPropMain&, QComboBox* file) { QTest::keyClick(file->lineEdit(), Qt::Key_Return); }},
      {"OK by a key, the focus staying in the box", [](CCustomPropMain& sheet, QComboBox*) { Button(&sheet, 1)->click(); }},
      {"OK by the mouse", [](CCustomPropMain& sheet, QComboBox*) { QTest::mouseClick(Button(&sheet, 1), Qt::LeftButton); }},
  };
  for (const auto& way : ways) {
    QFile::remove(dir_.File(QStringLiteral("Customize.ini")));
    EnvironmentSettings settings;
    settings.soundOn = 1;
    bool closed = false;
    CCustomPropMain sheet(nullptr, Ini());
    apptest::WhenModal([&](QWidget*) {
      way.pressOk(sheet, TypeIntoFileBox(sheet, typed));
      closed = apptest::WaitUntil([&] { return !sheet.isVisible(); }, 5000);
      if (!closed) sheet.reject();
    });
    EXPECT_EQ(sheet.DoModal(settings), QDialog::Accepted) << way.name;
    EXPECT_TRUE(closed) << way.name;
    EXPECT_EQ(Value("Sound", "ErrorPass"), typed.toStdString()) << way.name;
    EXPECT_EQ(Value("Sound", "ErrorEnable"), "1") << way.name;
    EXPECT_EQ(Value("Sound", "EndPass"), "<none>") << way.name;
  }
}

TEST_F(SettingsSheetTest, TypedWaveNameWithMistakeAtOkBringsMessage558AndKeepsTheSheetOpen) {
  const EnvironmentSettings settings = SoundOnWithErrorWave();
  BoxLog log;
  bool openAfterMessage = false;
  QString shownAfterMessage;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    QComboBox* file = TypeIntoFileBox(sheet, QStringLiteral("abc.mp3"));
    apptest::AnswerNextBox(log, 0x00000400, &sheet);
    QTest::keyClick(file->lineEdit(), Qt::Key_Return);
    openAfterMessage = sheet.isVisible();
    shownAfterMessage = file->currentText();
    Button(&sheet, 1)->click();  // now OK stores the name shown again
  });
  ASSERT_EQ(log.texts.size(), 1);
  EXPECT_EQ(log.captions[0], QStringLiteral("falsh"));
  EXPECT_EQ(log.texts[0], AppString(kStrWaveNameMistake));
  EXPECT_TRUE(openAfterMessage);
  EXPECT_EQ(shownAfterMessage, QString::fromStdString(settings.errorPath));
  EXPECT_EQ(Value("Sound", "ErrorPass"), settings.errorPath);
  EXPECT_EQ(Value("Sound", "ErrorEnable"), "1");
}

TEST_F(SettingsSheetTest, SoundPageEnablingAndMissingWavePathSavedAsNone) {
  dir_.Write(QStringLiteral("end.wav"), "RIFF");
  EnvironmentSettings settings;
  settings.errorPath = "/nowhere/gone.wav";
  settings.endPath = dir_.File(QStringLiteral("end.wav")).toStdString();
  settings.endEnable = 1;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    sheet.Tabs()->setCurrentIndex(1);
    CCustomPropSound& page = sheet.SoundPage();
    auto enabled = [&](const char* id) { return page.findChild<QWidget*>(QLatin1String(id))->isEnabled(); };
    EXPECT_FALSE(enabled("1049"));
    EXPECT_FALSE(enabled("1078"));
    page.findChild<QCheckBox*>(QStringLiteral("1004"))->click();
    EXPECT_TRUE(enabled("1049"));
    EXPECT_TRUE(enabled("1078"));
    page.findChild<QRadioButton*>(QStringLiteral("1060"))->click();  // Beep for ERROR
    EXPECT_FALSE(enabled("1078"));
    EXPECT_TRUE(enabled("1059"));
    Button(&sheet, 1)->click();
  });
  EXPECT_EQ(Value("Sound", "Sound"), "1");
  EXPECT_EQ(Value("Sound", "ErrorType"), "1");
  EXPECT_EQ(Value("Sound", "ErrorEnable"), "1");
  EXPECT_EQ(Value("Sound", "ErrorPass"), "<none>");
  EXPECT_EQ(Value("Sound", "EndPass"), dir_.File(QStringLiteral("end.wav")).toStdString());
  EXPECT_EQ(Value("Sound", "EndEnable"), "1");
}

TEST_F(SettingsSheetTest, PlayStartsWhatTheFileBoxShowsAndStopStopsIt) {
  dir_.Write(QStringLiteral("typed.wav"), "RIFF");
  EnvironmentSettings settings;
  settings.soundOn = 1;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    sheet.Tabs()->setCurrentIndex(1);
    CCustomPropSound& page = sheet.SoundPage();
    // Not validated yet: Play takes the text as it stands.
    page.findChild<QComboBox*>(QStringLiteral("1078"))->setEditText(dir_.File(QStringLiteral("typed.wav")));
    Button(&page, 1046)->click();
    EXPECT_EQ(SoundPlayer::Instance().LastStarted(), dir_.File(QStringLiteral("typed.wav")).toStdString());
    Button(&page, 1047)->click();
    EXPECT_TRUE(SoundPlayer::Instance().LastStarted().empty());
    Button(&sheet, 2)->click();
  });
}

TEST_F(SettingsSheetTest, OpenChoosesTheWaveFileOfTheShownEvent) {
  dir_.Write(QStringLiteral("done.wav"), "RIFF");
  const FileDialogs saved = AppFileDialogs();
  FileDialogRequest asked;
  AppFileDialogs().openFile = [&](QWidget*, const FileDialogRequest& request) -> std::optional<QString> {
    asked = request;
    return dir_.File(QStringLiteral("done.wav"));
  };
  EnvironmentSettings settings;
  settings.soundOn = 1;
  RunSheet(settings, [&](CCustomPropMain& sheet) {
    sheet.Tabs()->setCurrentIndex(1);
    CCustomPropSound& page = sheet.SoundPage();
    auto* events = page.findChild<QComboBox*>(QStringLiteral("1049"));
    events->setCurrentIndex(1);
    emit events->activated(1);  // the user picks END
    Button(&page, 1115)->click();
    EXPECT_EQ(page.findChild<QComboBox*>(QStringLiteral("1078"))->currentText(), dir_.File(QStringLiteral("done.wav")));
    Button(&sheet, 1)->click();
  });
  AppFileDialogs() = saved;
  EXPECT_EQ(asked.initialName, QStringLiteral("*.wav"));
  EXPECT_EQ(asked.filter, QStringLiteral("Sound (*.wav)"));
  EXPECT_EQ(Value("Sound", "EndPass"), dir_.File(QStringLiteral("done.wav")).toStdString());
  EXPECT_EQ(Value("Sound", "EndEnable"), "1");
  EXPECT_EQ(Value("Sound", "ErrorPass"), "<none>");
  EXPECT_EQ(Value("Sound", "ErrorEnable"), "0");
}

TEST_F(SettingsSheetTest, WavePathsAreReadWholeUpToTheLimitAndRefusedBeyondIt) {
  // Three-byte characters, so that a cut at any byte count would split one.
  std::string whole = dir_.Path();
  while (whole.size() + 3 + 4 <= MaxPathBytes()) whole += "\xE6\x97\xA5";
  whole += ".wav";
  const std::string tooLong = std::string(MaxPathBytes() + 1 - 4, 'a') + ".wav";
  ASSERT_GT(whole.size(), 260u);
  ASSERT_TRUE(PathWithinLimit(whole));
  ASSERT_FALSE(PathWithinLimit(tooLong));
  platform::WriteProfileString(Ini(), "Sound", "ErrorPass", whole);
  platform::WriteProfileString(Ini(), "Sound", "EndPass", tooLong);
  const EnvironmentSettings read = ReadEnvironmentSettings(Ini());
  EXPECT_EQ(read.errorPath, whole);
  EXPECT_EQ(read.endPath, kNoWaveFile);
}

TEST(SheetLanguageTest, CaptionFollowsTheInterfaceLanguage) {
  flash::SetLanguage(flash::Language::kJapanese);
  {
    CCustomPropMain sheet(nullptr, "/nonexistent/Customize.ini");
    EXPECT_EQ(sheet.windowTitle(), QString::fromUtf8("\xE7\x92\xB0\xE5\xA2\x83\xE8\xA8\xAD\xE5\xAE\x9A"));
  }
  flash::SetLanguage(flash::Language::kEnglish);
  CCustomPropMain sheet(nullptr, "/nonexistent/Customize.ini");
  EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Customize setting"));
}

}  // namespace

TEST_F(SettingsSheetTest, OkThatCannotWriteTheFileSaysSoAndStillCloses) {
  ASSERT_TRUE(QDir(QString::fromStdString(dir_.Path())).mkdir(QStringLiteral("Customize.ini")));
  CCustomPropMain sheet(nullptr, Ini());
  std::vector<std::string> reported;
  sheet.onSettingsNotSaved = [&](const std::string& path) { reported.push_back(path); };
  apptest::WhenModal([&](QWidget*) { Button(&sheet, 1)->click(); });
  EXPECT_EQ(sheet.DoModal(EnvironmentSettings{}), QDialog::Accepted);
  EXPECT_EQ(reported, std::vector<std::string>{Ini()});
}
