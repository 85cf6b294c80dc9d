// Test support for end-to-end tests: runs kvsim, the simulated board, as a child process on
// a fresh temporary directory, and gives the test its device path, resets, flash image and
// event log. The directory (flash image, event log, anything the test puts there) is removed
// when the object goes.
//
//   kvsim_harness::KvsimOptions o = kvsim_harness::BoardOptions("OS3F10", "8");  // data/CHIPDEF.INI
//   kvsim_harness::KvsimProcess board;
//   ASSERT_TRUE(board.Start(o)) << board.Error();
//   ... run a programmer on board.LinkPath() (or board.DevicePath()) ...
//   board.ResetIntoBoot();                       // the reset button / DTR-RTS pulse
//   std::string flash = board.ReadFlashImage();  // byte A - first area start = flash byte A
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kvsim_harness {

// The kvsim executable of this build, and the source tree's data/ folder (no trailing '/').
std::string KvsimPath();
std::string SourceDataDir();

struct KvsimOptions {
  std::string chipdef;           // default: SourceDataDir() + "/CHIPDEF.INI"
  std::string chip;              // a section of chipdef
  std::string clock;             // one of the chip's Clock labels
  std::string dialect = "boot";  // boot, kv40, kv41-604, kv41
  std::vector<std::string> faults;  // --fault values (see kvsim --help)
  bool pace = false;
  int eraseMs = -1;              // -1: kvsim's default
  std::string initialFlash;      // if not empty: the flash image to start with (exact size)
  bool controlFifo = false;      // also take resets through the FIFO at ControlPath()
  std::vector<std::string> extraArgs;  // any further kvsim options
};

// Options for chip and clock, everything else default.
KvsimOptions BoardOptions(const std::string& chip, const std::string& clock, const std::string& dialect = "boot");

class KvsimProcess {
 public:
  KvsimProcess();
  ~KvsimProcess();
  KvsimProcess(const KvsimProcess&) = delete;
  KvsimProcess& operator=(const KvsimProcess&) = delete;

  // Creates the temporary directory, starts kvsim and waits (up to 10 s) for its device
  // path. False on failure, with Error() saying why (including kvsim's own message).
  bool Start(const KvsimOptions& options);
  const std::string& Error() const { return error_; }

  const std::string& Dir() const { return dir_; }                 // the fresh temporary directory
  const std::string& DevicePath() const { return devicePath_; }   // the pty slave, e.g. /dev/pts/7
  std::string LinkPath() const { return dir_ + "/tty"; }          // symlink to the slave
  std::string FlashImagePath() const { return dir_ + "/flash.bin"; }
  std::string EventLogPath() const { return dir_ + "/events.jsonl"; }
  std::string StderrPath() const { return dir_ + "/kvsim.stderr"; }
  std::string ControlPath() const { return dir_ + "/control"; }  // with controlFifo
  pid_t Pid() const { return pid_; }

  // Reset into boot mode / normal mode; returns once kvsim has logged it (false: it did not
  // within 5 s, or kvsim is not running).
  bool ResetIntoBoot();
  bool ResetIntoNormal();

  std::string ReadFlashImage() const;
  std::vector<std::string> EventLines() const;
  // The lines whose "event" is name.
  std::vector<std::string> Events(const std::string& name) const;
  // Waits until at least count events of that name are logged.
  bool WaitForEvents(const std::string& name, size_t count, int timeoutMs = 5000) const;

  // SIGTERM and wait (5 s, then SIGKILL). Returns kvsim's exit code, or -1 when it was not
  // running or did not end normally. Start() may be called again afterwards.
  int Stop();
  bool Running();

 private:
  bool SignalAndWait(int signal);
  void RemoveDir();

  std::string dir_;
  std::string devicePath_;
  std::string error_;
  pid_t pid_ = -1;
};

// The value of key in one JSON event line: a string without its quotes, or the literal text
// of a number or boolean; "" when absent.
std::string EventField(const std::string& line, const std::string& key);

}  // namespace kvsim_harness
