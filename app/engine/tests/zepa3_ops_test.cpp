// The ZEPA3 operations end to end on the simulated board with the virtual clock, with the real fusebuild and
// fusedump beside the tests: what they do to the parts, the .rd readbacks and chip checksums, the files
// they refuse and the lines they report.
#include "engine/zepa3_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "fusemap/fuse_array.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa3_map.h"
#include "sim/zepa2_family.h"
#include "sim/zepa3_family.h"

namespace zepa::engine {
namespace {

using testing::MakeZepa1Image;
using testing::ScriptedLauncher;
using Lines = std::vector<std::string>;
using Marks = std::vector<std::pair<int, bool>>;

// The converters write "chksum.chk" in the current folder; each test works in its own.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() { std::filesystem::current_path(old_); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path old_;
};

// An IspEngine on a board with ZEPA1, ZEPA2 and ZEPA3 parts, the converters started for real (and recorded).
class Zepa3Rig : public testing::IspRig {
 public:
  explicit Zepa3Rig(const std::string& board_text)
      : IspRig(board_text, testing::RigFamilies::kAll), folder(dir.path()) {
    launcher.action = [this](const ScriptedLauncher::Call& call) {
      return system.Run(call.program, call.args, call.environment);
    };
  }

  // Position n of the chain table; the instruction register length follows the part's family.
  void Device(int n, int part, int op, const std::string& jed = "", const std::string& ues = "") {
    Set(n, part,
        chain::IsZepa3Part(part) || chain::IsZepa2Part(part) ? 3
        : part == chain::kPartOthers                         ? 5
                                                             : 2,
        op, jed, ues);
  }
  // Writes the chain table as the chain file and runs it; messages and marks start empty.
  void Run(int options = 0) {
    ClearMessages();
    IspRig::Run(options);
  }

  CurrentFolder folder;
  SystemProcessLauncher system;
};

struct PartCase {
  int part;  // chain-grid part code
  const char* name;
};
const PartCase kParts[] = {
    {chain::kPartVtl3032XL, "VTL3032XL"}, {chain::kPartVtl3064XL, "VTL3064XL"},
    {chain::kPartVtl3128XL, "VTL3128XL"}, {chain::kPartVtl3256XL, "VTL3256XL"},
    {chain::kPartVtl3384XL, "VTL3384XL"},
};

JcdRec Rec(int part) {
  return RecordForPart(part);
}
std::size_t HexLength(int part) {
  return static_cast<std::size_t>((Rec(part).DR_len + 3) / 4);
}

// A row of bits as its .isp line (zeros fill the last digit).
std::string RowLine(const std::string& bits) {
  return Zepa3RowText(bits);
}

// The rows of an .isp image: random design rows (mostly ones), signature rows and the upper ISP row all
// ones, so programming never secures the part.
std::vector<std::string> MakeRows(int part, unsigned seed) {
  const JcdRec rec = Rec(part);
  const int R = rec.side_rows;
  std::mt19937 random(seed);
  std::vector<std::string> rows;
  for (int r = 0; r < 2 * R + 4; ++r) {
    std::string bits(static_cast<std::size_t>(rec.DR_len), '1');
    const bool fixed = r == R + 1 || r == 2 * R + 3 || r == 2 * R + 2;
    if (!fixed) {
      for (char& b : bits) b = random() % 4 == 0 ? '0' : '1';
    }
    rows.push_back(bits);
  }
  return rows;
}
std::string IspText(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& r : rows) text += RowLine(r) + "\n";
  return text;
}
Lines SplitLines(const std::string& text) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A JEDEC design for a ZEPA3 part: random values on fuses that the frames carry, the ISP fuse on, and the
// `extra` fuses (which no frame carries) set as well.
std::string MakeJedec(int part, unsigned seed, const std::vector<long>& extra = {}) {
  const JcdRec rec = Rec(part);
  fusemap::FuseArray fuses(rec.jed_fuse, fusemap::FuseArray::Fill::kZeros);
  const fusemap::Zepa3Map map(rec.id);
  std::mt19937 random(seed);
  for (int f = 0; f < map.frame_count(); ++f) {
    for (const fusemap::Zepa3FrameBit& bit : map.bits(f)) {
      if (bit.ReadsBack()) fuses.write_fuse(bit.fuse, static_cast<int>(random() % 2));
    }
  }
  fuses.write_fuse(rec.jed_fuse - 1, 1);
  for (long f : extra) fuses.write_fuse(f, 1);
  return fusemap::testing::JedecText(fuses);
}
// A fuse of the part that no frame bit carries.
long UnclaimedFuse(int part) {
  const JcdRec rec = Rec(part);
  const fusemap::Zepa3Map map(rec.id);
  std::vector<bool> claimed(static_cast<std::size_t>(rec.jed_fuse), false);
  for (int f = 0; f < map.frame_count(); ++f) {
    for (const fusemap::Zepa3FrameBit& bit : map.bits(f)) {
      if (bit.ReadsBack()) claimed[static_cast<std::size_t>(bit.fuse)] = true;
    }
  }
  for (long n = 0; n < rec.jed_fuse - 1; ++n) {
    if (!claimed[static_cast<std::size_t>(n)]) return n;
  }
  return -1;
}

// Program, then Verify, then Program and verify of every part size, with the .isp given as the design.
TEST(Zepa3Sizes, ProgramVerifyAndProgramAndVerifyEachPart) {
  for (const PartCase& p : kParts) {
    SCOPED_TRACE(p.name);
    Zepa3Rig rig(std::string("device ") + p.name + "\n");
    const std::string isp_text = IspText(MakeRows(p.part, 11));
    const std::string isp = rig.File("design.isp", isp_text);
    struct Step {
      int op;
      const char* result_line;
    };
    for (const Step& step :
         {Step{chain::kOpProgram, "Program completed!"}, Step{chain::kOpVerify, "Verify succeeded!"},
          Step{chain::kOpProgramVerify, "Program and Verify succeeded!"}}) {
      rig.Device(1, p.part, step.op, isp);
      rig.Run();
      EXPECT_TRUE(rig.HasLine(step.result_line)) << step.op;
      EXPECT_EQ(rig.marks.marks, (Marks{{1, true}})) << step.op;
      if (step.op == chain::kOpProgram) continue;
      // The readback has the image's lines, zero padding in the last digit included.
      EXPECT_EQ(rig.Read("design.rd"), isp_text) << step.op;
      // An .isp design has no JEDEC checksum: the chip checksum is given without a comparison.
      EXPECT_EQ(rig.After("Chip checksum=").size(), 4u) << step.op;
      EXPECT_FALSE(rig.HasLine("Chip checksum verify failed against JEDEC checksum")) << step.op;
    }
    const Lines rd = SplitLines(rig.Read("design.rd"));
    for (const std::string& line : rd) ASSERT_EQ(line.size(), HexLength(p.part));
  }
}

// Every operation that erases or programs the array closes with INIT, so the part runs its new array.
TEST(Zepa3Init, EveryOperationThatChangesTheArrayLeavesThePartRunning) {
  const std::pair<int, const char*> cases[] = {
      {chain::kOpProgram, "Program completed!"},
      {chain::kOpProgramVerify, "Program and Verify succeeded!"},
      {chain::kOpBulkErase, "Erase completed!"},
      {chain::kOpSecure, "Secure device completed."},
  };
  for (const auto& [op, line] : cases) {
    SCOPED_TRACE(line);
    Zepa3Rig rig("device VTL3064XL\n");
    rig.Device(1, chain::kPartVtl3064XL, op, rig.File("d.isp", IspText(MakeRows(chain::kPartVtl3064XL, 4))));
    rig.Run();
    EXPECT_TRUE(rig.HasLine(line));
    EXPECT_TRUE(rig.Part(1).running()) << "the part was left without INIT";
  }
}

TEST(Zepa3Golden, ProgramLinesAndProgressMarks) {
  Zepa3Rig rig("device VTL3032XL\n");
  rig.Device(1, chain::kPartVtl3032XL, chain::kOpProgram,
             rig.File("d.isp", IspText(MakeRows(chain::kPartVtl3032XL, 2))));
  rig.Run();
  // 53 rows per side: a mark for rows 7, 15, ..., 47 (6) and, upper side, rows 55, ..., 103 (7).
  const std::string six = " * * * * * *";
  const Lines expected = {
      "---------------Begin operation---------------",
      "Bulk erase... (Device #1)",
      "Program... (Device #1)",
      "Programming Lower side...",
      six,
      "Programming Upper side...",
      six + " *",
      "Program completed!",
      "",
      "----------------End operation----------------",
      "",
  };
  EXPECT_EQ(rig.messages.lines(), expected);
}

// Program writes neither signature row and skips the lower one's line between the sides; Verify reads them
// into the .rd file without comparing; Program and verify copies the file's signature lines unchanged.
TEST(Zepa3Rows, SignatureRowsAreNeitherProgrammedNorCompared) {
  Zepa3Rig rig("device VTL3064XL\n");
  const JcdRec rec = Rec(chain::kPartVtl3064XL);
  const int R = rec.side_rows;
  std::vector<std::string> rows = MakeRows(chain::kPartVtl3064XL, 5);
  rows[static_cast<std::size_t>(R + 1)] = std::string(static_cast<std::size_t>(rec.DR_len), '0');
  rows[static_cast<std::size_t>(2 * R + 3)].replace(0, 8, "00000000");
  const std::string isp_text = IspText(rows);
  const std::string isp = rig.File("d.isp", isp_text);
  rig.Device(1, chain::kPartVtl3064XL, chain::kOpProgram, isp);
  rig.Run();
  EXPECT_EQ(rig.Memory(1).rows.count(R + 1), 0u);
  EXPECT_EQ(rig.Memory(1).rows.count(2 * R + 3), 0u);

  rig.Device(1, chain::kPartVtl3064XL, chain::kOpVerify, isp);
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Verify succeeded!"));
  Lines rd = SplitLines(rig.Read("d.rd"));
  Lines want = SplitLines(isp_text);
  ASSERT_EQ(rd.size(), want.size());
  const std::string blank = RowLine(std::string(static_cast<std::size_t>(rec.DR_len), '1'));
  EXPECT_EQ(rd[static_cast<std::size_t>(R + 1)], blank);
  EXPECT_EQ(rd[static_cast<std::size_t>(2 * R + 3)], blank);
  want[static_cast<std::size_t>(R + 1)] = want[static_cast<std::size_t>(2 * R + 3)] = blank;
  EXPECT_EQ(rd, want) << "every design row read back as written";

  rig.Device(1, chain::kPartVtl3064XL, chain::kOpProgramVerify, isp);
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Program and Verify succeeded!"));
  EXPECT_EQ(rig.Read("d.rd"), isp_text);
}

TEST(Zepa3Verify, AFailingRowIsReportedAndTheReadGoesOn) {
  Zepa3Rig rig("device VTL3032XL\n");
  const std::vector<std::string> rows = MakeRows(chain::kPartVtl3032XL, 9);
  const std::string isp = rig.File("d.isp", IspText(rows));
  rig.Device(1, chain::kPartVtl3032XL, chain::kOpProgram, isp);
  rig.Run();
  sim::Bits& row3 = rig.Memory(1).rows[3];  // a programmed design row loses a one
  std::size_t one = 0;
  while (!row3[one]) ++one;
  row3[one] = false;
  std::string bad = rows[3];
  bad[one] = '0';
  rig.Device(1, chain::kPartVtl3032XL, chain::kOpVerify, isp);
  rig.Run();
  // The empty line after the three takes the next progress marks.
  EXPECT_EQ(rig.Section("Verify failed on address 3", " * * * * * *"),
            (Lines{"Verify failed on address 3", "expected:" + RowLine(rows[3]), "read:    " + RowLine(bad),
                   " * * * * * *"}));
  EXPECT_TRUE(rig.HasLine("Verifying Upper side..."));
  EXPECT_TRUE(rig.HasLine("Verify failed!"));
  EXPECT_EQ(rig.marks.marks, (Marks{{1, false}}));
  EXPECT_EQ(SplitLines(rig.Read("d.rd")).size(), 108u) << "all rows read";
}

TEST(Zepa3ProgramAndVerify, AStuckCellFailsTheRowAndThePartIsErased) {
  Zepa3Rig rig("device VTL3128XL\n");
  std::vector<std::string> rows = MakeRows(chain::kPartVtl3128XL, 4);
  rows[2][10] = '0';
  rig.faults->Stick(rig.Memory(1), 2, 10, true);
  rig.Device(1, chain::kPartVtl3128XL, chain::kOpProgramVerify, rig.File("d.isp", IspText(rows)));
  rig.Run();
  std::string read = rows[2];
  read[10] = '1';
  EXPECT_EQ(
      rig.Section("Program and Verify... (Device #1)", "Erase completed!"),
      (Lines{"Program and Verify... (Device #1)", "Prog/Verifying Lower side...", "", RowLine(rows[2]),
             RowLine(read), "Program and Verify failed!", "Bulk erase... (Device #1)", "Erase completed!"}));
  EXPECT_FALSE(rig.HasLine("Prog/Verifying Upper side..."));
  // The erase after the failure leaves the device failed.
  EXPECT_EQ(rig.marks.marks, (Marks{{1, false}, {1, false}}));
  EXPECT_EQ(rig.table[1].result, chain::kResultFail);
  EXPECT_TRUE(rig.engine.RunFailed);
  EXPECT_TRUE(rig.Memory(1).rows.empty());
}

TEST(Zepa3Upload, ReadsEveryRowGivesTheChecksumAndLeavesTheResultCell) {
  Zepa3Rig rig("device VTL3256XL\n");
  const std::string isp_text = IspText(MakeRows(chain::kPartVtl3256XL, 3));
  rig.Device(1, chain::kPartVtl3256XL, chain::kOpProgram, rig.File("d.isp", isp_text));
  rig.Run();
  rig.table[1].result = chain::kResultPass;
  rig.launcher.calls.clear();
  rig.Device(1, chain::kPartVtl3256XL, chain::kOpUpload, rig.Path("up.isp"));
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Upload completed!"));
  EXPECT_TRUE(rig.marks.marks.empty());
  EXPECT_EQ(rig.table[1].result, chain::kResultPass);
  EXPECT_EQ(rig.Read("up.rd"), isp_text);
  ASSERT_EQ(rig.launcher.calls.size(), 1u);
  EXPECT_EQ(rig.launcher.calls[0].args, (std::vector<std::string>{rig.Path("up.rd"), "vtl3256xl", "0"}));
  EXPECT_EQ(rig.After("Chip checksum="), rig.Read("chksum.chk"));
  EXPECT_TRUE(std::filesystem::exists(rig.Path("up.jed"))) << "fusedump's JEDEC of the upload";
}

// Recording the pin vectors (.bif) drives TDI at Run-Test/Idle clocks, so a row read shifts other data
// levels into the part; what the part answers must not change: behind a ZEPA1 part, a Verify and an Upload
// recorded read every row (the lower row 43 among them, whose address is the one the security test uses)
// as they do unrecorded.
TEST(Zepa3Bif, RecordedVerifyAndUploadReadWhatThePartHolds) {
  for (const PartCase& p : kParts) {
    SCOPED_TRACE(p.name);
    Zepa3Rig rig(std::string("device VTL5128C\ndevice ") + p.name + "\n");
    const std::string isp_text = IspText(MakeRows(p.part, 21));
    const std::string isp = rig.File("d.isp", isp_text);
    rig.Device(1, chain::kPartVtl5128C, chain::kOpNoOperation);
    rig.Device(2, p.part, chain::kOpProgram, isp);
    rig.Run();
    ASSERT_TRUE(rig.HasLine("Program completed!"));
    for (const int options : {0, static_cast<int>(kOptBif)}) {
      SCOPED_TRACE(options ? "recorded" : "not recorded");
      rig.Device(2, p.part, chain::kOpVerify, isp);
      rig.Run(options);
      EXPECT_TRUE(rig.HasLine("Verify succeeded!"));
      EXPECT_EQ(rig.After("Verify failed on address "), "");
      EXPECT_TRUE(rig.Read("d.rd") == isp_text) << "the verify's readback differs from the image";
      rig.Device(2, p.part, chain::kOpUpload, rig.Path("up.jed"));
      rig.Run(options);
      EXPECT_TRUE(rig.Read("up.rd") == isp_text) << "the upload differs from the image";
    }
    EXPECT_GT(rig.Read("chain.bif").size(), 1000u);
  }
}

// The round trip through the converters: a JEDEC design programmed and verified, the chip checksum from
// the readback compared with the design's checksum. Every fuse of every part is carried by some frame bit,
// so a chip that verifies gives the design's checksum; a chip that differs gives another one.
TEST(Zepa3Checksum, ChipChecksumAgainstTheJedecChecksum) {
  for (const PartCase& p : kParts) EXPECT_EQ(UnclaimedFuse(p.part), -1) << p.name;

  Zepa3Rig rig("device VTL3064XL\n");
  const std::string jed = rig.File("design.jed", MakeJedec(chain::kPartVtl3064XL, 21));
  for (int op : {chain::kOpProgramVerify, chain::kOpVerify}) {
    rig.Device(1, chain::kPartVtl3064XL, op, jed);
    rig.Run();
    EXPECT_EQ(rig.marks.marks, (Marks{{1, true}})) << op;
    EXPECT_EQ(rig.After("Chip checksum="), rig.Read("chksum.chk")) << op;
    EXPECT_FALSE(rig.HasLine("Chip checksum verify failed against JEDEC checksum")) << op;
    EXPECT_TRUE(std::filesystem::exists(rig.Path("design_chip.jed"))) << op;
  }
  // A cell of row 0 that carries a fuse and holds a 1 loses it.
  const JcdRec rec = Rec(chain::kPartVtl3064XL);
  const fusemap::Zepa3Map map(rec.id);
  sim::Bits& row0 = rig.Memory(1).rows[0];
  if (row0.empty()) row0.assign(static_cast<std::size_t>(rec.DR_len), true);
  std::size_t cell = 0;
  while (!(row0[cell] && map.bits(0)[static_cast<std::size_t>(rec.DR_len) - 1 - cell].ReadsBack())) ++cell;
  row0[cell] = false;
  rig.Device(1, chain::kPartVtl3064XL, chain::kOpVerify, jed);
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Verify failed!"));
  EXPECT_TRUE(rig.HasLine("Chip checksum verify failed against JEDEC checksum"));
}

// The user signature: programmed from fusebuild's signature image, read back into dev__1.ues, refused
// when the signature rows are no longer blank.
TEST(Zepa3Signature, ProgramAndReadRoundTrip) {
  for (const PartCase& p : {kParts[0], kParts[4]}) {
    SCOPED_TRACE(p.name);
    Zepa3Rig rig(std::string("device ") + p.name + "\n");
    const std::string jed = rig.File("design.jed", MakeJedec(p.part, 41));
    rig.Device(1, p.part, chain::kOpProgramUes, jed, "ZEPA3 signature");
    rig.Run();
    EXPECT_TRUE(rig.HasLine("Program User Signature completed."));
    EXPECT_EQ(rig.marks.marks, (Marks{{1, true}}));
    rig.Device(1, p.part, chain::kOpReadUes);
    rig.Run();
    EXPECT_TRUE(rig.HasLine("Read User Signature completed."));
    const std::string ues = rig.Read("dev__1.ues");
    const std::size_t bytes = Zepa3SignaturePositions(Rec(p.part).id).size() * 2 / 8;
    ASSERT_EQ(ues.size(), bytes + 1);
    const std::string text = "ZEPA3 signature";
    const std::string kept = text.substr(0, std::min(text.size(), bytes));
    EXPECT_EQ(ues.substr(0, kept.size()), kept);
    for (std::size_t i = kept.size(); i < bytes; ++i)
      EXPECT_EQ(static_cast<unsigned char>(ues[i]), 0xFF) << i;

    rig.Device(1, p.part, chain::kOpProgramUes, jed, "again");
    rig.Run();
    EXPECT_TRUE(rig.HasLine("User space is not blank, can not overwrite UES!"));
    EXPECT_FALSE(rig.HasLine("Program User Signature... (Device #1)"));
    EXPECT_EQ(rig.marks.marks, (Marks{{1, false}}));
  }
}

// Secure, then the security tests: the part's own (Read Device ID, and the RS word alone) and the 4-bit
// loader's before Verify, Upload and the signature.
TEST(Zepa3Security, SecuredPartsAreReportedAndRefuseReadbacks) {
  for (const PartCase& p : {kParts[0], kParts[3]}) {
    SCOPED_TRACE(p.name);
    Zepa3Rig rig(std::string("device ") + p.name + "\n");
    const std::string isp = rig.File("d.isp", IspText(MakeRows(p.part, 8)));
    rig.Device(1, p.part, chain::kOpProgram, isp);
    rig.Run();
    rig.Device(1, p.part, chain::kOpReadId);
    rig.Run();
    EXPECT_EQ(rig.Read("dev__1.sec"), "1\n");
    EXPECT_TRUE(rig.HasLine("Read IDcode completed."));
    EXPECT_FALSE(rig.Read("dev__1.id").empty());

    rig.Device(1, p.part, chain::kOpSecure);
    rig.Run();
    EXPECT_TRUE(rig.HasLine("Secure device completed."));
    for (int op : {chain::kOpReadId, chain::kOpRs}) {
      std::filesystem::remove(rig.Path("dev__1.sec"));
      rig.Device(1, p.part, op);
      rig.Run();
      EXPECT_EQ(rig.Read("dev__1.sec"), "0\n") << op;
    }
    for (int op : {chain::kOpVerify, chain::kOpUpload, chain::kOpProgramUes}) {
      rig.Device(1, p.part, op, isp);
      rig.Run();
      EXPECT_EQ(rig.Section("Device is secured. (Device #1)", ""),
                (Lines{"Device is secured. (Device #1)", "Operation aborted!", ""}))
          << op;
      EXPECT_EQ(rig.marks.marks, (Marks{{1, false}})) << op;
    }
    rig.Device(1, p.part, chain::kOpBulkErase);
    rig.Run();
    rig.Device(1, p.part, chain::kOpReadId);
    rig.Run();
    EXPECT_EQ(rig.Read("dev__1.sec"), "1\n") << "erased";
  }
}

TEST(Zepa3BlankCheck, ErasedPassesProgrammedFailsAtItsFirstRow) {
  Zepa3Rig rig("device VTL3384XL\n");
  rig.Device(1, chain::kPartVtl3384XL, chain::kOpBlankCheck);
  rig.Run();
  EXPECT_TRUE(rig.HasLine("Blank Check succeeded!"));
  EXPECT_EQ(rig.marks.marks, (Marks{{1, true}}));
  rig.Memory(1).rows[0] = sim::Bits(507, true);
  rig.Memory(1).rows[0][200] = false;
  rig.Device(1, chain::kPartVtl3384XL, chain::kOpBlankCheck);
  rig.Run();
  EXPECT_EQ(rig.Section("Blank Check... (Device #1)", "Blank Check failed!"),
            (Lines{"Blank Check... (Device #1)", "Checking Lower side...", "", "Blank Check failed!"}));
  EXPECT_EQ(rig.marks.marks, (Marks{{1, false}}));
}

// Malformed images are refused before the part is touched, naming the file and the line; a digit that is
// not hexadecimal is reported and its bits repeat the previous TDI level.
TEST(Zepa3Image, MalformedLinesAreRefusedOrReported) {
  const std::size_t hex = HexLength(chain::kPartVtl3032XL);  // 29 digits
  const std::vector<std::string> rows = MakeRows(chain::kPartVtl3032XL, 6);
  struct Case {
    const char* what;
    int line;  // 0-based line to change; -1: drop the last line
    std::string text;
    std::string message_start;  // of the abort line; empty: no abort
  };
  const Case cases[] = {
      {"a line past the line buffer", 4, std::string(128, 'F'), "Line 5 of "},
      {"a line shorter than the row", 7, std::string(hex - 1, 'F'), "Line 8 of "},
      {"too few lines", -1, "", ""},
      {"a digit that is not hexadecimal", 1, "G" + std::string(hex - 1, 'F'), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Zepa3Rig rig("device VTL3032XL\n");
    Lines lines = SplitLines(IspText(rows));
    if (c.line < 0) {
      lines.pop_back();
    } else {
      lines[static_cast<std::size_t>(c.line)] = c.text;
    }
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    const std::string isp = rig.File("d.isp", text);
    rig.Device(1, chain::kPartVtl3032XL, chain::kOpProgram, isp);
    rig.Run();
    if (c.line == 1) {
      EXPECT_TRUE(rig.HasLine("Non-valid hex number in bit stram."));
      EXPECT_TRUE(rig.HasLine("Error bit value found!"));
      EXPECT_TRUE(rig.HasLine("Program completed!"));
      continue;
    }
    EXPECT_TRUE(rig.HasLine("Operation aborted!"));
    EXPECT_FALSE(rig.HasLine("Bulk erase... (Device #1)")) << "refused before the part is touched";
    const std::string expected_start = c.line < 0 ? isp + " holds 107 rows" : c.message_start + isp;
    bool found = false;
    for (const std::string& l : rig.messages.lines()) found = found || l.rfind(expected_start, 0) == 0;
    EXPECT_TRUE(found) << expected_start;
    EXPECT_EQ(rig.marks.marks, (Marks{{1, false}}));
  }
}

// One chain file for a ZEPA1 part, a ZEPA3 part, a ZEPA2 part (its JEDEC design converted by fusebuild) and
// a part of another maker in bypass: programmed, then verified.
TEST(Zepa3Chain, MixedChainProgramThenVerify) {
  Zepa3Rig rig("device VTL3064A\ndevice VTL3128XL\ndevice VTL3320\ndevice Others irlen=7\n");
  const std::string bin = rig.File("one.bin", MakeZepa1Image(chain::kPartVtl3064A, 31));
  const std::string isp_text = IspText(MakeRows(chain::kPartVtl3128XL, 32));
  const std::string isp = rig.File("two.isp", isp_text);
  const std::string jed =
      rig.File("three.jed", fusemap::testing::JedecText(fusemap::testing::FusesWithZeros(
                                Rec(chain::kPartVtl3320).jed_fuse, {0, 789, 1429, 90000})));
  struct Step {
    int op;
    Marks marks;  // the ZEPA2 write leaves its result cell alone
  };
  const Step steps[] = {{chain::kOpProgram, {{1, true}, {2, true}, {4, true}}},
                        {chain::kOpVerify, {{1, true}, {2, true}, {3, true}, {4, true}}}};
  for (const Step& step : steps) {
    rig.Device(1, chain::kPartVtl3064A, step.op, bin);
    rig.Device(2, chain::kPartVtl3128XL, step.op, isp);
    rig.Device(3, chain::kPartVtl3320, step.op, jed);
    rig.Device(4, chain::kPartOthers, chain::kOpNoOperation);
    rig.Run();
    EXPECT_EQ(rig.marks.marks, step.marks) << step.op;
    EXPECT_FALSE(rig.engine.RunFailed) << step.op;
    EXPECT_TRUE(rig.HasLine("Bypass... (Device #4)")) << step.op;
  }
  EXPECT_EQ(rig.Read("two.rd"), isp_text);
  EXPECT_TRUE(rig.HasLine("Verify succeeded!"));
  EXPECT_EQ(rig.Read("three.in").size(), 336u * 141);
}

}  // namespace
}  // namespace zepa::engine
