#include "flash/app/command_options.h"

#include "flash/app/version_text.h"

CommandOptionsReply AnswerCommandOptions(const std::vector<std::string>& args) {
  CommandOptionsReply reply;
  for (const std::string& arg : args) {
    if (arg == "--help") {
      reply.exitNow = true;
      reply.text =
          "Usage: flash [--help | --version] [Qt options]\n"
          "The flash programmer for Ostrel microcontrollers, through a serial port.\n"
          "It opens its main window; all work is done there.\n"
          "\n"
          "  --help      this text\n"
          "  --version   the program's version\n"
          "\n"
          "Files in the program directory: CHIPDEF.INI, the control programs (*.ctl).\n"
          "Settings (DATAFILE.TXT, Customize.ini) are kept there when it is writable,\n"
          "else in $XDG_CONFIG_HOME/kvflash/. COMn is /dev/ttyS(n-1) unless KVPORT_COMn or\n"
          "[Ports] COMn in $XDG_CONFIG_HOME/kvflash/ports.ini names another device.\n"
          "See flash(1).\n";
      return reply;
    }
    if (arg == "--version") {
      reply.exitNow = true;
      reply.text = std::string("flash (kvflash) ") + KV_PACKAGE_VERSION + ", " +
                   ProgramVersionText() + "\n";
      return reply;
    }
  }
  return reply;
}
