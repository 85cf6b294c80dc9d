#include "flash/app/program_icon.h"

#include <QString>

// Q_INIT_RESOURCE declares the registration function where it stands, so it has to be used
// outside any namespace.
static bool RegisterResources() {
  Q_INIT_RESOURCE(flash);
  return true;
}

QIcon ProgramIcon() {
  [[maybe_unused]] static const bool registered = RegisterResources();
  return QIcon(QStringLiteral(":/flash/flash.png"));
}
