#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/chain_scan.h"
#include "engine/tests/engine_rig.h"
#include "port/tvicport.h"

namespace zepa::engine {
namespace {

using testing::EngineRig;

std::string Devices(int n, const std::string& line = "device VTL3064A\n") {
  std::string text;
  for (int i = 0; i < n; ++i) text += line;
  return text;
}

struct ScanCase {
  const char* name;
  std::string board;
  CableKind kind;
  bool loop_broken;
  int count;
  std::vector<std::string> lines;
};
// Test listings show the case's name rather than its bytes.
void PrintTo(const ScanCase& c, std::ostream* os) {
  *os << c.name;
}

const char* const kRelayWarning = "*** Warning: can not find Relaycable/Board or loose connect!";
const char* const kCorvaneWarning = "*** Warning:Can not find Corvane Parallel Cable/Board or loose connect!";
const char* const kBlasterWarning =
    "*** Warning:Can not find Altera ByteBlaster Cable/Board or loose connect!";

const std::vector<ScanCase> kScans = {
    {"OneDevice",
     "cable relay\n" + Devices(1),
     CableKind::RelayCable,
     false,
     1,
     {"ISP RelayCable/Board found!", "There is 1 JTAG device in the system.", ""}},
    {"ThreeDevicesMixedIr",
     "device VTL3064A\ndevice VTL3256XL secured\ndevice Others irlen=16 idcode=0x1234567F\n",
     CableKind::RelayCable,
     false,
     3,
     {"ISP RelayCable/Board found!", "There are 3 JTAG devices daisy chainning in the system.", ""}},
    {"Corvane",
     "cable corvane\n" + Devices(2, "device VTL3960\n"),
     CableKind::CorvaneParallelCable,
     false,
     2,
     {"Corvane Parallel Cable/Board found!", "There are 2 JTAG devices daisy chainning in the system.", ""}},
    {"ByteBlaster",
     "cable byteblaster\n" + Devices(4, "device Others irlen=2\n"),
     CableKind::AlteraByteBlaster,
     false,
     4,
     {"Altera ByteBlaster Cable/Board found!", "There are 4 JTAG devices daisy chainning in the system.",
      ""}},
    {"SixtyDevices",
     Devices(60),
     CableKind::RelayCable,
     false,
     60,
     {"ISP RelayCable/Board found!", "There are 60 JTAG devices daisy chainning in the system.", ""}},
    {"SixtyOneIsTooMany", Devices(61), CableKind::RelayCable, false, 61, {kRelayWarning, ""}},
    {"NoCableRelay", "cable none\n" + Devices(3), CableKind::RelayCable, false, 0, {kRelayWarning, ""}},
    {"NoCableCorvane",
     "cable none\n" + Devices(3),
     CableKind::CorvaneParallelCable,
     false,
     0,
     {kCorvaneWarning, ""}},
    {"NoCableByteBlaster",
     "cable none\n" + Devices(3),
     CableKind::AlteraByteBlaster,
     false,
     0,
     {kBlasterWarning, ""}},
    {"WrongCableChosen",
     "cable corvane\n" + Devices(3),
     CableKind::RelayCable,
     false,
     0,
     {kRelayWarning, ""}},
    {"ByteBlasterLoopBackBroken",
     "cable byteblaster\n" + Devices(2),
     CableKind::AlteraByteBlaster,
     true,
     0,
     {kBlasterWarning, ""}},
    {"NoDevicesOnTheCable", "cable relay\n", CableKind::RelayCable, false, 0, {kRelayWarning, ""}},
};

class ScanChainTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanChainTest, CountsTheBypassBitsAndReports) {
  const ScanCase& c = GetParam();
  EngineRig rig(c.board, c.kind);
  rig.board->set_loopback_connected(!c.loop_broken);
  rig.chain.DeviceCount = 7;  // whatever the last run left
  EXPECT_EQ(ScanChain(rig.jtag), c.count);
  EXPECT_EQ(rig.chain.DeviceCount, c.count);
  EXPECT_EQ(rig.messages.lines(), c.lines);
  const bool found = c.count >= 1 && c.count <= MaxDevices;
  EXPECT_EQ(rig.cable.CableFound, found);
  EXPECT_EQ(rig.cable.CableMissing, !found);
  // Where the cable reached the chain, the scan leaves it in Test-Logic-Reset.
  for (std::size_t d = 1; c.count > 0 && d <= rig.board->device_count(); ++d)
    EXPECT_EQ(rig.board->device(d).state(), sim::TapState::kTestLogicReset) << "device " << d;
}

INSTANTIATE_TEST_SUITE_P(Boards, ScanChainTest, ::testing::ValuesIn(kScans),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScanChain, OffLineReceivesAllOnesAndTouchesNoPort) {
  EngineRig rig("device VTL3064A\n");
  rig.cable.OffLine = true;
  rig.cable.IspOptions = kOptVerifyLog;
  EXPECT_EQ(ScanChain(rig.jtag), 0);
  EXPECT_TRUE(rig.port.log.empty());
  ASSERT_EQ(rig.messages.lines().size(), 4u);
  EXPECT_EQ(rig.messages.lines()[1], "Bits read back: " + std::string(70, '1'));
  EXPECT_EQ(rig.messages.lines()[2], kRelayWarning);
  EXPECT_TRUE(rig.cable.CableMissing);
}

TEST(ScanChain, VerifyLogShowsThePatternAndTheStreamDelayedByTheChain) {
  EngineRig rig(Devices(3));
  rig.cable.IspOptions = kOptVerifyLog;
  ScanChain(rig.jtag);
  const std::string pattern = "1001011101011100001100111011110101010101001101100000000111110000000000";
  ASSERT_GE(rig.messages.lines().size(), 2u);
  EXPECT_EQ(rig.messages.lines()[0], "Bits sent out:    " + pattern);
  // Three bypass bits: two zeros left from the flush, then the pattern.
  EXPECT_EQ(rig.messages.lines()[1], "Bits read back: 00" + pattern.substr(0, 68));
}

TEST(ScanChain, LoadsTwoHundredFortyFourOnesIntoTheInstructionRegisters) {
  EngineRig rig("device Others irlen=16\ndevice Others irlen=16\n");
  ScanChain(rig.jtag);
  const std::vector<testing::Edge> edges = rig.Edges();
  // Reset (6 + 1), Select-DR, Select-IR, Capture-IR, Shift-IR, then the ones.
  ASSERT_GT(edges.size(), 11u + 244u);
  for (std::size_t i = 11; i < 11 + 244; ++i) {
    EXPECT_TRUE(edges[i].tdi) << i;
    EXPECT_EQ(edges[i].tms, i == 11 + 243) << i;
  }
}

}  // namespace
}  // namespace zepa::engine

namespace zepa::engine {
namespace {

// The programmer's own path: the port component over the board, exactly as over a real port driver.
TEST(ScanChain, RunsThroughThePortComponentOverTheBoard) {
  sim::Board board(
      sim::ParseBoardText("port 3BC\ndevice VTL3064A\ndevice VTL3256XL\ndevice VTL3032XL\n", "b"));
  port::PortDriverHandle driver(port::OpenerFor(board));
  port::TVicPort HwCtrl(driver);
  EngineRig rig;  // only for its message window, prompts and marks
  Cable cable(HwCtrl, rig.host);
  ChainState chain;
  VirtualClock clock;
  Jtag jtag(cable, chain, clock, rig.messages);
  ASSERT_TRUE(cable.SelectPort(kAutoPortSelection));
  EXPECT_EQ(cable.DataPort(), 0x3BC);
  cable.InitCableLines();
  EXPECT_EQ(ScanChain(jtag), 3);
  EXPECT_EQ(rig.messages.lines()[1], "There are 3 JTAG devices daisy chainning in the system.");
}

TEST(ScanChain, WithoutThePortDriverWarnsAndFindsNoCable) {
  port::PortDriverHandle driver([]() -> std::unique_ptr<port::PortIo> { return nullptr; });
  port::TVicPort HwCtrl(driver);
  EngineRig rig;
  Cable cable(HwCtrl, rig.host);
  ChainState chain;
  VirtualClock clock;
  Jtag jtag(cable, chain, clock, rig.messages);
  EXPECT_FALSE(cable.SelectPort(1));
  EXPECT_EQ(rig.prompts.boxes.size(), 1u);
  EXPECT_EQ(ScanChain(jtag), 0);
  EXPECT_EQ(rig.messages.lines()[0], kRelayWarning);
}

}  // namespace
}  // namespace zepa::engine
