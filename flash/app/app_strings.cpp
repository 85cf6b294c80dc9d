#include "flash/app/app_strings.h"

#include <string_view>

#include "flash/link/messages.h"

namespace {

struct Entry {
  int id;
  const char* english;
  const char* japanese;  // nullptr: the same as the English text
};

constexpr Entry kEntries[] = {
    {kStrAboutMenuItem, "version(flash) (&A)...", nullptr},
    {kStrTipDownload, "Transfers a control program to the microcomputer", nullptr},
    {kStrTipErase, "Erase a flash ROM", nullptr},
    {kStrTipBlankCheck, "Erasure confirmation of the flash ROM", nullptr},
    {kStrTipProgram, "Program hex file data in the flash and verify", nullptr},
    {kStrTipReadCompare, "Compares hex file and flash data of the microcomputer", nullptr},
    {kStrTipCopy, "Make file the data of flash data of the microcomputer", nullptr},
    {kStrTipFullOperation, "Execute Download and Erase and Blank and Program", nullptr},
    {kStrTipSetEnvironment, "Set COM port and sound and tooltips", nullptr},
    {kStrTipChip, "Choose a microcomputer", nullptr},
    {kStrTipRate, "Set Rate of the microcomputer", nullptr},
    {kStrTipOpen, "Choose a hex file", nullptr},
    {kStrTipHexFile, "The Programming file to the flash", nullptr},
    {kStrWaveNameMistake, "The entry file has a mistake\nIt returns to the original file",
     "\xE5\x85\xA5\xE5\x8A\x9B\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAB"
     "\xE8\xAA\xA4\xE3\x82\x8A\xE3\x81\x8C\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x99\n"
     "\xE5\x85\x83\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAB"
     "\xE6\x88\xBB\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99"},
    {kStrCustomizeSetting, "Customize setting", "\xE7\x92\xB0\xE5\xA2\x83\xE8\xA8\xAD\xE5\xAE\x9A"},
    {kStrSettingsNotSaved,
     "The settings could not be saved to\n%1\n(%2).\n"
     "Changes made now will be lost when flash ends. This notice is shown once.",
     nullptr},
};

}  // namespace

QString AppString(int id) {
  const bool japanese = flash::CurrentLanguage() == flash::Language::kJapanese;
  for (const Entry& entry : kEntries) {
    if (entry.id == id) {
      return QString::fromUtf8(japanese && entry.japanese ? entry.japanese : entry.english);
    }
  }
  return QString();
}

QString LinkString(int id) {
  const std::string_view text = flash::MessageText(id);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
