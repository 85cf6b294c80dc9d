// The program's icon, from the resources built into flash_app_lib.
#pragma once

#include <QIcon>

// Registers the library's resources (once) and returns the icon. Calling it from the
// library keeps the resource object in every executable that links the library: a static
// library's resource object has no other reference and would be dropped by the linker.
QIcon ProgramIcon();
