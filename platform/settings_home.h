// Where a program keeps the settings files it writes. A program installed beside its
// settings in a directory the user may write (an unpacked copy) keeps them there; one in a
// directory the user may not write (a system install) keeps them in the user's config
// directory, seeded once from the program directory's copies.
#pragma once

#include <string>
#include <vector>

namespace platform {

// programDirectory itself when the user may write it; otherwise UserConfigDirectory(),
// created when missing, where each of files that is missing there is first copied from
// programDirectory (matched without case) when it exists there. Both end in '/'. A copy
// that fails leaves the file missing: the program starts from its defaults and the write
// reports the fault.
std::string ChooseSettingsDirectory(const std::string& programDirectory, const std::vector<std::string>& files);

// ChooseSettingsDirectory's second half: creates userDirectory when missing and copies into
// it each of files that is missing there and exists in programDirectory (matched without
// case), made writable by its owner. Directories end in '/'.
void SeedSettingsDirectory(const std::string& programDirectory, const std::string& userDirectory,
                           const std::vector<std::string>& files);

// Why path cannot be written ("Permission denied", "No such file or directory", ...), for
// a message after a write failed; empty when nothing stands in the way now.
std::string WhyNotWritable(const std::string& path);

}  // namespace platform
