#include "platform/settings_home.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "platform/port_names.h"

namespace platform {

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// The directory part of path, "." for a bare name.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string ChooseSettingsDirectory(const std::string& programDirectory, const std::vector<std::string>& files) {
  const std::string programDir = WithSlash(programDirectory);
  // Settings are replaced through a temporary file beside them, so the directory itself
  // must be writable, not only the files in it.
  if (access(programDir.c_str(), W_OK | X_OK) == 0) return programDir;
  const std::string userDir = UserConfigDirectory();
  SeedSettingsDirectory(programDir, userDir, files);
  return userDir;
}

void SeedSettingsDirectory(const std::string& programDirectory, const std::string& userDirectory,
                           const std::vector<std::string>& files) {
  std::error_code error;
  std::filesystem::create_directories(userDirectory, error);
  for (const std::string& name : files) {
    const std::string target = userDirectory + name;
    if (FileExists(target)) continue;
    const std::string source = FindFileNoCase(programDirectory, name);
    if (!FileExists(source)) continue;
    std::filesystem::copy_file(source, target, error);
    // The copy must be the user's to change, whatever the installed file's mode.
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, error);
  }
}

std::string WhyNotWritable(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
  } else if (errno != ENOENT) {
    return std::strerror(errno);
  }
  const std::string dir = DirectoryOf(path);
  if (access(dir.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
  return {};
}

}  // namespace platform
