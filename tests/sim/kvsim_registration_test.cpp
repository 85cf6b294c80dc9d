// A running kvsim registers its board in the user's runtime directory, where the port
// discovery lists it as simulated, and takes the entry away when it ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/port_discovery.h"
#include "tests/sim/sim_test_util.h"
#include "tests/support/scoped_env.h"

namespace kvsim_test {
namespace {

namespace fs = std::filesystem;

class KvsimRegistry : public ::testing::Test {
 protected:
  KvsimRegistry() : runtime_(MakeTempDir()), env_("XDG_RUNTIME_DIR", runtime_.c_str()) {}
  ~KvsimRegistry() override { fs::remove_all(runtime_); }

  static std::string MakeTempDir() {
    char pattern[] = "/tmp/kv-runtime-XXXXXX";
    return mkdtemp(pattern);
  }

  // Only the register: no real ports of this machine.
  std::vector<platform::PortInfo> Listed() const {
    platform::PortDiscoveryPlaces places;
    places.sysDir = runtime_ + "/no-sys";
    places.devDir = runtime_ + "/no-dev";
    places.boardsDir = platform::SimulatedBoardsDirectory();
    return platform::DiscoverPorts(places);
  }

  size_t EntryFiles() const {
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(runtime_ + "/kvflash", ec)) n += e.path().extension() == ".board";
    return n;
  }

  std::string runtime_;
  testing_support::ScopedEnv env_;
};

class KvsimRegistration : public KvsimRegistry, public ::testing::WithParamInterface<int> {};

TEST_P(KvsimRegistration, ARunningBoardIsListedAsSimulatedUntilItEnds) {
  kvsim_harness::KvsimProcess board;
  ASSERT_TRUE(board.Start(Os3f10())) << board.Error();
  const std::vector<platform::PortInfo> ports = Listed();
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].device, board.LinkPath());
  EXPECT_TRUE(ports[0].simulated);
  EXPECT_EQ(ports[0].chip, "OS3F10");
  EXPECT_EQ(EntryFiles(), 1u);

  ASSERT_EQ(kill(board.Pid(), GetParam()), 0);
  EXPECT_TRUE(board.WaitForEvents("stop", 1)) << "the signal alone ends the board";
  EXPECT_EQ(board.Stop(), 0);
  EXPECT_EQ(EntryFiles(), 0u) << "kvsim removes its own entry";
  EXPECT_TRUE(Listed().empty());
}

INSTANTIATE_TEST_SUITE_P(EndingSignals, KvsimRegistration, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& tested) {
                           return std::string(tested.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

// A pulled adapter takes its port away: the board still runs but is no longer listed.
TEST_F(KvsimRegistry, AnUnpluggedBoardIsNoLongerListed) {
  kvsim_harness::KvsimProcess board;
  MiniHost host;
  ASSERT_TRUE(StartControlProgram(board, Os3f10({"unplug-after-frame=" + std::to_string(kFramesToStartControlProgram + 1)}),
                                  host));
  ASSERT_EQ(Listed().size(), 1u);
  host.Send({0xE8});
  ASSERT_TRUE(board.WaitForEvents("unplug", 1));
  EXPECT_TRUE(board.Running());
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(EntryFiles(), 0u);
  EXPECT_EQ(board.Stop(), 0);
}

}  // namespace
}  // namespace kvsim_test
