// The simulated ZEPA2 part on its slave-serial pins: streams that fusebuild's writer makes configure it,
// frame for frame as the JTAG frame write would; a stream broken anywhere leaves DONE low.
#include "sim/slave_serial.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_writer.h"
#include "sim/board.h"
#include "sim/parts.h"

namespace zepa::sim {
namespace {

using fusemap::FuseArray;
namespace z2 = fusemap::zepa2;

class FixedClock final : public z2::Clock {
 public:
  std::string Now() const override { return "Thu Dec 10 12:00:00 2026"; }
};

enum class Design { kRandom, kSparse };

long FuseCount(int part) {
  return part == 130 ? 173492 : 520476;
}

// The writer's files of a design: random fuses give standard packets, a design of ones with a few zeros
// gives mostly compressed ones (all ones, and holds of the frame before).
z2::Outputs Build(int part, Design design, int dbg_level = 0) {
  const FuseArray fuses = design == Design::kRandom
                              ? fusemap::testing::RandomFuses(FuseCount(part), 7)
                              : fusemap::testing::FusesWithZeros(FuseCount(part), {5, 44000, 90001});
  return z2::BuildOutputs(fuses, z2::Geometry::ForPart(part), dbg_level, FixedClock());
}

const PartInfo& Part(int code) {
  return *FindPart(code == 130 ? "VTL3320" : "VTL3960");
}

// A part with a fresh memory, clocked with DIN set up before each rising CCLK edge.
struct SerialRig {
  explicit SerialRig(int code) : part(Part(code), memory) {}
  void Pulse() {
    part.Drive(false, true, false);
    part.Drive(false, true, true);
  }
  void Send(const std::string& text, bool prog = true) {
    for (char c : text) {
      if (c == '\n' || c == '\r') continue;
      part.Drive(false, c == '1', prog);
      part.Drive(true, c == '1', prog);
    }
  }
  DeviceMemory memory;
  SlaveSerialPart part;
};

// The frame the .isp line of frame n describes: 546 data bits and the 11 address bits.
Bits IspFrame(const std::string& isp, int n) {
  std::size_t start = 0;
  for (int i = 0; i < n; ++i) start = isp.find('\n', start) + 1;
  Bits bits;
  for (std::size_t d = start; d < start + 140; ++d) {
    const int v = std::stoi(isp.substr(d, 1), nullptr, 16);
    for (int b = 3; b >= 0; --b) bits.push_back(((v >> b) & 1) != 0);
  }
  bits.resize(557);
  return bits;
}

struct StreamCase {
  int part;
  Design design;
  int dbg_level;
};

class GoodStreams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(GoodStreams, ConfigureEveryFrameAsTheJtagImageHasIt) {
  const StreamCase c = GetParam();
  const z2::Outputs out = Build(c.part, c.design, c.dbg_level);
  SerialRig rig(c.part);
  rig.Pulse();
  rig.Send("0");  // what DIN held before the stream: noise the part does not sync on
  rig.Send(out.bit);
  EXPECT_TRUE(rig.part.done()) << rig.part.fault();
  EXPECT_EQ(rig.part.fault(), "");
  const int frames = c.part == 130 ? 336 : 1008;
  EXPECT_EQ(rig.part.frames_written(), frames);
  EXPECT_EQ(rig.part.packets(), frames + 1);
  for (int n = 0; n < frames; ++n) ASSERT_EQ(rig.memory.rows.at(n), IspFrame(out.isp, n)) << "frame " << n;
  if (c.design == Design::kSparse && c.dbg_level == 0) {
    EXPECT_GT(out.compressed_frames, frames / 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Parts, GoodStreams,
                         ::testing::Values(StreamCase{132, Design::kRandom, 0},
                                           StreamCase{130, Design::kRandom, 0},
                                           StreamCase{132, Design::kSparse, 0},
                                           StreamCase{130, Design::kSparse, 0},
                                           StreamCase{130, Design::kSparse, z2::kDbgAlwaysStandard}));

// Where a flipped bit lands, and why the part refuses the stream.
struct Flip {
  const char* where;
  Design design;
  std::size_t line;  // packet (line of the .bit text)
  std::size_t bit;   // bit within it
  const char* fault;
};

class BrokenStreams : public ::testing::TestWithParam<Flip> {};

TEST_P(BrokenStreams, LeaveDoneLow) {
  const Flip f = GetParam();
  const z2::Outputs out = Build(130, f.design);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < out.bit.size();) {
    std::size_t end = out.bit.find('\n', start);
    if (end == std::string::npos) end = out.bit.size();
    lines.push_back(out.bit.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), 337u);
  ASSERT_EQ(lines[f.line == 999 ? 0 : f.line].size(), f.design == Design::kRandom ? 592u : 48u);
  std::string& line = lines[f.line == 999 ? lines.size() - 1 : f.line];
  line[f.bit] = line[f.bit] == '1' ? '0' : '1';
  SerialRig rig(130);
  rig.Pulse();
  for (const std::string& l : lines) rig.Send(l);
  EXPECT_FALSE(rig.part.done());
  EXPECT_NE(rig.part.fault().find(f.fault), std::string::npos) << rig.part.fault();
}

INSTANTIATE_TEST_SUITE_P(
    Flips, BrokenStreams,
    ::testing::Values(Flip{"data bit", Design::kRandom, 0, 300, "packet 1: CRC error"},
                      Flip{"CRC bit", Design::kRandom, 7, 20, "packet 8: CRC error"},
                      Flip{"address bit of a standard packet", Design::kRandom, 0, 585, "CRC error"},
                      Flip{"align bit", Design::kRandom, 0, 34, "align/stop"},
                      Flip{"preamble (the packet is never seen)", Design::kRandom, 0, 10, "frames written"},
                      Flip{"end-of-configuration packet", Design::kRandom, 999, 30,
                           "0 in the end-of-configuration"},
                      Flip{"address bit of a compressed packet", Design::kSparse, 0, 40, "frames written"},
                      Flip{"CRC field of a compressed packet", Design::kSparse, 0, 20, "CRC field"}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.where; *p != '\0'; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
      }
      return name;
    });

TEST(SlaveSerialPart, MissingOrRepeatedPacketsNeverGiveDone) {
  const z2::Outputs out = Build(130, Design::kRandom);
  const std::size_t first_end = out.bit.find('\n') + 1;
  {
    SerialRig rig(130);
    rig.Pulse();
    rig.Send(out.bit.substr(first_end));  // frame 0 missing
    EXPECT_FALSE(rig.part.done());
    EXPECT_EQ(rig.part.fault(), "packet 336: end of configuration with 335 of 336 frames written");
  }
  {
    SerialRig rig(130);
    rig.Pulse();
    rig.Send(out.bit.substr(0, first_end));
    rig.Send(out.bit.substr(0, first_end));  // frame 0 twice: still one frame short at the end
    const std::size_t last_frame = out.bit.rfind('\n', out.bit.size() - 50);
    rig.Send(out.bit.substr(first_end, last_frame + 1 - first_end));
    EXPECT_FALSE(rig.part.done());
  }
}

TEST(SlaveSerialPart, ProgPulseClearsTheConfiguration) {
  const z2::Outputs out = Build(130, Design::kRandom);
  SerialRig rig(130);
  rig.Pulse();
  rig.Send(out.bit);
  ASSERT_TRUE(rig.part.done());
  rig.part.Drive(false, true, false);  // PROG low
  EXPECT_FALSE(rig.part.done());
  EXPECT_TRUE(rig.memory.rows.empty());
  rig.Send(out.bit, false);  // clocks while PROG is low are not taken
  rig.part.Drive(false, true, true);
  EXPECT_FALSE(rig.part.done());
  EXPECT_EQ(rig.part.frames_written(), 0);
  rig.Send(out.bit);  // after the pulse, the whole stream again
  EXPECT_TRUE(rig.part.done());
}

TEST(SlaveSerialBoard, PinsAreTheCablesJtagLinesAndDoneShowsOnTdo) {
  const z2::Outputs out = Build(130, Design::kRandom);
  Board board(ParseBoardText("cable corvane\ndevice VTL3320 slave-serial\n", "b"));
  ASSERT_NE(board.slave_serial(), nullptr);
  // Corvane cable: TCK 02h, TDI 01h, TMS 04h; TDO on status bit 10h.
  const auto write = [&board](bool cclk, bool din, bool prog) {
    board.WritePortByte(0x378, static_cast<std::uint8_t>((cclk ? 2 : 0) | (din ? 1 : 0) | (prog ? 4 : 0)));
  };
  write(false, false, false);
  write(false, false, true);
  EXPECT_EQ(board.ReadPortByte(0x379) & 0x10, 0);
  for (char c : out.bit) {
    if (c == '\n') continue;
    write(false, c == '1', true);
    write(true, c == '1', true);
  }
  EXPECT_NE(board.ReadPortByte(0x379) & 0x10, 0);
  EXPECT_EQ(board.device(1).memory().rows.size(), 336u);
}

TEST(SlaveSerialBoard, BoardFileRules) {
  struct Case {
    const char* text;
    const char* error;  // empty: accepted
  };
  const Case cases[] = {
      {"device VTL3960 slave-serial\n", ""},
      {"device vtl3320 SLAVE-SERIAL\n", ""},
      {"device VTL3256XL slave-serial\n", "b:1: part 'VTL3256XL' has no slave-serial configuration"},
      {"device VTL3960 slave-serial slave-serial\n", "b:1: 'slave-serial' given twice"},
      {"device VTL3032C\ndevice VTL3960 slave-serial\n", "b:2: a device wired for slave-serial"},
  };
  for (const Case& c : cases) {
    if (*c.error == '\0') {
      EXPECT_TRUE(ParseBoardText(c.text, "b").devices.front().slave_serial) << c.text;
      continue;
    }
    try {
      ParseBoardText(c.text, "b");
      ADD_FAILURE() << c.text << " accepted";
    } catch (const BoardFileError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
    }
  }
  // The wiring is not what the part keeps: the state of a part wired either way is the same device's.
  EXPECT_EQ(ParseBoardText("device VTL3960 slave-serial\n", "b").devices[0].Canonical(),
            ParseBoardText("device VTL3960\n", "b").devices[0].Canonical());
}

}  // namespace
}  // namespace zepa::sim
