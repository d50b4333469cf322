// The independent check of the SVF output: OpenOCD plays the file against the board that the zepa-sim
// program serves over remote_bitbang. Programming must leave the parts holding what the engine's own run
// leaves; verify, blank check, read signature and read IDCODE must pass on a right part and stop with a TDO
// error on a part with one bit changed. Skipped where openocd is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "engine/clock.h"
#include "engine/runner.h"
#include "engine/tests/engine_rig.h"
#include "engine/tests/isp_rig.h"
#include "sim/board.h"
#include "sim/families.h"
#include "sim/tests/support/child_process.h"
#include "sim/zepa1_family.h"
#include "sim/zepa3_family.h"
#include "svf/tests/images.h"
#include "svf/tests/svf_rig.h"
#include "testsupport/files.h"

namespace zepa::svf {
namespace {

using sim::testing::PlayResult;
using testing::SvfRig;

struct Dev {
  int part;
  int op;
  unsigned seed = 0;  // image seed; 0: no design file
};

int IrCode(int part) {
  if (chain::IsZepa3Part(part)) return 3;    // 5 bits
  if (part == chain::kPartOthers) return 5;  // 7 bits
  return 2;                                  // 4 bits
}

std::string ImageName(int n, int part) {
  return "d" + std::to_string(n) + (chain::IsZepa3Part(part) ? ".isp" : ".bin");
}
std::string Image(const Dev& d) {
  return chain::IsZepa3Part(d.part) ? testing::Zepa3Image(d.part, d.seed)
                                    : testing::Zepa1Image(d.part, d.seed);
}

void FillChain(chain::ChainTable& table, const std::vector<Dev>& devices,
               const std::function<std::string(const std::string&, const std::string&)>& write) {
  table.DeviceCount = static_cast<int>(devices.size());
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const Dev& d = devices[i];
    const int n = static_cast<int>(i) + 1;
    chain::ChainDevice& cd = table[n];
    cd.loc = n;
    cd.part = d.part;
    cd.IR_len = IrCode(d.part);
    cd.cmnd = d.op;
    cd.jed = d.seed != 0 ? write(ImageName(n, d.part), Image(d)) : "";
  }
}

// The engine driving a board with the ZEPA1 and ZEPA3 parts in-process, in a folder of its own.
class EngineRun {
 public:
  explicit EngineRun(const std::string& board_text)
      : folder_(temp_.path()),
        board(std::make_unique<sim::Board>(sim::ParseBoardText(board_text, "engine board"), Families())),
        engine(*board, clock, host, launcher,
               {.program_dir = ZEPA_BIN_DIR, .work_dir = folder_.string() + "/"}) {
    engine.cable().ApplyCable(engine::CableKind::RelayCable);
    engine.jtag().CalibrateDelay();
  }
  void Run(const std::vector<Dev>& devices) {
    FillChain(table, devices, [this](const std::string& name, const std::string& bytes) {
      const std::string path = (folder_ / name).string();
      std::ofstream(path, std::ios::binary) << bytes;
      return path;
    });
    const std::string jcd = (folder_ / "chain.jcd").string();
    chain::write_jcd(table, jcd);
    engine.RunChain({.jcd_file = jcd, .port_index = 1, .options = 0}, table);
  }
  bool AllPassed() const {
    for (const auto& [position, passed] : marks.marks) {
      if (!passed) return false;
    }
    return true;
  }
  sim::DeviceMemory& Memory(std::size_t n) { return board->device(n).memory(); }

 private:
  sim::FamilyRegistry Families() {
    sim::FamilyRegistry registry;
    sim::AddZepa1Family(registry, {.now_ns = [this] { return clock.NowNs(); }, .faults = nullptr});
    sim::AddZepa3Family(registry, {.now_ns = [this] { return clock.NowNs(); }, .faults = nullptr});
    return registry;
  }

  zepa::testing::TempDir temp_;
  std::filesystem::path folder_;

 public:
  engine::MessageLines messages;
  engine::testing::RecordingPrompter prompts;
  engine::testing::RecordingMarks marks;
  engine::EngineHost host{messages, prompts, marks};
  engine::VirtualClock clock;
  std::unique_ptr<sim::Board> board;
  engine::testing::ScriptedLauncher launcher;
  engine::IspEngine engine;
  chain::ChainTable table;
};

// The board the SVF file is played on: a board file served by zepa-sim, with what its parts hold before
// the play put in the board's state file, and read back from it once zepa-sim has ended.
class Referee {
 public:
  Referee(const SvfRig& rig, const std::string& board_text) : file_(rig.Path("referee.board")) {
    std::filesystem::remove(sim::Board::StatePath(file_));
    std::ofstream(file_, std::ios::binary) << board_text;
    board_ = sim::Board::Open(file_, sim::AllFamilies());
  }
  std::size_t device_count() const { return board_->device_count(); }
  sim::DeviceMemory& Memory(std::size_t n) { return board_->device(n).memory(); }

  PlayResult Play(const std::string& openocd, const std::string& svf_file) {
    board_->SaveState(sim::Board::StatePath(file_));
    board_.reset();  // zepa-sim opens the board: one program at a time
    PlayResult result = sim::testing::PlaySvf(openocd, sim::testing::ZepaSimProgram(), file_, svf_file);
    EXPECT_EQ(result.sim_status, 0) << result.sim_log;
    board_ = sim::Board::Open(file_, sim::AllFamilies());
    return result;
  }

 private:
  std::string file_;
  std::unique_ptr<sim::Board> board_;
};

// The SVF file of a chain, written by the runner with SVF output on.
void WriteSvf(SvfRig& rig, const std::vector<Dev>& devices) {
  FillChain(rig.table, devices,
            [&](const std::string& name, const std::string& bytes) { return rig.File(name, bytes); });
  rig.RunSvf();
}

// The first difference between two parts' contents, for failure messages.
std::string Difference(const sim::DeviceMemory& got, const sim::DeviceMemory& want) {
  if (got.secured != want.secured) return "security state differs";
  for (int row = 0; row < 512; ++row) {
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

class OpenOcdSvf : public ::testing::Test {
 protected:
  void SetUp() override {
    openocd_ = sim::testing::FindProgram("openocd");
    if (openocd_.empty()) GTEST_SKIP() << "openocd is not installed (scripts/setup.sh installs it)";
  }
  std::string openocd_;
};

struct ProgramCase {
  const char* name;
  std::string board;
  std::vector<Dev> devices;
};

TEST_F(OpenOcdSvf, ProgrammingLeavesWhatTheEngineLeaves) {
  const std::vector<ProgramCase> cases = {
      {"one part, program and verify",
       "device VTL3032C\n",
       {{chain::kPartVtl3032C, chain::kOpProgramVerify, 11}}},
      {"three devices: first programmed, middle bypassed, last (Others, 7-bit IR) skipped",
       "device VTL3064A\ndevice VTL3032C\ndevice Others irlen=7\n",
       {{chain::kPartVtl3064A, chain::kOpProgram, 12},
        {chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartOthers, chain::kOpNoOperation}}},
      {"five devices: first, middle and last targeted, one bypassed, one Others",
       "device VTL3032C\ndevice Others irlen=7\ndevice VTL3032A\ndevice VTL3032C\ndevice VTL5032C\n",
       {{chain::kPartVtl3032C, chain::kOpProgram, 13},
        {chain::kPartOthers, chain::kOpNoOperation},
        {chain::kPartVtl3032A, chain::kOpProgramVerify, 14},
        {chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartVtl5032C, chain::kOpProgram, 15}}},
      {"signature rows, then the security bit",
       "device VTL3032C\ndevice VTL3032C\n",
       {{chain::kPartVtl3032C, chain::kOpProgramUes, 16}, {chain::kPartVtl3032C, chain::kOpSecure}}},
      {"VTL3032XL (7-bit addresses), program and verify",
       "device VTL3032XL\n",
       {{chain::kPartVtl3032XL, chain::kOpProgramVerify, 31}}},
      {"ZEPA3 signature rows and security bits in a mixed chain: VTL3384XL first, VTL3128XL last",
       "device VTL3384XL\ndevice VTL3032C\ndevice Others irlen=7\ndevice VTL3128XL\n",
       {{chain::kPartVtl3384XL, chain::kOpProgramUes, 32},
        {chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartOthers, chain::kOpNoOperation},
        {chain::kPartVtl3128XL, chain::kOpSecure}}},
      // Whole program blocks of the larger parts: long stretches that read nothing back, which the server
      // must take in as fast as OpenOCD writes them.
      {"ZEPA1 128-macrocell parts: VTL3128 and VTL5128 programmed, VTL3128A and VTL5128C programmed and "
       "verified",
       "device VTL3128\ndevice VTL5128\ndevice VTL3128A\ndevice VTL5128C\n",
       {{chain::kPartVtl3128, chain::kOpProgram, 51},
        {chain::kPartVtl5128, chain::kOpProgram, 52},
        {chain::kPartVtl3128A, chain::kOpProgramVerify, 53},
        {chain::kPartVtl5128C, chain::kOpProgramVerify, 54}}},
      {"ZEPA3 data rows: VTL3384XL (507-bit rows) and VTL3256XL with a ZEPA1 part bypassed between",
       "device VTL3384XL\ndevice VTL3032C\ndevice VTL3256XL\n",
       {{chain::kPartVtl3384XL, chain::kOpProgramVerify, 55},
        {chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartVtl3256XL, chain::kOpProgram, 56}}},
      {"ZEPA3 data rows: VTL3128XL and VTL3064XL behind an Others part",
       "device Others irlen=7\ndevice VTL3128XL\ndevice VTL3064XL\n",
       {{chain::kPartOthers, chain::kOpNoOperation},
        {chain::kPartVtl3128XL, chain::kOpProgramVerify, 57},
        {chain::kPartVtl3064XL, chain::kOpProgram, 58}}},
      {"ZEPA3 signature rows, then the security bit",
       "device VTL3256XL\ndevice VTL3064XL\ndevice VTL3032XL\n",
       {{chain::kPartVtl3256XL, chain::kOpProgramUes, 36},
        {chain::kPartVtl3064XL, chain::kOpSecure},
        {chain::kPartVtl3032XL, chain::kOpSecure}}},
  };
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.name);
    EngineRun engine_run(c.board);
    std::vector<Dev> engine_ops = c.devices;
    for (Dev& d : engine_ops) {
      // The engine's ZEPA3 verify reads back through fusedump; programming alone leaves the same rows.
      if (chain::IsZepa3Part(d.part) && d.op == chain::kOpProgramVerify) d.op = chain::kOpProgram;
    }
    engine_run.Run(engine_ops);
    ASSERT_TRUE(engine_run.AllPassed());

    SvfRig svf(c.board);
    WriteSvf(svf, c.devices);
    ASSERT_TRUE(svf.marks.marks.empty()) << "no device refused";

    Referee referee(svf, c.board);
    // Whatever the parts held before is erased first.
    for (std::size_t n = 1; n <= referee.device_count(); ++n) {
      const int op = c.devices[n - 1].op;
      if (op == chain::kOpProgram || op == chain::kOpProgramVerify)
        referee.Memory(n).rows[3] =
            sim::Bits(static_cast<std::size_t>(svf.engine.chain().Rec(static_cast<int>(n)).DR_len), false);
    }
    const PlayResult play = referee.Play(openocd_, svf.SvfPath());
    EXPECT_TRUE(play.passed()) << play.log;
    for (std::size_t n = 1; n <= referee.device_count(); ++n)
      EXPECT_EQ(Difference(referee.Memory(n), engine_run.Memory(n)), "") << "device " << n;
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

TEST_F(OpenOcdSvf, ChecksPassOnTheRightPartAndFailWithOneBitChanged) {
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
       {{chain::kPartVtl3032C, chain::kOpVerify, 21}},
       1,
       flip(3, 10, 255)},
      {"verify, right side, middle of three with an Others part",
       "device VTL3032C\ndevice VTL3064A\ndevice Others irlen=7\n",
       "",
       {{chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartVtl3064A, chain::kOpVerify, 22},
        {chain::kPartOthers, chain::kOpNoOperation}},
       2,
       flip(80, 511, 512)},
      {"blank check, last of two",
       "device VTL3064A\ndevice VTL3032C\n",
       "",
       {{chain::kPartVtl3064A, chain::kOpNoOperation}, {chain::kPartVtl3032C, chain::kOpBlankCheck}},
       2,
       flip(50, 7, 255)},
      {"read signature",
       "device VTL3032C\n",
       "",
       {{chain::kPartVtl3032C, chain::kOpReadUes, 23}},
       1,
       flip(84, 3, 255)},
      {"read IDCODE, first of two",
       "device VTL3064A\ndevice VTL3032C\n",
       "device VTL3064A idcode=0x0C4C502B\ndevice VTL3032C\n",
       {{chain::kPartVtl3064A, chain::kOpReadId}, {chain::kPartVtl3032C, chain::kOpNoOperation}},
       1,
       nullptr},
      {"read IDCODE of a VTL3032A, last of two",
       "device VTL3064A\ndevice VTL3032A\n",
       "device VTL3064A\ndevice VTL3032A idcode=0x0008102B\n",
       {{chain::kPartVtl3064A, chain::kOpNoOperation}, {chain::kPartVtl3032A, chain::kOpReadId}},
       2,
       nullptr},
      {"ZEPA3 verify, upper side of a VTL3032XL",
       "device VTL3032XL\n",
       "",
       {{chain::kPartVtl3032XL, chain::kOpVerify, 41}},
       1,
       flip(60, 113, 114)},
      {"ZEPA3 blank check, VTL3064XL between two ZEPA1 parts",
       "device VTL3032C\ndevice VTL3064XL\ndevice VTL3032C\n",
       "",
       {{chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartVtl3064XL, chain::kOpBlankCheck},
        {chain::kPartVtl3032C, chain::kOpNoOperation}},
       2,
       flip(104, 0, 123)},
      {"ZEPA3 read signature, VTL3128XL",
       "device VTL3128XL\n",
       "",
       {{chain::kPartVtl3128XL, chain::kOpReadUes, 42}},
       1,
       flip(105, 2, 266)},
      {"ZEPA3 read signature, VTL3032XL (7-bit address)",
       "device VTL3032XL\n",
       "",
       {{chain::kPartVtl3032XL, chain::kOpReadUes, 43}},
       1,
       flip(53, 104, 114)},
      {"ZEPA3 verify, VTL3384XL (507-bit rows) after a VTL3256XL",
       "device VTL3256XL\ndevice VTL3384XL\n",
       "",
       {{chain::kPartVtl3256XL, chain::kOpNoOperation}, {chain::kPartVtl3384XL, chain::kOpVerify, 44}},
       2,
       flip(400, 506, 507)},
      {"ZEPA3 verify, VTL3256XL then VTL3064XL",
       "device VTL3256XL\ndevice VTL3064XL\n",
       "",
       {{chain::kPartVtl3256XL, chain::kOpVerify, 45}, {chain::kPartVtl3064XL, chain::kOpVerify, 46}},
       1,
       flip(0, 0, 304)},
      {"ZEPA3 read IDCODE, VTL3032XL, VTL3064XL and VTL3128XL",
       "device VTL3032XL\ndevice VTL3064XL\ndevice VTL3128XL\n",
       "device VTL3032XL\ndevice VTL3064XL\ndevice VTL3128XL idcode=0x0485802B\n",
       {{chain::kPartVtl3032XL, chain::kOpReadId},
        {chain::kPartVtl3064XL, chain::kOpReadId},
        {chain::kPartVtl3128XL, chain::kOpReadId}},
       3,
       nullptr},
      {"ZEPA3 read IDCODE, VTL3256XL and VTL3384XL",
       "device VTL3256XL\ndevice VTL3384XL\n",
       "device VTL3256XL\ndevice VTL3384XL idcode=0x0494802B\n",
       {{chain::kPartVtl3256XL, chain::kOpReadId}, {chain::kPartVtl3384XL, chain::kOpReadId}},
       2,
       nullptr},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    // The right contents: what the engine leaves after programming the design (or an erased part).
    EngineRun engine_run(c.board);
    std::vector<Dev> program = c.devices;
    for (Dev& d : program) {
      if (d.seed != 0) d.op = d.op == chain::kOpReadUes ? chain::kOpProgramUes : chain::kOpProgram;
    }
    engine_run.Run(program);
    ASSERT_TRUE(engine_run.AllPassed());

    SvfRig svf(c.board);
    WriteSvf(svf, c.devices);
    ASSERT_TRUE(svf.marks.marks.empty()) << "no device refused";

    for (bool right : {true, false}) {
      Referee referee(svf, right || c.wrong_board.empty() ? c.board : c.wrong_board);
      for (std::size_t n = 1; n <= referee.device_count(); ++n) referee.Memory(n) = engine_run.Memory(n);
      if (!right && c.change) c.change(referee.Memory(static_cast<std::size_t>(c.target)));
      const PlayResult play = referee.Play(openocd_, svf.SvfPath());
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
