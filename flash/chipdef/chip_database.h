// CHIPDEF.INI, the chip definition database, as the GUI programmer reads it: one profile
// section per chip. Every call reads the file anew, so changed values take effect at once.
//
// Completeness: a chip is listed only when DownloadFile, LoadAddress, StartAddress,
// EndAddress, FlashSize, Clock and Baud all have non-empty values. A chip whose area lists
// cannot be held is refused as well (not listed, not loaded): more than kMaxFlashAreas
// entries in StartAddress or EndAddress, or fewer StartAddress than EndAddress entries.
// A chip whose EndAddress holds no entry at all (only commas) is not listed either, so every
// listed chip has 1 to kMaxFlashAreas areas; loading a section that is not listed may give 0.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flash/chipdef/chip_record.h"

namespace flash {

// Names of all sections in file order, spelled as in the file (a repeated section once).
// A missing or unreadable file gives an empty list.
std::vector<std::string> ListChipSections(const std::string& path);

// True when the section holds the seven required keys with non-empty values and area lists
// that fit the record.
bool IsCompleteChipSection(const std::string& path, const std::string& section);

// The chip name as the Target Microcontroller list shows it: upper case.
std::string ChipDisplayName(std::string_view section);

// The chip list: display names of the complete sections, in file order. A section with an
// empty name ("[]") is never a chip; the sections after it are still listed.
std::vector<std::string> ListChips(const std::string& path);

// Fills chip name, load address, areas, area count and clock labels of record and returns
// the Clock value (at most 255 characters). A missing key reads as 0 or empty. Returns
// nothing, leaving record unchanged, when the chip's area lists are refused (see above).
std::optional<std::string> LoadChipRecord(const std::string& path, const std::string& section,
                                          ChipRecord& record);

// The same on a CHIPDEF.INI text in memory (tests, fuzzing); the file functions use them.
bool IsCompleteChipSectionInText(std::string_view text, std::string_view section);
std::vector<std::string> ListChipsInText(std::string_view text);
std::optional<std::string> LoadChipRecordFromText(std::string_view text, std::string_view section,
                                                  ChipRecord& record);

}  // namespace flash
