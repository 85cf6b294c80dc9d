#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "flash/app/command_options.h"
#include "flash/app/flash_app.h"
#include "flash/app/program_icon.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  // --help and --version are answered before Qt starts, so they need no display.
  const CommandOptionsReply reply =
      AnswerCommandOptions(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (reply.exitNow) {
    std::fputs(reply.text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? reply.exitCode : 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("flash"));
  QApplication::setDesktopFileName(QStringLiteral("flash"));
  QApplication::setWindowIcon(ProgramIcon());
  CFlashApp app;
  return app.InitInstance(platform::ProgramDirectory(),
                          QApplication::applicationFilePath().toStdString());
}
