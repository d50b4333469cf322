// The ZEPA2 frame write and read-and-verify end to end on the simulated board with the virtual clock:
// what reaches the part's frames, the .in file, the lines reported and the result marks, in a chain with
// a ZEPA1 part before and an "Others" part after the ZEPA2 part.
#include "engine/zepa2_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "chain/chain_names.h"
#include "engine/tests/isp_rig.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "sim/zepa2_family.h"

namespace zepa::engine {
namespace {

using testing::ScriptedLauncher;
using Lines = std::vector<std::string>;

constexpr int kPosition = 2;  // the ZEPA2 part's place in the chain

// A chain of three on a simulated board whose ZEPA1 and ZEPA2 parts have their ISP behaviour.
class Zepa2Rig : public testing::IspRig {
 public:
  explicit Zepa2Rig(const char* part)
      : IspRig(std::string("device VTL3032C\ndevice ") + part + "\ndevice Others irlen=7\n",
               testing::RigFamilies::kAll) {
    Set(1, chain::kPartVtl3032C, 2, chain::kOpUnknown);  // no operation: only in the way
    Set(3, chain::kPartOthers, 5, chain::kOpUnknown);
    zepa2_part = std::string(part) == "VTL3320" ? chain::kPartVtl3320 : chain::kPartVtl3960;
  }

  // Runs `op` on the ZEPA2 part with `jed` as its design file.
  void Run(int op, const std::string& jed) {
    Set(kPosition, zepa2_part, 3, op, jed);
    ClearMessages();
    IspRig::Run();
  }
  sim::DeviceMemory& Frames() { return Memory(kPosition); }
  // The lines from the first that starts with `from` up to the end-of-run line, without it.
  Lines From(const std::string& from) const {
    Lines out;
    bool in = false;
    for (const std::string& l : messages.lines()) {
      if (l.rfind(from, 0) == 0) in = true;
      if (l.rfind("----------------End", 0) == 0) break;
      if (in) out.push_back(l);
    }
    return out;
  }

  int zepa2_part = 0;
};

// The frame lines of a .isp image as fusebuild writes them: 546 data bits, the frame's address, 3 zeros.
std::vector<std::string> MakeFrameLines(int frames, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> lines;
  for (int h = 0; h < frames; ++h) {
    std::string bits;
    for (int i = 0; i < 546; ++i) bits += random() % 3 == 0 ? '0' : '1';
    lines.push_back(BitsToHexLine(bits + Zepa2FrameAddress(h) + "000"));
  }
  return lines;
}
std::string Join(const std::vector<std::string>& lines, const char* end = "\n") {
  std::string text;
  for (const std::string& l : lines) text += l + end;
  return text;
}
// `pattern` with at most one '*' that stands for any text.
bool Matches(const std::string& line, const std::string& pattern) {
  const std::size_t star = pattern.find('*');
  if (star == std::string::npos) return line == pattern;
  const std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
  return line.size() >= head.size() + tail.size() && line.starts_with(head) && line.ends_with(tail);
}
std::string FrameBits(const std::string& hex_line) {
  return HexLineToBits(hex_line).value().substr(0, sim::kZepa2FrameLength);
}

TEST(Zepa2Operations, WriteThenVerifyPassesOnBothParts) {
  struct Case {
    const char* part;
    int frames;
    const char* end;  // line end of the image
    Lines write_lines;
  };
  const Case cases[] = {
      {"VTL3320",
       336,
       "\n",
       {"Write... (Device #2)", "Writing VTL3320 address 0 to 335", "Writing VTL3320 Super Fast Block #0",
        "Writing VTL3320 Super Fast Block #1", "Write completed!"}},
      {"VTL3960",
       1008,
       "\r\n",
       {"Write... (Device #2)", "Writing VTL3960 address 0 to 1007", "Writing VTL3960 Super Fast Block #0",
        "Writing VTL3960 Super Fast Block #1", "Writing VTL3960 Super Fast Block #2",
        "Writing VTL3960 Super Fast Block #3", "Writing VTL3960 Super Fast Block #4",
        "Writing VTL3960 Super Fast Block #5", "Write completed!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    Zepa2Rig rig(c.part);
    const std::vector<std::string> lines = MakeFrameLines(c.frames, 5);
    // Lines past the last frame are read and ignored.
    const std::string isp = rig.File("design.isp", Join(lines, c.end) + lines[0] + c.end);
    rig.Run(chain::kOpProgram, isp);
    EXPECT_EQ(rig.From("Write..."), c.write_lines);
    EXPECT_TRUE(rig.marks.marks.empty()) << "a write marks no result";
    ASSERT_EQ(rig.Frames().rows.size(), static_cast<std::size_t>(c.frames));
    for (int h : {0, 167, c.frames - 1}) {
      const sim::Bits& frame = rig.Frames().rows.at(h);
      std::string bits;
      for (bool b : frame) bits += b ? '1' : '0';
      EXPECT_EQ(bits, FrameBits(lines[static_cast<std::size_t>(h)])) << "frame " << h;
    }

    rig.Run(chain::kOpVerify, isp);
    EXPECT_EQ(rig.Read("design.in"), Join(lines));
    const Lines verify = rig.From("Read...");
    ASSERT_FALSE(verify.empty());
    EXPECT_EQ(verify.back(), "Verify succeeded!");
    const std::string short_name = std::string("Q") + (c.part + 4);
    EXPECT_TRUE(
        rig.HasLine("Verifying " + short_name + " Super Fast Block #" + std::to_string(c.frames / 168 - 1)));
    EXPECT_TRUE(
        rig.HasLine("Reading " + std::string(c.part) + " address 0 to " + std::to_string(c.frames - 1)));
    EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{kPosition, true}}));
  }
}

// Damage to the part's frames or to the image, and what the verify makes of it.
TEST(Zepa2Operations, VerifyReportsTheFirstDifferingFrame) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::string>& isp, sim::DeviceMemory& frames)> damage;
    Lines tail;  // the last lines of the verify; empty for a pass
  };
  const Case cases[] = {
      {"a padding bit of the image", [](auto& isp, auto&) { isp[4].back() = '1'; }, {}},
      {"a data bit of frame 77 in the part",
       [](auto&, auto& frames) { frames.rows.at(77)[100] = !frames.rows.at(77)[100]; },
       {"Verify error on address 77", "Data read back is:*", "Data expect is:     *", "Verify FAILED!"}},
      {"the address bits of frame 200 in the part",
       [](auto&, auto& frames) { frames.rows.at(200)[550] = !frames.rows.at(200)[550]; },
       {"Verify error on address 200", "Data read back is:*", "Data expect is:     *", "Verify FAILED!"}},
      {"an image one frame short",
       [](auto& isp, auto&) { isp.pop_back(); },
       {"Files have different size error!", "Verify FAILED!"}},
      {"an image line of 139 digits",
       [](auto& isp, auto&) { isp[3].pop_back(); },
       {"Files have different size error!", "Verify FAILED!"}},
      {"an image line longer than 145 characters",
       [](auto& isp, auto&) { isp[3] += "000000"; },
       {"Line too long! frame=3, 146 characters in *design.isp", "Verify FAILED!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Zepa2Rig rig("VTL3320");
    std::vector<std::string> lines = MakeFrameLines(336, 9);
    const std::string isp = rig.File("design.isp", Join(lines));
    rig.Run(chain::kOpProgram, isp);
    c.damage(lines, rig.Frames());
    rig.File("design.isp", Join(lines));
    rig.Run(chain::kOpVerify, isp);
    const Lines got = rig.From("Read...");
    ASSERT_GE(got.size(), c.tail.size() + 1);
    if (c.tail.empty()) {
      EXPECT_EQ(got.back(), "Verify succeeded!");
      EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{kPosition, true}}));
      continue;
    }
    const Lines last(got.end() - static_cast<long>(c.tail.size()), got.end());
    for (std::size_t i = 0; i < c.tail.size(); ++i)
      EXPECT_TRUE(Matches(last[i], c.tail[i])) << last[i] << " is not " << c.tail[i];
    EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{kPosition, false}}));
  }
}

TEST(Zepa2Operations, VerifyShowsBothLinesOfTheDifferingFrame) {
  Zepa2Rig rig("VTL3320");
  std::vector<std::string> lines = MakeFrameLines(336, 3);
  const std::string isp = rig.File("design.isp", Join(lines));
  rig.Run(chain::kOpProgram, isp);
  const std::string written = lines[10];
  lines[10][0] = lines[10][0] == 'F' ? 'E' : 'F';
  rig.File("design.isp", Join(lines));
  rig.Run(chain::kOpVerify, isp);
  EXPECT_TRUE(rig.HasLine("Data read back is:" + written));
  EXPECT_TRUE(rig.HasLine("Data expect is:     " + lines[10]));
}

// Image lines that are not one frame: reported, skipped without a JTAG cycle, and the device fails.
TEST(Zepa2Operations, WriteSkipsLinesThatAreNotOneFrame) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::string>& isp)> damage;
    int lost_frame;
    std::string line;
  };
  const Case cases[] = {
      {"139 digits", [](auto& isp) { isp[5].pop_back(); }, 5, "Error frame length! frame=5, length=553"},
      {"151 characters", [](auto& isp) { isp[6] += std::string(11, '0'); }, 6,
       "Error frame length! frame=6, length=601"},
      {"a character that is no digit", [](auto& isp) { isp[7][20] = 'G'; }, 7,
       "Error frame data! frame=7 is not hexadecimal"},
      {"an image that ends early", [](auto& isp) { isp.resize(300); }, 300,
       "Error frame count! *design.isp ends before frame 300 of 0 to 335"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Zepa2Rig rig("VTL3320");
    std::vector<std::string> lines = MakeFrameLines(336, 11);
    c.damage(lines);
    const std::string isp = rig.File("design.isp", Join(lines));
    rig.Run(chain::kOpProgram, isp);
    bool reported = false;
    for (const std::string& l : rig.messages.lines()) reported = reported || Matches(l, c.line);
    EXPECT_TRUE(reported) << c.line;
    EXPECT_EQ(rig.Frames().rows.count(c.lost_frame), 0u);
    EXPECT_EQ(rig.Frames().rows.count(c.lost_frame + 1), c.lost_frame + 1 < 300 ? 1u : 0u)
        << "the frames after it are written";
    EXPECT_EQ(rig.From("Write...").back(), "Write completed!");
    EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{kPosition, false}}));
  }
}

TEST(Zepa2Operations, AJedecDesignIsConvertedByFusebuildThenWrittenAndVerified) {
  Zepa2Rig rig("VTL3320");
  rig.launcher.action = [](const ScriptedLauncher::Call& call) {
    return SystemProcessLauncher().Run(call.program, call.args, call.environment);
  };
  const std::string jed = rig.File("top.jed", fusemap::testing::JedecText(fusemap::testing::FusesWithZeros(
                                                  173492, {0, 789, 1429, 90000, 173491})));
  rig.Run(chain::kOpProgram, jed);
  EXPECT_TRUE(rig.HasLine("Generate VTL3320 MCS/ISP files..."));
  EXPECT_EQ(rig.From("Write...").back(), "Write completed!");
  EXPECT_EQ(rig.Frames().rows.size(), 336u);
  rig.Run(chain::kOpVerify, jed);
  EXPECT_EQ(rig.From("Read...").back(), "Verify succeeded!");
  EXPECT_EQ(rig.Read("top.in").size(), 336u * 141);
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{kPosition, true}}));
}

TEST(Zepa2Operations, AMissingImageIsAnErrorBoxAndAFailBeforeAnyJtag) {
  for (int op : {chain::kOpProgram, chain::kOpVerify}) {
    Zepa2Rig rig("VTL3960");
    const std::string missing = rig.dir.File("gone.isp");
    rig.Run(op, missing);
    ASSERT_EQ(rig.prompts.boxes.size(), 1u);
    EXPECT_EQ(std::get<2>(rig.prompts.boxes[0]), "Can not find " + missing + " !");
    EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{kPosition, false}}));
    EXPECT_TRUE(rig.From("Write...").empty());
    EXPECT_TRUE(rig.From("Read...").empty());
  }
}

TEST(Zepa2Operations, OtherOperationsSayTheyDoNotApplyAndTouchNothing) {
  struct Case {
    int op;
    const char* line;  // nullptr: no line at all
  };
  const Case cases[] = {
      {chain::kOpBulkErase,
       "\"Bulk Erase\" is not available for VTL3960 parts, only Program and Verify are. (Device #2)"},
      {chain::kOpProgramVerify,
       "\"Prog_&_Verify\" is not available for VTL3960 parts, only Program and Verify are. (Device #2)"},
      {chain::kOpUpload,
       "\"Upload Device\" is not available for VTL3960 parts, only Program and Verify are. (Device #2)"},
      {chain::kOpRs,
       "Operation 13 is not available for VTL3960 parts, only Program and Verify are. (Device #2)"},
      {chain::kOpNoOperation, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    Zepa2Rig rig("VTL3960");
    const std::string isp = rig.File("design.isp", Join(MakeFrameLines(1008, 1)));
    rig.Run(c.op, isp);
    const Lines expected = c.line ? Lines{"---------------Begin operation---------------", c.line}
                                  : Lines{"---------------Begin operation---------------"};
    EXPECT_EQ(rig.From("-----"), expected);
    EXPECT_TRUE(rig.marks.marks.empty());
    EXPECT_TRUE(rig.Frames().rows.empty());
  }
}

}  // namespace
}  // namespace zepa::engine
