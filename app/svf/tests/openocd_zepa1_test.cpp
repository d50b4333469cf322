// The independent check of the ZEPA1 SVF output: OpenOCD plays the file against a simulated board over
// remote_bitbang. Programming must leave the parts holding what the engine's own run leaves; verify, blank
// check, read signature and read IDCODE must pass on a right part and stop with a TDO error on a part with
// one bit changed. Skipped where openocd is not installed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/board.h"
#include "sim/zepa1_family.h"
#include "svf/tests/openocd_player.h"
#include "svf/tests/svf_rig.h"
#include "ui/core/chain_names.h"

namespace zepa::svf {
namespace {

using engine::testing::IspRig;
using engine::testing::MakeZepa1Image;
using testing::PlaySvf;
using testing::SvfRig;

struct Dev {
  int part;
  int op;
  unsigned seed = 0;  // image seed; 0: no design file
  int ir_code = 2;    // the chain table's instruction-length code (2 = 4 bits, 5 = 7 bits)
};

// A ZEPA1 image whose signature rows (41 and 84) carry a few zeros inside their signature fields.
std::string ImageWithSignature(int part, unsigned seed) {
  std::string bytes = MakeZepa1Image(part, seed);
  const long L = engine::DeviceTable()[static_cast<std::size_t>(part)].DR_len;
  for (long row : {41L, 84L}) {
    for (long p : {0L, 5L, 6L, 100L}) {
      const long b = row * L + p;
      bytes[static_cast<std::size_t>(1 + b / 8)] &= static_cast<char>(~(0x80 >> (b % 8)));
    }
  }
  return bytes;
}

// The first difference between two parts' contents, for failure messages.
std::string Difference(const sim::DeviceMemory& got, const sim::DeviceMemory& want) {
  if (got.secured != want.secured) return "security state differs";
  for (int row = 0; row < 86; ++row) {
    auto g = got.rows.find(row);
    auto w = want.rows.find(row);
    const bool g_has = g != got.rows.end();
    const bool w_has = w != want.rows.end();
    if (g_has != w_has)
      return "row " + std::to_string(row) +
             (g_has ? " programmed, expected erased" : " erased, expected programmed");
    if (g_has && g->second != w->second) {
      for (std::size_t b = 0; b < g->second.size(); ++b)
        if (g->second[b] != w->second[b]) return "row " + std::to_string(row) + " bit " + std::to_string(b);
    }
  }
  return "";
}

void FillChain(IspRig& rig, const std::vector<Dev>& devices) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const Dev& d = devices[i];
    const int n = static_cast<int>(i) + 1;
    std::string image;
    if (d.seed != 0) image = rig.File("d" + std::to_string(n) + ".bin", ImageWithSignature(d.part, d.seed));
    rig.Device(n, d.part, d.op, image);
    rig.table[n].IR_len = d.ir_code;
  }
}

std::unique_ptr<sim::Board> Referee(const std::string& board_text) {
  sim::FamilyRegistry families;
  sim::AddZepa1Family(families);
  return std::make_unique<sim::Board>(sim::ParseBoardText(board_text, "referee board"), families);
}

class OpenOcdZepa1 : public ::testing::Test {
 protected:
  void SetUp() override {
    openocd_ = testing::FindProgram("openocd");
    if (openocd_.empty()) GTEST_SKIP() << "openocd is not installed (scripts/setup.sh installs it)";
  }
  std::string openocd_;
};

struct ProgramCase {
  const char* name;
  std::string board;
  std::vector<Dev> devices;
};

TEST_F(OpenOcdZepa1, ProgrammingLeavesWhatTheEngineLeaves) {
  const std::vector<ProgramCase> cases = {
      {"one part, program and verify", "device VTL3032C\n", {{ui::kPartVtl3032C, ui::kOpProgramVerify, 11}}},
      {"three devices: first programmed, middle bypassed, last (Others, 7-bit IR) skipped",
       "device VTL3064A\ndevice VTL3032C\ndevice Others irlen=7\n",
       {{ui::kPartVtl3064A, ui::kOpProgram, 12},
        {ui::kPartVtl3032C, ui::kOpNoOperation},
        {ui::kPartOthers, ui::kOpNoOperation, 0, 5}}},
      {"five devices: first, middle and last targeted, one bypassed, one Others",
       "device VTL3032C\ndevice Others irlen=7\ndevice VTL3032A\ndevice VTL3032C\ndevice VTL5032C\n",
       {{ui::kPartVtl3032C, ui::kOpProgram, 13},
        {ui::kPartOthers, ui::kOpNoOperation, 0, 5},
        {ui::kPartVtl3032A, ui::kOpProgramVerify, 14},
        {ui::kPartVtl3032C, ui::kOpNoOperation},
        {ui::kPartVtl5032C, ui::kOpProgram, 15}}},
      {"signature rows, then the security bit",
       "device VTL3032C\ndevice VTL3032C\n",
       {{ui::kPartVtl3032C, ui::kOpProgramUes, 16}, {ui::kPartVtl3032C, ui::kOpSecure}}},
  };
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Both rigs work in the test's one temporary folder, which each clears when it starts: the engine's
    // run goes first, the parts keep what it left.
    IspRig engine_run(c.board);
    FillChain(engine_run, c.devices);
    engine_run.Run();

    SvfRig svf(c.board);
    FillChain(svf, c.devices);
    svf.RunSvf();
    ASSERT_TRUE(svf.marks.marks.empty()) << "no device refused";

    auto referee = Referee(c.board);
    // Whatever the parts held before is erased first.
    for (std::size_t n = 1; n <= referee->device_count(); ++n) {
      if (c.devices[n - 1].op == ui::kOpProgram || c.devices[n - 1].op == ui::kOpProgramVerify)
        referee->device(n).memory().rows[7] =
            sim::Bits(static_cast<std::size_t>(svf.engine.chain().Rec(static_cast<int>(n)).DR_len), false);
    }
    const testing::PlayResult play = PlaySvf(openocd_, *referee, svf.SvfPath());
    EXPECT_TRUE(play.passed()) << play.log;
    for (std::size_t n = 1; n <= referee->device_count(); ++n)
      EXPECT_EQ(Difference(referee->device(n).memory(), engine_run.Part(static_cast<int>(n)).memory()), "")
          << "device " << n;
  }
}

struct CheckCase {
  const char* name;
  std::string board;
  std::string wrong_board;  // the board with one bit changed, where the change is in the board text
  std::vector<Dev> devices;
  int target;
  std::function<void(sim::DeviceMemory&)> change;  // one bit changed in the target's memory
};

TEST_F(OpenOcdZepa1, ChecksPassOnTheRightPartAndFailWithOneBitChanged) {
  auto flip = [](int row, std::size_t bit, std::size_t length) {
    return [=](sim::DeviceMemory& m) {
      auto [it, fresh] = m.rows.try_emplace(row, sim::Bits(length, true));
      it->second[bit] = !it->second[bit];
    };
  };
  const std::vector<CheckCase> cases = {
      {"verify, one part",
       "device VTL3032C\n",
       "",
       {{ui::kPartVtl3032C, ui::kOpVerify, 21}},
       1,
       flip(3, 10, 255)},
      {"verify, right side, middle of three with an Others part",
       "device VTL3032C\ndevice VTL3064A\ndevice Others irlen=7\n",
       "",
       {{ui::kPartVtl3032C, ui::kOpNoOperation},
        {ui::kPartVtl3064A, ui::kOpVerify, 22},
        {ui::kPartOthers, ui::kOpNoOperation, 0, 5}},
       2,
       flip(80, 511, 512)},
      {"blank check, last of two",
       "device VTL3064A\ndevice VTL3032C\n",
       "",
       {{ui::kPartVtl3064A, ui::kOpNoOperation}, {ui::kPartVtl3032C, ui::kOpBlankCheck}},
       2,
       flip(50, 7, 255)},
      {"read signature",
       "device VTL3032C\n",
       "",
       {{ui::kPartVtl3032C, ui::kOpReadUes, 23}},
       1,
       flip(84, 3, 255)},
      {"read IDCODE, first of two",
       "device VTL3064A\ndevice VTL3032C\n",
       "device VTL3064A idcode=0x0C4C502B\ndevice VTL3032C\n",
       {{ui::kPartVtl3064A, ui::kOpReadId}, {ui::kPartVtl3032C, ui::kOpNoOperation}},
       1,
       nullptr},
      {"read IDCODE of a VTL3032A, last of two",
       "device VTL3064A\ndevice VTL3032A\n",
       "device VTL3064A\ndevice VTL3032A idcode=0x0008102B\n",
       {{ui::kPartVtl3064A, ui::kOpNoOperation}, {ui::kPartVtl3032A, ui::kOpReadId}},
       2,
       nullptr},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    // The right contents: what the engine leaves after programming the design (or an erased part).
    IspRig engine_run(c.board);
    std::vector<Dev> program = c.devices;
    for (Dev& d : program) {
      if (d.seed != 0) d.op = ui::kOpProgramVerify;
    }
    FillChain(engine_run, program);
    engine_run.Run();
    if (c.devices[static_cast<std::size_t>(c.target) - 1].op == ui::kOpReadUes) {
      engine_run.table[c.target].cmnd = ui::kOpProgramUes;
      engine_run.Run();
    }
    ASSERT_TRUE(engine_run.marks.marks.size() == 0 || engine_run.marks.marks.back().second)
        << "the engine run passed";

    SvfRig svf(c.board);
    FillChain(svf, c.devices);
    svf.RunSvf();
    ASSERT_TRUE(svf.marks.marks.empty()) << "no device refused";

    for (bool right : {true, false}) {
      auto referee = Referee(right || c.wrong_board.empty() ? c.board : c.wrong_board);
      for (std::size_t n = 1; n <= referee->device_count(); ++n)
        referee->device(n).memory() = engine_run.Part(static_cast<int>(n)).memory();
      if (!right && c.change) c.change(referee->device(static_cast<std::size_t>(c.target)).memory());
      const testing::PlayResult play = PlaySvf(openocd_, *referee, svf.SvfPath());
      if (right) {
        EXPECT_TRUE(play.passed()) << play.log;
      } else {
        EXPECT_TRUE(play.tdo_error()) << play.log;
        EXPECT_NE(play.status, 0);
      }
    }
  }
}

}  // namespace
}  // namespace zepa::svf
