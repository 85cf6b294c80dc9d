// The main window's commands against the simulated board over a pseudo-terminal, with a
// scripted user who resets the board when asked and presses the buttons of every message.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "flash/app/file_dialogs.h"
#include "flash/app/flash_dlg.h"
#include "flash/app/progress_dlg.h"
#include "flash/app/sound_player.h"
#include "flash/hexfile/hex_file_loader.h"
#include "tests/support/kvsim_harness.h"

namespace {

using apptest::ProgramDir;

const QString kResetPrompt = QStringLiteral("Please reset the microcontroller");

// Plays the user: answers message boxes (resetting the board at the reset prompt), presses
// "Ok" under each new message of a progress window, and presses Cancel once if asked to.
// Asked to, it also requests once to close the main window at a given moment of a command,
// and answers on the next tick if the window it was about to answer is still there.
class ScriptedUser {
 public:
  enum class CloseAt { kNever, kAtResetPrompt, kAtProgressMessage, kWhileProgramming };

  explicit ScriptedUser(std::function<void()> resetBoard) : resetBoard_(std::move(resetBoard)) {
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start();
  }

  QStringList messages;       // every message acknowledged, in order
  QStringList boxCaptions;    // the caption of every message box answered, in order
  bool cancelWhileProgramming = false;
  bool cancelPressed = false;
  int ticksWindowStayedAfterCancel = 0;
  CloseAt closeAt = CloseAt::kNever;
  std::function<void()> closeMainWindow;
  bool closeRequested = false;

 private:
  bool CloseNow(CloseAt moment) {
    if (closeAt != moment || closeRequested) return false;
    closeRequested = true;
    closeMainWindow();
    return true;
  }
  void Tick() {
    if (busy_) return;
    busy_ = true;
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      if (box->text().startsWith(kResetPrompt) && CloseNow(CloseAt::kAtResetPrompt)) {
        busy_ = false;
        return;
      }
      messages << box->text();
      boxCaptions << box->windowTitle();
      if (box->text().startsWith(kResetPrompt)) resetBoard_();
      box->button(QMessageBox::Ok)->click();
      busy_ = false;
      return;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* progress = dynamic_cast<CProgressDlg*>(top);
      if (progress == nullptr || !progress->isVisible()) continue;
      auto* button = progress->findChild<QPushButton*>(QStringLiteral("2"));
      const QString text = progress->findChild<QLabel*>(QStringLiteral("1105"))->text();
      if (!button->isEnabled()) continue;
      const bool programming = button->text() == QStringLiteral("Cancel") &&
                               progress->windowTitle().contains(QLatin1Char('/')) &&
                               !progress->windowTitle().startsWith(QLatin1Char('0'));
      if (programming && CloseNow(CloseAt::kWhileProgramming)) break;
      if (cancelWhileProgramming && !cancelPressed && button->text() == QStringLiteral("Cancel") &&
          progress->windowTitle().contains(QLatin1Char('/')) && !progress->windowTitle().startsWith(QLatin1Char('0'))) {
        cancelPressed = true;
        button->click();
        break;
      }
      const bool ok = button->text() == QStringLiteral("Ok") || button->text() == QStringLiteral("OK");
      if (!ok || text == QStringLiteral("infomation")) continue;
      if (progress == lastWindow_ && text == lastText_) continue;
      if (CloseNow(CloseAt::kAtProgressMessage)) break;
      // The cancelled window waits for its "OK": look at it for a while before pressing.
      if (text == QStringLiteral("It was canceled") && ticksWindowStayedAfterCancel < 20) {
        ++ticksWindowStayedAfterCancel;
        break;
      }
      lastWindow_ = progress;
      lastText_ = text;
      messages << text;
      button->click();
      break;
    }
    busy_ = false;
  }

  std::function<void()> resetBoard_;
  QTimer timer_;
  QPointer<CProgressDlg> lastWindow_;
  QString lastText_;
  bool busy_ = false;
};

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    const QString data = QString::fromStdString(kvsim_harness::SourceDataDir());
    for (const char* name : {"CHIPDEF.INI", "os3f10.ctl"}) {
      QFile source(data + QLatin1Char('/') + QLatin1String(name));
      ASSERT_TRUE(source.open(QIODevice::ReadOnly));
      dir_.Write(QLatin1String(name), source.readAll());
    }
    hexPath_ = (data + QStringLiteral("/hex/os3f10.hex")).toStdString();
    dir_.Write(QStringLiteral("DATAFILE.TXT"),
               QStringLiteral("[Recent]\r\nCPU=0\r\nRATE=1\r\nWrite File=%1\r\n")
                   .arg(QString::fromStdString(hexPath_))
                   .toUtf8());
    dir_.Write(QStringLiteral("Customize.ini"), "[Com]\r\nCom=0\r\n");
    ASSERT_TRUE(board_.Start(kvsim_harness::BoardOptions("OS3F10", "8"))) << board_.Error();
    qputenv("KVPORT_COM1", board_.LinkPath().c_str());
    savedDialogs_ = AppFileDialogs();

    dlg_ = std::make_unique<CFlashDlg>(dir_.Path(), dir_.Path() + "flash");
    ASSERT_EQ(dlg_->Initialize(), StartupResult::kReady);
    ASSERT_EQ(dlg_->findChild<QComboBox*>(QStringLiteral("1018"))->currentText(), QStringLiteral("OS3F10"));
    ASSERT_EQ(dlg_->findChild<QComboBox*>(QStringLiteral("1020"))->currentText(), QStringLiteral("8"));
    dlg_->show();
    user_ = std::make_unique<ScriptedUser>([this] { EXPECT_TRUE(board_.ResetIntoBoot()); });
  }
  void TearDown() override {
    user_.reset();
    dlg_.reset();
    qunsetenv("KVPORT_COM1");
    AppFileDialogs() = savedDialogs_;
  }

  QPushButton* Button(int id) { return dlg_->findChild<QPushButton*>(QString::number(id)); }
  // Presses a command button; returns the messages the user acknowledged meanwhile.
  QStringList Press(int id) {
    user_->messages.clear();
    QTest::mouseClick(Button(id), Qt::LeftButton);
    EXPECT_TRUE(dlg_->isEnabled());
    EXPECT_FALSE(QApplication::topLevelWidgets().isEmpty());
    return user_->messages;
  }
  // The flash contents the hex file gives (unused bytes 0xFF), as the board holds them.
  static std::string ImageOf(const std::string& hexPath, const flash::ChipRecord& chip) {
    flash::FlashImage image;
    EXPECT_TRUE(flash::LoadHexFile(hexPath, flash::AreasOf(chip), image, false, 0xFF, nullptr));
    const flash::FlashArea& area = chip.areas[0];
    return std::string(reinterpret_cast<const char*>(image.Data()), area.end - area.start + 1);
  }
  std::string BoardFlash() {
    const flash::FlashArea& area = dlg_->Link().Settings().chip.areas[0];
    return board_.ReadFlashImage().substr(0, area.end - area.start + 1);
  }
  bool CommandsEnabled() { return Button(kIdErase)->isEnabled() && Button(kIdCopy)->isEnabled(); }

  ProgramDir dir_;
  std::string hexPath_;
  kvsim_harness::KvsimProcess board_;
  FileDialogs savedDialogs_;
  std::unique_ptr<CFlashDlg> dlg_;
  std::unique_ptr<ScriptedUser> user_;
};

TEST_F(EndToEndTest, DownloadMakesTheFlashCommandsAvailable) {
  ASSERT_FALSE(CommandsEnabled());
  const QStringList seen = Press(kIdDownload);
  ASSERT_EQ(seen.size(), 2) << seen.join(QStringLiteral(" | ")).toStdString();
  EXPECT_TRUE(seen[0].startsWith(kResetPrompt));
  EXPECT_EQ(seen[1], QStringLiteral("It transferred a control program to the microcomputer"));
  EXPECT_TRUE(dlg_->Downloaded());
  EXPECT_TRUE(CommandsEnabled());
  EXPECT_EQ(Press(kIdBlankCheck), QStringList{QStringLiteral("A flash is Erased ")});
}

TEST_F(EndToEndTest, EachStepAloneAndItsCompletionSound) {
  dir_.Write(QStringLiteral("Customize.ini"),
             "[Com]\r\nCom=0\r\n[Sound]\r\nSound=1\r\nEndEnable=1\r\nEndType=1\r\nErrorEnable=0\r\n");
  dlg_->ReadEnvironment();
  const int beeps = SoundPlayer::Instance().BeepCount();
  Press(kIdDownload);
  EXPECT_EQ(SoundPlayer::Instance().BeepCount(), beeps + 1);
  EXPECT_EQ(Press(kIdErase), QStringList{QStringLiteral("It Erased a flash")});
  EXPECT_EQ(Press(kIdBlankCheck), QStringList{QStringLiteral("A flash is Erased ")});
  EXPECT_EQ(Press(kIdProgram), QStringList{QStringLiteral("The Programming ended normally")});
  EXPECT_TRUE(BoardFlash() == ImageOf(hexPath_, dlg_->Link().Settings().chip));
  const QStringList notBlank = Press(kIdBlankCheck);
  ASSERT_EQ(notBlank.size(), 1);
  EXPECT_TRUE(notBlank[0].startsWith(QStringLiteral("A flash isn't erased"))) << notBlank[0].toStdString();
  // That result sounds as an error, and error sounds are off here.
  EXPECT_EQ(SoundPlayer::Instance().BeepCount(), beeps + 4);
  // The master switch off silences every notice.
  dir_.Write(QStringLiteral("Customize.ini"), "[Com]\r\nCom=0\r\n[Sound]\r\nSound=0\r\nEndEnable=1\r\nEndType=1\r\n");
  dlg_->ReadEnvironment();
  Press(kIdReadCompare);
  EXPECT_EQ(SoundPlayer::Instance().BeepCount(), beeps + 4);
}

TEST_F(EndToEndTest, FullOperationOnBlankThenOnProgrammedBoard) {
  const QStringList first = Press(kIdFullOperation);
  EXPECT_EQ(first.last(), QStringLiteral("It ended normally completely")) << first.join(QStringLiteral(" | ")).toStdString();
  EXPECT_EQ(first.size(), 2);  // the reset prompt and the final message only
  EXPECT_TRUE(board_.Events("erase").empty());  // a blank board is not erased
  const std::string expected = ImageOf(hexPath_, dlg_->Link().Settings().chip);
  EXPECT_TRUE(BoardFlash() == expected);
  EXPECT_TRUE(CommandsEnabled());

  const QStringList second = Press(kIdFullOperation);
  EXPECT_EQ(second.last(), QStringLiteral("It ended normally completely")) << second.join(QStringLiteral(" | ")).toStdString();
  EXPECT_FALSE(board_.Events("erase").empty());
  EXPECT_TRUE(BoardFlash() == expected);
}

TEST_F(EndToEndTest, ReadAndCompareIdenticalAndDifferent) {
  Press(kIdFullOperation);
  EXPECT_EQ(Press(kIdReadCompare), QStringList{QStringLiteral("The flash and the hex file are identical")});
  // One changed byte in a file of its own.
  dir_.Write(QStringLiteral("other.hex"), ":0140000000BF\r\n:00000001FF\r\n");
  dlg_->OnDropFiles({dir_.File(QStringLiteral("other.hex"))});
  const QStringList seen = Press(kIdReadCompare);
  ASSERT_EQ(seen.size(), 1);
  EXPECT_TRUE(seen[0].startsWith(QStringLiteral("There is a point of difference in the flash and the hex file\n")));
  EXPECT_TRUE(seen[0].contains(QStringLiteral("0x00004000"))) << seen[0].toStdString();
  EXPECT_TRUE(CommandsEnabled());
}

TEST_F(EndToEndTest, CopyWritesBothFormats) {
  Press(kIdFullOperation);
  const std::string expected = BoardFlash();
  for (int format = 0; format < 2; ++format) {
    const QString out = dir_.File(format == 0 ? QStringLiteral("copy.mhx") : QStringLiteral("copy.hex"));
    QString filterSeen;
    AppFileDialogs().saveFile = [&](QWidget*, const FileDialogRequest& request) -> std::optional<QString> {
      filterSeen = request.filter;
      return out;
    };
    if (format == 1) QTest::mouseClick(Button(kIdCopy), Qt::RightButton);
    EXPECT_EQ(Button(kIdCopy)->text(), format == 0 ? QStringLiteral("&Copy") : QStringLiteral("&Copy_i"));
    EXPECT_EQ(Press(kIdCopy), QStringList{QStringLiteral("The Copy ending")});
    const QByteArray written = dir_.Read(QFileInfo(out).fileName());
    ASSERT_FALSE(written.isEmpty());
    EXPECT_EQ(written.at(0), format == 0 ? 'S' : ':');
    EXPECT_TRUE(ImageOf(out.toStdString(), dlg_->Link().Settings().chip) == expected) << format;
    EXPECT_FALSE(filterSeen.isEmpty());
  }
}

// The Hex File as a copy in a folder of the test's own, so that nothing can harm the sample.
class CopyBesideTheHexFileTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    QFile source(QString::fromStdString(hexPath_));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    original_ = source.readAll();
    dir_.Write(QStringLiteral("input/prog.hex"), original_);
    dlg_->OnDropFiles({dir_.File(QStringLiteral("input/prog.hex"))});
    ASSERT_EQ(dlg_->HexFileName(), QStringLiteral("prog.hex"));
    Press(kIdDownload);
    ASSERT_TRUE(CommandsEnabled());
  }
  static QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }
  QByteArray original_;
};

TEST_F(CopyBesideTheHexFileTest, SaveAsStartsInTheHexFileFolderWithNoNamePreset) {
  QString startDirectory;
  QString presetName = QStringLiteral("(no name field)");
  apptest::WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
    startDirectory = dialog->directory().absolutePath();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    presetName = name->text();
    // The user types a name without extension and presses Enter.
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("read"));
    QTest::keyClick(name, Qt::Key_Return);
  });
  EXPECT_EQ(Press(kIdCopy), QStringList{QStringLiteral("The Copy ending")});
  EXPECT_EQ(Canonical(startDirectory), Canonical(dir_.File(QStringLiteral("input"))));
  EXPECT_EQ(presetName, QString());
  EXPECT_EQ(dir_.Read(QStringLiteral("input/prog.hex")), original_);
  EXPECT_TRUE(dir_.Read(QStringLiteral("input/read.mhx")).startsWith("S0"));
}

TEST_F(CopyBesideTheHexFileTest, ReadOutOverTheHexFileIsRefusedHoweverItIsSpelt) {
  ASSERT_TRUE(QFile::link(dir_.File(QStringLiteral("input/prog.hex")), dir_.File(QStringLiteral("link.hex"))));
  const QString spellings[] = {
      dir_.File(QStringLiteral("input/prog.hex")),
      dir_.File(QStringLiteral("input/./prog.hex")),
      dir_.File(QStringLiteral("input//../input/prog.hex")),
      dir_.File(QStringLiteral("link.hex")),
  };
  for (const QString& spelling : spellings) {
    AppFileDialogs().saveFile = [&](QWidget*, const FileDialogRequest&) -> std::optional<QString> {
      return spelling;
    };
    user_->boxCaptions.clear();
    EXPECT_EQ(Press(kIdCopy), QStringList{QStringLiteral("ERROR : CANNOT OVERWRITE THE HEX FILE")})
        << spelling.toStdString();
    EXPECT_EQ(user_->boxCaptions, QStringList{QStringLiteral("Flash Memory Writer")});
    EXPECT_EQ(dir_.Read(QStringLiteral("input/prog.hex")), original_) << spelling.toStdString();
  }
  EXPECT_TRUE(board_.Events("read").empty());  // nothing was read for a file refused
  EXPECT_TRUE(CommandsEnabled());
}

TEST_F(EndToEndTest, CancelDuringProgrammingStopsAndWaitsForOk) {
  Press(kIdDownload);
  user_->cancelWhileProgramming = true;
  const QStringList seen = Press(kIdProgram);
  EXPECT_TRUE(user_->cancelPressed);
  EXPECT_EQ(seen, QStringList{QStringLiteral("It was canceled")});
  EXPECT_GE(user_->ticksWindowStayedAfterCancel, 20);  // the window stayed until "OK"
  EXPECT_TRUE(BoardFlash() != ImageOf(hexPath_, dlg_->Link().Settings().chip));
  EXPECT_TRUE(CommandsEnabled());  // a cancel is no failure: the download stands
}

// A close request of the main window while a command runs, at one moment of the command.
struct CloseCase {
  const char* name;
  ScriptedUser::CloseAt moment;
  int command;
  bool downloadFirst;
  std::vector<const char*> messages;  // what the user then acknowledges
};

class CloseDuringCommandTest : public EndToEndTest, public testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringCommandTest, IsNotCarriedOutWhileTheCommandRunsAndTheWindowClosesAfterwards) {
  const CloseCase& c = GetParam();
  if (c.downloadFirst) Press(kIdDownload);
  bool visibleAfterRequest = false;
  user_->closeAt = c.moment;
  user_->closeMainWindow = [&] {
    dlg_->close();  // a real close event, as the close box or Alt+F4 sends
    visibleAfterRequest = dlg_->isVisible();
  };
  QStringList expected;
  for (const char* text : c.messages) expected << QString::fromUtf8(text);
  EXPECT_EQ(Press(c.command), expected);
  EXPECT_TRUE(user_->closeRequested);
  EXPECT_TRUE(visibleAfterRequest);
  if (c.command == kIdProgram) {
    EXPECT_TRUE(BoardFlash() != ImageOf(hexPath_, dlg_->Link().Settings().chip));  // stopped early
  }
  // The request is not kept for later: the window stays open and works.
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_EQ(dlg_->Link().Progress(), nullptr);
  EXPECT_TRUE(dlg_->isEnabled());
  EXPECT_TRUE(dlg_->Downloaded());
  EXPECT_TRUE(CommandsEnabled());
  dlg_->close();
  EXPECT_FALSE(dlg_->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Moments, CloseDuringCommandTest,
    testing::Values(
        // A message box waits: the request is ignored and the download goes on.
        CloseCase{"AtTheResetPrompt", ScriptedUser::CloseAt::kAtResetPrompt, kIdDownload, false,
                  {"Please reset the microcontroller on userboard.\nThen push OK button.",
                   "It transferred a control program to the microcomputer"}},
        // The progress window waits for "Ok": ignored, the message stays until "Ok".
        CloseCase{"AtAWaitingMessage", ScriptedUser::CloseAt::kAtProgressMessage, kIdDownload, false,
                  {"Please reset the microcontroller on userboard.\nThen push OK button.",
                   "It transferred a control program to the microcomputer"}},
        // Programming can be cancelled: the request is its Cancel.
        CloseCase{"WhileProgramming", ScriptedUser::CloseAt::kWhileProgramming, kIdProgram, true,
                  {"It was canceled"}}),
    [](const testing::TestParamInfo<CloseCase>& param) { return std::string(param.param.name); });

TEST_F(EndToEndTest, FatalErrorNeedsTwoPressesAndAsksForANewDownload) {
  Press(kIdDownload);
  ASSERT_TRUE(CommandsEnabled());
  qputenv("KVPORT_COM1", dir_.File(QStringLiteral("no-such-port")).toLocal8Bit());
  const QStringList seen = Press(kIdErase);
  ASSERT_EQ(seen.size(), 2) << seen.join(QStringLiteral(" | ")).toStdString();
  // The message, then its detail: the device tried and why it failed.
  EXPECT_TRUE(seen[0].startsWith(QStringLiteral("ERROR !!    \n No.006 Unable to open COM port.\n device ") +
                                 dir_.File(QStringLiteral("no-such-port")) +
                                 QStringLiteral(": No such file or directory\n")))
      << seen[0].toStdString();
  EXPECT_EQ(seen[1], QStringLiteral("Since the unrecoverable error occurred,\n please redo from download operation."));
  EXPECT_FALSE(CommandsEnabled());
  EXPECT_FALSE(dlg_->Downloaded());
  EXPECT_TRUE(dlg_->isEnabled());
}

TEST_F(EndToEndTest, ProgramWithoutHexFileShowsMessageBoxOnly) {
  Press(kIdDownload);
  dir_.Write(QStringLiteral("DATAFILE.TXT"), "");
  QFile::remove(dir_.File(QStringLiteral("gone.hex")));
  dir_.Write(QStringLiteral("gone.hex"), "x");
  dlg_->OnDropFiles({dir_.File(QStringLiteral("gone.hex"))});
  QFile::remove(dir_.File(QStringLiteral("gone.hex")));
  const size_t opensBefore = board_.EventLines().size();
  EXPECT_EQ(Press(kIdProgram), QStringList{QStringLiteral("ERROR !!    \n No.101 Please set \"hex file\"")});
  EXPECT_EQ(board_.EventLines().size(), opensBefore);
  EXPECT_TRUE(CommandsEnabled());
}

}  // namespace
