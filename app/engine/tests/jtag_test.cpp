#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/tests/engine_rig.h"
#include "engine/zepa1_protocol.h"
#include "engine/zepa3_protocol.h"
#include "testsupport/files.h"

namespace zepa::engine {
namespace {

using testing::Edge;
using testing::EngineRig;

TEST(TapStep, EachTargetStateIsOneClockWithItsTmsLevel) {
  const std::string tms_for_state = "?010010111001011";  // index = state; state 0 is six clocks
  for (int state = 1; state <= 15; ++state) {
    EngineRig rig;
    rig.cable.port_writes = PortWrites::kEveryChange;
    rig.jtag.TapStep(state);
    EXPECT_EQ(rig.TmsBits(), std::string(1, tms_for_state[static_cast<std::size_t>(state)])) << state;
    EXPECT_EQ(rig.port.log.size(), 3u) << "TMS, TCK high, TCK low";
    EngineRig fewest;
    fewest.jtag.TapStep(state);
    EXPECT_EQ(fewest.TmsBits(), rig.TmsBits()) << state;
    EXPECT_EQ(fewest.port.log.size(), 2u) << "TMS with TCK low, TCK high";
  }
  EngineRig rig;
  rig.cable.port_writes = PortWrites::kEveryChange;
  rig.cable.SetPin(rig.cable.PinTCK(), 1);
  rig.ClearLog();
  rig.jtag.TapStep(TestLogicReset);
  EXPECT_EQ(rig.TmsBits(), "111111") << "six rising edges, TMS high";
  EXPECT_EQ(rig.port.log[0].value & rig.cable.PinTMS(), rig.cable.PinTMS()) << "TMS high first ...";
  EXPECT_EQ(rig.port.log[1].value & rig.cable.PinTCK(), 0) << "... then TCK low";
  EXPECT_THROW(rig.jtag.TapStep(16), std::invalid_argument);
}

TEST(TapStep, VectorOptionDrivesTdiAroundIdleAndUpdateIr) {
  EngineRig rig;
  rig.cable.IspOptions = kOptBif;
  rig.jtag.TapStep(RunTestIdle);
  EXPECT_EQ(rig.Edges(), (std::vector<Edge>{{false, true}}));
  EXPECT_EQ(rig.cable.DataShadow() & rig.cable.PinTDI(), 0) << "TDI back to 0 after the clock";
  rig.cable.SetPin(rig.cable.PinTDI(), 1);
  rig.ClearLog();
  rig.jtag.TapStep(UpdateIr);
  EXPECT_EQ(rig.Edges(), (std::vector<Edge>{{true, false}}));
  rig.ClearLog();
  rig.cable.IspOptions = 0;
  rig.cable.SetPin(rig.cable.PinTDI(), 1);
  rig.jtag.TapStep(RunTestIdle);
  rig.jtag.TapStep(UpdateIr);
  EXPECT_EQ(rig.Edges(), (std::vector<Edge>{{false, true}, {true, true}})) << "without the option TDI stays";
}

TEST(TapStep, WalksTheBoardsControllerThroughEveryState) {
  EngineRig rig("device VTL3064A\n");
  const std::vector<int> walk = {0, 1,  2,  3,  4,  5,  6,  7,  4,  5, 8, 1, 2,
                                 9, 10, 11, 12, 13, 14, 11, 12, 15, 2, 9, 0};
  for (int state : walk) {
    rig.jtag.TapStep(state);
    EXPECT_EQ(static_cast<int>(rig.board->device(1).state()), state);
  }
}

// What an instruction load does, seen from the clocks it gives.
enum class Seen { kNothing, kShift, kReset, kLeave, kOther };

Seen Classify(const std::string& tms, int ir_total) {
  if (tms.empty()) return Seen::kNothing;
  if (tms == "1111110") return Seen::kReset;
  if (tms == "11111111") return Seen::kLeave;
  const std::string shift = "1100" + std::string(static_cast<std::size_t>(ir_total - 1), '0') + "11";
  if (tms == shift) return Seen::kShift;
  return Seen::kOther;
}

TEST(LoadInstruction, CodesSelectShiftResetLeaveOrNothing) {
  struct Set {
    void (*load)(Jtag&, int);
    int highest;
    std::vector<int> shifted;
    int reset, leave;
  };
  const std::vector<Set> sets = {{&LoadInstructionZ1, 15, {1, 2, 8, 9, 10, 11, 12, 13, 15}, 6, 7},
                                 {&LoadInstructionZ3, 34, {1, 2, 7, 9, 10, 11, 12, 13, 14, 16, 31}, 33, 34}};
  for (const Set& set : sets) {
    for (int code = -1; code <= set.highest + 2; ++code) {
      EngineRig rig;
      rig.chain.DeviceCount = 2;
      rig.chain.Rec(1).IR_len = 4;
      rig.chain.Rec(2).IR_len = 5;
      set.load(rig.jtag, code);
      Seen expected = Seen::kNothing;
      if (code == set.reset)
        expected = Seen::kReset;
      else if (code == set.leave)
        expected = Seen::kLeave;
      else if (std::count(set.shifted.begin(), set.shifted.end(), code))
        expected = Seen::kShift;
      EXPECT_EQ(Classify(rig.TmsBits(), 9), expected) << "code " << code << " TMS " << rig.TmsBits();
    }
  }
}

TEST(LoadInstruction, VectorOptionAddsAnIdleClockToTheReset) {
  EngineRig rig;
  rig.cable.IspOptions = kOptBif;
  LoadInstructionZ3(rig.jtag, 33);
  EXPECT_EQ(rig.TmsBits(), "11111100");
}

class InstructionTarget : public ::testing::TestWithParam<int> {};

// The target gets the code, every other device BYPASS; reading then returns the target's IDCODE.
TEST_P(InstructionTarget, ReachesTheTargetAndReadsItsIdcodePastTheBypassBits) {
  const int target = GetParam();
  EngineRig rig("device VTL3064A\ndevice Others irlen=7 idcode=0x1234567F\ndevice VTL3256XL\n");
  rig.chain.TargetDevice = target;
  LoadInstructionZ1(rig.jtag, 6);
  EXPECT_EQ(rig.board->device(1).state(), sim::TapState::kRunTestIdle);
  LoadInstructionZ3(rig.jtag, 1);
  rig.cable.Flush();  // Update-IR's falling edge, which the next clock would write
  for (int d = 1; d <= 3; ++d) {
    const std::uint32_t ones = (1u << rig.board->device(static_cast<std::size_t>(d)).ir_length()) - 1;
    EXPECT_EQ(rig.board->device(static_cast<std::size_t>(d)).instruction(), d == target ? 1u : ones) << d;
  }
  rig.jtag.TapStep(RunTestIdle);
  rig.jtag.TapStep(SelectDrScan);
  rig.jtag.TapStep(CaptureDr);
  rig.ClearLog();
  rig.jtag.ReadBitsToBuffer(0, 31);
  EXPECT_EQ(rig.Edges().size(), static_cast<std::size_t>(32 + 3 - target)) << "skip: devices nearer TDO";
  std::uint32_t id = 0;
  for (int i = 0; i < 32; ++i) id |= static_cast<std::uint32_t>(rig.jtag.ReadbackBuffer.Bit(i)) << i;
  EXPECT_EQ(id, *rig.board->device(static_cast<std::size_t>(target)).idcode());
  rig.jtag.TapStep(Exit1Dr);
  rig.jtag.TapStep(UpdateDr);
  LoadInstructionZ1(rig.jtag, 7);
  EXPECT_EQ(rig.board->device(1).state(), sim::TapState::kTestLogicReset);
}

INSTANTIATE_TEST_SUITE_P(Positions, InstructionTarget, ::testing::Values(1, 2, 3));

// A ZEPA1 family register for the tail check: instruction 12 selects a 7-bit register kept as row 0.
class AddressLatch final : public sim::IspFamily {
 public:
  explicit AddressLatch(sim::DeviceMemory& memory) : memory_(memory) {}
  std::size_t DrLength(std::uint32_t instruction) const override { return instruction == 12 ? 7 : 0; }
  void Capture(std::uint32_t, sim::Bits&) override {}
  void Update(std::uint32_t, const sim::Bits& reg) override { memory_.rows[0] = reg; }

 private:
  sim::DeviceMemory& memory_;
};

int Latched(sim::Board& board, std::size_t d) {
  const auto& rows = board.device(d).memory().rows;
  if (!rows.count(0)) return -1;
  int value = 0;
  // Bit 0 sits nearest TDO and holds the first bit shifted in, the address's most significant.
  for (std::size_t i = 0; i < 7; ++i) value |= rows.at(0)[i] << (6 - i);
  return value;
}

TEST(DataRoutines, AddressTailPushesTheBitsIntoTheTargetOnly) {
  sim::FamilyRegistry families;
  families.Add(sim::Family::kZepa1, [](const sim::PartInfo&, sim::DeviceMemory& memory) {
    return std::make_unique<AddressLatch>(memory);
  });
  for (int target = 1; target <= 3; ++target) {
    EngineRig rig("device VTL3064A\n");
    rig.board = std::make_unique<sim::Board>(
        sim::ParseBoardText("device VTL3064A\ndevice VTL3064A\ndevice VTL3064A\n", "b"), families);
    rig.port.inner = rig.board.get();
    rig.chain.DeviceCount = 3;
    for (int d = 1; d <= 3; ++d) rig.chain.Rec(d).IR_len = 4;
    rig.chain.TargetDevice = target;
    LoadInstructionZ1(rig.jtag, 6);
    LoadInstructionZ1(rig.jtag, 12);
    rig.jtag.TapStep(SelectDrScan);
    rig.jtag.TapStep(CaptureDr);
    rig.jtag.TapStep(ShiftDr);
    rig.ClearLog();
    ShiftAddressZ1(rig.jtag, 43);
    EXPECT_EQ(rig.TmsBits(), std::string(static_cast<std::size_t>(6 + target - 1), '0') + "1") << "tail";
    rig.jtag.TapStep(UpdateDr);
    rig.cable.Flush();  // Update-DR's falling edge, which the next clock would write
    EXPECT_EQ(Latched(*rig.board, static_cast<std::size_t>(target)), 0b1000000) << "target " << target;
    for (int d = 1; d <= 3; ++d) {
      if (d != target) {
        EXPECT_EQ(Latched(*rig.board, static_cast<std::size_t>(d)), -1) << d;
      }
    }
  }
}

TEST(RowAddresses, Zepa1SidesAndGrayCodes) {
  const std::vector<std::pair<int, std::string>> cases = {{0, "0000000"},  {1, "0000001"},  {2, "0000011"},
                                                          {3, "0000010"},  {42, "0111111"}, {43, "1000000"},
                                                          {44, "1000001"}, {85, "1111111"}, {99, "0111110"}};
  for (const auto& [row, bits] : cases) {
    EngineRig rig;
    rig.chain.DeviceCount = 1;
    ShiftAddressZ1(rig.jtag, row);
    EXPECT_EQ(rig.TdiBits(), bits) << "row " << row;
    EXPECT_EQ(rig.TmsBits(), "0000001") << "bit 0 leaves through Exit1-DR";
  }
  EXPECT_THROW(zepa1::RowAddress(-1), std::out_of_range);
}

TEST(RowAddresses, Zepa3WidthsSidesAndFixedAddress) {
  struct Case {
    int id, side_rows, row;
    std::string bits;
  };
  const std::vector<Case> cases = {
      {144, 52, 0, "0000000"},      {144, 52, 53, "0101111"},     {144, 52, 54, "1000000"},
      {144, 52, 511, "1100100"},    {145, 104, 106, "10000000"},  {146, 104, 105, "01011101"},
      {146, 104, 511, "11111111"},  {148, 208, 209, "010111001"}, {148, 208, 210, "100000000"},
      {149, 208, 212, "100000011"}, {149, 208, 511, "110000000"},
  };
  for (const Case& c : cases) {
    EngineRig rig;
    rig.chain.DeviceCount = 1;
    rig.chain.Rec(1).id = c.id;
    rig.chain.Rec(1).side_rows = c.side_rows;
    ShiftAddressZ3(rig.jtag, c.row);
    EXPECT_EQ(rig.TdiBits(), c.bits) << c.id << " row " << c.row;
  }
}

TEST(DataRoutines, BitPatternsAndSkipTailCounts) {
  struct Case {
    const char* name;
    int devices, target, dr_len;
    void (*run)(Jtag&);
    std::string tdi, tms;
  };
  const std::vector<Case> cases = {
      {"zeros", 1, 1, 0, [](Jtag& j) { j.ShiftZeros(3); }, "000", "000"},
      {"ones but last", 1, 1, 5, [](Jtag& j) { j.ShiftOnesButLast(); }, "11110", "00000"},
      {"ones but one", 1, 1, 0, [](Jtag& j) { j.ShiftOnesButOne(8, 2); }, "11111011", "00000000"},
      {"target zeros one device", 1, 1, 0, [](Jtag& j) { j.ShiftTargetZeros7(); }, "0000000", "0000001"},
      {"target zeros 2 of 3", 3, 2, 0, [](Jtag& j) { j.ShiftTargetZeros7(); }, "000000000", "000000001"},
      {"target zeros 3 of 3", 3, 3, 0, [](Jtag& j) { j.ShiftTargetZeros7(); }, "000000000", "000000001"},
      {"address 1 of 1", 1, 1, 0, [](Jtag& j) { ShiftAddressZ1(j, 43); }, "1000000", "0000001"},
      {"address 2 of 3", 3, 2, 0, [](Jtag& j) { ShiftAddressZ1(j, 43); }, "10000000", "00000001"},
      {"bit string", 3, 3, 0, [](Jtag& j) { j.ShiftBitString("xx0110", 2, 6); }, "011000", "000001"},
      {"read 1 of 1", 1, 1, 0, [](Jtag& j) { j.ReadBitsToBuffer(0, 1); }, "", "00"},
      {"read 2 of 3", 3, 2, 0, [](Jtag& j) { j.ReadBitsToBuffer(0, 1); }, "", "000"},
      {"expect ones 1 of 3", 3, 1, 0, [](Jtag& j) { j.ExpectOnes(5, 6); }, "", "000"},  // no board: TDO 0
  };
  for (const Case& c : cases) {
    EngineRig rig;
    rig.chain.DeviceCount = c.devices;
    rig.chain.TargetDevice = c.target;
    rig.chain.Rec(c.target).DR_len = c.dr_len;
    c.run(rig.jtag);
    if (!c.tdi.empty()) {
      EXPECT_EQ(rig.TdiBits(), c.tdi) << c.name;
    }
    EXPECT_EQ(rig.TmsBits(), c.tms) << c.name;
  }
}

TEST(DataRoutines, BadBitCharactersAreReportedAndRepeatThePreviousLevel) {
  EngineRig rig;
  rig.chain.DeviceCount = 1;
  rig.jtag.ShiftBitString("1x0?", 0, 4);
  EXPECT_EQ(rig.TdiBits(), "1100");
  EXPECT_EQ(rig.messages.lines(),
            (std::vector<std::string>{"Error bit value found!", "Error bit value found!"}));
  rig.ClearLog();
  rig.jtag.ShiftBitString("10", 1, 1);
  EXPECT_TRUE(rig.port.log.empty()) << "an empty range shifts nothing";
}

TEST(DataRoutines, ImageBitsGoOutMostSignificantFirst) {
  EngineRig rig;
  rig.jtag.ImageBuffer.Byte(1) = 0xA3;
  rig.jtag.ShiftImageBits(8, 15);
  EXPECT_EQ(rig.TdiBits(), "10100011");
  EXPECT_EQ(rig.TmsBits(), "00000000");
}

// The IDCODE register as a known data source for the reading routines.
class ReadRoutines : public ::testing::Test {
 protected:
  ReadRoutines() : rig("device Others irlen=4 idcode=0xFFFFFFEF\ndevice Others irlen=4 idcode=0x80F0C0A5\n") {
    rig.chain.TargetDevice = 2;
    rig.chain.Rec(2).DR_len = 32;
    LoadInstructionZ1(rig.jtag, 6);
    rig.jtag.TapStep(SelectDrScan);
    rig.jtag.TapStep(CaptureDr);
  }
  static constexpr std::uint32_t kId = 0x80F0C0A5;
  EngineRig rig;
};

TEST_F(ReadRoutines, DescendingReaderFillsFromTheTopWithLowBitNumbering) {
  rig.jtag.ReadBitsDescending(8, 39);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(rig.jtag.ReadbackBuffer.BitLow(39 - i), ((kId >> i) & 1) != 0) << i;
}

TEST_F(ReadRoutines, ShiftAndCaptureReadsTheRowShiftedInOneRowEarlier) {
  rig.jtag.ImageBuffer.Byte(4) = 0x5A;
  rig.jtag.ReadbackBuffer.Fill(0);
  rig.jtag.TapStep(ShiftDr);  // entered from Shift-DR, as the operations do
  rig.ClearLog();
  rig.jtag.ShiftAndCapture(32, 63);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(rig.jtag.ReadbackBuffer.Bit(i), ((kId >> i) & 1) != 0) << i;
  EXPECT_EQ(rig.TdiBits().substr(0, 8), "01011010");
}

TEST_F(ReadRoutines, ExpectOnesStopsAtTheFirstZero) {
  rig.ClearLog();
  EXPECT_FALSE(rig.jtag.ExpectOnes(0, 31)) << "A5h has a 0 at bit 1";
  EXPECT_EQ(rig.Reads(), 2u);
  EngineRig ones("device Others irlen=4 idcode=0xFFFFFFFF\n");
  LoadInstructionZ1(ones.jtag, 6);
  ones.jtag.TapStep(SelectDrScan);
  ones.jtag.TapStep(CaptureDr);
  EXPECT_TRUE(ones.jtag.ExpectOnes(0, 31));
  EXPECT_EQ(ones.Reads(), 32u);
}

TEST(BitBuffers, CompareAndRangeChecks) {
  EngineRig rig;
  rig.jtag.ImageBuffer.Byte(0) = 0xF0;
  rig.jtag.ReadbackBuffer.Byte(0) = 0xF8;  // bit 4 differs
  EXPECT_TRUE(rig.jtag.CompareBits(0, 3));
  EXPECT_FALSE(rig.jtag.CompareBits(0, 7));
  EXPECT_TRUE(rig.jtag.CompareBits(5, 7));
  EXPECT_TRUE(rig.port.log.empty());
  rig.jtag.ResetReadbackBuffer();
  EXPECT_TRUE(std::all_of(rig.jtag.ReadbackBuffer.bytes().begin(), rig.jtag.ReadbackBuffer.bytes().end(),
                          [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_THROW(rig.jtag.ImageBuffer.Bit(BitBuffer::kBits), std::out_of_range);
  EXPECT_THROW(rig.jtag.ReadbackBuffer.SetBit(-1, true), std::out_of_range);
  rig.chain.DeviceCount = 1;
  rig.chain.Rec(1).DR_len = 8;
  EXPECT_THROW(rig.jtag.ShiftAndCapture(0, 7), std::out_of_range) << "row -1 is not read into the buffer";
}

TEST(ImageFile, HeaderByteIsOverwrittenAndOversizedFilesAreRefused) {
  zepa::testing::TempDir dir;
  EngineRig rig;
  rig.jtag.ImageBuffer.Fill(0xEE);
  const std::string image = dir.Write("d.bin", std::string("U\x01\x02\x03", 4));
  rig.jtag.LoadImageFile(image);
  EXPECT_EQ(rig.jtag.ImageBuffer.Byte(0), 0x01);
  EXPECT_EQ(rig.jtag.ImageBuffer.Byte(2), 0x03);
  EXPECT_EQ(rig.jtag.ImageBuffer.Byte(3), 0xEE) << "beyond the file the buffer keeps its bytes";

  rig.jtag.LoadImageFile(dir.Write("h.bin", "w"));
  EXPECT_EQ(rig.jtag.ImageBuffer.Byte(0), 'w') << "a header alone stays in byte 0";

  const std::string full = dir.Write("full.bin", std::string(BitBuffer::kBytes + 1, '\x11'));
  rig.jtag.LoadImageFile(full);
  EXPECT_EQ(rig.jtag.ImageBuffer.Byte(BitBuffer::kBytes - 1), 0x11);

  rig.jtag.ImageBuffer.Fill(0xEE);
  for (const std::string& bad : {dir.Write("long.bin", std::string(BitBuffer::kBytes + 2, '\x11')),
                                 dir.Write("empty.bin", ""), dir.File("missing.bin")}) {
    try {
      rig.jtag.LoadImageFile(bad);
      ADD_FAILURE() << bad;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(rig.jtag.ImageBuffer.Byte(0), 0xEE) << "a refused file changes nothing";
}

TEST(VectorRecorder, ThirteenClocksGiveThreeBytesPackedFromTheLowBits) {
  zepa::testing::TempDir dir;
  EngineRig rig;
  rig.cable.OffLine = true;  // recording needs no port
  rig.cable.IspOptions = kOptBif;
  rig.jtag.recorder.Reset();
  const std::string path = dir.File("chain.bif");
  rig.jtag.recorder.Open(path);
  // Samples (TMS, TDI): 01 10 11 00 | 01 01 01 01 | 10 10 10 11 | 11 (lost)
  const std::vector<std::pair<int, int>> clocks = {{0, 1}, {1, 0}, {1, 1}, {0, 0}, {0, 1}, {0, 1}, {0, 1},
                                                   {0, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 1}, {1, 1}};
  for (const auto& [tms, tdi] : clocks) {
    rig.cable.SetPin(rig.cable.PinTDI(), tdi);
    rig.cable.SetPin(rig.cable.PinTMS(), tms);
    rig.cable.SetPin(rig.cable.PinTCK(), 1);
    rig.cable.SetPin(rig.cable.PinTCK(), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "in place only when closed";
  rig.jtag.recorder.Close();
  EXPECT_EQ(zepa::testing::TempDir::Read(path), std::string("\x39\x55\xEA", 3));
  EXPECT_TRUE(rig.port.log.empty());
}

TEST(VectorRecorder, RecordsOnlyWithTheOptionAndDropsAnUnclosedFile) {
  zepa::testing::TempDir dir;
  const std::string path = dir.File("run.bif");
  {
    EngineRig rig;
    rig.jtag.recorder.Open(path);
    for (int i = 0; i < 8; ++i) rig.jtag.TapStep(ShiftDr);
    EXPECT_EQ(rig.jtag.recorder.bytes_written(), 0u) << "option off";
    rig.cable.IspOptions = kOptBif;
    rig.jtag.TapStep(TestLogicReset);
    rig.jtag.TapStep(RunTestIdle);
    rig.jtag.TapStep(RunTestIdle);  // 8 clocks in all
    EXPECT_EQ(rig.jtag.recorder.bytes_written(), 2u);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "no truncated file left behind";
}

}  // namespace
}  // namespace zepa::engine
