// Texts of the GUI's own windows (tooltips, the settings sheet, the system-menu item), in
// the language the target link's message table uses.
#pragma once

#include <QString>

enum AppStringId : int {
  kStrAboutMenuItem = 101,
  kStrTipDownload = 542,
  kStrTipErase = 543,
  kStrTipBlankCheck = 544,
  kStrTipProgram = 545,
  kStrTipReadCompare = 546,
  kStrTipCopy = 547,
  kStrTipFullOperation = 548,
  kStrTipSetEnvironment = 549,
  kStrTipChip = 550,
  kStrTipRate = 551,
  kStrTipOpen = 553,
  kStrTipHexFile = 554,
  kStrWaveNameMistake = 558,
  kStrCustomizeSetting = 559,
  kStrSettingsNotSaved = 601,  // %1 the settings file, %2 why it cannot be written
};

// The text of an id in the current language; empty for an unknown id.
QString AppString(int id);
// A numbered text of the link's message table, as UTF-8 from the table.
QString LinkString(int id);
