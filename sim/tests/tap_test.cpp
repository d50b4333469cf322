#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/board.h"
#include "sim/tests/jtag_driver.h"

namespace zepa::sim {
namespace {

using testing::JtagDriver;
using testing::SpecOf;

// TMS sequences from Test-Logic-Reset, worked out by hand from the controller diagram.
struct PathCase {
  std::string tms;
  TapState expected;
};

TEST(TapController, FollowsTheStateDiagramAndFiveHighClocksAlwaysReset) {
  const std::vector<PathCase> cases = {
      {"", TapState::kTestLogicReset},      {"0", TapState::kRunTestIdle},
      {"01", TapState::kSelectDrScan},      {"010", TapState::kCaptureDr},
      {"0100", TapState::kShiftDr},         {"01001", TapState::kExit1Dr},
      {"010010", TapState::kPauseDr},       {"0100101", TapState::kExit2Dr},
      {"01001010", TapState::kShiftDr},     {"010011", TapState::kUpdateDr},
      {"0100110", TapState::kRunTestIdle},  {"0100111", TapState::kSelectDrScan},
      {"011", TapState::kSelectIrScan},     {"0110", TapState::kCaptureIr},
      {"01100", TapState::kShiftIr},        {"011001", TapState::kExit1Ir},
      {"0110010", TapState::kPauseIr},      {"01100101", TapState::kExit2Ir},
      {"011001010", TapState::kShiftIr},    {"0110011", TapState::kUpdateIr},
      {"01100110", TapState::kRunTestIdle}, {"0111", TapState::kTestLogicReset},
      {"01101", TapState::kExit1Ir},        {"0101", TapState::kExit1Dr},
  };
  Board board(SpecOf("device VTL3064A\n"));
  JtagDriver jtag(board);
  for (const auto& c : cases) {
    jtag.Reset();
    jtag.Tms(c.tms);
    EXPECT_EQ(board.device(1).state(), c.expected) << "TMS " << c.tms;
    jtag.Tms("11111");
    EXPECT_EQ(board.device(1).state(), TapState::kTestLogicReset) << "reset after " << c.tms;
  }
}

TEST(TapController, CapturesOneThenZerosInTheInstructionRegister) {
  for (int irlen : {2, 4, 5, 7, 16, 32}) {
    Board board(SpecOf("device Others irlen=" + std::to_string(irlen) + "\n"));
    JtagDriver jtag(board);
    jtag.Reset();
    jtag.ToShiftIr();
    // Shift one more bit than the register holds: the extra one is the first bit shifted in.
    const std::uint64_t out = jtag.Shift(irlen + 1, 1);
    EXPECT_EQ(out, 1u | (1ull << irlen)) << "irlen " << irlen;
  }
}

TEST(TapController, ResetSelectsIdcodeOrBypassWhenThereIsNone) {
  Board board(SpecOf("device VTL3256XL\ndevice Others irlen=3\ndevice Others irlen=6 idcode=0x0ABCDEF1\n"));
  JtagDriver jtag(board);
  jtag.Reset();
  jtag.ToShiftDr();
  // Nearest TDO first: 32 bits of device 3, one bypass bit of device 2, 32 bits of device 1.
  const std::uint64_t third = jtag.Shift(32, 0, false);
  const std::uint64_t bypass = jtag.Shift(1, 0, false);
  const std::uint64_t first = jtag.Shift(32, 0);
  EXPECT_EQ(third, 0x0ABCDEF1u);
  EXPECT_EQ(bypass, 0u);
  EXPECT_EQ(first, DefaultIdcode(*FindPart("VTL3256XL")));
}

TEST(TapController, BypassDelaysByOneBitPerDeviceAndInstructionsReachTheirDevice) {
  Board board(SpecOf("device VTL3064A\ndevice VTL3032XL\ndevice Others irlen=7 idcode=0x1234567F\n"));
  JtagDriver jtag(board);
  jtag.Reset();
  jtag.ToShiftIr();
  // Device 3 (7 bits) first, then device 2 (5 bits) gets IDCODE (1), device 1 (4 bits) BYPASS.
  const std::uint64_t ir = 0x7F | (0x01ull << 7) | (0xFull << 12);
  jtag.Shift(16, ir);
  jtag.UpdateToIdle();
  EXPECT_EQ(board.device(1).instruction(), 0xFu);
  EXPECT_EQ(board.device(2).instruction(), 1u);
  EXPECT_EQ(board.device(3).instruction(), 0x7Fu);

  jtag.ToShiftDr();
  const std::uint64_t out = jtag.Shift(34 + 8, 0xA5);
  EXPECT_EQ(out & 1, 0u) << "device 3 bypass bit";
  EXPECT_EQ((out >> 1) & 0xFFFFFFFF, DefaultIdcode(*FindPart("VTL3032XL")));
  EXPECT_EQ((out >> 33) & 1, 0u) << "device 1 bypass bit";
  EXPECT_EQ(out >> 34, 0xA5u) << "what goes in comes out 1 + 32 + 1 clocks later";
}

TEST(TapController, TrstResetsEveryDevice) {
  Board board(SpecOf("device VTL3064A\ndevice VTL3064A\n"));
  JtagDriver jtag(board);
  jtag.Reset();
  jtag.ToShiftIr();
  jtag.Shift(8, 0xFF);
  jtag.UpdateToIdle();
  ASSERT_EQ(board.device(2).instruction(), 0xFu);
  board.SetTrst(true);
  for (std::size_t d : {1u, 2u}) {
    EXPECT_EQ(board.device(d).state(), TapState::kTestLogicReset);
    EXPECT_EQ(board.device(d).instruction(), Device::kIdcodeInstruction);
  }
}

// A family register: instruction 5 selects 12 bits that Update-DR stores as row 0 and Capture-DR reads back
// inverted; each Run-Test/Idle clock under instruction 6 counts.
class CountingFamily final : public IspFamily {
 public:
  explicit CountingFamily(DeviceMemory& memory, int* idle_clocks)
      : memory_(memory), idle_clocks_(idle_clocks) {}
  std::size_t DrLength(std::uint32_t instruction) const override { return instruction == 5 ? 12 : 0; }
  void Capture(std::uint32_t, Bits& reg) override {
    const auto it = memory_.rows.find(0);
    for (std::size_t i = 0; i < reg.size(); ++i) reg[i] = it == memory_.rows.end() ? true : !it->second[i];
  }
  void Update(std::uint32_t, const Bits& reg) override { memory_.rows[0] = reg; }
  void RunTestIdleClock(std::uint32_t instruction) override {
    if (instruction == 6) ++*idle_clocks_;
  }

 private:
  DeviceMemory& memory_;
  int* idle_clocks_;
};

TEST(TapController, FamilyRegistersPlugInBehindTheirInstructions) {
  int idle_clocks = 0;
  FamilyRegistry families;
  families.Add(Family::kZepa1, [&](const PartInfo&, DeviceMemory& memory) {
    return std::make_unique<CountingFamily>(memory, &idle_clocks);
  });
  Board board(SpecOf("device VTL3064A\n"), families);
  JtagDriver jtag(board);
  jtag.Reset();
  jtag.ToShiftIr();
  jtag.Shift(4, 5);
  jtag.UpdateToIdle();

  jtag.ToShiftDr();
  EXPECT_EQ(jtag.Shift(12, 0x5A3), 0xFFFu) << "erased row reads ones";
  jtag.UpdateToIdle();
  ASSERT_EQ(board.device(1).memory().rows.count(0), 1u);
  jtag.ToShiftDr();
  EXPECT_EQ(jtag.Shift(12, 0), 0xFFFu & ~0x5A3u) << "captured from what Update-DR stored";
  jtag.UpdateToIdle();

  jtag.ToShiftIr();
  jtag.Shift(4, 6);
  jtag.UpdateToIdle();  // Update-IR -> Run-Test/Idle: not yet a clock in Run-Test/Idle
  jtag.Tms("000");
  EXPECT_EQ(idle_clocks, 3);
  jtag.ToShiftDr();
  EXPECT_EQ(jtag.Shift(2, 0b01), 0b10u) << "an instruction the family does not use is the 1-bit BYPASS";
}

}  // namespace
}  // namespace zepa::sim
