// Saves pictures of the main window and of a progress window for the documentation.
// Usage: flash_screenshots PROGRAM_DIR OUTPUT_DIR (PROGRAM_DIR holds CHIPDEF.INI).
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include <QTabWidget>

#include "flash/app/check_sum_dlg.h"
#include "flash/app/custom_prop.h"
#include "flash/app/flash_dlg.h"
#include "flash/app/program_icon.h"
#include "flash/app/progress_dlg.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: flash_screenshots PROGRAM_DIR OUTPUT_DIR\n");
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setWindowIcon(ProgramIcon());
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);
  std::string programDir = argv[1];
  if (programDir.empty() || programDir.back() != '/') programDir += '/';
  CFlashDlg dialog(programDir, programDir + "flash");
  if (dialog.Initialize() != StartupResult::kReady) return 1;
  dialog.show();
  QApplication::processEvents();
  bool ok = dialog.grab().save(out + QStringLiteral("/flash-main.png"));

  CProgressDlg progress(&dialog);
  progress.Create();
  progress.SetForm(flash::kFormCancellable, true, std::string("Program"));
  progress.SetInfoText("Programming");
  progress.InitBar(0, 64, 1, 0);
  progress.SetPos(23);
  QApplication::processEvents();
  ok = progress.grab().save(out + QStringLiteral("/flash-progress.png")) && ok;

  // The same window showing a message and waiting for "Ok".
  progress.SetForm(flash::kFormMessage, false, std::nullopt);
  progress.SetIcon(flash::MessageIcon::kInformation);
  progress.SetPos(64);
  progress.SetInfoText("It ended normally completely");
  QApplication::processEvents();
  ok = progress.grab().save(out + QStringLiteral("/flash-message.png")) && ok;
  progress.hide();

  // The settings sheet on its COM PORT and Sound pages, and the check-sum dialog.
  CCustomPropMain sheet(&dialog, programDir + "Customize.ini");
  EnvironmentSettings settings = dialog.Environment();
  settings.soundOn = 1;
  sheet.Prepare(settings);
  sheet.show();
  QApplication::processEvents();
  ok = sheet.grab().save(out + QStringLiteral("/flash-settings-com.png")) && ok;
  sheet.Tabs()->setCurrentIndex(1);
  QApplication::processEvents();
  ok = sheet.grab().save(out + QStringLiteral("/flash-settings-sound.png")) && ok;
  sheet.hide();
  CCheckSumDlg checkSum(&dialog, [](uint8_t) { return 0x1234u; });
  checkSum.OnCheckSum();
  checkSum.show();
  QApplication::processEvents();
  ok = checkSum.grab().save(out + QStringLiteral("/flash-checksum.png")) && ok;
  std::printf("%s\n", ok ? "saved" : "failed");
  return ok ? 0 : 1;
}
