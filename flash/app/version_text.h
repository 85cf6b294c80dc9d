// The "V%02d,L%02d" label of the About box from a product version.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kVersionReadError = "version read error!";

// mostSignificant and leastSignificant are the two 32-bit words of the product version
// (major.minor and patch.build, 16 bits each); preRelease appends " b%02d".
std::string FormatVersionText(uint32_t mostSignificant, uint32_t leastSignificant,
                              bool preRelease);

// The version text of this program, from the version built into it.
std::string ProgramVersionText();
