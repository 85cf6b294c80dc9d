// The main window: start-up from its files, the area rows, the download state, the Copy
// caption toggle, keys, Open, dropped files, letters without Alt, Help.
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <climits>
#include <functional>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "flash/app/file_dialogs.h"
#include "flash/app/flash_app.h"
#include "flash/app/flash_dlg.h"
#include "flash/app/path_limit.h"
#include "flash/app/version_text.h"
#include "platform/profile.h"

namespace {

using apptest::BoxLog;
using apptest::ChipSection;
using apptest::ProgramDir;

template <typename T>
T* Find(QWidget* parent, int id) {
  return parent->findChild<T*>(QString::number(id));
}

// A program directory with a two-chip CHIPDEF.INI.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_.Write(QStringLiteral("CHIPDEF.INI"),
               ChipSection(QStringLiteral("kv3001"), QStringLiteral("0x1000"), QStringLiteral("0x1FFF"),
                           QStringLiteral("4,8,16"), QStringLiteral("4800,9600,19200")) +
                   ChipSection(QStringLiteral("KV3002"), QStringLiteral("0x0,0x8000"),
                               QStringLiteral("0x7FFF,0xFFFF")));
    savedDialogs_ = AppFileDialogs();
  }
  void TearDown() override { AppFileDialogs() = savedDialogs_; }

  std::unique_ptr<CFlashDlg> Start() {
    auto dlg = std::make_unique<CFlashDlg>(dir_.Path(), dir_.Path() + "flash");
    EXPECT_EQ(dlg->Initialize(), StartupResult::kReady);
    dlg->show();
    dlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    return dlg;
  }

  ProgramDir dir_;
  FileDialogs savedDialogs_;
};

struct StartupFailureCase {
  const char* name;
  const char* chipDef;  // nullptr: no CHIPDEF.INI at all
  size_t exePathLength;
  StartupResult result;
  const char* text;
};

class StartupFailureTest : public testing::TestWithParam<StartupFailureCase> {};

TEST_P(StartupFailureTest, ShowsItsMessageBoxAndNeverTheWindow) {
  const StartupFailureCase& c = GetParam();
  ProgramDir dir;
  if (c.chipDef != nullptr) dir.Write(QStringLiteral("CHIPDEF.INI"), c.chipDef);
  const std::string exe = c.exePathLength ? std::string(c.exePathLength, 'x') : dir.Path() + "flash";
  CFlashDlg dlg(dir.Path(), exe);
  BoxLog log;
  apptest::AnswerNextBox(log);
  EXPECT_EQ(dlg.Initialize(), c.result);
  EXPECT_FALSE(dlg.isVisible());
  ASSERT_EQ(log.texts.size(), 1);
  EXPECT_EQ(log.texts[0], QString::fromLatin1(c.text));
  EXPECT_EQ(log.captions[0], QStringLiteral("flash"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupFailureTest,
    testing::Values(
        StartupFailureCase{"NoChipDef", nullptr, 0, StartupResult::kRegistFailed, "REGIST FAILED!"},
        StartupFailureCase{"OnlyIncomplete",
                           "[A]\r\nDownloadFile=x\r\nLoadAddress=0\r\nStartAddress=0\r\nEndAddress=F\r\n"
                           "FlashSize=\r\nClock=4\r\nBaud=9600\r\n[B]\r\nClock=4\r\n",
                           0, StartupResult::kRegistFailed, "REGIST FAILED!"},
        StartupFailureCase{"PathTooLong", "[A]\r\n", 260, StartupResult::kPathTooLong,
                           "PATH TOO LONG error"}),
    [](const testing::TestParamInfo<StartupFailureCase>& param) { return std::string(param.param.name); });

TEST_F(MainWindowTest, StartsWithFirstChipAndLastClockWhenStoredIndexesAreTooLarge) {
  dir_.Write(QStringLiteral("DATAFILE.TXT"), "[Recent]\r\nCPU=99\r\nRATE=99\r\nWrite File=C:\\work\\a.mhx\r\n");
  auto dlg = Start();
  auto* chips = Find<QComboBox>(dlg.get(), kIdChipList);
  auto* clocks = Find<QComboBox>(dlg.get(), kIdClockList);
  EXPECT_EQ(chips->count(), 2);
  EXPECT_EQ(chips->currentIndex(), 0);
  EXPECT_EQ(chips->currentText(), QStringLiteral("KV3001"));
  EXPECT_EQ(clocks->count(), 3);
  EXPECT_EQ(clocks->currentIndex(), 2);
  EXPECT_EQ(clocks->currentText(), QStringLiteral("16"));
  EXPECT_EQ(Find<QLineEdit>(dlg.get(), kIdHexFile)->text(), QStringLiteral("a.mhx"));
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("VELMORA FLASH MCU Programmer"));
  EXPECT_EQ(Find<QGroupBox>(dlg.get(), kIdCommandGroup)->title(), QStringLiteral("Command  to  COM1"));
}

TEST_F(MainWindowTest, AreaRowsFollowTheChip) {
  dir_.Write(QStringLiteral("CHIPDEF.INI"),
             ChipSection(QStringLiteral("ONE"), QStringLiteral("0xFF0000"), QStringLiteral("0xFFFFFF")) +
                 ChipSection(QStringLiteral("SIX"), QStringLiteral("0x0,0x100,0x200,0x300,0x400,0x500"),
                             QStringLiteral("0xFF,0x1FF,0x2FF,0x3FF,0x4FF,0x5FF")));
  auto dlg = Start();
  const int ids[12] = {1005, 1006, 1007, 1009, 1016, 1017, 1022, 1023, 1024, 1025, 1026, 1028};
  auto row = [&](int r) {
    QStringList texts;
    for (int c = 0; c < 3; ++c) texts << Find<QLabel>(dlg.get(), ids[r * 3 + c])->text();
    return texts.join(QLatin1Char(' '));
  };
  EXPECT_EQ(row(0), QStringLiteral("FF0000H FFFFFFH 010000H"));
  EXPECT_EQ(row(1), QStringLiteral("  "));
  EXPECT_EQ(row(3), QStringLiteral("  "));
  Find<QComboBox>(dlg.get(), kIdChipList)->setCurrentIndex(1);
  EXPECT_EQ(row(0), QStringLiteral("000000H 0000FFH 000100H"));
  EXPECT_EQ(row(3), QStringLiteral("000300H 0003FFH 000100H"));
  // The chip choice was saved.
  EXPECT_EQ(platform::GetProfileInt(dir_.File(QStringLiteral("DATAFILE.TXT")).toStdString(), "Recent", "CPU", -1), 1);
}

TEST_F(MainWindowTest, DownloadStateAfterStartDownloadAndChipOrClockChange) {
  auto dlg = Start();
  const int commands[] = {kIdFullOperation, kIdDownload, kIdErase, kIdBlankCheck,
                          kIdProgram, kIdReadCompare, kIdCopy};
  auto enabled = [&] {
    std::vector<bool> state;
    for (int id : commands) state.push_back(Find<QPushButton>(dlg.get(), id)->isEnabled());
    return state;
  };
  const std::vector<bool> notDownloaded = {true, true, false, false, false, false, false};
  const std::vector<bool> downloaded(7, true);
  EXPECT_EQ(enabled(), notDownloaded);
  for (int id : {kIdCheckSum, kIdSetEnvironment, kIdOpen, kIdHelp}) {
    EXPECT_TRUE(Find<QPushButton>(dlg.get(), id)->isEnabled()) << id;
  }
  dlg->ShowDownloadState(true);  // what a successful download reports
  EXPECT_EQ(enabled(), downloaded);
  Find<QComboBox>(dlg.get(), kIdClockList)->setCurrentIndex(1);
  EXPECT_EQ(enabled(), notDownloaded);
  dlg->ShowDownloadState(true);
  Find<QComboBox>(dlg.get(), kIdChipList)->setCurrentIndex(1);
  EXPECT_EQ(enabled(), notDownloaded);
  EXPECT_FALSE(dlg->Downloaded());
}

TEST_F(MainWindowTest, DownOpensTheDropDownListsAndF4DoesNothing) {
  auto dlg = Start();
  for (int id : {kIdChipList, kIdClockList}) {
    auto* list = Find<QComboBox>(dlg.get(), id);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F4);
    EXPECT_FALSE(list->view()->isVisible()) << id;
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(apptest::WaitUntil([&] { return list->view()->isVisible(); }, 5000)) << id;
    EXPECT_EQ(list->currentIndex(), 0) << id;
    list->hidePopup();
  }
}

TEST_F(MainWindowTest, ChangingTheCrystalFrequencyKeepsTheFocusOnItsList) {
  auto dlg = Start();
  auto* clocks = Find<QComboBox>(dlg.get(), kIdClockList);
  clocks->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), clocks);
  dlg->ShowDownloadState(true);
  clocks->setCurrentIndex(1);
  EXPECT_FALSE(Find<QPushButton>(dlg.get(), kIdErase)->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), clocks);
}

TEST_F(MainWindowTest, RightClickOnCopyTogglesItsCaptionEvenWhileDisabled) {
  auto dlg = Start();
  auto* copy = Find<QPushButton>(dlg.get(), kIdCopy);
  ASSERT_FALSE(copy->isEnabled());
  QTest::mouseClick(copy, Qt::RightButton);
  EXPECT_EQ(copy->text(), QStringLiteral("&Copy_i"));
  EXPECT_EQ(dlg->CopyFormat(), 1);
  dlg->ShowDownloadState(true);
  QTest::mouseClick(copy, Qt::RightButton);
  EXPECT_EQ(copy->text(), QStringLiteral("&Copy"));
  EXPECT_EQ(dlg->CopyFormat(), 0);
  // A right click elsewhere changes nothing.
  QTest::mouseClick(Find<QPushButton>(dlg.get(), kIdErase), Qt::RightButton);
  EXPECT_EQ(dlg->CopyFormat(), 0);
}

TEST_F(MainWindowTest, EnterAndEscapeDoNotCloseTheWindowButTheCloseBoxDoes) {
  auto dlg = Start();
  QWidget* focus = Find<QComboBox>(dlg.get(), kIdChipList);
  focus->setFocus();
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QTest::keyClick(focus, static_cast<Qt::Key>(key));
    QTest::keyClick(dlg.get(), static_cast<Qt::Key>(key));
  }
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), 0);
  dlg->close();
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(MainWindowTest, CancelledOpenStillRewritesTheRecentSettings) {
  dir_.Write(QStringLiteral("DATAFILE.TXT"), "[Recent]\r\nCPU=1\r\n");
  auto dlg = Start();
  ASSERT_FALSE(dir_.Read(QStringLiteral("DATAFILE.TXT")).contains("Write File"));
  int asked = 0;
  AppFileDialogs().openFile = [&](QWidget*, const FileDialogRequest& request) -> std::optional<QString> {
    ++asked;
    EXPECT_TRUE(request.filter.startsWith(QStringLiteral("S format files (*.mhx *.cnv *.ahx)")));
    return std::nullopt;
  };
  QTest::mouseClick(Find<QPushButton>(dlg.get(), kIdOpen), Qt::LeftButton);
  EXPECT_EQ(asked, 1);
  const QByteArray saved = dir_.Read(QStringLiteral("DATAFILE.TXT"));
  EXPECT_TRUE(saved.contains("CPU=1")) << saved.constData();
  EXPECT_TRUE(saved.contains("RATE=0")) << saved.constData();
  EXPECT_TRUE(saved.contains("Write File=")) << saved.constData();
  EXPECT_TRUE(dlg->HexFilePath().empty());
}

TEST_F(MainWindowTest, OpenTakesTheChosenFile) {
  dir_.Write(QStringLiteral("hex/prog.mhx"), "S9030000FC\r\n");
  auto dlg = Start();
  AppFileDialogs().openFile = [&](QWidget*, const FileDialogRequest&) -> std::optional<QString> {
    return dir_.File(QStringLiteral("hex/prog.mhx"));
  };
  // The letter O alone works as Alt+O, also while a drop-down list has the focus.
  auto* chips = Find<QComboBox>(dlg.get(), kIdChipList);
  chips->setFocus();
  QTest::keyClick(chips, Qt::Key_O);
  EXPECT_EQ(Find<QLineEdit>(dlg.get(), kIdHexFile)->text(), QStringLiteral("prog.mhx"));
  EXPECT_EQ(chips->currentIndex(), 0);
  EXPECT_EQ(platform::GetProfileString(dir_.File(QStringLiteral("DATAFILE.TXT")).toStdString(), "Recent",
                                       "Write File", ""),
            dir_.File(QStringLiteral("hex/prog.mhx")).toStdString());
}

TEST_F(MainWindowTest, DroppedFolderChangesNothingAndOfTwoFilesTheFirstCounts) {
  dir_.Write(QStringLiteral("a.mhx"), "S9030000FC\r\n");
  dir_.Write(QStringLiteral("b.mhx"), "S9030000FC\r\n");
  auto dlg = Start();
  auto dropFiles = [&](const QStringList& names) {
    QList<QUrl> urls;
    for (const QString& name : names) urls << QUrl::fromLocalFile(dir_.File(name));
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.get(), &drop);
  };
  dropFiles({QStringLiteral(".")});
  EXPECT_TRUE(dlg->HexFilePath().empty());
  EXPECT_FALSE(dir_.Exists(QStringLiteral("DATAFILE.TXT")));
  dropFiles({QStringLiteral("b.mhx"), QStringLiteral("a.mhx")});
  EXPECT_EQ(dlg->HexFileName(), QStringLiteral("b.mhx"));
  EXPECT_TRUE(dir_.Read(QStringLiteral("DATAFILE.TXT")).contains("b.mhx"));
  EXPECT_FALSE(dlg->Downloaded());
}

TEST_F(MainWindowTest, HelpOpensTheHelpDocumentFromTheProgramDirectory) {
  dir_.Write(QStringLiteral("flash_html.html"), "<html></html>");
  auto dlg = Start();
  QString opened;
  dlg->openHelp = [&](const QString& path) { opened = path; };
  QTest::mouseClick(Find<QPushButton>(dlg.get(), kIdHelp), Qt::LeftButton);
  EXPECT_EQ(opened, dir_.File(QStringLiteral("flash_html.html")));
}

TEST_F(MainWindowTest, HelpPrefersTheCompiledHelpInTheCurrentDirectory) {
  dir_.Write(QStringLiteral("flash_html.html"), "<html></html>");
  ProgramDir elsewhere;
  elsewhere.Write(QStringLiteral("flash_html.chm"), "ITSF");
  auto dlg = Start();
  QString opened;
  dlg->openHelp = [&](const QString& path) { opened = path; };
  const QString previous = QDir::currentPath();
  QDir::setCurrent(elsewhere.File(QString()));
  dlg->OnHelp();
  QDir::setCurrent(previous);
  EXPECT_EQ(QFileInfo(opened).canonicalFilePath(),
            QFileInfo(elsewhere.File(QStringLiteral("flash_html.chm"))).canonicalFilePath());
}

TEST_F(MainWindowTest, TooltipsFollowTheSetting) {
  dir_.Write(QStringLiteral("Customize.ini"), "[Com]\r\nCom=4\r\n[Tool]\r\nToolTips=1\r\n");
  auto dlg = Start();
  EXPECT_EQ(Find<QPushButton>(dlg.get(), kIdDownload)->toolTip(),
            QStringLiteral("Transfers a control program to the microcomputer"));
  EXPECT_EQ(Find<QGroupBox>(dlg.get(), kIdCommandGroup)->title(), QStringLiteral("Command  to  COM5"));
  dir_.Write(QStringLiteral("Customize.ini"), "[Tool]\r\nToolTips=0\r\n");
  dlg->ReadEnvironment();
  EXPECT_TRUE(Find<QPushButton>(dlg.get(), kIdDownload)->toolTip().isEmpty());
}

// A path of exactly `bytes` bytes below base (which ends in '/'): folders of 3-byte UTF-8
// characters, so that a cut at any byte count would split one, then a file "pp...p.mhx".
std::string PathOfLength(const std::string& base, size_t bytes) {
  std::string path = base;
  size_t rest = bytes - base.size();
  while (rest > 250) {
    for (int i = 0; i < 80; ++i) path += "\xE6\x97\xA5";
    path += '/';
    rest -= 241;
  }
  return path + std::string(rest - 4, 'p') + ".mhx";
}

// The two ways a user names the Hex File in the window.
struct ChooseWay {
  const char* name;
  std::function<void(CFlashDlg&, const QString&)> choose;
};
const ChooseWay kChooseWays[] = {
    {"Open",
     [](CFlashDlg& dlg, const QString& path) {
       AppFileDialogs().openFile = [path](QWidget*, const FileDialogRequest&) -> std::optional<QString> { return path; };
       dlg.OnOpen();
     }},
    {"drop", [](CFlashDlg& dlg, const QString& path) { dlg.OnDropFiles({path}); }},
};

TEST(PathLimitTest, ThePlatformLimitCountsBytesWithoutTheNul) {
  EXPECT_EQ(MaxPathBytes(), static_cast<size_t>(PATH_MAX) - 1);
  EXPECT_TRUE(PathWithinLimit(std::string(261, 'a')));
  EXPECT_TRUE(PathWithinLimit(std::string(MaxPathBytes(), 'a')));
  EXPECT_FALSE(PathWithinLimit(std::string(MaxPathBytes() + 1, 'a')));
}

TEST_F(MainWindowTest, PathsUpToTheLimitAreTakenWholeAndSurviveARestart) {
  const std::string path = PathOfLength(dir_.Path(), MaxPathBytes());
  ASSERT_EQ(path.size(), MaxPathBytes());
  const QString file = QString::fromStdString(path);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
  QFile hex(file);
  ASSERT_TRUE(hex.open(QIODevice::WriteOnly));
  hex.write("S9030000FC\r\n");
  hex.close();
  for (const ChooseWay& way : kChooseWays) {
    QFile::remove(dir_.File(QStringLiteral("DATAFILE.TXT")));
    {
      auto dlg = Start();
      way.choose(*dlg, file);
      EXPECT_EQ(dlg->HexFilePath(), path) << way.name;
    }
    auto restarted = Start();
    EXPECT_EQ(restarted->HexFilePath(), path) << way.name;
    EXPECT_EQ(restarted->HexFileName(), QFileInfo(file).fileName()) << way.name;
  }
}

TEST_F(MainWindowTest, PathsOverTheLimitAreRefusedEverywhereAndNeverCut) {
  dir_.Write(QStringLiteral("a.mhx"), "S9030000FC\r\n");
  const std::string kept = dir_.File(QStringLiteral("a.mhx")).toStdString();
  const std::string tooLong = PathOfLength(dir_.Path(), MaxPathBytes() + 1);
  for (const ChooseWay& way : kChooseWays) {
    platform::WriteProfileString(dir_.File(QStringLiteral("DATAFILE.TXT")).toStdString(), "Recent", "Write File", kept);
    auto dlg = Start();
    way.choose(*dlg, QString::fromStdString(tooLong));
    EXPECT_EQ(dlg->HexFilePath(), kept) << way.name;
  }
  // Stored in DATAFILE.TXT by another program: no Hex File, and no cut-off path either.
  platform::WriteProfileString(dir_.File(QStringLiteral("DATAFILE.TXT")).toStdString(), "Recent", "Write File", tooLong);
  auto dlg = Start();
  EXPECT_EQ(dlg->HexFilePath(), "");
  EXPECT_EQ(dlg->HexFileName(), QString());
}

struct VersionCase {
  uint32_t ms, ls;
  bool preRelease;
  const char* text;
};

TEST(VersionTextTest, FormatsProductVersion) {
  const VersionCase cases[] = {
      {0x00000001, 0x00000A8D, false, "V01,L27"},  // 0.1.0.2701
      {0x00000001, 0x00000A8D, true, "V01,L27 b01"},
      {0x00020003, 0x00000063, false, "V03,L00"},
  };
  for (const VersionCase& c : cases) EXPECT_EQ(FormatVersionText(c.ms, c.ls, c.preRelease), c.text);
}

}  // namespace

namespace {

TEST_F(MainWindowTest, AboutBoxShowsTheVersion) {
  auto dlg = Start();
  QString caption, version;
  apptest::WhenModal([&](QWidget* modal) {
    caption = modal->windowTitle();
    version = modal->findChild<QLabel*>(QStringLiteral("1027"))->text();
    modal->findChild<QPushButton*>(QStringLiteral("1"))->click();
  });
  dlg->OnAbout();
  EXPECT_EQ(caption, QStringLiteral("(C)Information"));
  EXPECT_EQ(version, QString::fromStdString(dlg->VersionText()));
  EXPECT_EQ(Find<QLabel>(dlg.get(), kIdVersion)->text(), QString::fromStdString(dlg->VersionText()));
  EXPECT_NE(dlg->VersionText(), kVersionReadError);
}

TEST_F(MainWindowTest, WindowAndAboutBoxShowTheProgramIcon) {
  auto dlg = Start();
  EXPECT_FALSE(dlg->windowIcon().isNull());
  EXPECT_FALSE(dlg->windowIcon().pixmap(32, 32).isNull());
  QPixmap picture;
  apptest::WhenModal([&](QWidget* modal) {
    // The picture is the one label without text.
    for (QLabel* label : modal->findChildren<QLabel*>()) {
      if (label->text().isEmpty()) picture = label->pixmap();
    }
    modal->findChild<QPushButton*>(QStringLiteral("1"))->click();
  });
  dlg->OnAbout();
  ASSERT_FALSE(picture.isNull());
  // The picture is the icon's, not an empty square.
  const QImage image = picture.toImage();
  bool drawn = false;
  for (int y = 0; y < image.height() && !drawn; ++y) {
    for (int x = 0; x < image.width() && !drawn; ++x) drawn = qAlpha(image.pixel(x, y)) != 0;
  }
  EXPECT_TRUE(drawn);
}

}  // namespace

namespace {

TEST_F(MainWindowTest, ApplicationRunsUntilTheWindowIsClosed) {
  QString title;
  QTimer::singleShot(0, [&] {
    apptest::WaitUntil([] { return QApplication::activeWindow() != nullptr; });
    QWidget* window = QApplication::activeWindow();
    title = window->windowTitle();
    QTest::keyClick(window, Qt::Key_Escape);  // ignored
    window->close();
  });
  CFlashApp app;
  EXPECT_EQ(app.InitInstance(dir_.Path(), dir_.Path() + "flash"), 0);
  EXPECT_EQ(title, QStringLiteral("VELMORA FLASH MCU Programmer"));
}

TEST(FlashAppTest, StartupFailureEndsWithoutTheWindow) {
  apptest::ProgramDir empty;
  BoxLog log;
  apptest::AnswerNextBox(log);
  CFlashApp app;
  EXPECT_EQ(app.InitInstance(empty.Path(), empty.Path() + "flash"), 1);
  EXPECT_EQ(log.texts, QStringList{QStringLiteral("REGIST FAILED!")});
}

}  // namespace

namespace {

// Opens the window menu with open(), picks its About entry and returns the caption of the
// box that comes up (empty when none did).
QString AboutCaptionThroughTheWindowMenu(const std::function<void()>& open) {
  QString caption;
  QTimer::singleShot(0, [&] {
    apptest::WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 5000);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* about = nullptr;
    for (QAction* action : menu->actions()) {
      if (action->text() == QStringLiteral("version(flash) (&A)...")) about = action;
    }
    ASSERT_NE(about, nullptr);
    apptest::WhenModal([&](QWidget* modal) {
      caption = modal->windowTitle();
      modal->close();
    });
    about->trigger();
    menu->close();
  });
  open();
  apptest::WaitUntil([&] { return !caption.isEmpty(); }, 5000);
  return caption;
}

TEST_F(MainWindowTest, AltSpaceMenuReachesTheAboutBox) {
  auto dlg = Start();
  EXPECT_EQ(AboutCaptionThroughTheWindowMenu([&] { QTest::keyClick(dlg.get(), Qt::Key_Space, Qt::AltModifier); }),
            QStringLiteral("(C)Information"));
}

// A right click on the window's background reaches the same menu on any desktop; on a
// button it does not (the Copy button's right press keeps its meaning).
TEST_F(MainWindowTest, RightClickOnTheWindowReachesTheAboutBox) {
  auto dlg = Start();
  const QPoint background(2, 2);
  ASSERT_EQ(dlg->childAt(background), nullptr);
  EXPECT_EQ(AboutCaptionThroughTheWindowMenu([&] {
              QContextMenuEvent onBackground(QContextMenuEvent::Mouse, background, dlg->mapToGlobal(background));
              QApplication::sendEvent(dlg.get(), &onBackground);
            }),
            QStringLiteral("(C)Information"));

  QWidget* copy = Find<QWidget>(dlg.get(), kIdCopy);
  const QPoint onButton = copy->mapTo(dlg.get(), copy->rect().center());
  QContextMenuEvent onCopy(QContextMenuEvent::Mouse, onButton, dlg->mapToGlobal(onButton));
  QApplication::sendEvent(dlg.get(), &onCopy);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(MainWindowTest, LabelLettersMoveTheFocusToTheirLists) {
  auto dlg = Start();
  QWidget* hexField = Find<QWidget>(dlg.get(), kIdHexFile);
  hexField->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y);
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(dlg.get(), kIdClockList));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_T);
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(dlg.get(), kIdChipList));
  // Letters without a mnemonic do nothing.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q);
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(dlg.get(), kIdChipList));
  EXPECT_EQ(Find<QComboBox>(dlg.get(), kIdChipList)->currentIndex(), 0);
}

}  // namespace

// A settings file that cannot be written is said once per run, never dropped in silence.
TEST_F(MainWindowTest, UnwritableRecentSettingsAreReportedOnce) {
  ASSERT_TRUE(QDir(QString::fromStdString(dir_.Path())).mkdir(QStringLiteral("DATAFILE.TXT")));
  auto dlg = Start();
  EXPECT_EQ(dlg->SettingsDirectory(), dir_.Path());
  AppFileDialogs().openFile = [](QWidget*, const FileDialogRequest&) -> std::optional<QString> {
    return std::nullopt;
  };
  apptest::BoxLog log;
  apptest::AnswerNextBox(log, 0x00000400, dlg.get());
  QTest::mouseClick(Find<QPushButton>(dlg.get(), kIdOpen), Qt::LeftButton);
  ASSERT_TRUE(apptest::WaitUntil([&] { return log.texts.size() == 1; }));
  EXPECT_TRUE(log.texts[0].contains(QString::fromStdString(dlg->DataFilePath()))) << log.texts[0].toStdString();
  EXPECT_TRUE(log.texts[0].contains(QStringLiteral("Is a directory"))) << log.texts[0].toStdString();
  // The second failed save says nothing more.
  QTest::mouseClick(Find<QPushButton>(dlg.get(), kIdOpen), Qt::LeftButton);
  QTest::qWait(200);
  EXPECT_EQ(log.texts.size(), 1);
}
