// The main window's commands on the simulated board: the cable check and its fall-back, the device-count
// check, the run's stops before the engine, the changed-chain-file question, the "Executing " line, the
// read-back of the result files and batch runs. The engine and fusebuild are the real ones; the board runs
// on a virtual clock.
#include "ui/core/run_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "chain/jcd_file.h"
#include "chain/text_file.h"
#include "engine/clock.h"
#include "engine/process.h"
#include "engine/runner.h"
#include "sim/board.h"
#include "sim/parts.h"
#include "sim/zepa1_family.h"
#include "test_support.h"
#include "ui/core/idcode.h"
#include "ui/core/validate_chain.h"
#include "util/lines.h"

namespace zepa::ui {
namespace {

namespace fs = std::filesystem;
using testing::crlf;
using testing::RecordingPrompts;

constexpr const char* kThreeZepa1 =
    "port 378\ncable relay\ndevice VTL3032C\ndevice VTL5064C\ndevice VTL5128C\n";
constexpr const char* kStamp = "12:00:00 01/02/03";

class RecordingView final : public RunView {
 public:
  void show_operation_failed(bool shown) override {
    calls.push_back(shown ? "failed shown" : "failed hidden");
  }
  void mark_result(int position, bool passed) override {
    calls.push_back("mark " + std::to_string(position) + (passed ? " pass" : " fail"));
  }
  void show_ues(int n, std::string_view ues) override {
    calls.push_back("ues " + std::to_string(n) + " " + std::string(ues));
  }
  void show_ues_page() override { calls.push_back("ues page"); }
  void show_device_id() override { calls.push_back("device id"); }
  void show_batch_result(int row, std::string_view result) override {
    calls.push_back("batch " + std::to_string(row) + " " + std::string(result));
  }

  bool saw(std::string_view call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }
  std::vector<std::string> calls;
};

// A port where nothing answers: no data register echoes the auto selection's test bytes. Without a driver
// the port is not even active.
class DeadPort final : public port::PortIo {
 public:
  bool Active() const override { return active; }
  std::uint8_t ReadPortByte(std::uint16_t) override { return 0xFF; }
  void WritePortByte(std::uint16_t, std::uint8_t) override {}
  bool active = true;
};

// The programmer, its engine and a simulated board, wired as the programs wire them.
struct Rig {
  Rig(const std::string& board_text, const std::string& work_dir) {
    sim::FamilyRegistry families;
    sim::AddZepa1Family(families, {.now_ns = [this] { return clock.NowNs(); }, .faults = nullptr});
    if (!board_text.empty())
      board = std::make_unique<sim::Board>(sim::ParseBoardText(board_text, "test board"), families);
    port::PortIo& port = board ? static_cast<port::PortIo&>(*board) : dead_port;
    engine = std::make_unique<engine::IspEngine>(port, clock, adapter.host(messages), launcher,
                                                 engine::EnginePaths{ZEPA_BIN_DIR, work_dir});
    engine->jtag().CalibrateDelay();
    programmer = std::make_unique<Programmer>(table, *engine, messages, prompts, view, work_dir);
    programmer->timestamp = [] { return std::string(kStamp); };
    programmer->StartupPending = false;
  }

  bool has_line(std::string_view line) const {
    const auto& lines = messages.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  bool has_box(std::string_view box) const {
    return std::find(prompts.boxes.begin(), prompts.boxes.end(), box) != prompts.boxes.end();
  }
  // The lines a cable check writes about the cables it tried.
  std::vector<std::string> cable_lines() const {
    std::vector<std::string> out;
    for (const std::string& line : messages.lines()) {
      if (line.starts_with("***") || line.ends_with("found!")) out.push_back(line);
    }
    return out;
  }
  std::size_t count_lines_starting(std::string_view prefix) const {
    return static_cast<std::size_t>(
        std::count_if(messages.lines().begin(), messages.lines().end(),
                      [&](const std::string& l) { return l.starts_with(prefix); }));
  }

  engine::VirtualClock clock;
  std::unique_ptr<sim::Board> board;
  DeadPort dead_port;
  engine::MessageLines messages;
  RecordingPrompts prompts;
  RecordingView view;
  EngineHostAdapter adapter{prompts, view};
  engine::SystemProcessLauncher launcher;
  chain::ChainTable table;
  std::unique_ptr<engine::IspEngine> engine;
  std::unique_ptr<Programmer> programmer;
};

struct Dev {
  int part;
  int cmnd;
  std::string jed = "";
  std::string ues = "";
};

class RunPathTest : public testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    cwd_ = fs::current_path();
    fs::create_directories(dir_ / "work");
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(cwd_);
    ScratchDir::TearDown();
  }

  std::string work(std::string_view name) const { return (dir_ / "work" / name).string(); }

  Rig& MakeRig(const std::string& board_text = kThreeZepa1) {
    rig_ = std::make_unique<Rig>(board_text, (dir_ / "work").string());
    return *rig_;
  }

  // Fills the rig's table with a chain of 4-bit parts.
  void SetChain(const std::vector<Dev>& devices) {
    chain::ChainTable& table = rig_->table;
    chain::reset_chain_table(table, chain::ChainTable::MaxDevices);
    table.DeviceCount = static_cast<int>(devices.size());
    for (int n = 1; n <= table.DeviceCount; ++n) {
      const Dev& d = devices[static_cast<std::size_t>(n - 1)];
      table[n].loc = n;
      table[n].part = d.part;
      table[n].IR_len = chain::ir_code_from_length(4);
      table[n].cmnd = d.cmnd;
      table[n].jed = d.jed;
      table[n].ues = d.ues;
    }
  }

  // Writes the chain as a file and loads it the way the file menu does.
  std::string SaveAndLoad(const std::string& name, const std::vector<Dev>& devices) {
    SetChain(devices);
    chain::write_jcd(rig_->table, path(name));
    EXPECT_TRUE(rig_->programmer->load_jcd_file(path(name)));
    return path(name);
  }

  std::unique_ptr<Rig> rig_;
  fs::path cwd_;
};

const std::vector<Dev> kBypassChain = {{chain::kPartVtl3032C, chain::kOpNoOperation},
                                       {chain::kPartVtl5064C, chain::kOpNoOperation},
                                       {chain::kPartVtl5128C, chain::kOpNoOperation}};

// ---------------------------------------------------------------------------------------------------------
// Cable check

TEST_F(RunPathTest, CableCheckTriesTheThreeCablesUntilOneAnswers) {
  const std::string relay_missing = "*** Warning: can not find Relaycable/Board or loose connect!";
  const std::string corvane_missing =
      "*** Warning:Can not find Corvane Parallel Cable/Board or loose connect!";
  struct Case {
    const char* board_cable;
    engine::CableKind chosen;
    int count;
    std::vector<std::string> cable_lines;
  };
  const Case cases[] = {
      {"relay", engine::CableKind::RelayCable, 3, {"ISP RelayCable/Board found!"}},
      {"corvane",
       engine::CableKind::CorvaneParallelCable,
       3,
       {relay_missing, "Corvane Parallel Cable/Board found!"}},
      {"byteblaster",
       engine::CableKind::AlteraByteBlaster,
       3,
       {relay_missing, corvane_missing, "Altera ByteBlaster Cable/Board found!"}},
      {"none",
       engine::CableKind::CorvaneParallelCable,
       0,
       {relay_missing, corvane_missing,
        "*** Warning:Can not find Altera ByteBlaster Cable/Board or loose connect!",
        "*** Warning: Set Corvane Parallel cable as default!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board_cable);
    Rig& rig = MakeRig(std::string("cable ") + c.board_cable +
                       "\ndevice VTL3032C\ndevice VTL5064C\ndevice VTL5128C\n");
    rig.programmer->StartupPending = true;
    rig.programmer->check_connection();

    EXPECT_EQ(rig.messages.lines().front(), "Checking ISP download cable/Board connection...");
    EXPECT_EQ(rig.cable_lines(), c.cable_lines);
    EXPECT_EQ(rig.engine->cable().Kind(), c.chosen);
    EXPECT_EQ(rig.programmer->settings.port.cable, c.chosen);
    EXPECT_EQ(rig.engine->cable().CableFound, c.count > 0);
    EXPECT_EQ(rig.table.DeviceCount, c.count);
    EXPECT_EQ(rig.programmer->settings.port.device_count_box, c.count);
  }
}

TEST_F(RunPathTest, ChosenCableIsTheOnlyOneTried) {
  Rig& rig = MakeRig("cable corvane\ndevice VTL3032C\n");
  rig.programmer->settings.cable_fallback = false;
  rig.programmer->settings.port.cable = engine::CableKind::RelayCable;
  rig.programmer->StartupPending = true;
  rig.programmer->check_connection();
  EXPECT_EQ(rig.cable_lines(),
            std::vector<std::string>{"*** Warning: can not find Relaycable/Board or loose connect!"});
  EXPECT_EQ(rig.engine->cable().Kind(), engine::CableKind::RelayCable);
  EXPECT_TRUE(rig.engine->cable().CableMissing);
}

TEST_F(RunPathTest, ChangedDeviceCountClearsTheChainAndFailsOutsideStartUp) {
  for (const bool startup : {true, false}) {
    SCOPED_TRACE(startup ? "start-up" : "later");
    Rig& rig = MakeRig();
    SetChain({{chain::kPartVtl3032C, chain::kOpReadId},
              {chain::kPartVtl5064C, chain::kOpReadId},
              {chain::kPartVtl5128C, chain::kOpReadId},
              {chain::kPartVtl5128C, chain::kOpReadId}});
    rig.programmer->StartupPending = startup;
    rig.programmer->check_connection();

    EXPECT_EQ(rig.table.DeviceCount, 3);
    for (int n = 1; n <= 4; ++n) {
      EXPECT_EQ(rig.table[n].cmnd, chain::kOpNoOperation) << n;
      EXPECT_EQ(rig.table[n].part, chain::kPartUnknown) << n;
    }
    EXPECT_EQ(rig.table[5].cmnd, chain::kOpNoOperation);
    const bool warned = rig.has_box(
        "warning: The number of device is inconsistent with previous detect,\rall devices info will be "
        "cleared!");
    EXPECT_EQ(warned, !startup);
    EXPECT_EQ(rig.programmer->LoadFailed, !startup);
  }
}

TEST_F(RunPathTest, NoPortOrNoDriverCountsAsNoCable) {
  for (const bool driver : {true, false}) {
    SCOPED_TRACE(driver ? "no port answers" : "no port driver");
    Rig& rig = MakeRig("");  // nothing behind the port
    rig.dead_port.active = driver;
    SetChain(kBypassChain);
    EXPECT_EQ(rig.programmer->run_chain(), RunOutcome::kNoCable);
    // Each of the three cables is tried, and fails the same way.
    EXPECT_EQ(rig.count_lines_starting("Can not find available Parallel port for use."), driver ? 3u : 0u);
    EXPECT_EQ(std::count(rig.prompts.boxes.begin(), rig.prompts.boxes.end(),
                         "error: Driver \"KPortIo1\" not found"),
              driver ? 0 : 3);
    EXPECT_EQ(rig.prompts.beeps, driver ? 0 : 3);
    EXPECT_TRUE(rig.has_line("*** Warning: Set Corvane Parallel cable as default!"));
    EXPECT_EQ(rig.prompts.boxes.back(), "warning: No RelayCable found!");
    EXPECT_EQ(rig.count_lines_starting("Executing "), 0u);
  }
}

// ---------------------------------------------------------------------------------------------------------
// The run

TEST_F(RunPathTest, RunStopsBeforeTheEngineWhenTheChainIsRefusedOrNoCableAnswers) {
  struct Case {
    const char* name;
    const char* board;
    std::vector<Dev> chain;
    RunOutcome outcome;
    const char* box;
  };
  const Case cases[] = {
      {"empty chain", kThreeZepa1, {}, RunOutcome::kCheckFailed, "error: No device found!"},
      {"missing design file",
       kThreeZepa1,
       {{chain::kPartVtl3032C, chain::kOpProgram, "nowhere.jed"}},
       RunOutcome::kCheckFailed,
       "error: No design file specified or not exist for device #1!"},
      {"no cable",
       "cable none\ndevice VTL3032C\n",
       {{chain::kPartVtl3032C, chain::kOpNoOperation}},
       RunOutcome::kNoCable,
       "warning: No RelayCable found!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig& rig = MakeRig(c.board);
    SetChain(c.chain);
    rig.programmer->settings.IspOptions = engine::kOptBif | engine::kOptVerifyLog;

    EXPECT_EQ(rig.programmer->run_chain(), c.outcome);
    EXPECT_EQ(rig.prompts.boxes.back(), c.box);
    EXPECT_EQ(rig.count_lines_starting("Executing "), 0u);
    EXPECT_FALSE(rig.has_line("---------------Begin operation---------------"));
    EXPECT_FALSE(fs::exists(work(kRunLogName)));
    // The pin-vector option is held off only while the cable is checked.
    EXPECT_EQ(rig.programmer->settings.IspOptions, engine::kOptBif | engine::kOptVerifyLog);
    EXPECT_TRUE(rig.view.saw("failed hidden"));
  }
}

TEST_F(RunPathTest, OffLineAndSvfRunsGoAheadWithoutACable) {
  struct Case {
    const char* name;
    bool offline;
    int options;
    bool cable_checked;
    const char* device_line;  // this rig has no SVF generator
  };
  const Case cases[] = {
      {"off-line", true, 0, false, "Bypass... (Device #1)"},
      {"svf", false, engine::kOptSvf, true, "SVF output is not available in this build. (Device #1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig& rig = MakeRig("cable none\ndevice VTL3032C\n");
    SetChain({{chain::kPartVtl3032C, chain::kOpNoOperation}});
    rig.programmer->settings.OffLine = c.offline;
    rig.programmer->settings.IspOptions = c.options;

    EXPECT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
    EXPECT_EQ(rig.has_line("Checking ISP download cable/Board connection..."), c.cable_checked);
    EXPECT_EQ(rig.count_lines_starting("Executing "), 1u);
    EXPECT_TRUE(rig.has_line("----------------End operation----------------"));
    // No cable answering says nothing about the chain: it is kept and run as given.
    EXPECT_EQ(rig.table.DeviceCount, 1);
    EXPECT_TRUE(rig.has_line(c.device_line));
    EXPECT_FALSE(rig.programmer->LoadFailed);
    EXPECT_TRUE(rig.prompts.boxes.empty());
  }
}

TEST_F(RunPathTest, ExecutingLineGoesToTheMessagesAndIsAppendedToTheRunLog) {
  Rig& rig = MakeRig();
  const std::string jcd = SaveAndLoad("chain.jcd", kBypassChain);
  ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
  ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);

  const std::string executing = "Executing " + jcd + "  " + kStamp;
  EXPECT_EQ(rig.count_lines_starting(executing), 2u);
  EXPECT_TRUE(rig.has_line(executing));
  EXPECT_EQ(read("work/zepaisp.log"), crlf({executing + " ...", executing + " ..."}));
  // The line comes after the cable check and before the engine's first line.
  const auto& lines = rig.messages.lines();
  const auto at = std::find(lines.begin(), lines.end(), executing);
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(*(at + 1), "---------------Begin operation---------------");
  EXPECT_FALSE(rig.programmer->RunFailed());
}

// The question comes only when the table differs from its file and the front end offers saving (the
// desktop programmer does, the command line does not); a file that may not be written is refused with a
// message and the run goes from the temporary copy.
TEST_F(RunPathTest, ChangedChainFileIsSavedOnlyWhenTheUserSaysSo) {
  enum class Change {
    kNone,
    kOldLonger,
    kOldShorter,
    kOldInOtherCase,
    kTable,
    kTableOldReadOnly,
    kOldMissing
  };
  struct Case {
    const char* name;
    Change change;
    bool offer;  // settings.offer_chain_save
    bool answer;
    bool asked;
    bool old_current;       // the run used the loaded file (else the temporary one)
    bool old_is_the_table;  // afterwards the loaded file holds the table
  };
  const Case cases[] = {
      {"unchanged", Change::kNone, true, true, false, true, true},
      {"old file longer", Change::kOldLonger, true, true, false, true, false},
      {"old file shorter", Change::kOldShorter, true, true, false, true, false},
      {"old file in other case", Change::kOldInOtherCase, true, true, false, true, false},
      {"table changed, saved", Change::kTable, true, true, true, true, true},
      {"table changed, not saved", Change::kTable, true, false, true, false, false},
      {"table changed, saving not offered", Change::kTable, false, true, false, false, false},
      {"unchanged, saving not offered", Change::kNone, false, true, false, true, true},
      {"table changed, old file read-only", Change::kTableOldReadOnly, true, true, true, false, false},
      {"old file gone, saved", Change::kOldMissing, true, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig& rig = MakeRig();
    rig.programmer->settings.offer_chain_save = c.offer;
    const std::string jcd = SaveAndLoad("chain.jcd", kBypassChain);
    const std::string original = read("chain.jcd");
    switch (c.change) {
      case Change::kNone:
        break;
      case Change::kOldLonger:
        write("chain.jcd", original + "# one more line\r\n");
        break;
      case Change::kOldShorter:
        write("chain.jcd", original.substr(0, original.find("#User")));
        break;
      case Change::kOldInOtherCase: {
        std::string lower = original;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return std::tolower(ch); });
        write("chain.jcd", lower);
        break;
      }
      case Change::kTableOldReadOnly:
        fs::permissions(jcd, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        [[fallthrough]];
      case Change::kTable:
        rig.table[2].cmnd = chain::kOpReadId;
        break;
      case Change::kOldMissing:
        fs::remove(jcd);
        break;
    }
    const std::string before = fs::exists(jcd) ? read("chain.jcd") : "";
    rig.prompts.answer = c.answer;

    ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
    EXPECT_EQ(rig.has_box("confirm: JCD file has changed, do you wish to save?"), c.asked);
    EXPECT_EQ(rig.has_box("error: Cannot create " + jcd + ": Permission denied"),
              c.change == Change::kTableOldReadOnly);
    const std::string used = c.old_current ? jcd : work(kTempJcdName);
    EXPECT_EQ(rig.table.JcdPath, used);
    EXPECT_EQ(rig.count_lines_starting("Executing " + used + "  "), 1u);
    EXPECT_EQ(read("work/tempjcd.tmp"), chain::format_jcd(rig.table));
    if (c.old_is_the_table) {
      EXPECT_EQ(read("chain.jcd"), chain::format_jcd(rig.table));
    } else {
      EXPECT_EQ(read("chain.jcd"), before);
    }
    if (fs::exists(jcd)) fs::permissions(jcd, fs::perms::owner_all);
  }
}

// A hand-written chain file differs from the programmer's writing, and a run whose saving was declined goes
// from the temporary copy in the working folder; its .bif file is still named after the user's chain file
// and written beside it, in this run and the next, and the message window says where it went.
TEST_F(RunPathTest, OutputFilesGoBesideTheUsersChainFile) {
  struct Case {
    const char* name;
    bool hand_written;
    bool save;  // the answer to "JCD file has changed, do you wish to save?"
  };
  const Case cases[] = {
      {"hand-written, not saved", true, false},
      {"hand-written, saved", true, true},
      {"as the programmer writes it", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig& rig = MakeRig();
    fs::create_directories(dir_ / "bench");
    const std::string jcd = SaveAndLoad("bench/hand.jcd", kBypassChain);
    if (c.hand_written) {
      write("bench/hand.jcd",
            crlf({"#Corvane PLD device JTAG chain description", "TOTAL_DEVICE 3", "DEVICE 1 VTL3032C 4 NO",
                  "DEVICE 2 VTL5064C 4 NO", "DEVICE 3 VTL5128C 4 NO", "#User Electronic Signature"}));
      ASSERT_TRUE(rig.programmer->load_jcd_file(jcd));
    }
    rig.programmer->settings.IspOptions = engine::kOptBif;
    rig.prompts.answer = c.save;
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      rig.messages.clear();
      fs::remove(path("bench/hand.bif"));
      ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
      EXPECT_TRUE(fs::exists(path("bench/hand.bif")));
      EXPECT_FALSE(fs::exists(work("tempjcd.bif"))) << "beside the temporary copy";
      EXPECT_TRUE(rig.has_line("BIF file: " + path("bench/hand.bif")));
    }
  }
}

TEST_F(RunPathTest, LoadingAChainFileReadsItsDesignFilesFromItsFolder) {
  Rig& rig = MakeRig();
  fs::create_directories(dir_ / "boards");
  write("boards/design.bin", "3");
  SetChain({{chain::kPartVtl3032C, chain::kOpVerify, "design.bin"}});
  chain::write_jcd(rig.table, path("boards/chain.jcd"));
  chain::reset_chain_table(rig.table, chain::ChainTable::MaxDevices);

  ASSERT_TRUE(rig.programmer->load_jcd_file("boards/chain.jcd"));
  EXPECT_EQ(rig.table.JcdPath, path("boards/chain.jcd"));
  EXPECT_EQ(fs::current_path(), dir_ / "boards");
  EXPECT_EQ(rig.programmer->LastDir, path("boards"));
  EXPECT_TRUE(validate_chain(rig.table, rig.prompts)) << rig.prompts.boxes.front();
}

TEST_F(RunPathTest, TheBatchEditorLoadsAStepsChainWithTheBatchLoadersChecks) {
  Rig& rig = MakeRig();
  fs::create_directories(dir_ / "boards");
  SetChain({{chain::kPartVtl3032C, chain::kOpNoOperation}});
  chain::write_jcd(rig.table, path("boards/step.jcd"));
  // The file menu's marker without the batch loader's longer one.
  write("boards/other.jcd", "#device JTAG chain description\r\nTOTAL_DEVICE 1\r\n");
  struct Case {
    const char* name;
    bool loaded;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"boards/step.jcd", true, {}},
      {"boards/missing.jcd", false, {"error: " + path("boards/missing.jcd") + "\rfile not found!"}},
      {"boards/other.jcd", false, {"error: Not a valid Corvane' JCD file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::current_path(dir_);
    chain::reset_chain_table(rig.table, chain::ChainTable::MaxDevices);
    rig.table.DeviceCount = 0;
    rig.table.JcdPath = "before.jcd";
    rig.table[1].result = chain::kResultPass;
    rig.prompts.boxes.clear();

    EXPECT_EQ(rig.programmer->load_batch_chain(c.name), c.loaded);
    EXPECT_EQ(rig.prompts.boxes, c.boxes);
    EXPECT_EQ(rig.table.JcdPath, c.loaded ? path(c.name) : "before.jcd");
    EXPECT_EQ(rig.table.DeviceCount, c.loaded ? 1 : 0);
    EXPECT_EQ(rig.table[1].result, chain::kResultNone);
    // An existing chain file's folder becomes the current one, as the file menu's load makes it.
    EXPECT_EQ(fs::current_path(), fs::exists(path(c.name)) ? dir_ / "boards" : dir_);
  }
}

// ---------------------------------------------------------------------------------------------------------
// Reading the result files back

TEST_F(RunPathTest, ReadIdFillsTheIdcodeFieldsAndSecurityState) {
  Rig& rig = MakeRig("device VTL3032C\ndevice VTL5064C\ndevice VTL5128C secured\n");
  SetChain({{chain::kPartVtl3032C, chain::kOpReadId},
            {chain::kPartVtl5064C, chain::kOpNoOperation},
            {chain::kPartVtl5128C, chain::kOpReadId}});
  ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);

  const std::pair<int, const char*> read_parts[] = {{1, "VTL3032C"}, {3, "VTL5128C"}};
  for (const auto& [n, part] : read_parts) {
    SCOPED_TRACE(part);
    const std::string expected = idcode_text(sim::DefaultIdcode(*sim::FindPart(part)));
    EXPECT_EQ(rig.table[n].idcode, expected);
    const IdcodeFields fields = decode_idcode(expected);
    EXPECT_EQ(rig.table[n].id_arch, "ZEPA1");
    EXPECT_EQ(rig.table[n].id_mc, fields.macrocells);
    EXPECT_EQ(rig.table[n].id_ver, fields.version);
    EXPECT_EQ(rig.table[n].result, chain::kResultPass);
  }
  EXPECT_EQ(rig.table[1].secure, '1');
  EXPECT_EQ(rig.table[3].secure, '0');
  EXPECT_TRUE(rig.table[2].idcode.empty());
  EXPECT_EQ(std::count(rig.view.calls.begin(), rig.view.calls.end(), "device id"), 1);
}

TEST_F(RunPathTest, ResultFilesOfAnEarlierRunAreNeverReadBack) {
  Rig& rig = MakeRig();
  SetChain({{chain::kPartVtl3032C, chain::kOpReadId},
            {chain::kPartVtl5064C, chain::kOpReadUes},
            {chain::kPartVtl5128C, chain::kOpNoOperation}});
  rig.table[1].idcode = "stale";
  rig.table[1].secure = '0';
  rig.table[2].ues = "stale";
  write("work/dev__1.id", std::string(32, '1') + "\n");
  write("work/dev__1.sec", "0\n");
  write("work/dev__2.ues", "stale signature\n");
  // With SVF output asked for and no generator, every device stops before it reads anything.
  rig.programmer->settings.IspOptions = engine::kOptSvf;

  ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
  EXPECT_TRUE(rig.programmer->RunFailed());
  EXPECT_TRUE(rig.table[1].idcode.empty());
  EXPECT_TRUE(rig.table[1].id_arch.empty());
  EXPECT_EQ(rig.table[1].secure, '2');
  EXPECT_TRUE(rig.table[2].ues.empty());
  for (const char* name : {"dev__1.id", "dev__1.sec", "dev__2.ues"})
    EXPECT_FALSE(fs::exists(work(name))) << name;
  EXPECT_FALSE(rig.view.saw("device id"));
  EXPECT_FALSE(rig.view.saw("ues page"));
  EXPECT_TRUE(rig.view.saw("failed shown"));
}

TEST_F(RunPathTest, SignatureProgrammedIsReadBackIntoTheTable) {
  Rig& rig = MakeRig();
  // fusebuild leaves the signature-only image in its current folder; the engine looks in the working one.
  fs::current_path(dir_ / "work");
  const std::string text = "Zepa signature 0123456789";
  SetChain({{chain::kPartVtl3032C, chain::kOpReadUes},
            {chain::kPartVtl5064C, chain::kOpNoOperation},
            {chain::kPartVtl5128C, chain::kOpProgramUes, "", text}});
  ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
  ASSERT_EQ(rig.table[3].result, chain::kResultPass) << ::testing::PrintToString(rig.messages.lines());
  // An erased part reads all ones: the signature ends at the first FFh byte.
  EXPECT_EQ(rig.table[1].result, chain::kResultPass);
  EXPECT_TRUE(rig.table[1].ues.empty());
  EXPECT_TRUE(rig.view.saw("ues 1 "));

  rig.table[3].cmnd = chain::kOpReadUes;
  rig.table[3].ues.clear();
  rig.view.calls.clear();
  ASSERT_EQ(rig.programmer->run_chain(), RunOutcome::kRan);
  EXPECT_EQ(rig.table[3].ues, text);
  EXPECT_TRUE(rig.view.saw("ues 3 " + text));
  EXPECT_TRUE(rig.view.saw("ues page"));
}

// ---------------------------------------------------------------------------------------------------------
// Batch runs

TEST_F(RunPathTest, BatchRunsStepsUntilOneFailsAndLogsEachResult) {
  struct Case {
    const char* name;
    const char* board;
    std::vector<Dev> failing_chain;
    bool failing_step_executes;
  };
  const Case cases[] = {
      {"refused by the check",
       "device VTL3032C\n",
       {{chain::kPartVtl3032C, chain::kOpProgram, "nowhere.jed"}},
       false},
      {"a device fails",
       "device VTL3032C idcode=0x12345679\n",
       {{chain::kPartVtl3032C, chain::kOpReadId}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig& rig = MakeRig(c.board);
    const std::vector<Dev> passing = {{chain::kPartVtl3032C, chain::kOpNoOperation}};
    SetChain(passing);
    chain::write_jcd(rig.table, path("a.jcd"));
    chain::write_jcd(rig.table, path("b.jcd"));
    chain::write_jcd(rig.table, path("d.jcd"));
    SetChain(c.failing_chain);
    chain::write_jcd(rig.table, path("c.jcd"));
    write("steps.jbf",
          crlf({path("a.jcd"), path("missing.jcd"), path("b.jcd"), path("c.jcd"), path("d.jcd")}));
    fs::remove(work(kRunLogName));

    BatchTable batch;
    ASSERT_TRUE(rig.programmer->run_batch_file(batch, path("steps.jbf")));

    EXPECT_EQ(batch.row(1).result, "pass");
    EXPECT_EQ(batch.row(2).result, "skip");
    EXPECT_EQ(batch.row(3).result, "pass");
    EXPECT_EQ(batch.row(4).result, "fail");
    EXPECT_EQ(batch.row(5).result, "");
    std::vector<std::string> batch_calls;
    for (const std::string& call : rig.view.calls) {
      if (call.starts_with("batch")) batch_calls.push_back(call);
    }
    EXPECT_EQ(batch_calls,
              (std::vector<std::string>{"batch 1 running", "batch 1 pass", "batch 2 skip", "batch 3 running",
                                        "batch 3 pass", "batch 4 running", "batch 4 fail"}));
    std::vector<std::string> log = util::SplitLines(read("work/zepaisp.log"));
    std::vector<std::string> expected_log = {"Executing " + path("a.jcd") + "  " + kStamp + " ...", "pass",
                                             "Executing " + path("b.jcd") + "  " + kStamp + " ...", "pass"};
    if (c.failing_step_executes)
      expected_log.push_back("Executing " + path("c.jcd") + "  " + kStamp + " ...");
    expected_log.push_back("fail");
    EXPECT_EQ(log, expected_log);
    // The flags are cleared for whatever runs next.
    EXPECT_FALSE(rig.programmer->RunFailed());
    EXPECT_FALSE(rig.programmer->LoadFailed);
  }
}

TEST_F(RunPathTest, AStoppedStepFailsAndEndsTheBatch) {
  Rig& rig = MakeRig("device VTL3032C\n");
  SetChain({{chain::kPartVtl3032C, chain::kOpNoOperation}});
  chain::write_jcd(rig.table, path("a.jcd"));
  chain::write_jcd(rig.table, path("b.jcd"));
  write("steps.jbf", crlf({path("a.jcd"), path("b.jcd")}));
  fs::remove(work(kRunLogName));

  // The user pressed Stop: the step's device is never started, so the step did not do its work.
  rig.engine->RequestStop();
  BatchTable batch;
  ASSERT_TRUE(rig.programmer->run_batch_file(batch, path("steps.jbf")));
  EXPECT_EQ(batch.row(1).result, "fail");
  EXPECT_EQ(batch.row(2).result, "");
  EXPECT_TRUE(rig.has_line("Stopped by the user: device #1 not started."));
  EXPECT_EQ(util::SplitLines(read("work/zepaisp.log")),
            (std::vector<std::string>{"Executing " + path("a.jcd") + "  " + kStamp + " ...", "fail"}));

  // Cleared, the same batch passes.
  rig.engine->ClearStop();
  ASSERT_TRUE(rig.programmer->run_batch_file(batch, path("steps.jbf")));
  EXPECT_EQ(batch.row(1).result, "pass");
  EXPECT_EQ(batch.row(2).result, "pass");
}

TEST_F(RunPathTest, MissingBatchFileIsReported) {
  Rig& rig = MakeRig();
  BatchTable batch;
  EXPECT_FALSE(rig.programmer->run_batch_file(batch, path("none.jbf")));
  EXPECT_EQ(rig.prompts.boxes, std::vector<std::string>{"error: " + path("none.jbf") + "\rfile not found!"});

  // One that is there but cannot be read is told with the system's reason.
  std::filesystem::create_directory(path("folder.jbf"));
  rig.prompts.boxes.clear();
  EXPECT_FALSE(rig.programmer->run_batch_file(batch, path("folder.jbf")));
  EXPECT_EQ(rig.prompts.boxes, std::vector<std::string>{"error: " + path("folder.jbf") + "\rIs a directory"});
}

// ---------------------------------------------------------------------------------------------------------
// The engine's boxes and marks

TEST(EngineHostAdapterTest, EngineBoxesAndMarksReachTheProgrammersPromptsAndView) {
  RecordingPrompts prompts;
  RecordingView view;
  EngineHostAdapter adapter(prompts, view);
  engine::MessageLines messages;
  const engine::EngineHost host = adapter.host(messages);
  EXPECT_EQ(&host.messages, &messages);

  host.prompts.show(chain::BoxIcon::kError, "Error", "File: x not found!");
  host.prompts.show(chain::BoxIcon::kWarning, "Warning!", "Driver \"KPortIo1\" not found");
  host.prompts.show(chain::BoxIcon::kInformation, "", "note");
  prompts.answer = false;
  EXPECT_FALSE(host.prompts.ask("", "Go on?", chain::Prompts::Answers::kYesNo));
  prompts.answer = true;
  EXPECT_TRUE(host.prompts.ask("Warning", "Go on?", chain::Prompts::Answers::kYesNo));
  host.prompts.beep();
  host.marks.MarkResult(2, true);
  host.marks.MarkResult(0, false);

  EXPECT_EQ(prompts.boxes,
            (std::vector<std::string>{"error: File: x not found!", "warning: Driver \"KPortIo1\" not found",
                                      "info: note", "confirm: Go on?", "confirm: Go on?"}));
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"mark 2 pass", "failed shown", "mark 0 fail"}));
}

}  // namespace
}  // namespace zepa::ui
