// ZEPA1 blocks as whole texts and the dispatch around them, on the engine's runner with SVF output on.
#include "svf/zepa1_svf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "svf/tests/svf_rig.h"

namespace zepa::svf {
namespace {

using engine::testing::MakeZepa1Image;
using Lines = std::vector<std::string>;
using testing::SvfRig;

const Lines kOneDeviceBulkErase = {
    "!Begin Bulk Erase (Device #1).     Time:12:34:56",
    "TRST ABSENT;                         !No TRSTn Signal",
    "HIR 0;                        !0-bit IR header",
    "HDR 0;                        !0-bit DR header",
    "TIR 0;                        !0-bit IR trailer",
    "TDR 0;                        !0-bit DR trailer",
    "ENDIR IDLE;                          !End IR scans in IDLE",
    "ENDDR IDLE;                          !End DR scans in IDLE",
    "STATE RESET;                         !Force Tap Controller to Reset State",
    "SIR 4 TDI (9);                       !Load ENABLE instruction",
    "SIR 4 TDI (A);                       !Load ERASE instruction",
    "RUNTEST 100000 TCK;                  !Ensure 100 msec ERASE time",
    "SIR 4 TDI (D);                       !Load INIT instruction",
    "RUNTEST 100 TCK;                     !Ensure 100 usec INIT time",
    "STATE RESET;                         !Force TAP Controller to Reset State",
    "!End Bulk Erase",
    "",
    "",
};

struct BlockCase {
  const char* name;
  std::string board;
  std::vector<std::pair<int, int>> devices;  // part, operation
  Lines expected;
};

TEST(Zepa1Svf, WholeBlocksLetterForLetter) {
  const std::vector<BlockCase> cases = {
      {"one-device bulk erase",
       "device VTL3064A\n",
       {{chain::kPartVtl3064A, chain::kOpBulkErase}},
       kOneDeviceBulkErase},
      {"128-macrocell first device erased, second bypassed: preload and headers",
       "device VTL5128C\ndevice VTL3032C\n",
       {{chain::kPartVtl5128C, chain::kOpBulkErase}, {chain::kPartVtl3032C, chain::kOpNoOperation}},
       {
           "!Begin Bulk Erase (Device #1).     Time:12:34:56",
           "TRST ABSENT;                         !No TRSTn Signal",
           "HIR 4 TDI (F);                     !4-bit IR header",
           "HDR 1 TDI (1) TDO (0) MASK(0);       !1-bit DR header",
           "TIR 0;                        !0-bit IR trailer",
           "TDR 0;                        !0-bit DR trailer",
           "!Tristate CR128 BSC (Device #1)",
           "ENDIR IDLE;                          !End IR scans in IDLE",
           "ENDDR IDLE;                          !End DR scans in IDLE",
           "STATE RESET;                         !Force Tap Controller to Reset State",
           "SIR 4 TDI (2);                       !Load PRELOAD instruction",
           "SDR 280 TDI (0);                     !Shift in 280 BSC bits",
           "ENDIR IDLE;                          !End IR scans in IDLE",
           "ENDDR IDLE;                          !End DR scans in IDLE",
           "STATE RESET;                         !Force Tap Controller to Reset State",
           "SIR 4 TDI (9);                       !Load ENABLE instruction",
           "SIR 4 TDI (A);                       !Load ERASE instruction",
           "RUNTEST 100000 TCK;                  !Ensure 100 msec ERASE time",
           "SIR 4 TDI (D);                       !Load INIT instruction",
           "RUNTEST 100 TCK;                     !Ensure 100 usec INIT time",
           "STATE RESET;                         !Force TAP Controller to Reset State",
           "!End Bulk Erase",
           "",
           "",
       }},
      {"last device of three reads its IDCODE; device 1 bypassed leaves only TRST",
       "device VTL3032C\ndevice VTL3064A\ndevice VTL5128C\n",
       {{chain::kPartVtl3032C, chain::kOpNoOperation},
        {chain::kPartVtl3064A, chain::kOpNoOperation},
        {chain::kPartVtl5128C, chain::kOpReadId}},
       {
           "TRST ABSENT;                         !No TRSTn Signal",
           "!Begin Read IDcode (Device #3).   Time:12:34:56",
           "HIR 0;                        !0-bit IR header",
           "HDR 0;                        !0-bit DR header",
           "TIR 8 TDI (FF);                     !8-bit IR trailer",
           "TDR 2 TDI (3) TDO (0) MASK(0);        !2-bit DR trailer",
           "ENDIR IDLE;                          !End IR scans in IDLE",
           "ENDDR IDLE;                          !End DR scans in IDLE",
           "STATE RESET;                         !Force Tap Controller to Reset State",
           "SIR 4 TDI (9);                       !Load ENABLE instruction",
           "SIR 4 TDI (1);                       !Load IDCODE instruction",
           "RUNTEST 100 TCK;                     !100 usec wait time",
           "SDR 32 TDI (0) TDO (FFC9FFFF) MASK(000F0000) SMASK(0); !vtl128A/C IDCODE",
           "STATE RESET;                         !Force Tap Controller to Reset State",
           "!End Read IDcode.",
           "",
           "",
       }},
  };
  for (const BlockCase& c : cases) {
    SvfRig rig(c.board);
    for (std::size_t i = 0; i < c.devices.size(); ++i)
      rig.Device(static_cast<int>(i) + 1, c.devices[i].first, c.devices[i].second);
    rig.RunSvf();
    EXPECT_EQ(rig.SvfLines(), c.expected) << c.name;
    const std::string text = rig.SvfText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'))
        << c.name << ": every line ends in CR LF";
  }
}

// The index of the first line equal to `line`, or -1.
long Find(const Lines& lines, const std::string& line) {
  auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : it - lines.begin();
}

TEST(Zepa1Svf, ProgramAndVerifyOfA32MacrocellPart) {
  SvfRig rig("device VTL3032C\n");
  rig.Device(1, chain::kPartVtl3032C, chain::kOpProgramVerify,
             rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3032C, 7)));
  rig.RunSvf();
  const Lines lines = rig.SvfLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "TRST ABSENT;                         !No TRSTn Signal"),
            1);
  EXPECT_EQ(lines[0], "!Begin Bulk Erase (Device #1).  Time:12:34:56");

  // Program rows: 262-bit scans of 66 digits, 46 on the first line.
  long first = Find(lines, "!Program-Left Side.");
  ASSERT_GT(first, 0);
  EXPECT_EQ(lines[static_cast<std::size_t>(first) - 1], "");
  const std::string& row0 = lines[static_cast<std::size_t>(first) + 1];
  EXPECT_EQ(row0.substr(0, 15), "SDR 262 TDI (00") << "row 0 has address 0, in the top digits";
  EXPECT_EQ(row0.size(), 13u + 46u);
  EXPECT_EQ(lines[static_cast<std::size_t>(first) + 2].substr(34), ");     !Load PROGRAM data and address 0");
  EXPECT_EQ(lines[static_cast<std::size_t>(first) + 3],
            "RUNTEST 10000 TCK;                       !Ensure 10 msec PROGRAM time");

  // Address statements: rows 0, 40, 43, 83 and their scan values.
  for (const char* line : {
           "SDR 7 TDI (00) SMASK(7F);             !Load address 0 (Grey code=0)",
           "SDR 7 TDI (1E) SMASK(7F);             !Load address 40 (Grey code=60)",
           "SDR 7 TDI (01) SMASK(7F);            !Load address 43 (Grey code=64)",
           "SDR 7 TDI (1F) SMASK(7F);            !Load address 83 (Grey code=124)",
       })
    EXPECT_GE(Find(lines, line), 0) << line;
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("SDR 262 ", 0) == 0; }),
            82);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("SDR 255 ", 0) == 0; }),
            82);
  // The verify block: no TRST, headers again, the left and right TDO prefixes.
  const long verify = Find(lines, "!Begin Verify (Device #1).   Time:12:34:56");
  ASSERT_GT(verify, first);
  EXPECT_EQ(lines[static_cast<std::size_t>(verify) - 2], "!End Program");
  EXPECT_EQ(lines[static_cast<std::size_t>(verify) - 1], "");
  EXPECT_EQ(lines[static_cast<std::size_t>(verify) + 1], "HIR 0;                        !0-bit IR header");
  const long left = Find(lines, "!Verify-Left Side.");
  EXPECT_EQ(lines[static_cast<std::size_t>(left) + 3].substr(0, 20), "SDR 255 TDI(0) TDO (");
  EXPECT_LE(lines[static_cast<std::size_t>(left) + 3][20], '7') << "255 bits: the top digit holds 3 bits";
  const long right = Find(lines, "!Verify-Right Side.");
  EXPECT_EQ(lines[static_cast<std::size_t>(right) + 2],
            "RUNTEST 20 TCK;                     !Ensure 10 usec VERIFT time");
  EXPECT_EQ(lines[static_cast<std::size_t>(right) + 3].substr(0, 21), "SDR 255 TDI (0) TDO (");
  EXPECT_EQ(Lines(lines.end() - 5, lines.end()),
            (Lines{"", "STATE RESET;                         !Force Tap Controller to Reset State",
                   "!End Verify", "", ""}));

  // Message lines, with one progress mark per row.
  const std::string marks41 = [] {
    std::string s;
    for (int i = 0; i < 41; ++i) s += " *";
    return s;
  }();
  EXPECT_EQ(rig.Section("SVF Bulk erase... (Device #1)", "SVF Program and Verify completed!"),
            (Lines{"SVF Bulk erase... (Device #1)", "SVF Bulk erase completed.",
                   "SVF Program and Verify... (Device #1)", "Programing Left side... " + marks41,
                   "Programing Right side..." + marks41, "Verifying Left side... " + marks41,
                   "Verifying Right side..." + marks41, "SVF Program and Verify completed!"}));
  EXPECT_EQ(rig.marks.marks.size(), 0u) << "SVF output marks nothing pass or fail";
  EXPECT_TRUE(rig.Part(1).memory().rows.empty()) << "SVF output never touches the part";
}

TEST(Zepa1Svf, SecurityAndSignatureStatements) {
  SvfRig rig("device VTL3032C\ndevice VTL3032C\ndevice VTL3032C\n");
  const std::string image = rig.File("d.bin", MakeZepa1Image(chain::kPartVtl3032C, 3));
  rig.Device(1, chain::kPartVtl3032C, chain::kOpSecure);
  rig.Device(2, chain::kPartVtl3032C, chain::kOpProgramUes, image);
  rig.Device(3, chain::kPartVtl3032C, chain::kOpReadUes, image);
  rig.RunSvf();
  const Lines lines = rig.SvfLines();
  // 262 bits: 255 ones but bit 254, then address 7Ch reversed (1,1,1,1,1,0,0): top digits 0,7,B,F...
  const long secure = Find(lines, "!Begin Program Security Bit (Device #1).   Time:12:34:56");
  ASSERT_GE(secure, 0);
  const long sdr = secure + 12;
  EXPECT_EQ(lines[static_cast<std::size_t>(sdr)], "SDR 262 TDI (0FBF" + std::string(42, 'F'));
  EXPECT_EQ(lines[static_cast<std::size_t>(sdr) + 1],
            std::string(14, ' ') + std::string(20, 'F') + "); !Load PROGRAM data and address 83");
  EXPECT_EQ(lines[static_cast<std::size_t>(sdr) + 2], "");
  EXPECT_EQ(lines[static_cast<std::size_t>(sdr) + 3],
            "RUNTEST 10000 TCK;                   !Ensure 10 msec PROGRAM time");

  auto count_prefix = [&](const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(count_prefix("SDR 262 TDI ("), 3) << "the security row and the two signature rows";
  EXPECT_GE(Find(lines, "SDR 7 TDI (5E) SMASK(7F);            !Load address 41"), 0);
  EXPECT_GE(Find(lines, "SDR 7 TDI (5F) SMASK(7F);            !Load address 84"), 0);
  EXPECT_EQ(count_prefix("              FFFFFFFFFFFFFFFFFFFF); !Verify UES data in address 41"), 2);
  EXPECT_EQ(count_prefix("RUNTEST 10000 TCK;                  !Ensure 10 msec PROGRAM time"), 2);
  EXPECT_TRUE(rig.HasLine("SVF Read User Signature completed!"));
}

TEST(Zepa1Svf, DispatchRefusesAndSkipsWhatItCannotWrite) {
  SvfRig rig("device VTL3960\ndevice VTL3064A\ndevice VTL3064A\ndevice VTL3256XL\n");
  rig.File("chain.svf", "older content\r\n");
  rig.Device(1, chain::kPartVtl3960, chain::kOpProgram, rig.File("big.isp", "x"));
  rig.Device(2, chain::kPartVtl3064A, chain::kOpUpload);
  rig.Device(3, chain::kPartVtl3064A, chain::kOpBulkErase);
  rig.Device(4, chain::kPartVtl3256XL, chain::kOpBulkErase);
  rig.RunSvf();
  const Lines lines = rig.SvfLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "older content") << "nothing truncates the file when device 1 writes nothing";
  EXPECT_EQ(lines[1], "!Begin Bulk Erase (Device #3).     Time:12:34:56");
  EXPECT_EQ(rig.prompts.boxes.size(), 1u);
  EXPECT_EQ(std::get<2>(rig.prompts.boxes.at(0)), "This program does not support VTL3320/VTL3960 SVF output");
  EXPECT_TRUE(rig.HasLine("SVF not available for UPLOAD command."));
  // A ZEPA3 part gets the 5-bit instructions, never the ZEPA1 ones.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "!End Bulk Erase"), 2);
  const auto zepa3 =
      std::find(lines.begin(), lines.end(), "!Begin Bulk Erase (Device #4).     Time:12:34:56");
  ASSERT_NE(zepa3, lines.end());
  EXPECT_EQ(std::find(zepa3, lines.end(), "SIR 4 TDI (9);                       !Load ENABLE instruction"),
            lines.end());
  EXPECT_NE(std::find(zepa3, lines.end(), "SIR 5 TDI (09);                      !Load ENABLE instruction"),
            lines.end());
  EXPECT_TRUE(rig.marks.marks.empty());
}

}  // namespace
}  // namespace zepa::svf
