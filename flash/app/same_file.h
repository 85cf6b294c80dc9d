// Whether two paths name one file.
#pragma once

#include <string>

// True when both paths exist and reach the same file, whatever their spelling: links,
// "." and ".." and repeated separators are resolved by the file system.
bool IsSameFile(const std::string& a, const std::string& b);
