#include "sim/board.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "sim/tests/jtag_driver.h"

namespace zepa::sim {
namespace {

using testing::SpecOf;

// The parallel-port side of each cable, as the cable's user writes and reads it.
struct CableCase {
  const char* word;
  std::uint8_t tck, tdi, tms;
  std::uint8_t tdo_bit;
  bool tdo_reads_low;
  std::uint8_t loop_drive, loop_sense;  // 0: no loop-back
};
// Test listings show the cable's word rather than the case's bytes.
void PrintTo(const CableCase& c, std::ostream* os) {
  *os << c.word;
}

const std::vector<CableCase> kCables = {
    {"relay", 0x01, 0x02, 0x04, 0x80, true, 0, 0},
    {"corvane", 0x02, 0x01, 0x04, 0x10, false, 0x40, 0x20},
    {"byteblaster", 0x01, 0x40, 0x02, 0x80, true, 0x20, 0x40},
};

class CableWiringTest : public ::testing::TestWithParam<CableCase> {};

// Clocks through the data register and reads TDO on the status register, with the cable's polarity.
bool PortClock(Board& board, const CableCase& c, bool tms, bool tdi) {
  const std::uint8_t lines = static_cast<std::uint8_t>((tms ? c.tms : 0) | (tdi ? c.tdi : 0));
  board.WritePortByte(0x378, lines);
  board.WritePortByte(0x378, static_cast<std::uint8_t>(lines | c.tck));
  board.WritePortByte(0x378, lines);
  const bool bit = (board.ReadPortByte(0x379) & c.tdo_bit) != 0;
  return bit != c.tdo_reads_low;
}

TEST_P(CableWiringTest, DataBitsDriveTheChainAndTdoShowsWithTheCablesPolarity) {
  const CableCase& c = GetParam();
  Board board(SpecOf(std::string("cable ") + c.word + "\ndevice Others irlen=4 idcode=0x8000000F\n"));
  for (int i = 0; i < 5; ++i) PortClock(board, c, true, false);
  for (bool tms : {false, true, false, false}) PortClock(board, c, tms, false);  // to Shift-DR
  ASSERT_EQ(board.device(1).state(), TapState::kShiftDr);
  // IDCODE 8000000Fh leaves bit 0 first; TDI ones follow it.
  std::uint32_t idcode = 0;
  for (int i = 0; i < 32; ++i) {
    const bool before = (board.ReadPortByte(0x379) & c.tdo_bit) != 0;
    idcode |= static_cast<std::uint32_t>(before != c.tdo_reads_low) << i;
    PortClock(board, c, false, true);
  }
  EXPECT_EQ(idcode, 0x8000000Fu);
}

TEST_P(CableWiringTest, LoopBackAnswersOnlyWhileItsWireIsWhole) {
  const CableCase& c = GetParam();
  Board board(SpecOf(std::string("cable ") + c.word + "\ndevice VTL3064A\n"));
  if (c.loop_drive == 0) {
    for (std::uint8_t v : {0x00, 0x20, 0x40}) {
      board.WritePortByte(0x378, v);
      EXPECT_EQ(board.ReadPortByte(0x379) & 0x60, 0x60) << c.word << " has no loop-back";
    }
    return;
  }
  board.WritePortByte(0x378, c.loop_drive);
  EXPECT_NE(board.ReadPortByte(0x379) & c.loop_sense, 0);
  board.WritePortByte(0x378, 0);
  EXPECT_EQ(board.ReadPortByte(0x379) & c.loop_sense, 0);
  board.set_loopback_connected(false);
  board.WritePortByte(0x378, 0);
  EXPECT_NE(board.ReadPortByte(0x379) & c.loop_sense, 0) << "an open line is pulled high";
}

INSTANTIATE_TEST_SUITE_P(Cables, CableWiringTest, ::testing::ValuesIn(kCables),
                         [](const auto& info) { return std::string(info.param.word); });

TEST(BoardPort, RegistersEchoOnTheBoardsPortAndOtherAddressesReadFF) {
  Board board(SpecOf("port 3BC\ndevice VTL3064A\n"));
  for (std::uint8_t v : {0x55, 0xAA, 0x09}) {
    board.WritePortByte(0x3BC, v);
    EXPECT_EQ(board.ReadPortByte(0x3BC), v);
    board.WritePortByte(0x3BE, v);
    EXPECT_EQ(board.ReadPortByte(0x3BE), v);
  }
  for (std::uint16_t other : {0x278, 0x378, 0x379, 0x3BF}) {
    board.WritePortByte(other, 0x12);
    EXPECT_EQ(board.ReadPortByte(other), 0xFF) << std::hex << other;
  }
}

// A board that needs half clocks of 100 ns: a rising edge that ends a short low half, or follows a short
// high half, is a misread TDI; half clocks long enough are read as driven.
TEST(BoardPort, HalfClocksShorterThanTheBoardNeedsAreMisread) {
  struct Case {
    const char* name;
    std::int64_t low_ns, high_ns;  // each half clock
    std::int64_t misread;          // of 4 rising edges
  };
  const Case cases[] = {
      // The first rising edge ends no measured half clock.
      {"long enough", 100, 100, 0},
      {"short low halves", 50, 100, 3},
      {"short high halves", 100, 99, 3},
      {"no wait at all", 0, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board board(ParseBoardText("tck 100ns\ndevice VTL3064A\n", "b"));
    std::int64_t now = 1000;
    board.set_clock([&now] { return now; });
    for (int i = 0; i < 4; ++i) {
      now += c.low_ns;
      board.WritePortByte(0x378, 0x01);  // TCK high
      now += c.high_ns;
      board.WritePortByte(0x378, 0x00);
    }
    EXPECT_EQ(board.misread_bits(), c.misread);
  }
}

TEST(BoardPort, WithoutACableTheStatusNeverChanges) {
  Board board(SpecOf("cable none\ndevice VTL3064A\n"));
  for (std::uint8_t v : {0x00, 0x01, 0x07, 0x20, 0x40, 0xFF}) {
    board.WritePortByte(0x378, v);
    EXPECT_EQ(board.ReadPortByte(0x379), 0x7F);
  }
  EXPECT_EQ(board.device(1).state(), TapState::kTestLogicReset);
}

}  // namespace
}  // namespace zepa::sim
