// The runner: the chain-scan shortcut, the begin and end lines, conversion before each device, failure
// isolation between devices, the family dispatch, SVF hand-over and the .bif recording.
#include "engine/runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "engine/workdir.h"
#include "util/files.h"

namespace zepa::engine {
namespace {

using testing::IspRig;
using testing::MakeZepa1Image;
using Lines = std::vector<std::string>;
using Marks = std::vector<std::pair<int, bool>>;

// A JEDEC file whose only set fuse is fuse 0, with the checksum line `checksum`.
std::string Design(const char* qf, const char* checksum) {
  return std::string(qf) + "*\r\nL000000 1*\r\nL082801 1*\r\nL020541 1*\r\nL041305 1*\r\n" + checksum +
         "*\r\n";
}

// fusebuild as the runner sees it: writes the prepared image of the device named by the position argument.
void ConvertFrom(IspRig& rig, std::vector<std::pair<std::string, std::string>> images) {
  rig.launcher.action = [&rig, images](const testing::ScriptedLauncher::Call& call) {
    const auto& [name, bytes] = images.at(static_cast<std::size_t>(std::stoi(call.args.at(1)) - 1));
    rig.File(name, bytes);
    return ProcessResult{.started = true, .exit_status = 0, .error = ""};
  };
}

TEST(RunChain, AWrongChecksumOnDevice2FailsOnlyDevice2) {
  IspRig rig("device VTL3032C\ndevice VTL5128C\ndevice VTL3064A\n");
  // Fuses 0, 82801, 20541, 41305: bytes 1, 0x02, 0x20, 0x02 -> 0x0025.
  rig.Device(1, chain::kPartVtl3032C, chain::kOpProgramVerify,
             rig.File("one.jed", Design("QF20542", "C0025")));
  rig.Device(2, chain::kPartVtl5128C, chain::kOpProgramVerify,
             rig.File("two.jed", Design("QF82930", "C1234")));
  rig.Device(3, chain::kPartVtl3064A, chain::kOpProgramVerify,
             rig.File("three.jed", Design("QF41306", "C0025")));
  ConvertFrom(rig, {{"one.bin", MakeZepa1Image(chain::kPartVtl3032C, 1)},
                    {"two.bin", MakeZepa1Image(chain::kPartVtl5128C, 2)},
                    {"three.bin", MakeZepa1Image(chain::kPartVtl3064A, 3)}});
  rig.Run();

  EXPECT_EQ(rig.launcher.calls.size(), 3u);
  EXPECT_EQ(rig.marks.marks, (Marks{{1, true}, {2, false}, {3, true}}));
  EXPECT_EQ(rig.Section("(Device #2) JEDEC checksum error! <Read:1234, Actual:0025>", ""),
            (Lines{"(Device #2) JEDEC checksum error! <Read:1234, Actual:0025>", "Operation aborted!", ""}));
  EXPECT_TRUE(rig.HasLine("(Device #1) JEDEC checksum=0025"));
  EXPECT_EQ(rig.lines().front(), "---------------Begin operation---------------");
  EXPECT_EQ(rig.lines()[rig.lines().size() - 2], "----------------End operation----------------");
  EXPECT_TRUE(rig.Part(2).memory().rows.empty()) << "device 2 was never touched";
  EXPECT_FALSE(rig.Part(3).memory().rows.empty());
  EXPECT_TRUE(rig.engine.RunFailed);
  EXPECT_EQ(rig.table[2].result, chain::kResultFail);
}

TEST(RunChain, AChainScanCountsTheDevicesWithoutReadingAChainFile) {
  IspRig rig("device VTL3032C\ndevice VTL3320\ndevice Others irlen=7\n");
  rig.Device(1, chain::kPartVtl3320, chain::kOpProgram, "never.jed");  // the last run's record: a ZEPA2 part
  rig.engine.RunChain({.jcd_file = "x/scan___.tmp", .port_index = 1, .options = 0}, rig.table);
  EXPECT_EQ(rig.table.DeviceCount, 3);
  EXPECT_EQ(rig.lines(), (Lines{"ISP RelayCable/Board found!",
                                "There are 3 JTAG devices daisy chainning in the system.", ""}));
  EXPECT_EQ(rig.Read("scan___.tmp"), "TOTAL_DEVICE 1\nDEVICE 1           VTL5128C           4         SC\n");
  EXPECT_TRUE(rig.engine.cable().CableFound);

  // A normal run removes the scan's file.
  rig.table.DeviceCount = 1;
  rig.Device(1, chain::kPartVtl3032C, chain::kOpNoOperation);
  rig.Run();
  EXPECT_FALSE(util::FileExists(rig.Path("scan___.tmp")));
}

TEST(RunChain, WhatEndsARunBeforeItsDevices) {
  {
    IspRig rig("device VTL3032C\n");
    rig.Device(1, chain::kPartVtl3032C, chain::kOpBulkErase);
    rig.engine.RunChain({.jcd_file = rig.Path("missing.jcd"), .port_index = 1, .options = 0}, rig.table);
    EXPECT_TRUE(rig.lines().empty());
    ASSERT_EQ(rig.prompts.boxes.size(), 1u);
    EXPECT_EQ(std::get<2>(rig.prompts.boxes[0]), "File: " + rig.Path("missing.jcd") + " not found!");
  }
  {
    IspRig rig("device VTL3032C\ndevice VTL3032C\n");
    rig.Device(1, chain::kPartVtl3032C, chain::kOpBulkErase);
    rig.Device(2, chain::kPartVtl3032C, chain::kOpProgram, "design.hex");
    EXPECT_THROW(rig.Run(), EPyk);
    EXPECT_EQ(rig.lines(), (Lines{"Illegal file entry: design.hex", "Operation aborted!", ""}));
    EXPECT_EQ(rig.marks.marks, (Marks{{2, false}}));
  }
  {
    IspRig rig("port 3BC\ndevice VTL3032C\n");  // no port answers at 278h / 378h ... but 3BCh does
    rig.Device(1, chain::kPartVtl3032C, chain::kOpNoOperation);
    const std::string jcd = rig.File("c.jcd", "x");
    rig.engine.RunChain({.jcd_file = jcd, .port_index = kAutoPortSelection, .options = 0}, rig.table);
    EXPECT_EQ(rig.engine.cable().DataPort(), 0x3BC);
    EXPECT_EQ(rig.table[1].result, chain::kResultPass);
  }
}

TEST(RunChain, FailuresInsideADeviceNeverStopTheOthers) {
  IspRig rig("device VTL3032C\ndevice VTL3032XL\ndevice VTL3032C\n");
  rig.Device(1, chain::kPartVtl3032C, chain::kOpProgram, rig.Path("missing.bin"));
  rig.Device(2, chain::kPartVtl3032C, chain::kOpBlankCheck);  // the socket holds another part
  rig.table[2].IR_len = 3;                                    // whose instruction register has 5 bits
  rig.Device(3, chain::kPartVtl3032C, chain::kOpNoOperation);
  rig.Run();
  EXPECT_EQ(rig.marks.marks, (Marks{{1, false}, {2, false}, {3, true}}));
  EXPECT_EQ(rig.Section(rig.Path("missing.bin") + ": cannot open the file", ""),
            (Lines{rig.Path("missing.bin") + ": cannot open the file", "Operation aborted!", ""}));
  EXPECT_TRUE(rig.HasLine("(Device #2) does not match with (a possible VTL3032XL) target device."));
  EXPECT_EQ(rig.lines()[rig.lines().size() - 2], "----------------End operation----------------");
}

TEST(RunChain, AnImageNeededByNoOneIsPassedOnUnread) {
  // Device 2's design is the previous device's image name; a bulk erase ignores it.
  IspRig rig("device VTL3064A\ndevice VTL3064A\n");
  rig.Device(1, chain::kPartVtl3064A, chain::kOpProgram,
             rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3064A, 4)));
  rig.Device(2, chain::kPartVtl3064A, chain::kOpBulkErase);
  rig.Run();
  EXPECT_EQ(rig.marks.marks, (Marks{{1, true}, {2, true}}));
}

class RecordingSvf final : public SvfGenerator {
 public:
  void Generate(EngineContext&, int op, int position, const std::string& file,
                const std::string& svf_file) override {
    calls.push_back(std::to_string(op) + "@" + std::to_string(position) + " " + file + " -> " + svf_file);
  }
  std::vector<std::string> calls;
};

TEST(RunChain, SvfOutputReplacesTheHardwareAfterPortAndCableSetUp) {
  IspRig rig("device VTL3032C\ndevice VTL3032C\n");
  RecordingSvf svf;
  rig.engine.set_svf_generator(&svf);
  const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3032C, 8));
  rig.Device(1, chain::kPartVtl3032C, chain::kOpVerify, image);
  rig.Device(2, chain::kPartVtl3032C, chain::kOpScan);
  rig.Run(kOptSvf);
  EXPECT_EQ(svf.calls, (Lines{"3@1 " + image + " -> " + rig.Path("chain.svf")}));
  EXPECT_TRUE(rig.HasLine("There are 2 JTAG devices daisy chainning in the system.")) << "op 14 still scans";
  EXPECT_EQ(rig.engine.svf_file(), rig.Path("chain.svf"));

  IspRig bare("device VTL3032C\n");
  bare.Device(1, chain::kPartVtl3032C, chain::kOpBulkErase);
  bare.Run(kOptSvf);
  EXPECT_TRUE(bare.HasLine("SVF output is not available in this build. (Device #1)"));
}

// A missing port driver is told in its box and the run goes on: SVF output needs no port, so each device
// still reaches the SVF generator; a hardware run fails each device at its identification.
TEST(RunChain, WithoutThePortDriverTheRunGoesOn) {
  for (const bool svf_run : {true, false}) {
    SCOPED_TRACE(svf_run ? "SVF" : "hardware");
    IspRig rig("device VTL3032C\n");
    testing::RecordingPort no_driver;
    no_driver.active = false;
    IspEngine engine(no_driver, rig.clock, rig.host, rig.launcher,
                     {.program_dir = ZEPA_BIN_DIR, .work_dir = rig.dir.path().string() + "/"});
    RecordingSvf svf;
    engine.set_svf_generator(&svf);
    const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3032C, 8));
    rig.Device(1, chain::kPartVtl3032C, chain::kOpVerify, image);
    rig.Device(2, chain::kPartVtl3032C, chain::kOpBlankCheck);
    const std::string jcd = rig.Path("chain.jcd");
    chain::write_jcd(rig.table, jcd);
    engine.RunChain({.jcd_file = jcd, .port_index = 1, .options = svf_run ? kOptSvf : 0}, rig.table);

    EXPECT_EQ(rig.prompts.boxes.size(), 1u);
    EXPECT_EQ(rig.prompts.beeps, 1);
    EXPECT_TRUE(rig.HasLine("----------------End operation----------------"));
    if (svf_run) {
      EXPECT_EQ(svf.calls, (Lines{"3@1 " + image + " -> " + rig.Path("chain.svf"),
                                  "1@2 " + image + " -> " + rig.Path("chain.svf")}));
      EXPECT_FALSE(engine.RunFailed);
    } else {
      EXPECT_TRUE(svf.calls.empty());
      EXPECT_EQ(rig.marks.marks, (Marks{{1, false}, {2, false}}));
    }
  }
}

TEST(RunChain, PinVectorsAreRecordedIntoTheChainsBifFile) {
  IspRig rig("device VTL3032C\n");
  rig.Device(1, chain::kPartVtl3032C, chain::kOpBlankCheck);
  rig.Run(kOptBif | kOptOffLine);
  const std::string bif = rig.Read("chain.bif");
  EXPECT_GT(bif.size(), 1000u);
  EXPECT_FALSE(util::FileExists(rig.Path("chain.bif.part")));
  // Off-line every TDO reads 1, so the blank check passes without the part being looked at.
  EXPECT_TRUE(rig.HasLine("Blank Check succeeded!"));
  EXPECT_EQ(rig.Part(1).state(), sim::TapState::kTestLogicReset) << "no clock reached the board";
}

// Each part runs its family's sequences, told apart by their side lines; a part of no family runs the ZEPA1
// ones (off-line, so nothing identifies the parts first).
// A stop asked for from another thread while device `stop_during` is being worked on (0: before the run):
// that device finishes, the ones after it are never started, and the run still ends with its end line.
TEST(RunChain, AStopEndsTheRunBetweenDevices) {
  struct Case {
    int stop_during;
    Marks marks;
    const char* line;
  };
  const Case cases[] = {
      {0, {}, "Stopped by the user: device #1 to #3 not started."},
      {1, {{1, true}}, "Stopped by the user: device #2 to #3 not started."},
      {2, {{1, true}, {2, true}}, "Stopped by the user: device #3 not started."},
      {3, {{1, true}, {2, true}, {3, true}}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stop_during);
    IspRig rig("device VTL3032C\ndevice VTL5128C\ndevice VTL3064A\n");
    rig.Device(1, chain::kPartVtl3032C, chain::kOpProgramVerify,
               rig.File("one.jed", Design("QF20542", "C0025")));
    rig.Device(2, chain::kPartVtl5128C, chain::kOpProgramVerify,
               rig.File("two.jed", Design("QF82930", "C0025")));
    rig.Device(3, chain::kPartVtl3064A, chain::kOpProgramVerify,
               rig.File("three.jed", Design("QF41306", "C0025")));
    const std::vector<std::pair<std::string, std::string>> images = {
        {"one.bin", MakeZepa1Image(chain::kPartVtl3032C, 1)},
        {"two.bin", MakeZepa1Image(chain::kPartVtl5128C, 2)},
        {"three.bin", MakeZepa1Image(chain::kPartVtl3064A, 3)}};
    // The converter of device k runs at the start of device k's work: the stop arrives in the middle of it.
    rig.launcher.action = [&rig, &images, &c](const testing::ScriptedLauncher::Call& call) {
      const int position = std::stoi(call.args.at(1));
      if (position == c.stop_during) rig.engine.RequestStop();
      const auto& [name, bytes] = images.at(static_cast<std::size_t>(position - 1));
      rig.File(name, bytes);
      return ProcessResult{.started = true, .exit_status = 0, .error = ""};
    };
    if (c.stop_during == 0) rig.engine.RequestStop();
    rig.Run();

    EXPECT_EQ(rig.marks.marks, c.marks);
    EXPECT_EQ(rig.launcher.calls.size(), c.marks.size()) << "no later device is converted";
    for (std::size_t n = c.marks.size() + 1; n <= 3; ++n)
      EXPECT_TRUE(rig.Part(static_cast<int>(n)).memory().rows.empty()) << "device " << n << " untouched";
    if (c.line != nullptr) {
      EXPECT_EQ(rig.lines()[rig.lines().size() - 3], c.line);
    }
    EXPECT_EQ(rig.lines()[rig.lines().size() - 2], "----------------End operation----------------");
    EXPECT_FALSE(rig.engine.RunFailed) << "a stop is no failure";

    // The request holds until it is cleared; then the next run goes through every device.
    EXPECT_TRUE(rig.engine.StopRequested());
    rig.engine.ClearStop();
    rig.launcher.action = [&rig, &images](const testing::ScriptedLauncher::Call& call) {
      const auto& [name, bytes] = images.at(static_cast<std::size_t>(std::stoi(call.args.at(1)) - 1));
      rig.File(name, bytes);
      return ProcessResult{.started = true, .exit_status = 0, .error = ""};
    };
    rig.ClearMessages();
    rig.Run();
    EXPECT_EQ(rig.marks.marks, (Marks{{1, true}, {2, true}, {3, true}}));
  }
}

TEST(Dispatch, EachPartRunsItsFamilysSequences) {
  IspRig rig("device VTL3032C\ndevice VTL3320\ndevice VTL3032XL\ndevice Others irlen=4\n");
  rig.Device(1, chain::kPartVtl3032C, chain::kOpBlankCheck);
  rig.Device(2, chain::kPartVtl3320, chain::kOpBlankCheck);
  rig.Device(3, chain::kPartVtl3032XL, chain::kOpBlankCheck);
  rig.Device(4, chain::kPartOthers, chain::kOpBlankCheck);
  rig.Run(kOptOffLine);
  const auto after = [&](const std::string& line) {
    const Lines& lines = rig.lines();
    const auto at = std::find(lines.begin(), lines.end(), line);
    return at == lines.end() || at + 1 == lines.end() ? std::string("(none)") : *(at + 1);
  };
  EXPECT_EQ(after("Blank Check... (Device #1)"), "Checking Left side...");
  EXPECT_TRUE(
      rig.HasLine("\"Blank Check\" is not available for VTL3320 parts, only Program and Verify are. "
                  "(Device #2)"));
  EXPECT_EQ(after("Blank Check... (Device #3)"), "Checking Lower side...");
  EXPECT_EQ(after("Blank Check... (Device #4)"), "Checking Left side...");
  EXPECT_EQ(rig.marks.marks, (Marks{{1, true}, {3, true}, {4, true}}));
}

}  // namespace
}  // namespace zepa::engine
