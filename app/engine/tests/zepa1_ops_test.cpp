// The ZEPA1 operations end to end on the simulated board with the virtual clock: what they do to the parts,
// the files they write and the lines they report.
#include "engine/zepa1_ops.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/process.h"
#include "engine/tests/isp_rig.h"
#include "engine/workdir.h"
#include "sim/parts.h"
#include "ui/core/idcode.h"
#include "util/files.h"

namespace zepa::engine {
namespace {

using testing::IspRig;
using testing::MakeZepa1Image;
using Lines = std::vector<std::string>;

constexpr const char* kThreeParts = "port 378\ndevice VTL3032C\ndevice VTL3064A\ndevice VTL5128C\n";
constexpr int kThreePartCodes[] = {chain::kPartVtl3032C, chain::kPartVtl3064A, chain::kPartVtl5128C};

// A ZEPA1 signature image as fusebuild lays it out: character bit t of field j of side s at row-41
// position L - 1 - (first_ues_bit + j * ues_offset + t), the text followed by a zero byte, ones elsewhere.
std::string MakeSignatureImage(int part, const std::string& text) {
  const JcdRec rec = RecordForPart(part);
  std::string image = MakeZepa1Image(part, 1);
  for (std::size_t i = 1; i < image.size(); ++i) image[i] = static_cast<char>(0xFF);
  if (rec.bin_size == 2743) image.back() = static_cast<char>(0xC0);
  std::string ues(static_cast<std::size_t>(30 * rec.lb), static_cast<char>(0xFF));
  for (std::size_t i = 0; i < text.size() && i < ues.size(); ++i) ues[i] = text[i];
  if (text.size() < ues.size()) ues[text.size()] = '\0';
  const long L = rec.DR_len;
  for (int side = 0; side < 2; ++side) {
    for (int j = 0; j < rec.lb; ++j) {
      for (int t = 0; t < 120; ++t) {
        const long p = rec.first_ues_bit + static_cast<long>(j) * rec.ues_offset + t;
        const bool bit =
            (static_cast<unsigned char>(ues[static_cast<std::size_t>((side * rec.lb + j) * 15 + t / 8)]) >>
             (t % 8)) &
            1;
        const long b = (side * 43 + 41) * L + (L - 1 - p);
        char& byte = image[static_cast<std::size_t>(1 + b / 8)];
        if (!bit) byte = static_cast<char>(byte & ~(0x80 >> (b % 8)));
      }
    }
  }
  return image;
}

TEST(Zepa1Chain, ProgramAndVerifyThreePartsThenUploadGivesTheImagesBack) {
  IspRig rig(kThreeParts);
  std::vector<std::string> images;
  for (int n = 1; n <= 3; ++n) {
    images.push_back(MakeZepa1Image(kThreePartCodes[n - 1], 100u + static_cast<unsigned>(n)));
    rig.Device(n, kThreePartCodes[n - 1], chain::kOpProgramVerify,
               rig.File("design" + std::to_string(n) + ".bin", images.back()));
  }
  rig.Run();
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, true}, {2, true}, {3, true}}));
  EXPECT_FALSE(rig.engine.RunFailed);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(rig.table[n].result, chain::kResultPass);

  for (int n = 1; n <= 3; ++n)
    rig.Device(n, kThreePartCodes[n - 1], chain::kOpUpload, rig.Path("up" + std::to_string(n) + ".bin"));
  rig.Run();
  for (int n = 1; n <= 3; ++n) {
    const std::string upload = rig.Read("up" + std::to_string(n) + ".bin");
    ASSERT_EQ(upload.size(), images[static_cast<std::size_t>(n - 1)].size()) << "device " << n;
    EXPECT_TRUE(upload == images[static_cast<std::size_t>(n - 1)]) << "device " << n << " differs";
  }
}

TEST(Zepa1Chain, ProgramThenVerifyAndBlankCheckAfterErase) {
  IspRig rig("device VTL3064A\n");
  const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3064A, 7));
  struct Step {
    int op;
    const char* result_line;
    bool passed;
  };
  const Step steps[] = {
      {chain::kOpProgram, "Program completed!", true},        {chain::kOpVerify, "Verify succeeded!", true},
      {chain::kOpBlankCheck, "Blank Check failed!", false},   {chain::kOpBulkErase, "Erase completed!", true},
      {chain::kOpBlankCheck, "Blank Check succeeded!", true}, {chain::kOpVerify, "Verify failed!", false},
  };
  for (const Step& step : steps) {
    rig.messages.clear();
    rig.marks.marks.clear();
    rig.Device(1, chain::kPartVtl3064A, step.op, image);
    rig.Run();
    EXPECT_TRUE(rig.HasLine(step.result_line)) << "operation " << step.op;
    EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, step.passed}}))
        << "operation " << step.op;
  }
}

// Row operations tell how far they are, row by row over both sides, so a front end can show a percentage:
// from 0 up by one to the last row of the whole, one total throughout.
TEST(Zepa1Chain, RowOperationsReportProgressOverBothSides) {
  IspRig rig("device VTL3064A\n");
  const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3064A, 7));
  for (int op : {chain::kOpProgram, chain::kOpVerify, chain::kOpProgramVerify, chain::kOpUpload}) {
    SCOPED_TRACE("operation " + std::to_string(op));
    rig.ClearMessages();
    rig.Device(1, chain::kPartVtl3064A, op, op == chain::kOpUpload ? rig.Path("up.bin") : image);
    rig.Run();
    const auto& reports = rig.messages.progress_reports();
    ASSERT_FALSE(reports.empty());
    const long total = reports.front().second;
    EXPECT_GT(total, 2);
    EXPECT_EQ(reports.size(), static_cast<std::size_t>(total));
    for (std::size_t i = 0; i < reports.size(); ++i) {
      EXPECT_EQ(reports[i], (std::pair<long, long>{static_cast<long>(i), total})) << "report " << i;
    }
  }
}

TEST(Zepa1Golden, ProgramAndVerifyFailingOnAStuckCellThenErases) {
  IspRig rig("device VTL3032C\n");
  std::string image = MakeZepa1Image(chain::kPartVtl3032C, 3);
  image[1] = static_cast<char>(image[1] & 0x7F);        // row 0, bit 0 is a 0 ...
  rig.faults->Stick(rig.Part(1).memory(), 0, 0, true);  // ... that the part cannot take
  rig.Device(1, chain::kPartVtl3032C, chain::kOpProgramVerify, rig.File("d.bin", image));
  rig.Run();
  const Lines expected = {
      "---------------Begin operation---------------",
      "Bulk erase... (Device #1)",
      "Program and Verify... (Device #1)",
      "Prog/Verifying Left side...",
      " *",
      "Program and Verify failed!",
      "Erase device!",
      "Bulk erase... (Device #1)",
      "Erase completed!",
      "",
      "----------------End operation----------------",
      "",
  };
  EXPECT_EQ(rig.lines(), expected);
  // The erase after the failure does not turn the device's result back into a pass.
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, false}, {1, false}}));
  EXPECT_EQ(rig.table[1].result, chain::kResultFail);
  EXPECT_TRUE(rig.engine.RunFailed);
  EXPECT_TRUE(rig.Part(1).memory().rows.empty()) << "the failed part is left erased";

  // The next run starts afresh: its own erase passes.
  rig.ClearMessages();
  rig.Device(1, chain::kPartVtl3032C, chain::kOpBulkErase);
  rig.engine.RunFailed = false;
  rig.Run();
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, true}}));
  EXPECT_EQ(rig.table[1].result, chain::kResultPass);
  EXPECT_FALSE(rig.engine.RunFailed);
}

TEST(Zepa1Golden, BlankCheckStopsAtTheFirstRowWithAZero) {
  IspRig rig("device VTL5128\n");
  rig.faults->Stick(rig.Part(1).memory(), 0, 500, false);
  rig.Device(1, chain::kPartVtl5128, chain::kOpBlankCheck);
  rig.Run();
  EXPECT_EQ(rig.Section("Blank Check... (Device #1)", ""),
            (Lines{"Blank Check... (Device #1)", "Checking Left side...", " *", "Blank Check failed!", ""}));
  EXPECT_EQ(rig.table[1].result, chain::kResultFail);
}

TEST(Zepa1Golden, BypassAndBulkErase) {
  IspRig rig("device VTL3032A\ndevice VTL3032A\n");
  rig.Device(1, chain::kPartVtl3032A, chain::kOpNoOperation);
  rig.Device(2, chain::kPartVtl3032A, chain::kOpBulkErase);
  rig.Run();
  EXPECT_EQ(rig.lines(), (Lines{"---------------Begin operation---------------", "Bypass... (Device #1)", "",
                                "Bulk erase... (Device #2)", "Erase completed!",
                                "----------------End operation----------------", ""}));
}

// An operation that erases or programs the array ends with INIT, which starts the part again from its
// array: without it the part stays stopped after the run. A Program that left Run-Test/Idle without going
// through Capture-DR never loaded INIT.
TEST(Zepa1Init, EveryOperationThatChangesTheArrayLeavesThePartRunning) {
  struct Case {
    const char* what;
    int op;
    bool active_io;
    bool stuck_cell;  // a failing Program and verify, which erases the part after it
    const char* line;
  };
  const Case cases[] = {
      {"Program", chain::kOpProgram, false, false, "Program completed!"},
      {"Program, active I/O verify", chain::kOpProgram, true, false, "Program completed!"},
      {"Program and verify", chain::kOpProgramVerify, false, false, "Program and Verify succeeded!"},
      {"Program and verify, active I/O verify", chain::kOpProgramVerify, true, false,
       "Program and Verify succeeded!"},
      {"Program and verify failing", chain::kOpProgramVerify, false, true, "Erase completed!"},
      {"Bulk erase", chain::kOpBulkErase, false, false, "Erase completed!"},
      {"Secure", chain::kOpSecure, false, false, "Secure device completed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IspRig rig("device VTL3064A\n");
    std::string image = MakeZepa1Image(chain::kPartVtl3064A, 5);
    if (c.stuck_cell) {
      image[1] = static_cast<char>(image[1] & 0x7F);
      rig.faults->Stick(rig.Memory(1), 0, 0, true);
    }
    rig.Device(1, chain::kPartVtl3064A, c.op, rig.File("d.bin", image));
    const std::string jcd = rig.Path("chain.jcd");
    chain::write_jcd(rig.table, jcd);
    rig.engine.RunChain({.jcd_file = jcd, .port_index = 1, .options = 0, .active_io_verify = c.active_io},
                        rig.table);
    EXPECT_TRUE(rig.HasLine(c.line));
    EXPECT_TRUE(rig.Part(1).running()) << "the part was left without INIT";
  }
  // A Program leaves the design in the part as well.
  IspRig rig("device VTL3064A\n");
  const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3064A, 5));
  rig.Device(1, chain::kPartVtl3064A, chain::kOpProgram, image);
  rig.Run();
  rig.Device(1, chain::kPartVtl3064A, chain::kOpVerify, image);
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Verify succeeded!"));
}

TEST(Zepa1Security, SecureThenVerifyAndUploadAbort) {
  IspRig rig("device VTL3128A\n");
  const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3128A, 9));
  rig.Device(1, chain::kPartVtl3128A, chain::kOpProgram, image);
  rig.Run();
  rig.Device(1, chain::kPartVtl3128A, chain::kOpSecure);
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Secure device completed."));
  for (int op : {chain::kOpVerify, chain::kOpUpload}) {
    rig.messages.clear();
    rig.Device(1, chain::kPartVtl3128A, op, op == chain::kOpVerify ? image : rig.Path("up.bin"));
    rig.Run();
    EXPECT_EQ(rig.Section("Device is secured. (Device #1)", ""),
              (Lines{"Device is secured. (Device #1)", "Operation aborted!", ""}))
        << "operation " << op;
    EXPECT_EQ(rig.table[1].result, chain::kResultFail);
    EXPECT_EQ(rig.Read("dev__1.sec"), "0\n");
  }
  EXPECT_FALSE(util::FileExists(rig.Path("up.bin"))) << "no upload of a secured part";
}

TEST(Zepa1ReadId, WritesTheIdcodeAndSecurityFilesAndTheFieldsDecode) {
  IspRig rig("device VTL3032C\ndevice VTL5128C\n");
  rig.File("dev__2.id", "stale");
  rig.Device(1, chain::kPartVtl3032C, chain::kOpNoOperation);
  rig.Device(2, chain::kPartVtl5128C, chain::kOpReadId);
  rig.Run();
  const std::string expected_bits = ui::idcode_text(sim::DefaultIdcode(*sim::FindPart("VTL5128C")));
  EXPECT_EQ(rig.Read("dev__2.id"), expected_bits + "\n");
  EXPECT_EQ(rig.Read("dev__2.sec"), "1\n");
  EXPECT_TRUE(rig.HasLine("Read IDcode completed."));
  const ui::IdcodeFields fields = ui::decode_idcode(expected_bits);
  EXPECT_EQ(fields.architecture, "ZEPA1");
  EXPECT_EQ(fields.macrocells.substr(0, 6), "128 MC");
  EXPECT_EQ(fields.voltage, "5 volt");
}

// A read off-line (nothing answers: all ones) or while pin vectors are recorded is compared with the
// part like any other, so an IDCODE that names no part fails instead of passing as read.
TEST(Zepa1ReadId, AReadThatNamesNoPartFailsOffLineAndWhileRecording) {
  struct Case {
    const char* name;
    const char* board;
    int options;
    int result;
  };
  const Case cases[] = {
      {"off-line", "device VTL3064A\n", kOptOffLine, chain::kResultFail},
      {"recording, nothing answers", "device VTL3064A idcode=0xFFFFFFFF\n", kOptBif, chain::kResultFail},
      {"recording, the part answers", "device VTL3064A\n", kOptBif, chain::kResultPass},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IspRig rig(c.board);
    rig.Device(1, chain::kPartVtl3064A, chain::kOpReadId);
    rig.Run(c.options);
    EXPECT_EQ(rig.table[1].result, c.result);
    EXPECT_EQ(rig.HasLine("Read IDcode completed."), c.result == chain::kResultPass);
    if (c.result == chain::kResultFail) {
      EXPECT_TRUE(rig.HasLine("(Device #1) is an unknown target device."));
      EXPECT_FALSE(util::FileExists(rig.Path("dev__1.id"))) << "no IDCODE is left to be read back";
    }
  }
}

TEST(Zepa1Identify, AWrongPartInTheSocketAborts) {
  struct Case {
    const char* board;
    int part;
    int op;
    const char* message;
  };
  const Case cases[] = {
      {"device VTL3128\n", chain::kPartVtl3064A, chain::kOpBlankCheck,
       "(Device #1) does not match with (a possible VTLx128) target device."},
      {"device VTL3128A\n", chain::kPartVtl5128C, chain::kOpBulkErase,
       "(Device #1) does not match with (a possible VTL3128A) target device."},
      {"device VTL3064A idcode=0x00040001\n", chain::kPartVtl3064A, chain::kOpBlankCheck,
       "(Device #1) is an unknown target device."},
      {"device VTL3064A\n", chain::kPartVtl3064A, chain::kOpReadId, nullptr},
      {"device VTL5128 idcode=0x0004802B\n", chain::kPartVtl5128, chain::kOpReadId,
       "(Device #1) does not match with (a possible VTL5064C) target device."},
  };
  for (const Case& c : cases) {
    IspRig rig(c.board);
    rig.File("dev__1.id", "stale");
    rig.File("dev__1.sec", "1");
    rig.Device(1, c.part, c.op);
    rig.Run();
    if (c.message == nullptr) {
      EXPECT_EQ(rig.table[1].result, chain::kResultPass) << c.board;
      continue;
    }
    EXPECT_EQ(rig.Section(c.message, ""), (Lines{c.message, "Operation aborted!", ""})) << c.board;
    EXPECT_EQ(rig.table[1].result, chain::kResultFail) << c.board;
    EXPECT_TRUE(rig.Part(1).memory().rows.empty()) << c.board;
    if (c.op == chain::kOpReadId) {
      EXPECT_FALSE(util::FileExists(rig.Path("dev__1.id")))
          << "a failed identification leaves no old results";
      EXPECT_FALSE(util::FileExists(rig.Path("dev__1.sec")));
    }
  }
}

TEST(Zepa1Signature, ProgramThenReadGivesTheTextBack) {
  struct Case {
    const char* board;
    int part;
    std::string text;
  };
  std::string full128;  // all four fields of both sides: 120 characters
  for (int i = 0; i < 120; ++i) full128 += static_cast<char>('A' + i % 26);
  const Case cases[] = {
      {"device VTL5128\n", chain::kPartVtl5128, full128},
      {"device VTL5128C\n", chain::kPartVtl5128C, full128},
      {"device VTL3128A\n", chain::kPartVtl3128A, "board 7, rev C"},
      {"device VTL3032A\n", chain::kPartVtl3032A, "thirty characters, both sides"},
      {"device VTL5064C\n", chain::kPartVtl5064C, "sixty: " + std::string(53, 'x')},
  };
  for (const Case& c : cases) {
    IspRig rig(c.board);
    const std::string image = MakeSignatureImage(c.part, c.text);
    rig.launcher.action = [&](const testing::ScriptedLauncher::Call&) {
      rig.File("tempues.bin", image);
      return ProcessResult{.started = true, .exit_status = 0, .error = ""};
    };
    rig.Device(1, c.part, chain::kOpProgramUes, "", c.text);
    rig.Run();
    EXPECT_TRUE(rig.HasLine("Program User Signature completed.")) << c.board;
    rig.Device(1, c.part, chain::kOpReadUes);
    rig.Run();
    EXPECT_EQ(rig.Read("dev__1.ues"), c.text + "\n") << c.board;
    EXPECT_TRUE(rig.HasLine("Read User Signature completed.")) << c.board;
  }
}

TEST(Zepa1Signature, AWrittenSignatureIsNotOverwritten) {
  IspRig rig("device VTL3064A\n");
  std::string image = MakeSignatureImage(chain::kPartVtl3064A, "first");
  rig.launcher.action = [&](const testing::ScriptedLauncher::Call&) {
    rig.File("tempues.bin", image);
    return ProcessResult{.started = true, .exit_status = 0, .error = ""};
  };
  rig.Device(1, chain::kPartVtl3064A, chain::kOpProgramUes, "", "first");
  rig.Run();
  const sim::DeviceMemory before = rig.Part(1).memory();
  image = MakeSignatureImage(chain::kPartVtl3064A, "second");
  rig.Device(1, chain::kPartVtl3064A, chain::kOpProgramUes, "", "second");
  rig.Run();
  EXPECT_TRUE(rig.HasLine("User space is not blank, can not overwrite UES!"));
  EXPECT_EQ(rig.table[1].result, chain::kResultFail);
  EXPECT_EQ(rig.Part(1).memory(), before);
}

TEST(Zepa1VerifyReport, LineLayoutOfA255BitRow) {
  IspRig rig("device VTL3032C\n");
  std::string image = MakeZepa1Image(chain::kPartVtl3032C, 5);
  image[1] = static_cast<char>(image[1] | 0x20);
  const std::string path = rig.File("d.bin", image);
  rig.Device(1, chain::kPartVtl3032C, chain::kOpProgram, path);
  rig.Run();
  // Row 0 bit 2 (shift-register number 252) reads 1 where the design wants 0.
  image[1] = static_cast<char>(image[1] & ~0x20);
  rig.File("d.bin", image);
  rig.Device(1, chain::kPartVtl3032C, chain::kOpVerify, path);
  rig.Run(kOptVerifyLog);
  EXPECT_TRUE(rig.HasLine("Verify failed!"));
  EXPECT_TRUE(rig.HasLine("Total failure bit(s) = 1"));

  std::vector<std::string> report;
  {
    std::string text = rig.Read("d.vrf");
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
      end = text.find('\n', start);
      report.push_back(text.substr(start, end - start));
    }
  }
  ASSERT_EQ(report.size(), 2u + 82u * (4u + 32u) + 1u);
  EXPECT_EQ(report[0], "File generated: 12:00:00 01/02/2026");
  EXPECT_EQ(report[1], "Verify data (See last line for failure information)");
  EXPECT_EQ(report[2], "");
  EXPECT_EQ(report[3], "LEFT SIDE, Address 0");
  EXPECT_EQ(report[4], "Addr ShftReg bit    Prog-value     Read-value   failure bit(s)");
  EXPECT_EQ(report[5], "---- -----------    ----------     ----------   --------------");
  auto bits = [&](long first, int count, bool readback) {
    std::string s;
    for (long b = first; b < first + count; ++b) {
      bool v = (static_cast<unsigned char>(image[static_cast<std::size_t>(1 + b / 8)]) >> (7 - b % 8)) & 1;
      if (readback && b == 2) v = true;
      s += v ? '1' : '0';
    }
    return s;
  };
  EXPECT_EQ(report[6].substr(0, 16), "L 0   254 ->247 ");
  EXPECT_EQ(report[6],
            "L 0   254 ->247     " + bits(0, 8, false) + "       " + bits(0, 8, true) + "     *252,");
  EXPECT_EQ(report[7], "L 0   246 ->239     " + bits(8, 8, false) + "       " + bits(8, 8, true));
  EXPECT_EQ(report[37], "L 0   6   ->0       " + bits(248, 7, false) + "           " + bits(248, 7, true));
  EXPECT_EQ(report[2 + 41 * 36 + 1], "RIGHT SIDE, Address 43");
  EXPECT_EQ(report.back(), "Total failure bit(s) = 1");
}

TEST(Zepa1Example, TheExampleChainGoesThroughFusebuildOntoTheBoard) {
  const std::string examples = std::string(ZEPA_SOURCE_DIR) + "/examples/";
  IspRig rig(util::ReadFileOrThrow(examples + "board.sim"));
  ASSERT_TRUE(chain::load_jcd(rig.table, examples + "chain.jcd"));
  for (int n = 1; n <= 3; ++n) {
    const std::string name = rig.table[n].jed.str();
    rig.table[n].jed = rig.File(name, util::ReadFileOrThrow(examples + name));
  }
  SystemProcessLauncher real;
  rig.launcher.action = [&](const testing::ScriptedLauncher::Call& call) {
    return real.Run(call.program, call.args, call.environment);
  };
  rig.Run();
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, true}, {2, true}, {3, true}}));
  EXPECT_TRUE(rig.HasLine("(Device #3) JEDEC checksum=1D1B"));

  // The signature of device 2 from its design's image, read back as text.
  const std::string text = "sixty-four macrocells, two sides";
  rig.table[2].ues = text;
  rig.table[1].cmnd = rig.table[3].cmnd = chain::kOpNoOperation;
  rig.table[2].cmnd = chain::kOpProgramUes;
  rig.Run();
  rig.table[2].cmnd = chain::kOpReadUes;
  rig.Run();
  EXPECT_EQ(rig.Read("dev__2.ues"), text + "\n");

  // The part holds exactly fusebuild's image.
  rig.table[2].cmnd = chain::kOpNoOperation;
  rig.table[1].cmnd = chain::kOpUpload;
  rig.table[1].jed = rig.Path("upload32.bin");
  rig.Run();
  EXPECT_TRUE(rig.Read("upload32.bin") == rig.Read("design32.bin"));
  EXPECT_FALSE(rig.engine.RunFailed);
}

}  // namespace
}  // namespace zepa::engine
