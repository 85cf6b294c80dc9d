#include "flash/app/path_limit.h"

#include <climits>

size_t MaxPathBytes() { return PATH_MAX - 1; }

bool PathWithinLimit(const std::string& path) { return path.size() <= MaxPathBytes(); }
