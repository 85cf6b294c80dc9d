// Chip resolution: the series directory from serburn.cfg, then the chip's record in that
// directory's CHIPDEF.INI, read line by line from fixed columns. All errors are class 1.
#pragma once

#include <string>
#include <vector>
#include <string_view>

#include "serburn/reporter.h"
#include "serburn/run_settings.h"

namespace serburn {

// Longest lines accepted, without their line end.
constexpr size_t kMaxConfigLine = 259;
constexpr size_t kMaxChipdefLine = 79;

// Finds the series directory for chipName (already upper case) in the text of serburn.cfg.
[[nodiscard]] bool LookupSeriesDirectory(std::string cfgText, const std::string& chipName,
                                         std::string& seriesDirectory, Reporter& reporter);

// True when the section header line (beginning with "[") names the chip.
[[nodiscard]] bool HeaderNamesChip(std::string_view headerLine, std::string_view chipName);

// Reads the chip's record from the text of CHIPDEF.INI into the settings (chip name upper
// case, series and series directory already set).
[[nodiscard]] bool ReadChipRecord(std::string chipdefText, RunSettings& settings, Reporter& reporter);

// The whole resolution: upper-cases the chip name, reads serburn.cfg (the first of
// SerburnConfigCandidates that exists) and CHIPDEF.INI from the series directory, and completes the settings,
// the boot-ROM dialect of the chip included.
[[nodiscard]] bool ResolveChip(RunSettings& settings, Reporter& reporter);

// A path built from directory text of the data files, with '\' separators, as the
// platform opens it.
std::string PlatformPath(const std::string& path);

// Where serburn.cfg is looked for, in order: beside the executable (as always), the user's
// configuration directory ($XDG_CONFIG_HOME/kvflash/), then /etc/kvflash/.
std::vector<std::string> SerburnConfigCandidates(const std::string& programDirectory);

}  // namespace serburn
