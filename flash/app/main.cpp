#include <QApplication>

#include "flash/app/flash_app.h"
#include "flash/app/program_icon.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("flash"));
  QApplication::setDesktopFileName(QStringLiteral("flash"));
  QApplication::setWindowIcon(ProgramIcon());
  CFlashApp app;
  return app.InitInstance(platform::ProgramDirectory(),
                          QApplication::applicationFilePath().toStdString());
}
