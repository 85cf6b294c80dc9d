#include "app_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QtGlobal>
#include <cstdlib>
#include <gtest/gtest.h>

#include "flash/link/messages.h"

namespace apptest {
namespace {

QtMessageHandler previousHandler = nullptr;

// Answer timers still waiting; a test that ends leaves none behind for the next one.
std::vector<QPointer<QTimer>>& PendingTimers() {
  static std::vector<QPointer<QTimer>> timers;
  return timers;
}

class DropPendingAnswers final : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    for (const QPointer<QTimer>& timer : PendingTimers()) delete timer.data();
    PendingTimers().clear();
  }
};

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  // The offscreen platform says this for every dialog with a layout; it means nothing here.
  if (text.contains(QStringLiteral("does not support propagateSizeHints()"))) return;
  if (text.contains(QStringLiteral("No audio device")) || text.contains(QStringLiteral("PulseAudio"))) return;
  if (previousHandler) previousHandler(type, context, text);
}

// The application object for the whole test program, made before the first test.
class QtEnvironment final : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
      runtimeDir_ = std::make_unique<QTemporaryDir>();
      QFile::setPermissions(runtimeDir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      qputenv("XDG_RUNTIME_DIR", runtimeDir_->path().toLocal8Bit());
    }
    // The tests read English texts unless a test chooses otherwise.
    flash::SetLanguage(flash::Language::kEnglish);
    previousHandler = qInstallMessageHandler(FilterMessages);
    testing::UnitTest::GetInstance()->listeners().Append(new DropPendingAnswers);
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "flash_app_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QTemporaryDir> runtimeDir_;
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

ProgramDir::ProgramDir() { EXPECT_TRUE(dir_.isValid()); }

std::string ProgramDir::Path() const { return dir_.path().toStdString() + "/"; }

QString ProgramDir::File(const QString& name) const { return dir_.filePath(name); }

void ProgramDir::Write(const QString& name, const QByteArray& contents) const {
  QFile file(File(name));
  QDir().mkpath(QFileInfo(file).absolutePath());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(contents);
}

QByteArray ProgramDir::Read(const QString& name) const {
  QFile file(File(name));
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

bool ProgramDir::Exists(const QString& name) const { return QFileInfo::exists(File(name)); }

QByteArray ChipSection(const QString& name, const QString& starts, const QString& ends,
                       const QString& clocks, const QString& bauds) {
  return QStringLiteral(
             "[%1]\r\nDownloadFile=ovl\\control.bin\r\nLoadAddress=0x800\r\nStartAddress=%2\r\n"
             "EndAddress=%3\r\nFlashSize=64\r\nClock=%4\r\nBaud=%5\r\n")
      .arg(name, starts, ends, clocks, bauds)
      .toLatin1();
}

void WhenModal(std::function<void(QWidget*)> action, QWidget* besides) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action, besides] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == besides || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    // Keys and focus changes reach only the active window.
    modal->activateWindow();
    if (!QTest::qWaitForWindowActive(modal, 2000)) ADD_FAILURE() << "modal window not active";
    action(modal);
  });
  timer->start();
  PendingTimers().emplace_back(timer);
}

void AnswerNextBox(BoxLog& log, int button, QWidget* besides) {
  WhenModal(
      [&log, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
          ADD_FAILURE() << "expected a message box, got " << modal->objectName().toStdString();
          modal->close();
          return;
        }
        log.captions << box->windowTitle();
        log.texts << box->text();
        QAbstractButton* which = box->button(static_cast<QMessageBox::StandardButton>(button));
        if (which == nullptr) which = box->buttons().value(0);
        which->click();
      },
      besides);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QTest::qWait(5);
  }
  return true;
}

}  // namespace apptest
