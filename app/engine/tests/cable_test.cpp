#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/tests/engine_rig.h"
#include "engine/zepa1_protocol.h"

namespace zepa::engine {
namespace {

using testing::EngineRig;
using testing::PortAccess;

struct CableCase {
  CableKind kind;
  const char* board_word;
};
// Test listings show the cable's board word rather than the case's bytes.
void PrintTo(const CableCase& c, std::ostream* os) {
  *os << c.board_word;
}
const std::vector<CableCase> kCables = {{CableKind::RelayCable, "relay"},
                                        {CableKind::CorvaneParallelCable, "corvane"},
                                        {CableKind::AlteraByteBlaster, "byteblaster"}};

std::string Name(CableKind kind) {
  switch (kind) {
    case CableKind::RelayCable:
      return "relay";
    case CableKind::CorvaneParallelCable:
      return "corvane";
    case CableKind::AlteraByteBlaster:
      break;
  }
  return "byteblaster";
}

// Reads the IDCODE of `target` the way identification does: reset, IDCODE instruction, Capture-DR, 32 bits.
std::uint32_t ReadIdcode(EngineRig& rig, int target) {
  rig.chain.TargetDevice = target;
  LoadInstructionZ1(rig.jtag, zepa1::kResetToIdle);
  LoadInstructionZ1(rig.jtag, zepa1::kIdcode);
  rig.jtag.TapStep(RunTestIdle);
  rig.jtag.TapStep(SelectDrScan);
  rig.jtag.TapStep(CaptureDr);
  rig.jtag.ReadBitsToBuffer(0, 31);
  rig.jtag.TapStep(Exit1Dr);
  rig.jtag.TapStep(UpdateDr);
  std::uint32_t value = 0;
  for (int i = 0; i < 32; ++i) value |= static_cast<std::uint32_t>(rig.jtag.ReadbackBuffer.Bit(i)) << i;
  return value;
}

class PinMapTest : public ::testing::TestWithParam<CableCase> {};

// The engine's pin map against the board's independent model of the same cable's wiring.
TEST_P(PinMapTest, DrivesAndReadsTheChainThroughItsOwnCableOnly) {
  const CableCase& c = GetParam();
  for (const CableCase& board_cable : kCables) {
    EngineRig rig(std::string("cable ") + board_cable.board_word +
                      "\ndevice VTL3064A\ndevice Others irlen=7 idcode=0x1234567F\ndevice VTL3256XL\n",
                  c.kind);
    const std::uint32_t id = ReadIdcode(rig, 2);
    if (board_cable.kind == c.kind) {
      EXPECT_EQ(id, 0x1234567Fu) << Name(c.kind);
    } else {
      EXPECT_NE(id, 0x1234567Fu) << Name(c.kind) << " map on a " << board_cable.board_word << " cable";
    }
  }
}

TEST_P(PinMapTest, InitCableLinesWritesZeroThenTheAuxiliaryLevelsAndKeepsTheShadow) {
  const CableCase& c = GetParam();
  for (const PortWrites mode : {PortWrites::kEveryChange, PortWrites::kFewest}) {
    const bool every = mode == PortWrites::kEveryChange;
    SCOPED_TRACE(every ? "every change" : "fewest writes");
    EngineRig rig("", c.kind);
    rig.cable.port_writes = mode;
    rig.port.echo = {0x37A};
    const CableMap& map = rig.cable.Map();
    rig.cable.SetPin(map.PinTDI, 1);
    rig.ClearLog();
    rig.cable.InitCableLines();

    std::uint8_t shadow = map.PinTDI;
    shadow = static_cast<std::uint8_t>(map.ctl1_level ? shadow | map.PinCtl1 : shadow & ~map.PinCtl1);
    const std::uint8_t after_ctl1 = shadow;
    shadow = static_cast<std::uint8_t>(map.ctl2_level ? shadow | map.PinCtl2 : shadow & ~map.PinCtl2);
    // With the fewest writes both auxiliary lines go out together, before anything else is done.
    std::vector<PortAccess> expected = {{true, 0x378, 0x00}};
    if (every) expected.push_back({true, 0x378, after_ctl1});
    expected.push_back({true, 0x378, shadow});
    if (c.kind == CableKind::AlteraByteBlaster) {
      expected.push_back({false, 0x37A, 0x00});
      expected.push_back({true, 0x37A, 0x02});
    }
    EXPECT_EQ(rig.port.log, expected);
    EXPECT_EQ(rig.cable.DataShadow(), shadow);
  }
}

TEST_P(PinMapTest, PresenceFollowsTheLoopBack) {
  const CableCase& c = GetParam();
  struct Board {
    std::string text;
    bool broken;
    bool present;
  };
  const bool has_loop = c.kind != CableKind::RelayCable;
  const std::vector<Board> boards = {
      {std::string("cable ") + c.board_word + "\ndevice VTL3064A\n", false, true},
      {"cable none\ndevice VTL3064A\n", false, !has_loop},
      {std::string("cable ") + c.board_word + "\ndevice VTL3064A\n", true, !has_loop},
  };
  for (const Board& b : boards) {
    EngineRig rig(b.text, c.kind);
    rig.board->set_loopback_connected(!b.broken);
    rig.cable.SetPin(rig.cable.PinTMS(), 1);
    EXPECT_EQ(rig.cable.CheckCablePresent(), b.present) << b.text << (b.broken ? " (broken loop-back)" : "");
    EXPECT_EQ(rig.cable.DataShadow(), rig.cable.PinTMS()) << "the test does not touch the shadow";
  }
}

INSTANTIATE_TEST_SUITE_P(Cables, PinMapTest, ::testing::ValuesIn(kCables),
                         [](const auto& info) { return Name(info.param.kind); });

TEST(Cable, EverySetPinWritesTheWholeShadowOnce) {
  EngineRig rig;
  rig.cable.port_writes = PortWrites::kEveryChange;
  rig.cable.SetPin(0x02, 1);
  rig.cable.SetPin(0x01, 1);
  rig.cable.SetPin(0x02, 0);
  rig.cable.SetPin(0x02, 0);
  const std::vector<PortAccess> expected = {
      {true, 0x378, 0x02}, {true, 0x378, 0x03}, {true, 0x378, 0x01}, {true, 0x378, 0x01}};
  EXPECT_EQ(rig.port.log, expected);
  rig.cable.ApplyCable(CableKind::AlteraByteBlaster);
  EXPECT_EQ(rig.cable.DataShadow(), 0) << "applying a cable clears the shadow";
  EXPECT_TRUE(rig.cable.ByteBlasterMode());
  EXPECT_FALSE(rig.cable.CorvaneCableMode());
}

// The fewest writes on the relay cable (TCK 01h, TDI 02h, TMS 04h): what reaches the data register for
// each sequence of pin changes, reads (R) and flushes (F).
TEST(Cable, FewestWritesKeepOnlyTheWritesAClockNeeds) {
  struct Step {
    char what;  // 'p' SetPin, 'R' ReadTdo, 'Q' RequestTdo, 'F' Flush
    std::uint8_t mask = 0;
    int level = 0;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<PortAccess> expected;
  };
  const std::uint8_t tck = 0x01, tdi = 0x02, tms = 0x04;
  const std::vector<Case> cases = {
      {"lines with TCK low wait for the rising edge, which takes two writes",
       {{'p', tdi, 1}, {'p', tms, 1}, {'p', tck, 1}},
       {{true, 0x378, 0x06}, {true, 0x378, 0x07}}},
      {"the falling edge goes out with the next clock's lines",
       {{'p', tck, 1}, {'p', tck, 0}, {'p', tdi, 1}, {'p', tck, 1}, {'p', tck, 0}},
       {{true, 0x378, 0x00}, {true, 0x378, 0x01}, {true, 0x378, 0x02}, {true, 0x378, 0x03}}},
      {"a clock that changes no line is the rising write after the falling one",
       {{'p', tck, 1}, {'p', tck, 0}, {'p', tck, 1}},
       {{true, 0x378, 0x00}, {true, 0x378, 0x01}, {true, 0x378, 0x00}, {true, 0x378, 0x01}}},
      {"a read waits for TCK low on the port",
       {{'p', tck, 1}, {'p', tck, 0}, {'R'}, {'p', tck, 1}},
       {{true, 0x378, 0x00},
        {true, 0x378, 0x01},
        {true, 0x378, 0x00},
        {false, 0x379, 0xFF},
        {true, 0x378, 0x01}}},
      {"a read while TCK is high reads it high",
       {{'p', tck, 1}, {'R'}, {'p', tck, 0}, {'F'}},
       {{true, 0x378, 0x00}, {true, 0x378, 0x01}, {false, 0x379, 0xFF}, {true, 0x378, 0x00}}},
      {"a requested read too",
       {{'p', tck, 1}, {'p', tck, 0}, {'Q'}},
       {{true, 0x378, 0x00}, {true, 0x378, 0x01}, {true, 0x378, 0x00}, {false, 0x379, 0xFF}}},
      {"a flush writes what waits, once",
       {{'p', tms, 1}, {'F'}, {'F'}, {'p', tms, 1}, {'F'}},
       {{true, 0x378, 0x04}}},
      {"lines changed back before the edge cost nothing",
       {{'p', tck, 1}, {'p', tck, 0}, {'R'}, {'p', tdi, 1}, {'p', tdi, 0}, {'p', tck, 1}},
       {{true, 0x378, 0x00},
        {true, 0x378, 0x01},
        {true, 0x378, 0x00},
        {false, 0x379, 0xFF},
        {true, 0x378, 0x01}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineRig rig;
    for (const Step& step : c.steps) {
      if (step.what == 'p') rig.cable.SetPin(step.mask, step.level);
      if (step.what == 'R') rig.cable.ReadTdo();
      if (step.what == 'Q') rig.cable.RequestTdo();
      if (step.what == 'F') rig.cable.Flush();
    }
    EXPECT_EQ(rig.port.log, c.expected);
  }
}

// Requested reads come back in order, after the cable's polarity; off-line they are ones.
TEST(Cable, RequestedReadsComeBackInOrder) {
  EngineRig rig;  // relay cable: TDO on status bit 80h, reading low
  std::vector<std::uint8_t> status = {0x80, 0x00, 0x00, 0x80};
  rig.port.echo = {0x379};
  for (std::uint8_t value : status) {
    rig.port.WritePortByte(0x379, value);
    rig.cable.RequestTdo();
  }
  EXPECT_EQ(rig.cable.TakeTdo(), (std::vector<std::uint8_t>{0, 1, 1, 0}));
  EXPECT_TRUE(rig.cable.TakeTdo().empty()) << "taken once";
  rig.cable.OffLine = true;
  rig.cable.RequestTdo();
  rig.cable.RequestTdo();
  EXPECT_EQ(rig.cable.TakeTdo(), (std::vector<std::uint8_t>{1, 1}));
}

TEST(Cable, OffLineTouchesNoPortAndReadsOnes) {
  EngineRig rig("cable corvane\ndevice VTL3064A\n", CableKind::CorvaneParallelCable);
  rig.cable.OffLine = true;
  rig.port.active = false;
  EXPECT_TRUE(rig.cable.SelectPort(kAutoPortSelection)) << "no driver warning off-line";
  rig.cable.InitCableLines();
  rig.cable.SetPin(rig.cable.PinTCK(), 1);
  rig.cable.WriteDataDirect(0xFD);
  EXPECT_EQ(rig.cable.ReadTdo(), 1);
  EXPECT_FALSE(rig.cable.CheckCablePresent());
  EXPECT_TRUE(rig.port.log.empty());
  EXPECT_TRUE(rig.prompts.boxes.empty());
  EXPECT_EQ(rig.cable.DataShadow(), rig.cable.PinTCK() | rig.cable.PinCtl2());
}

TEST(Cable, SelectPortSetsTheListsAddressesOrWarnsOfAMissingDriver) {
  const std::vector<std::pair<int, std::uint16_t>> cases = {{0, 0x278}, {1, 0x378}, {2, 0x3BC}};
  for (const auto& [selection, data] : cases) {
    EngineRig rig;
    EXPECT_TRUE(rig.cable.SelectPort(selection));
    EXPECT_EQ(rig.cable.DataPort(), data);
    EXPECT_EQ(rig.cable.StatusPort(), data + 1);
  }
  EngineRig rig;
  rig.cable.SelectPort(2);
  rig.port.active = false;
  EXPECT_FALSE(rig.cable.SelectPort(0));
  EXPECT_EQ(rig.cable.DataPort(), 0x3BC) << "addresses unchanged";
  EXPECT_EQ(rig.prompts.beeps, 1);
  ASSERT_EQ(rig.prompts.boxes.size(), 1u);
  EXPECT_EQ(rig.prompts.boxes[0], std::make_tuple(BoxIcon::kError, std::string("Warning!"),
                                                  std::string("Driver \"KPortIo1\" not found")));
  EXPECT_THROW(rig.cable.SelectPort(4), std::out_of_range);
}

// A port backend that has told the user why it could not open (the Linux backends do, as they fail)
// leaves the run nothing to show: no beep, no box, but still no port.
TEST(Cable, AMissingPortThatToldWhyGetsNoWarningBox) {
  EngineRig rig;
  rig.cable.SelectPort(2);
  rig.port.active = false;
  rig.port.inactive_warning.clear();
  EXPECT_FALSE(rig.cable.SelectPort(1));
  EXPECT_EQ(rig.cable.DataPort(), 0x3BC) << "addresses unchanged";
  EXPECT_EQ(rig.prompts.beeps, 0);
  EXPECT_TRUE(rig.prompts.boxes.empty());
}

TEST(Cable, AutoSelectionTakesTheFirstPortThatEchoesAllSixBytes) {
  struct Case {
    std::vector<std::uint16_t> echoing;
    std::uint16_t chosen;
  };
  const std::vector<Case> cases = {{{0x3BC}, 0x3BC}, {{0x378, 0x3BC}, 0x378}, {{0x278, 0x378}, 0x278}};
  for (const Case& c : cases) {
    EngineRig rig;
    rig.port.echo = c.echoing;
    rig.cable.SelectPort(kAutoPortSelection);
    EXPECT_EQ(rig.cable.DataPort(), c.chosen);
    EXPECT_EQ(rig.cable.StatusPort(), c.chosen + 1);
    // Each candidate probed before the chosen one, and the chosen one, got six writes and six reads.
    std::size_t probed = 0;
    for (std::uint16_t candidate : kPortCandidates) {
      ++probed;
      if (candidate == c.chosen) break;
    }
    EXPECT_EQ(rig.port.log.size(), probed * 12);
    const std::vector<std::uint8_t> bytes = {0x55, 0xAA, 0x33, 0xCC, 0x66, 0x09};
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(rig.port.log[2 * i], (PortAccess{true, 0x278, bytes[i]}));
      EXPECT_FALSE(rig.port.log[2 * i + 1].write);
    }
  }
  // A board is found on its port.
  EngineRig board_rig("port 3BC\ndevice VTL3064A\n");
  board_rig.cable.SelectPort(kAutoPortSelection);
  EXPECT_EQ(board_rig.cable.DataPort(), 0x3BC);
}

TEST(Cable, AutoSelectionWithoutAnAnsweringPortAbortsTheRun) {
  EngineRig rig;
  rig.cable.SelectPort(0);
  EXPECT_THROW(
      {
        try {
          rig.cable.SelectPort(kAutoPortSelection);
        } catch (const EPyk& e) {
          EXPECT_STREQ(e.what(), "Fatal Error...");
          throw;
        }
      },
      EPyk);
  const std::vector<std::string> lines = {
      "Can not find available Parallel port for use. Use #378 as default!", "Operation aborted!", ""};
  EXPECT_EQ(rig.messages.lines(), lines);
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{0, false}}));
  EXPECT_EQ(rig.cable.DataPort(), 0x278) << "no default is applied";
}

}  // namespace
}  // namespace zepa::engine
