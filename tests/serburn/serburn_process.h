// Runs the real serburn executable as a child process: a copy of it in a fresh program
// directory (so serburn.cfg and ovl/41 beside it belong to the test), the working directory
// given, standard input from /dev/null, standard output captured.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace serburn::testing {

struct ProcessResult {
  int exitCode = -1;
  std::string out;
};

inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::string& cwd) {
  ProcessResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDERR_FILENO);
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Without a controlling terminal the usage text and the key check stay off the test's.
    setsid();
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

// Copies the serburn executable into dir and returns the copy's path.
inline std::string InstallSerburn(const std::string& dir) {
  const std::string target = dir + "/serburn";
  std::filesystem::copy_file(SERBURN_PATH, target, std::filesystem::copy_options::overwrite_existing);
  return target;
}

}  // namespace serburn::testing
