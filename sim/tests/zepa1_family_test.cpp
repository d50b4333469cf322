// The simulated ZEPA1 part's ISP register and array, driven pin by pin: the register's layout and how it
// keeps its contents, ENABLE, the erase and program dwells (wall time or Run-Test/Idle cycles), row
// addresses, the security bit and stuck cells.
#include "sim/zepa1_family.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sim/tests/isp_part.h"

namespace zepa::sim {
namespace {

using testing::Ones;

constexpr std::uint32_t kEnable = 9, kErase = 10, kProgram = 11, kVerify = 12, kInit = 13, kBypass = 15;
constexpr std::int64_t kMs = 1'000'000;

// One ZEPA1 part on a board, its virtual time and its faults.
class Zepa1Part : public testing::IspPart {
 public:
  explicit Zepa1Part(const std::string& part = "VTL3032C")
      : Zepa1Part(part, std::make_shared<Zepa1Faults>()) {}

  int length() const { return length_; }
  Zepa1Faults& faults() { return *faults_; }

  // A whole register: row data then the 7-bit address of `row` (bit 6 first).
  std::string Register(const std::string& data, int address) { return IspPart::Register(data, address, 7); }
  static int Address(int row) { return testing::RowAddress(row, 43, 7); }
  // Latches `row` and reads it back with VERIFY (ENABLE already in force).
  std::string ReadRow(int row) {
    Register(std::string(static_cast<std::size_t>(length_), '1'), Address(row));
    return Dr(std::string(static_cast<std::size_t>(length_) + 7, '1'))
        .substr(0, static_cast<std::size_t>(length_));
  }
  void ProgramRow(int row, const std::string& data, std::int64_t dwell_ns = 11 * kMs) {
    Instruction(kProgram);
    Register(data, Address(row));
    Dwell(dwell_ns);
    Instruction(kVerify);
  }

 private:
  Zepa1Part(const std::string& part, std::shared_ptr<Zepa1Faults> faults)
      : IspPart(part, 4,
                [faults](FamilyRegistry& registry, NowNs now_ns) {
                  AddZepa1Family(registry, {.now_ns = std::move(now_ns), .faults = faults});
                }),
        faults_(std::move(faults)),
        length_(info().dr_length) {}

  std::shared_ptr<Zepa1Faults> faults_;
  int length_;
};

std::string WithZeroAt(int n, std::initializer_list<int> zeros) {
  std::string s = Ones(n);
  for (int z : zeros) s[static_cast<std::size_t>(z)] = '0';
  return s;
}

TEST(Zepa1RowAddress, SideBitAndGrayCodedRow) {
  struct Case {
    int address;
    int row;
  };
  const Case cases[] = {{0x00, 0},  {0x01, 1},  {0x03, 2},  {0x3F, 42}, {0x40, 43},
                        {0x7F, 85}, {0x41, 44}, {0x3E, -1}, {0x20, -1}, {0x80, -1}};
  for (const Case& c : cases) EXPECT_EQ(Zepa1RowOfAddress(c.address), c.row) << "address " << c.address;
}

TEST(Zepa1Register, DataAtTheTdoEndAddressAtTheTdiEndContentsSurviveInstructions) {
  Zepa1Part part;
  const int L = part.length();
  std::string pattern;
  for (int i = 0; i < L + 7; ++i) pattern += (i * 7 + i / 3) % 3 == 0 ? '1' : '0';
  part.Instruction(kVerify);  // no ENABLE: VERIFY captures nothing, the register only shifts
  part.Dr(pattern);
  part.Instruction(kErase);
  part.Instruction(kBypass);
  part.Instruction(kProgram);
  EXPECT_EQ(part.Dr(Ones(L + 7)), pattern);
}

TEST(Zepa1Array, ProgramClearsOnlyTheZerosOfTheLatchedRow) {
  Zepa1Part part;
  const int L = part.length();
  part.Instruction(kEnable);
  part.ProgramRow(5, WithZeroAt(L, {0, 9}));
  part.ProgramRow(5, WithZeroAt(L, {L - 1}));  // ones never set a cell back
  EXPECT_EQ(part.ReadRow(5), WithZeroAt(L, {0, 9, L - 1}));
  EXPECT_EQ(part.ReadRow(4), Ones(L));
  EXPECT_EQ(part.ReadRow(48), Ones(L));  // the same row of the right side
}

TEST(Zepa1Array, DwellsCountWallTimeOrIdleCyclesAndAShortOneChangesNothing) {
  struct Case {
    const char* what;
    std::int64_t ns;
    int cycles;
    bool programmed;
  };
  const Case cases[] = {
      {"10 ms of wall time", 10 * kMs, 0, true},
      {"just under 10 ms", 10 * kMs - 1, 0, false},
      {"10000 idle clocks at 1 MHz", 0, 10000, true},
      {"9990 idle clocks", 0, 9990, false},
  };
  for (const Case& c : cases) {
    Zepa1Part part;
    const int L = part.length();
    part.Instruction(kEnable);
    part.Instruction(kProgram);
    part.Register(WithZeroAt(L, {3}), Zepa1Part::Address(7));
    part.Dwell(c.ns, c.cycles);
    part.Instruction(kVerify);
    EXPECT_EQ(part.ReadRow(7), c.programmed ? WithZeroAt(L, {3}) : Ones(L)) << c.what;
  }
}

TEST(Zepa1Array, EraseNeedsItsLongerDwellAndEnable) {
  Zepa1Part part;
  const int L = part.length();
  part.Instruction(kEnable);
  part.ProgramRow(0, WithZeroAt(L, {1}));

  part.Instruction(kErase);
  part.Dwell(99 * kMs);
  part.Instruction(kVerify);
  EXPECT_EQ(part.ReadRow(0), WithZeroAt(L, {1})) << "99 ms erases nothing";

  part.Reset();  // clears ENABLE
  part.Instruction(kErase);
  part.Dwell(200 * kMs);
  part.Instruction(kEnable);
  part.Instruction(kVerify);
  EXPECT_EQ(part.ReadRow(0), WithZeroAt(L, {1})) << "ERASE without ENABLE does nothing";

  part.Instruction(kErase);
  part.Dwell(100 * kMs);
  part.Instruction(kVerify);
  EXPECT_EQ(part.ReadRow(0), Ones(L));
  EXPECT_TRUE(part.memory().rows.empty());
}

TEST(Zepa1Array, WithoutEnableProgramAndVerifyDoNothing) {
  Zepa1Part part;
  const int L = part.length();
  part.Instruction(kProgram);
  part.Register(WithZeroAt(L, {0}), 0);
  part.Dwell(50 * kMs);
  EXPECT_TRUE(part.memory().rows.empty());
  part.Instruction(kVerify);
  // VERIFY captures nothing: the register shows what was last shifted in.
  part.Register(WithZeroAt(L, {2}), 0);
  EXPECT_EQ(part.Dr(Ones(L + 7)).substr(0, static_cast<std::size_t>(L)), WithZeroAt(L, {2}));
}

TEST(Zepa1Security, TheCellOfRow83SecuresThePartUntilErased) {
  struct Case {
    const char* part;
    int sec_pos;
  };
  const Case cases[] = {{"VTL3032C", 0}, {"VTL3128A", 257}, {"VTL5128C", 514}};
  for (const Case& c : cases) {
    Zepa1Part part(c.part);
    const int L = part.length();
    part.Instruction(kEnable);
    part.ProgramRow(10, WithZeroAt(L, {4}));
    part.Instruction(kVerify);
    EXPECT_EQ(part.ReadRow(10), WithZeroAt(L, {4})) << c.part;
    // The security address answers 1 (not secured) in its first bit.
    part.Register(Ones(L), 62);
    EXPECT_EQ(part.Dr(Ones(L + 7))[0], '1') << c.part;

    part.ProgramRow(83, WithZeroAt(L, {L - 1 - c.sec_pos}));
    part.Register(Ones(L), 62);
    EXPECT_EQ(part.Dr(Ones(L + 7))[0], '0') << c.part;
    EXPECT_EQ(part.ReadRow(10), std::string(static_cast<std::size_t>(L), '0'))
        << c.part << ": secured reads zeros";

    part.Instruction(kErase);
    part.Dwell(100 * kMs);
    part.Instruction(kVerify);
    part.Register(Ones(L), 62);
    EXPECT_EQ(part.Dr(Ones(L + 7))[0], '1') << c.part << ": erasing clears the security bit";
  }
}

// The part runs its array's logic until an erase or a design-row program stops it; only INIT clocked in
// Run-Test/Idle starts it again, so a sequence that leaves programming without INIT is seen.
TEST(Zepa1Running, EraseOrDesignProgramStopsThePartUntilInit) {
  struct Case {
    const char* what;
    std::function<void(Zepa1Part&)> steps;
    bool running;
  };
  auto erase = [](Zepa1Part& part) {
    part.Instruction(kErase);
    part.Dwell(100 * kMs);
    part.Instruction(kVerify);
  };
  auto init = [](Zepa1Part& part) {
    part.Instruction(kInit);
    part.Dwell(0, 1);
  };
  const Case cases[] = {
      {"power-up", [](Zepa1Part&) {}, true},
      {"rows read", [](Zepa1Part& part) { part.ReadRow(5); }, true},
      {"signature rows programmed",
       [](Zepa1Part& part) {
         part.ProgramRow(41, WithZeroAt(part.length(), {0}));
         part.ProgramRow(84, WithZeroAt(part.length(), {0}));
       },
       true},
      {"a design row programmed", [](Zepa1Part& part) { part.ProgramRow(5, WithZeroAt(part.length(), {0})); },
       false},
      {"erased", erase, false},
      {"erased, left through Test-Logic-Reset", [&](Zepa1Part& part) { erase(part), part.Reset(); }, false},
      {"erased, then INIT", [&](Zepa1Part& part) { erase(part), init(part); }, true},
      {"programmed, then INIT after Test-Logic-Reset",
       [&](Zepa1Part& part) {
         part.ProgramRow(0, WithZeroAt(part.length(), {2}));
         part.Reset();
         init(part);
       },
       true},
  };
  for (const Case& c : cases) {
    Zepa1Part part;
    part.Instruction(kEnable);
    part.Instruction(kVerify);
    c.steps(part);
    EXPECT_EQ(part.board().device(1).running(), c.running) << c.what;
  }
}

TEST(Zepa1Faults, StuckCellsHoldTheirValue) {
  Zepa1Part part;
  const int L = part.length();
  part.faults().Stick(part.memory(), 0, 3, false);
  part.faults().Stick(part.memory(), 1, 6, true);
  part.Instruction(kEnable);
  part.Instruction(kVerify);
  EXPECT_EQ(part.ReadRow(0), WithZeroAt(L, {3})) << "stuck at 0 after erase";
  part.ProgramRow(1, WithZeroAt(L, {5, 6}));
  EXPECT_EQ(part.ReadRow(1), WithZeroAt(L, {5})) << "stuck at 1 cannot be programmed";
}

}  // namespace
}  // namespace zepa::sim
