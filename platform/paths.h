// Paths and the program directory.
#pragma once

#include <string>

namespace platform {

// Directory of the running executable, ending in '/'.
std::string ProgramDirectory();

// Joins a directory and a name with exactly one '/' between them.
std::string JoinPath(const std::string& dir, const std::string& name);

// A path read from a data file: '\' separators become '/'.
std::string NormalizeSeparators(const std::string& path);

// dir + name, where name is matched without case against the directory's entries when the
// exact name is missing (CHIPDEF.INI may be CHIPDEF.ini on disk). The exact spelling is
// returned when nothing matches, so the caller's open fails with its own message.
std::string FindFileNoCase(const std::string& dir, const std::string& name);

bool FileExists(const std::string& path);

// Last path component, after the last '/' or '\'.
std::string BaseName(const std::string& path);

}  // namespace platform
