// The simulated ZEPA2 part's frame register, driven pin by pin: frame addresses, the write preamble, the
// frame dwell, ENABLE/DISABLE, reading a frame back by its latched address, and frames kept across runs.
#include "sim/zepa2_family.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sim/tests/isp_part.h"
#include "testsupport/files.h"

namespace zepa::sim {
namespace {

constexpr std::uint32_t kWrite = 7, kEnable = 9, kRead = 14, kDisable = 16;
constexpr std::int64_t kUs = 1'000;
constexpr const char* kPreamble3320 = "01011101100";
constexpr const char* kPreamble3960 = "01011101111";

std::string AddressText(int frame) {
  std::string text;
  for (bool b : Zepa2AddressOfFrame(frame)) text += b ? '1' : '0';
  return text;
}
// A frame's 546 data bits in a pattern that tells frames apart, then its address.
std::string FrameText(int frame) {
  std::string data;
  for (int i = 0; i < 546; ++i) data += (i * 5 + frame) % 7 < 3 ? '1' : '0';
  return data + AddressText(frame);
}

// One ZEPA2 part on a board with its virtual time.
class Zepa2Part : public testing::IspPart {
 public:
  explicit Zepa2Part(const std::string& part)
      : IspPart(part, 5, [](FamilyRegistry& registry, NowNs now_ns) {
          AddZepa2Family(registry, {.now_ns = std::move(now_ns)});
        }) {}

  void Preamble(const char* pattern) { Dr(std::string(546, '0') + pattern); }
  void WriteFrame(int frame, std::int64_t dwell_ns = 1000 * kUs, int cycles = 0) {
    Dr(FrameText(frame));
    Dwell(dwell_ns, cycles);
  }
  std::string ReadFrame(int frame) {
    Instruction(kRead);
    Dr(std::string(546, '1') + AddressText(frame));
    return Dr(std::string(557, '1'));
  }
};

TEST(Zepa2FrameAddress, GrayCodedIndexGroupAndBlockLeastSignificantFirst) {
  struct Case {
    const char* bits;
    int blocks;
    int frame;
  };
  const Case cases[] = {
      {"00000000000", 6, 0},   {"10000000000", 6, 1},    {"11000000000", 6, 2},
      {"10111100000", 6, 41},  {"00000010000", 6, 42},   {"10111101000", 6, 167},
      {"00000000100", 6, 168}, {"10111101111", 6, 1007}, {"00000000110", 2, -1},  // block 2 of a VTL3320
      {"11111100000", 6, -1},  // Gray 63 names index 42: no such column
  };
  for (const Case& c : cases) {
    Bits bits;
    for (const char* p = c.bits; *p; ++p) bits.push_back(*p == '1');
    EXPECT_EQ(Zepa2FrameOfAddress(bits, c.blocks), c.frame) << c.bits;
    if (c.frame >= 0) {
      EXPECT_EQ(AddressText(c.frame), c.bits);
    }
  }
}

TEST(Zepa2Frames, WrittenAfterThePreambleReadBackByAddressUnwrittenOnesReadErased) {
  Zepa2Part part("VTL3960");
  part.Instruction(kEnable);
  part.Instruction(kWrite);
  part.Preamble(kPreamble3960);
  for (int frame : {0, 200, 1007}) part.WriteFrame(frame);
  for (int frame : {1007, 0, 200}) EXPECT_EQ(part.ReadFrame(frame), FrameText(frame)) << "frame " << frame;
  EXPECT_EQ(part.ReadFrame(5), std::string(546, '1') + AddressText(5));
  EXPECT_EQ(part.board().device(1).memory().rows.size(), 3u);
}

TEST(Zepa2Frames, AWrongSequenceLosesTheFrame) {
  struct Case {
    const char* what;
    const char* part;
    bool enable;
    const char* preamble;  // nullptr: none
    std::int64_t dwell_ns;
    int idle_clocks;  // with the two of the instruction load that follows (one idle, one leaving)
    bool disable_first;
    bool written;
  };
  const Case cases[] = {
      {"the whole sequence", "VTL3320", true, kPreamble3320, 1000 * kUs, 2, false, true},
      {"1000 idle clocks at 1 MHz", "VTL3320", true, kPreamble3320, 0, 1000, false, true},
      {"no ENABLE", "VTL3320", false, kPreamble3320, 1000 * kUs, 2, false, false},
      {"no preamble", "VTL3320", true, nullptr, 1000 * kUs, 2, false, false},
      {"the VTL3960's preamble", "VTL3320", true, kPreamble3960, 1000 * kUs, 2, false, false},
      {"the VTL3320's preamble", "VTL3960", true, kPreamble3320, 1000 * kUs, 2, false, false},
      {"a dwell under 1 ms", "VTL3320", true, kPreamble3320, 999 * kUs, 2, false, false},
      {"999 idle clocks", "VTL3320", true, kPreamble3320, 0, 999, false, false},
      {"DISABLE after ENABLE", "VTL3320", true, kPreamble3320, 1000 * kUs, 2, true, false},
  };
  for (const Case& c : cases) {
    Zepa2Part part(c.part);
    if (c.enable) part.Instruction(kEnable);
    if (c.disable_first) part.Instruction(kDisable);
    part.Instruction(kWrite);
    if (c.preamble != nullptr) part.Preamble(c.preamble);
    part.WriteFrame(43, c.dwell_ns, c.idle_clocks - 2);
    part.Instruction(kEnable);
    EXPECT_EQ(part.ReadFrame(43) == FrameText(43), c.written) << c.what;
  }
}

TEST(Zepa2Frames, AFrameUpdatedOverBeforeItsDwellIsLostAndAReadNeedsEnable) {
  Zepa2Part part("VTL3320");
  part.Instruction(kEnable);
  part.Instruction(kWrite);
  part.Preamble(kPreamble3320);
  part.Dr(FrameText(1));  // no wait
  part.WriteFrame(2);
  EXPECT_EQ(part.ReadFrame(1), std::string(546, '1') + AddressText(1));
  EXPECT_EQ(part.ReadFrame(2), FrameText(2));
  part.Instruction(kDisable);
  EXPECT_EQ(part.ReadFrame(2), std::string(557, '1')) << "without ENABLE the read captures nothing";
}

TEST(Zepa2Frames, KeptInTheBoardStateAcrossRuns) {
  zepa::testing::TempDir dir;
  const std::string state = dir.File("board.state");
  {
    Zepa2Part part("VTL3320");
    part.Instruction(kEnable);
    part.Instruction(kWrite);
    part.Preamble(kPreamble3320);
    part.WriteFrame(335);
    part.Instruction(kDisable);  // its first clock ends the frame's dwell
    part.board().SaveState(state);
  }
  Zepa2Part part("VTL3320");
  part.board().LoadState(state);
  part.Instruction(kEnable);
  EXPECT_EQ(part.ReadFrame(335), FrameText(335));
}

}  // namespace
}  // namespace zepa::sim
