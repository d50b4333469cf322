// The design-file checks: JEDEC legality, fuse checksum and ISP bit, the part a JEDEC file is for, IDCODE
// identification, conversion decisions and image names, the fusebuild run and the image-file checks.
#include "engine/checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "engine/workdir.h"
#include "sim/parts.h"
#include "ui/core/idcode.h"
#include "util/files.h"

namespace zepa::engine {
namespace {

using testing::IspRig;
using Lines = std::vector<std::string>;

// Runs `check`; returns the message of an abort (its first line), or "" when there was none.
template <typename Check>
std::string AbortMessage(IspRig& rig, Check check) {
  const std::size_t before = rig.messages.lines().size();
  try {
    check();
  } catch (const EPyk&) {
    const Lines& lines = rig.messages.lines();
    EXPECT_GE(lines.size(), before + 3);
    EXPECT_EQ(lines[lines.size() - 2], "Operation aborted!");
    return lines[lines.size() - 3];
  }
  return "";
}

std::string Jedec(const std::string& qf, const std::string& body) {
  return "\x02JEDEC file for the checker\r\nNOTE a test design*\r\n" + qf + "*\r\nF0*\r\n" + body + "\x03";
}

TEST(CheckJedec, ChecksumOfTheWholeFuseArray) {
  struct Case {
    const char* what;
    std::string body;
    const char* expected;  // message line, or the abort message
    bool aborts;
  };
  const Case cases[] = {
      {"matching checksum", "L000000 1011*\r\nC000D*\r\n", "(Device #1) JEDEC checksum=000D", false},
      {"wrong checksum", "L000000 1011*\r\nC0000*\r\n",
       "(Device #1) JEDEC checksum error! <Read:0000, Actual:000D>", true},
      {"no fuse set, C0000", "L000000 0000*\r\nC0000*\r\n", "(Device #1) JEDEC checksum=0000", false},
      {"a set fuse against C0000", "L000020 1*\r\nC0000*\r\n",
       "(Device #1) JEDEC checksum error! <Read:0000, Actual:0010>", true},
      {"a blank is a 0 fuse", "L000000 1 1*\r\nC0005*\r\n", "(Device #1) JEDEC checksum=0005", false},
      {"lower-case hex", "L000000 10110101*\r\nC00ad*\r\n", "(Device #1) JEDEC checksum=00AD", false},
      {"fuses past the array are dropped", "L523215 11111*\r\nC0080*\r\n", "(Device #1) JEDEC checksum=0080",
       false},
      {"malformed L lines are ignored", "L0000001 1*\r\nL000000*\r\nLx00000 1*\r\nC0000*\r\n",
       "(Device #1) JEDEC checksum=0000", false},
      {"a header line starting with C is no checksum", "L000000 1011*\r\nC000D*\r\nCopyright*\r\n",
       "(Device #1) JEDEC checksum=000D", false},
      {"no checksum line", "L000000 1*\r\n", "(Device #1) JEDEC checksum error! <Read:0000, Actual:0001>",
       true},
  };
  for (const Case& c : cases) {
    IspRig rig("device VTL3320\n");
    const std::string file = rig.File("d.jed", Jedec("QF173492", c.body));
    EngineContext context = rig.Context(chain::kPartVtl3320, file);
    std::uint16_t result = 0;
    const std::string abort = AbortMessage(rig, [&] { result = CheckJedec(context, 1, file); });
    if (c.aborts) {
      EXPECT_EQ(abort, c.expected) << c.what;
      EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, false}})) << c.what;
    } else {
      EXPECT_EQ(abort, "") << c.what;
      EXPECT_EQ(rig.lines(), Lines{c.expected}) << c.what;
      EXPECT_EQ(rig.lines()[0].substr(rig.lines()[0].size() - 4), [&] {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", result);
        return std::string(hex);
      }()) << c.what;
    }
    EXPECT_TRUE(rig.prompts.boxes.empty()) << c.what;
  }
}

// A file whose lines end in a lone CR is read line by line like any other: its fuses and its checksum are
// seen, so a wrong checksum is caught rather than both reading as 0.
TEST(CheckJedec, LinesEndingInALoneCr) {
  struct Case {
    const char* what;
    std::string body;
    const char* expected;
    bool aborts;
  };
  const Case cases[] = {
      {"matching checksum", "L000000 1011*\rC000D*\r", "(Device #1) JEDEC checksum=000D", false},
      {"wrong checksum", "L000000 1011*\rC0000*\r",
       "(Device #1) JEDEC checksum error! <Read:0000, Actual:000D>", true},
      {"mixed line ends", "L000000 1011*\r\nL000020 1*\rC001D*\n", "(Device #1) JEDEC checksum=001D", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IspRig rig("device VTL3320\n");
    std::string text = Jedec("QF173492", c.body);
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos && at < text.find("F0*") + 4;)
      text.erase(at + 1, 1);  // the header's lines end in CR alone too
    const std::string file = rig.File("d.jed", text);
    EngineContext context = rig.Context(chain::kPartVtl3320, file);
    EXPECT_EQ(DetectJedecPart(context, 1, codes::kVtl3320, file), codes::kVtl3320);
    const std::string abort = AbortMessage(rig, [&] { CheckJedec(context, 1, file); });
    if (c.aborts) {
      EXPECT_EQ(abort, c.expected);
    } else {
      EXPECT_EQ(abort, "");
      EXPECT_EQ(rig.lines(), Lines{c.expected});
    }
  }
}

TEST(CheckJedec, OnlyLegalJedecFilesAreExamined) {
  IspRig rig("device VTL3320\n");
  const std::string note_only = rig.File("n.jed", "NOTE QF173492*\r\nL000000 1*\r\nC0001*\r\n");
  EngineContext context = rig.Context(chain::kPartVtl3320, note_only);
  EXPECT_EQ(CheckJedec(context, 1, note_only), 0);
  ASSERT_EQ(rig.prompts.boxes.size(), 1u);
  EXPECT_EQ(std::get<2>(rig.prompts.boxes[0]), "Not a legal JEDEC file for Corvane's ISP device!");
  EXPECT_TRUE(rig.lines().empty());
  EXPECT_TRUE(rig.marks.marks.empty());

  // Not a .jed: nothing is read (the file need not even exist).
  EXPECT_EQ(CheckJedec(context, 1, rig.Path("missing.bin")), 0);
  // A .jed that cannot be read is an error naming it.
  EXPECT_THROW(CheckJedec(context, 1, rig.Path("missing.jed")), std::runtime_error);
}

TEST(CheckJedec, AClearedIspFuseAsksWhetherToStop) {
  struct Case {
    int part;
    const char* qf;
    long isp_fuse;
    bool fuse_set;
    bool answer_yes;
    const char* abort;
  };
  const Case cases[] = {
      {chain::kPartVtl5128C, "QF82930", 82801, false, true,
       "(Device #1) ISP bit Turned off! Check JEDEC fuse# L82801"},
      {chain::kPartVtl5128C, "QF82930", 82801, false, false, ""},
      {chain::kPartVtl3032A, "QF20542", 20541, false, true,
       "(Device #1) ISP bit Turned off! Check JEDEC fuse# L20541"},
      {chain::kPartVtl5064C, "QF41241", 41240, true, true, ""},
  };
  for (const Case& c : cases) {
    IspRig rig("device VTL5128C\n");
    std::string body = c.fuse_set ? "L" + std::to_string(c.isp_fuse) + " 1*\r\n" : "";
    // The checksum of one set fuse n is 1 << (n mod 8).
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "C%04X*\r\n", c.fuse_set ? 1u << (c.isp_fuse % 8) : 0u);
    const std::string file = rig.File("d.jed", Jedec(c.qf, body + checksum));
    EngineContext context = rig.Context(c.part, file);
    rig.prompts.answer = c.answer_yes;
    EXPECT_EQ(AbortMessage(rig, [&] { CheckJedec(context, 1, file); }), c.abort) << c.qf;
    EXPECT_EQ(rig.prompts.boxes.size(), c.fuse_set ? 0u : 1u) << c.qf;
    if (!c.fuse_set) {
      EXPECT_EQ(std::get<2>(rig.prompts.boxes[0]), "ISP bit turned off! stop operation?");
    }
  }
}

TEST(DetectJedecPart, TheFuseCountNamesThePart) {
  struct Case {
    const char* text;
    int expected_code;
    int result;
    const char* abort;
  };
  const Case cases[] = {
      {"QF82930*", 121, 121, ""},
      {"QF82930*", 120, 120, ""},
      {"QF41241*", 85, 85, ""},
      {"QF115869*", 148, 148, ""},
      {"QF82930*", 119, 0, "(Device #1) does not match with (a possible VTL3128A/5128C) design file!"},
      {"QF20542*", 85, 0, "(Device #1) does not match with (a possible VTLx032_C/A) design file!"},
      // Without a fuse count the file names no part: a mismatch with "unknown" for any known part.
      {"NOTE QF20542*\r\nL0 1*", 51, 0, "(Device #1) does not match with (a possible unknown) design file!"},
      {"no count at all", 148, 0, "(Device #1) does not match with (a possible unknown) design file!"},
      {"no count at all", 0, 0, "An illegal jedec file. (Device #1)"},
  };
  for (const Case& c : cases) {
    IspRig rig("device VTL5128C\n");
    const std::string file = rig.File("d.jed", c.text);
    EngineContext context = rig.Context(chain::kPartVtl5128C, file);
    int result = 0;
    EXPECT_EQ(AbortMessage(rig, [&] { result = DetectJedecPart(context, 1, c.expected_code, file); }),
              c.abort)
        << c.text;
    if (*c.abort == '\0') {
      EXPECT_EQ(result, c.result) << c.text;
    }
  }
  IspRig rig("device VTL5128C\n");
  EngineContext context = rig.Context(chain::kPartVtl5128C);
  EXPECT_EQ(DetectJedecPart(context, 1, 120, ""), 120) << "no design file: the expected part";
}

TEST(Identify, EverySimulatedPartIsRecognisedByItsIdcode) {
  for (const sim::PartInfo& part : sim::Parts()) {
    if (part.family == sim::Family::kOther) continue;
    const IdcodeRead read = DecodeIdcodeBits(ui::idcode_text(sim::DefaultIdcode(part)));
    EXPECT_TRUE(read.manufacturer_accepted) << part.name;
    EXPECT_EQ(read.type_code, part.type_code) << part.name;
  }
}

TEST(Identify, ManufacturerFamilyAndPartFields) {
  const std::uint32_t k5064 = (1u << 18) | (1u << 16);  // part field "101000": 85
  struct Case {
    const char* what;
    std::uint32_t idcode;
    int record_id;
    const char* problem;
  };
  const Case cases[] = {
      {"first maker pattern", 0x2B | k5064, 85, nullptr},
      {"second maker pattern", 0x93 | k5064, 85, nullptr},
      {"another maker", 0x03 | k5064, 85, "(Device #3) is an unknown target device."},
      {"another part", 0x2B | k5064, 51,
       "(Device #3) does not match with (a possible VTL5064C) target device."},
      {"bit 15 tells 3128A", 0x2B | (1u << 16) | (1u << 19) | (1u << 15), 120,
       "(Device #3) does not match with (a possible VTL3128A) target device."},
      {"reserved family", 0x2B | k5064 | (3u << 25), 85, "(Device #3) is an unknown target device."},
      {"unknown part field", 0x2B | (1u << 21), 85, "(Device #3) is an unknown target device."},
  };
  for (const Case& c : cases) {
    JcdRec rec;
    rec.id = c.record_id;
    const auto problem = IdentityProblem(rec, 3, DecodeIdcodeBits(ui::idcode_text(c.idcode)));
    if (c.problem == nullptr) {
      EXPECT_FALSE(problem.has_value()) << c.what;
    } else {
      EXPECT_EQ(problem.value_or(""), c.problem) << c.what;
    }
  }
}

TEST(Conversion, WhichDesignsNeedFusebuildAndWhatItWrites) {
  struct Need {
    const char* jed;
    int cmnd;
    int options;
    bool needs;
  };
  const Need needs[] = {
      {"a.jed", 2, 0, true}, {"a.JEDEC", 3, 0, true}, {"a.bin", 2, 0, false}, {"", 7, 0, true},
      {"", 8, 0, false},     {"", 8, 64, true},       {"", 8, 63, false},     {"a.isp", 8, 0x40, true},
  };
  for (const Need& n : needs) {
    JcdRec rec;
    rec.jed = n.jed;
    rec.cmnd = n.cmnd;
    EXPECT_EQ(NeedsConversion(rec, n.options), n.needs) << n.jed << " " << n.cmnd << " " << n.options;
  }

  IspRig rig("device VTL5128C\n");
  EngineContext context = rig.Context(chain::kPartVtl5128C);
  struct Name {
    int type;
    const char* jed;
    int cmnd;
    std::string image;
  };
  const Name names[] = {
      {51, "d.v2/x.jed", 2, "d.v2/x.bin"},
      {120, "C:\\W\\D.JED", 4, "C:\\W\\D.bin"},
      {146, "x.jed", 2, "x.isp"},
      {130, "x.jed", 2, "x.isp"},
      {51, "", 7, rig.Path("tempues.bin")},
      {148, "", 8, rig.Path("tempues.isp")},
      {130, "", 7, ""},
      {0, "x.jed", 2, ""},
  };
  for (const Name& n : names) {
    context.rec(1).cmnd = n.cmnd;
    EXPECT_EQ(ImageFileName(context, 1, n.type, n.jed), n.image) << n.type << " " << n.jed;
  }
}

TEST(RunFusebuild, SuccessIsExitStatusZeroAndTheImage) {
  struct Case {
    const char* what;
    bool started;
    int status;
    bool writes;
    bool passes;
  };
  const Case cases[] = {
      {"converted", true, 0, true, true},
      {"exit status 1", true, 1, true, false},
      {"no image", true, 0, false, false},
      {"cannot start", false, -1, false, false},
  };
  for (const Case& c : cases) {
    IspRig rig("device VTL3064A\ndevice VTL3064A\n");
    const std::string design = rig.File("d.jed", Jedec("QF41306", "C0000*\r\n"));
    const std::string image = rig.File("d.bin", "old image");
    EngineContext context = rig.Context(chain::kPartVtl3064A);
    context.rec(2) = RecordForPart(chain::kPartVtl3064A);
    context.rec(2).jed = design;
    context.rec(2).cmnd = 2;
    bool old_image_gone = false;
    rig.launcher.action = [&](const testing::ScriptedLauncher::Call&) {
      old_image_gone = !util::FileExists(image);
      if (c.writes) rig.File("d.bin", "new image");
      return ProcessResult{
          .started = c.started, .exit_status = c.status, .error = c.started ? "" : "no such file"};
    };
    std::string output;
    const std::string abort =
        AbortMessage(rig, [&] { output = RunFusebuild(context, 2, 2, 0x10, rig.Path("chain.jcd")); });
    EXPECT_TRUE(old_image_gone) << c.what;
    ASSERT_EQ(rig.launcher.calls.size(), 1u) << c.what;
    const auto& call = rig.launcher.calls[0];
    EXPECT_EQ(call.program, std::string(ZEPA_BIN_DIR) + "/fusebuild") << c.what;
    EXPECT_EQ(call.args, (std::vector<std::string>{rig.Path("chain.jcd"), "2", "16"})) << c.what;
    EXPECT_EQ(call.environment, (std::vector<std::string>{"ZEPA_WORK_DIR=" + rig.dir.path().string() + "/"}));
    if (c.passes) {
      EXPECT_EQ(abort, "") << c.what;
      EXPECT_EQ(output, image) << c.what;
    } else {
      EXPECT_EQ(abort, "No output bin/isp files generated!") << c.what;
      EXPECT_EQ(rig.prompts.boxes.size(), c.started ? 0u : 1u) << c.what;
    }
  }
}

TEST(RunFusebuild, OnlyOperationsThatUseAnImageConvert) {
  IspRig rig("device VTL3320\n");
  EngineContext context = rig.Context(chain::kPartVtl3320, rig.File("d.jed", "QF173492*"));
  for (int op : {0, 1, 5, 6, 9, 10}) EXPECT_EQ(RunFusebuild(context, 1, op, 0, "c.jcd"), "") << op;
  context.rec(1).bypass = 1;
  EXPECT_EQ(RunFusebuild(context, 1, 2, 0, "c.jcd"), "");
  EXPECT_TRUE(rig.launcher.calls.empty());

  context.rec(1).bypass = 0;
  rig.launcher.action = [&](const testing::ScriptedLauncher::Call&) {
    rig.File("d.isp", "frames");
    return ProcessResult{.started = true, .exit_status = 0, .error = ""};
  };
  EXPECT_EQ(RunFusebuild(context, 1, 2, 0, "c.jcd"), rig.Path("d.isp"));
  EXPECT_EQ(rig.lines(), Lines{"Generate VTL3320 MCS/ISP files..."});
  EXPECT_EQ(context.zepa2_frame_mode, 3);
  EXPECT_EQ(context.zepa2_last_address, 335);
}

TEST(RunFusebuild, EachZepa2PartGetsItsFrameParameters) {
  struct Case {
    int part;
    const char* line;
    int frame_mode, last_address;
  };
  const Case cases[] = {{chain::kPartVtl3320, "Generate VTL3320 MCS/ISP files...", 3, 335},
                        {chain::kPartVtl3960, "Generate VTL3960 MCS/ISP files...", 1, 1007}};
  for (const Case& c : cases) {
    IspRig rig("device VTL3320\n");
    EngineContext context =
        rig.Context(c.part, rig.File("d.jed", c.part == chain::kPartVtl3320 ? "QF173492*" : "QF520476*"));
    rig.launcher.action = [&](const testing::ScriptedLauncher::Call&) {
      rig.File("d.isp", "frames");
      return ProcessResult{.started = true, .exit_status = 0, .error = ""};
    };
    EXPECT_EQ(RunFusebuild(context, 1, chain::kOpVerify, 0, "c.jcd"), rig.Path("d.isp")) << c.line;
    EXPECT_EQ(rig.lines(), Lines{c.line});
    EXPECT_EQ(context.zepa2_frame_mode, c.frame_mode) << c.line;
    EXPECT_EQ(context.zepa2_last_address, c.last_address) << c.line;
  }
}

TEST(CheckImageFile, ImagesMustSuitTheFamilyAndThePart) {
  struct Case {
    int part;
    const char* name;
    std::string bytes;
    int op;
    const char* abort;  // empty: accepted, and without a warning line
  };
  const Case cases[] = {
      {chain::kPartVtl5128C, "d.bin", "x...", 2, ""},
      {chain::kPartVtl3128A, "d.BIN", "x...", 3,
       "Specified device does not match with (a possible VTL5128C) design file (Device #1)"},
      {chain::kPartVtl3032A, "d.bin", "", 4,
       "Specified device does not match with (a possible ) design file (Device #1)"},
      {chain::kPartVtl3032A, "d.bin", "x", 9, ""},
      {chain::kPartVtl3128XL, "d.bin", "x", 2, "Incorrect file type (.bin) for ZEPA2/ZEPA3 device!"},
      {chain::kPartVtl3064A, "d.isp", "", 2, "Incorrect file type (.isp) for ZEPA1 device!"},
      {chain::kPartVtl3032XL, "d.isp", "", 2, ""},
      {chain::kPartVtl3128XL, "d.isp", "", 2, ""},
      {chain::kPartVtl3384XL, "d.isp", "", 4, ""},
      {chain::kPartVtl3320, "d.isp", "", 2, ""},
      {chain::kPartVtl3960, "d.isp", "", 3, ""},
      {chain::kPartOthers, "d.txt", "", 2, ""},
  };
  for (const Case& c : cases) {
    IspRig rig("device VTL5128C\n");
    const std::string file = rig.File(c.name, c.bytes);
    EngineContext context = rig.Context(c.part, file);
    EXPECT_EQ(AbortMessage(rig, [&] { CheckImageFile(context, 1, c.op, file); }), c.abort) << c.name;
    // The sizes of each part's record are those of its .isp image.
    if (std::string(c.abort).empty()) {
      EXPECT_EQ(rig.lines(), Lines{}) << c.name << " part " << c.part;
    }
  }
  // The .isp size check compares the record's size: a record with another size gets the warning line.
  IspRig rig("device VTL5128C\n");
  EngineContext context = rig.Context(chain::kPartVtl3256XL);
  context.rec(1).bin_size = 1;
  CheckImageFile(context, 1, 2, rig.File("d.isp", ""));
  context.rec(1) = RecordForPart(chain::kPartVtl3320);
  context.rec(1).bin_size = 2;
  CheckImageFile(context, 1, 2, rig.File("d.isp", ""));
  EXPECT_EQ(rig.lines(), (Lines{"Not a legal ZEPA3 .isp file!", "Not a legal ZEPA2 .isp file!"}));
}

}  // namespace
}  // namespace zepa::engine
