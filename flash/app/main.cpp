#include <QApplication>
#include <QIcon>

#include "flash/app/flash_app.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("flash"));
  QApplication::setDesktopFileName(QStringLiteral("flash"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/flash/flash.png")));
  CFlashApp app;
  return app.InitInstance(platform::ProgramDirectory(),
                          QApplication::applicationFilePath().toStdString());
}
