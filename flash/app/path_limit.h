// The longest path the program takes for the files it is given or keeps (the Hex File and
// the wave files): the platform's own limit, PATH_MAX bytes with the terminating NUL.
#pragma once

#include <cstddef>
#include <string>

// The most bytes a path may have (UTF-8, without the NUL).
size_t MaxPathBytes();
// True when path is within that limit. A longer path is refused as a whole, never cut.
bool PathWithinLimit(const std::string& path);
