// The keys of a chip section that the download reads each time it runs: the control
// program file, the boot-ROM answer option and the two baud rates for a clock index.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flash {

// "DownloadOption" as a profile integer; 0 when missing or empty.
int32_t ReadDownloadOption(const std::string& path, const std::string& chip);

// "DownloadFile" as written (empty when missing).
std::string ReadDownloadFile(const std::string& path, const std::string& chip);

// Where the control program lies: "DownloadFile" relative to programDir, with '\' or '/'
// as separators and its letters matched without case; an absolute name is used as it
// stands. Empty when the key is missing or empty.
std::string DownloadFilePath(const std::string& programDir, const std::string& path,
                             const std::string& chip);

// A baud list value: split at commas (empty entries skipped), each entry a decimal number
// (0 when it is not one). The value is cut to 255 characters first.
std::vector<int32_t> ParseBaudList(std::string_view value);

// Boot-ROM rate: the "Baud" entry at clockIndex; nothing when there is no such entry.
std::optional<int32_t> ReadBootRomBaud(const std::string& path, const std::string& chip,
                                       int clockIndex);

// Control-program rate: the "Baud2" entry at clockIndex when "Baud2" is not empty, else
// twice the "Baud" entry (saturating); nothing when the list used has no such entry.
std::optional<int32_t> ReadCommandBaud(const std::string& path, const std::string& chip,
                                       int clockIndex);

// The same two on a text in memory.
std::optional<int32_t> BootRomBaudInText(std::string_view text, std::string_view chip,
                                         int clockIndex);
std::optional<int32_t> CommandBaudInText(std::string_view text, std::string_view chip,
                                         int clockIndex);

}  // namespace flash
