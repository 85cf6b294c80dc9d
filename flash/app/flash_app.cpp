#include "flash/app/flash_app.h"

#include <QApplication>

#include "flash/app/flash_dlg.h"

int CFlashApp::InitInstance(const std::string& programDirectory, const std::string& executablePath) {
  CFlashDlg dialog(programDirectory, executablePath);
  if (dialog.Initialize() != StartupResult::kReady) return 1;
  // The window is the whole program: it ends when the window closes. It is not made
  // application-modal, so the progress window and the boxes of a command stay usable.
  dialog.show();
  QApplication::exec();
  return 0;
}
