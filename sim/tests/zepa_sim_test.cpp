// The zepa-sim program: its refusals of bad input, and an independent check of the simulated TAPs, where
// OpenOCD auto-probes the board that zepa-sim serves and must report each device's IDCODE and instruction
// length as the board file gives them.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "sim/parts.h"
#include "sim/tests/support/child_process.h"
#include "sim/tests/support/silent_host.h"
#include "testsupport/files.h"

namespace zepa::sim {
namespace {

using testing::Child;
using testing::FindProgram;
using testing::OpenOcdArgs;
using testing::ZepaSim;
using zepa::testing::TempDir;

TEST(OpenOcd, AutoProbeFindsTheBoardFilesIdcodesAndInstructionLengths) {
  const std::string openocd = FindProgram("openocd");
  if (openocd.empty()) GTEST_SKIP() << "openocd is not installed (scripts/setup.sh installs it)";

  TempDir dir;
  const std::string board = dir.Write("board.txt",
                                      "port 378\n"
                                      "cable relay\n"
                                      "device VTL3064A\n"
                                      "device VTL3256XL secured\n"
                                      "device Others irlen=7 idcode=0x1234567F\n"
                                      "device VTL3960\n");
  // Nearest TDO first: that is the order in which OpenOCD numbers auto-probed taps.
  auto hex = [](std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(v));
    return std::string(text);
  };
  const std::vector<std::pair<int, std::string>> expected = {{5, hex(DefaultIdcode(*FindPart("VTL3960")))},
                                                             {7, "0x1234567f"},
                                                             {5, hex(DefaultIdcode(*FindPart("VTL3256XL")))},
                                                             {4, hex(DefaultIdcode(*FindPart("VTL3064A")))}};

  ZepaSim sim(testing::ZepaSimProgram(), board, false);
  Child host(OpenOcdArgs(openocd, sim.port(), {}));
  const std::string log = host.ReadToEnd(std::chrono::seconds(60));
  EXPECT_EQ(host.Wait(), 0) << log;

  std::map<int, std::pair<int, std::string>> found;
  const std::regex tap("jtag newtap auto(\\d+) tap -irlen (\\d+) -expected-id (0x[0-9a-f]+)");
  for (std::sregex_iterator it(log.begin(), log.end(), tap), end; it != end; ++it)
    found[std::stoi((*it)[1])] = {std::stoi((*it)[2]), (*it)[3]};
  ASSERT_EQ(found.size(), expected.size()) << log;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(found[static_cast<int>(i)].first, expected[i].first) << "irlen of auto" << i;
    EXPECT_EQ(found[static_cast<int>(i)].second, expected[i].second) << "IDCODE of auto" << i;
  }

  sim.child().Signal(SIGTERM);
  const std::string sim_log = sim.child().ReadToEnd(std::chrono::seconds(20));
  EXPECT_EQ(sim.child().Wait(), 0) << sim_log;
  EXPECT_TRUE(std::filesystem::exists(board + ".state")) << "the board saves its state when stopped";
}

// SIGINT or SIGTERM ends zepa-sim within a second, its board state saved, even while a host that reads no
// answers holds its session up.
TEST(ZepaSim, ASignalEndsItWithinASecondWhileAHostReadsNoAnswers) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig == SIGINT ? "SIGINT" : "SIGTERM");
    TempDir dir;
    const std::string board = dir.Write("board.txt", "device VTL3064A\n");
    ZepaSim sim(testing::ZepaSimProgram(), board, false);
    testing::SilentHost silent(static_cast<std::uint16_t>(std::stoi(sim.port())));
    silent.SendUntilHeld(256u << 20, std::chrono::milliseconds(300));

    const auto sent = std::chrono::steady_clock::now();
    sim.child().Signal(sig);
    const std::string log = sim.child().ReadToEnd(std::chrono::seconds(5));
    const auto took = std::chrono::steady_clock::now() - sent;
    silent.Close();
    EXPECT_EQ(sim.child().Wait(), 0) << log;
    EXPECT_LT(took, std::chrono::seconds(1)) << log;
    EXPECT_TRUE(std::filesystem::exists(board + ".state"));
  }
}

TEST(ZepaSim, RefusesBadArgumentsAndBoardFilesWithAMessage) {
  TempDir dir;
  const std::string good = dir.Write("good.txt", "device VTL3064A\n");
  const std::string bad = dir.Write("bad.txt", "device VTL3064A\ndevice VTL3256XL sekured\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  std::vector<Case> cases = {
      {{"--board", good}, 2, "--remote-bitbang PORT is required"},
      {{"--remote-bitbang", "0"}, 2, "--board FILE is required"},
      {{"--board", good, "--remote-bitbang", "65536"}, 2, "port '65536' is not a number 0..65535"},
      {{"--board", good, "--remote-bitbang"}, 2, "--remote-bitbang needs a value"},
      {{"--board", good, "--remote-bitbang", "0", "--fast"}, 2, "unknown argument '--fast'"},
      {{"--board", bad, "--remote-bitbang", "0"}, 1, bad + ":2: unknown device word 'sekured'"},
      {{"--board", dir.File("none.txt"), "--remote-bitbang", "0"},
       1,
       dir.File("none.txt") + ": cannot open the board file"},
  };
  // A port file that cannot be written: its folder is a file.
  {
    const std::string port_file = dir.File("not_a_folder/port.txt");
    dir.Write("not_a_folder", "");
    cases.push_back({{"--board", good, "--remote-bitbang", "0", "--port-file", port_file, "--once"},
                     1,
                     "cannot write the port file " + port_file});
  }
  for (const Case& c : cases) {
    std::vector<std::string> args = {std::string(ZEPA_BIN_DIR) + "/zepa-sim"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Child sim(args);
    const std::string out = sim.ReadToEnd(std::chrono::seconds(20));
    EXPECT_EQ(sim.Wait(), c.status) << out;
    EXPECT_NE(out.find("zepa-sim: " + c.message), std::string::npos) << out;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << "a failed run left " << entry.path();
}

}  // namespace
}  // namespace zepa::sim
