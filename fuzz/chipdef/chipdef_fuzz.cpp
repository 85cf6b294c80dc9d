// Chip database on arbitrary text: no crash, and every listed chip loads into a record that
// holds at most 10 areas.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "flash/chipdef/chip_database.h"
#include "flash/chipdef/download_settings.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  for (const std::string& chip : flash::ListChipsInText(text)) {
    Check(flash::IsCompleteChipSectionInText(text, chip));
    flash::ChipRecord record;
    const auto clock = flash::LoadChipRecordFromText(text, chip, record);
    Check(clock.has_value());
    Check(!clock->empty() && clock->size() <= 255);
    Check(record.areaCount >= 1 && record.areaCount <= flash::kMaxFlashAreas);
    Check(record.chipName == chip);
    for (const std::string& label : record.clockLabels) Check(!label.empty());
    for (int i = 0; i <= static_cast<int>(record.clockLabels.size()); ++i) {
      (void)flash::BootRomBaudInText(text, chip, i);
      (void)flash::CommandBaudInText(text, chip, i);
    }
  }
  // Sections that are not listed still load without writing past the record.
  flash::ChipRecord record;
  const auto clock = flash::LoadChipRecordFromText(text, "KV40", record);
  if (clock) Check(record.areaCount >= 0 && record.areaCount <= flash::kMaxFlashAreas);
  return 0;
}
