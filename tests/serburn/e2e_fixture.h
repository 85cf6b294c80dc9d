// The fixture of the end-to-end tests: the real serburn binary, installed in a fresh
// program directory with serburn.cfg and the auto-erase module, against kvsim over a
// pseudo-terminal; runs in a fresh working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "serburn_process.h"
#include "temp_dir.h"
#include "tests/support/kvsim_harness.h"

namespace serburn::testing {

using kvsim_harness::KvsimProcess;

struct Chip {
  const char* name;
  const char* dialect;
  const char* clock;
  uint32_t start;
  uint32_t end;
  const char* image;  // sample image in data/hex
};

inline const Chip kKV40{"KV40K358", "kv40", "16", 0x4000, 0x1FFFF, "kv40k358.bin"};
inline const Chip kKV41Old{"KV41K604", "kv41-604", "4", 0x20000, 0x5FFFF, "kv41k604.bin"};
inline const Chip kKV41New{"KV41K725", "kv41", "4", 0x100000, 0x17FFFF, "kv41k725.bin"};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    serburn = InstallSerburn(prog.path());
    const std::string data = kvsim_harness::SourceDataDir();
    prog.Write("serburn.cfg", "KV40=" + data + "/\r\nKV41=\"" + data + "\"\r\n");
    std::filesystem::create_directories(prog.path() + "/ovl/41");
    std::filesystem::copy_file(data + "/ovl/41/ae_flash.725", prog.path() + "/ovl/41/ae_flash.725");
  }

  bool StartBoard(const Chip& chip, std::vector<std::string> faults = {}, const std::string& flash = "",
                  std::vector<std::string> extra = {}) {
    kvsim_harness::KvsimOptions o = kvsim_harness::BoardOptions(chip.name, chip.clock, chip.dialect);
    o.faults = std::move(faults);
    o.initialFlash = flash;
    o.extraArgs = std::move(extra);
    const bool ok = board.Start(o);
    EXPECT_TRUE(ok) << board.Error();
    return ok;
  }

  ProcessResult Run(const Chip& chip, std::vector<std::string> args) {
    args.insert(args.begin(), {"/L" + board.LinkPath(), "/" + std::string(chip.name)});
    return RunProcess(serburn, args, work.path());
  }

  std::string SampleImage(const Chip& chip) { return ReadFile(kvsim_harness::SourceDataDir() + "/hex/" + chip.image); }

  // The first flash area as kvsim holds it.
  std::string Area(const Chip& chip) { return board.ReadFlashImage().substr(0, chip.end - chip.start + 1); }

  TempDir prog;
  TempDir work;
  std::string serburn;
  KvsimProcess board;
};

}  // namespace serburn::testing
