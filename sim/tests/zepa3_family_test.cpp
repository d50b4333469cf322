// The simulated ZEPA3 part's ISP register and array, driven pin by pin: the register's layout by address
// width, rows by side bit and Gray code, ENABLE/DISABLE, the dwells, the security cell and the two security
// queries (the part's own fixed address and the 4-bit loader's address 3Eh) beside design row 43.
#include "sim/zepa3_family.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "sim/tests/isp_part.h"
#include "testsupport/files.h"

namespace zepa::sim {
namespace {

using testing::Ones;
using testing::Zeros;

constexpr std::uint32_t kEnable = 9, kErase = 10, kProgram = 11, kVerify = 12, kInit = 13, kDisable = 16;
constexpr std::int64_t kMs = 1'000'000;

// One ZEPA3 part on a board and its virtual time.
class Zepa3Part : public testing::IspPart {
 public:
  explicit Zepa3Part(const std::string& part = "VTL3032XL")
      : IspPart(part, 5,
                [](FamilyRegistry& registry, NowNs now_ns) {
                  AddZepa3Family(registry, {.now_ns = std::move(now_ns), .faults = nullptr});
                }),
        info_(info()),
        width_(Zepa3AddressWidth(info_.type_code)) {}

  int length() const { return info_.dr_length; }
  int rows() const { return info_.side_rows; }  // R
  int width() const { return width_; }

  int Address(int row) const { return testing::RowAddress(row, rows() + 2, width_); }
  // Waits `ns` and one clock in Run-Test/Idle.
  void Dwell(std::int64_t ns) { IspPart::Dwell(ns, 1); }
  // Latches `row` with a data part of ones and reads it back (VERIFY in force).
  std::string ReadRow(int row) {
    Register(Ones(length()), Address(row), width_);
    return Dr(Ones(length() + width_)).substr(0, static_cast<std::size_t>(length()));
  }
  void ProgramRow(int row, const std::string& data, std::int64_t dwell_ns = 11 * kMs) {
    Instruction(kProgram);
    Register(data, Address(row), width_);
    Dwell(dwell_ns);
    Instruction(kVerify);
  }
  // The first bit out after latching `address` (of `bits` bits) behind `data`.
  char Query(const std::string& data, int address, int bits) {
    Register(data, address, bits);
    return Dr(Ones(length() + width_))[0];
  }

 private:
  const PartInfo& info_;
  int width_;
};

TEST(Zepa3RowAddress, SideBitAndGrayCodedRowPerWidth) {
  struct Case {
    int address, width, side_rows, row;
  };
  const Case cases[] = {
      {0x00, 7, 52, 0},    {0x3E, 7, 52, 43},   {0x40, 7, 52, 54},   {0x40 | (53 ^ 26), 7, 52, 107},
      {0x64, 7, 52, -1},   {0x80, 8, 104, 106}, {0xFF, 8, 104, 191}, {0x100 | (209 ^ 104), 9, 208, 419},
      {0x180, 9, 208, -1}, {0x200, 9, 208, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Zepa3RowOfAddress(c.address, c.width, c.side_rows), c.row) << std::hex << c.address;
  EXPECT_EQ(Zepa3AddressWidth(144), 7);
  EXPECT_EQ(Zepa3AddressWidth(146), 8);
  EXPECT_EQ(Zepa3AddressWidth(149), 9);
}

TEST(Zepa3Array, ProgramVerifyAndEraseOnEachAddressWidth) {
  for (const char* name : {"VTL3032XL", "VTL3128XL", "VTL3384XL"}) {
    SCOPED_TRACE(name);
    Zepa3Part part(name);
    const int L = part.length();
    std::string data = Ones(L);
    data[0] = data[static_cast<std::size_t>(L - 1)] = '0';
    const int last = 2 * part.rows() + 3;  // the upper signature row
    part.Instruction(kEnable);
    part.ProgramRow(last, data);
    part.ProgramRow(1, data, 9 * kMs);  // too short a dwell: nothing happens
    EXPECT_EQ(part.ReadRow(last), data);
    EXPECT_EQ(part.ReadRow(1), Ones(L));
    part.Instruction(kErase);
    part.Register(Ones(L), 0, part.width());
    part.Dwell(99 * kMs);
    EXPECT_FALSE(part.memory().rows.empty()) << "erase needs 100 ms";
    part.Instruction(kErase);
    part.Register(Ones(L), 0, part.width());
    part.Dwell(100 * kMs);
    EXPECT_TRUE(part.memory().rows.empty());
  }
}

TEST(Zepa3Array, DisableAndResetEndEnable) {
  Zepa3Part part;
  const std::string zeros = Zeros(part.length());
  part.Instruction(kEnable);
  part.Instruction(kDisable);
  part.ProgramRow(3, zeros);
  EXPECT_TRUE(part.memory().rows.empty()) << "after DISABLE";
  part.Instruction(kEnable);
  part.Reset();
  part.ProgramRow(3, zeros);
  EXPECT_TRUE(part.memory().rows.empty()) << "after Test-Logic-Reset";
}

TEST(Zepa3Array, ProgramCaptureGivesTheRowJustProgrammed) {
  Zepa3Part part("VTL3064XL");
  std::string data = Ones(part.length());
  data[5] = '0';
  part.Instruction(kEnable);
  part.Instruction(kProgram);
  part.Register(data, part.Address(7), part.width());
  part.Dwell(11 * kMs);
  EXPECT_EQ(part.Dr(Ones(part.length() + part.width())).substr(0, data.size()), data);
}

// A board that keeps its state file has every erase and program in it the moment its dwell ends, without
// a save: a run stopped or killed after an erase leaves the part erased, as a real part would be. A dwell
// cut short writes nothing.
TEST(Zepa3State, EraseAndProgramAreInTheStateFileAsTheyHappen) {
  const zepa::testing::TempDir dir;
  const std::string state = (dir.path() / "board.state").string();
  Zepa3Part part;
  const int L = part.length();
  std::string data = Ones(L);
  data[2] = '0';
  part.memory().rows[5] = std::vector<bool>(static_cast<std::size_t>(L), false);
  part.board().SaveState(state);
  part.board().KeepState(state);
  const auto on_file = [&] {
    Board again(testing::SpecOf("device VTL3032XL"));
    again.LoadState(state);
    return again.device(1).memory();
  };

  part.Instruction(kEnable);
  part.Instruction(kErase);
  part.Register(Ones(L), 0, part.width());
  part.Dwell(99 * kMs);
  EXPECT_EQ(on_file().rows.count(5), 1u) << "an erase cut short";
  part.Instruction(kErase);
  part.Register(Ones(L), 0, part.width());
  part.Dwell(100 * kMs);
  ASSERT_TRUE(part.memory().rows.empty());
  EXPECT_EQ(on_file(), part.memory()) << "the erase";

  part.ProgramRow(3, data);
  part.ProgramRow(7, data, 9 * kMs);  // cut short
  part.ProgramRow(9, Ones(L));        // a row of ones stays blank
  ASSERT_EQ(part.memory().rows.size(), 1u);
  EXPECT_EQ(on_file(), part.memory()) << "the programs";
  EXPECT_TRUE(part.board().keep_error().empty()) << part.board().keep_error();
}

// As the ZEPA1 part: stopped by an erase or a design-row program, started again only by INIT in
// Run-Test/Idle; the signature rows (R+1 and 2R+3) are not part of the running logic.
TEST(Zepa3Running, EraseOrDesignProgramStopsThePartUntilInit) {
  struct Case {
    const char* what;
    std::function<void(Zepa3Part&)> steps;
    bool running;
  };
  auto erase = [](Zepa3Part& part) {
    part.Instruction(kErase);
    part.Dwell(100 * kMs);
  };
  auto init = [](Zepa3Part& part) {
    part.Instruction(kInit);
    part.Dwell(0);
  };
  const Case cases[] = {
      {"power-up", [](Zepa3Part&) {}, true},
      {"signature rows programmed",
       [](Zepa3Part& part) {
         part.ProgramRow(part.rows() + 1, Zeros(part.length()));
         part.ProgramRow(2 * part.rows() + 3, Zeros(part.length()));
       },
       true},
      {"a design row programmed", [](Zepa3Part& part) { part.ProgramRow(3, Zeros(part.length())); }, false},
      {"an upper design row programmed",
       [](Zepa3Part& part) { part.ProgramRow(part.rows() + 2, Zeros(part.length())); }, false},
      {"erased, then DISABLE and Test-Logic-Reset",
       [&](Zepa3Part& part) {
         erase(part);
         part.Instruction(kDisable);
         part.Reset();
       },
       false},
      {"erased, then INIT, DISABLE",
       [&](Zepa3Part& part) { erase(part), init(part), part.Instruction(kDisable); }, true},
  };
  for (const Case& c : cases) {
    Zepa3Part part("VTL3064XL");
    part.Instruction(kEnable);
    part.Instruction(kVerify);
    c.steps(part);
    EXPECT_EQ(part.board().device(1).running(), c.running) << c.what;
  }
}

TEST(Zepa3Security, QueriesAnswerTheStateAndDesignRowsStayRows) {
  for (const char* name : {"VTL3032XL", "VTL3064XL", "VTL3256XL"}) {
    SCOPED_TRACE(name);
    Zepa3Part part(name);
    const int L = part.length();
    const int w = part.width();
    const int own = w == 7 ? 0x64 : w == 9 ? 0x180 : -1;
    // The loader's test as the 4-bit loader sends it: reset, ENABLE, VERIFY, DR_len zeros, 7 address bits.
    auto loader_test = [&] {
      part.Reset();
      part.Instruction(kEnable);
      part.Instruction(kVerify);
      return part.Query(Zeros(L), 0x3E, 7);
    };
    part.Instruction(kEnable);
    part.Instruction(kVerify);
    // Design row 43 with its first bit 0, read as the sequences read it (ones before the address).
    std::string row43 = Ones(L);
    row43[0] = '0';
    part.ProgramRow(43, row43);
    EXPECT_EQ(part.ReadRow(43), row43);
    // Read with zeros ahead of its address (the levels a recorded run leaves on TDI), after another row:
    // still row 43.
    part.ReadRow(42);
    EXPECT_EQ(part.Query(Zeros(L), 0x3E, w), '0') << "row 43 taken for the security test";
    EXPECT_EQ(loader_test(), '1');
    if (own >= 0) {
      EXPECT_EQ(part.Query(Zeros(L), own, w), '1');
    }
    // Secure: the last bit shifted into row 2R+2 is 0.
    std::string secure = Ones(L);
    secure[static_cast<std::size_t>(L - 1)] = '0';
    part.ProgramRow(2 * part.rows() + 2, secure);
    EXPECT_EQ(loader_test(), '0');
    if (own >= 0) {
      EXPECT_EQ(part.Query(Zeros(L), own, w), '0');
    }
    EXPECT_EQ(part.ReadRow(5), Zeros(L)) << "a secured part reads zeros";
  }
}

}  // namespace
}  // namespace zepa::sim
