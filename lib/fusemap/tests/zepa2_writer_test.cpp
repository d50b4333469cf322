// The ZEPA2 file set written for a design: .isp, .bit, .mcs, .dbg and the fuse-address listings.
#include "fusemap/zepa2_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fusemap/fatal_error.h"
#include "fusemap/part_table.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_frames.h"
#include "fusemap/zepa2_packet.h"
#include "testsupport/files.h"
#include "util/hex.h"
#include "util/lines.h"

namespace zepa::fusemap::zepa2 {
namespace {

namespace fs = std::filesystem;

class FixedClock final : public Clock {
 public:
  std::string Now() const override { return "Thu Jan  1 00:00:00 1970"; }
};

using zepa::testing::ReadFile;

std::string HexToBits(const std::string& hex) {
  return util::HexToBitText(hex).value();
}

FuseArray RandomDesign(int part, unsigned seed) {
  return testing::RandomFuses(Geometry::ForPart(part).fuse_count(), seed);
}

class Zepa2WriterTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_.emplace().path(); }
  void TearDown() override { temp_.reset(); }

  Options Opts(int dbg_level) const {
    Options o;
    o.dbg_level = dbg_level;
    o.listing_dir = dir_;
    o.clock = &clock_;
    return o;
  }
  std::string Design() const { return (dir_ / "design.bin").string(); }

  // Every file name in the test folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // The .mcs as decoded by GNU objcopy.
  std::string DecodeMcs(const fs::path& mcs) const {
    const fs::path bin = dir_ / "decoded.raw";
    const std::string cmd = "objcopy -I ihex -O binary '" + mcs.string() + "' '" + bin.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string bytes = ReadFile(bin);
    fs::remove(bin);
    return bytes;
  }

  std::optional<zepa::testing::TempDir> temp_;

  fs::path dir_;
  FixedClock clock_;
};

// The whole file set of a random design, checked file by file and against each other.
TEST_F(Zepa2WriterTest, FileSetOfARandomDesign) {
  struct Case {
    int part;
    int dbg_level;
    int frames;
  };
  for (const Case& c :
       std::vector<Case>{{kVtl3320, 0, 336}, {kVtl3960, 0, 1008}, {kVtl3320, kDbgMcsMsbFirst, 336}}) {
    SCOPED_TRACE("part " + std::to_string(c.part) + " debug " + std::to_string(c.dbg_level));
    const Geometry g = Geometry::ForPart(c.part);
    assemble_std_frame(RandomDesign(c.part, 42), c.part, Design(), Opts(c.dbg_level));
    EXPECT_EQ(Files(), (std::vector<std::string>{"design.bit", "design.dbg", "design.isp", "design.mcs"}));

    const std::vector<std::string> isp = util::SplitLines(ReadFile(dir_ / "design.isp"));
    ASSERT_EQ(isp.size(), static_cast<std::size_t>(c.frames));
    for (const std::string& line : isp) {
      ASSERT_EQ(line.size(), 140u);
      ASSERT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos) << line;
      ASSERT_EQ(std::stoi(line.substr(139), nullptr, 16) % 2, 0) << "140th digit of " << line;
    }

    const std::string bit_text = ReadFile(dir_ / "design.bit");
    const std::vector<std::string> packets = util::SplitLines(bit_text);
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(c.frames) + 1);
    EXPECT_EQ(packets.back(), assemble_end_config_frame());
    EXPECT_NE(bit_text.back(), '\n') << "the end packet has no line end";
    for (int f = 0; f < c.frames; ++f) {
      const std::string& p = packets[static_cast<std::size_t>(f)];
      const std::string line_bits = HexToBits(isp[static_cast<std::size_t>(f)]);
      const int sfb = f / kFramesPerSfb, lb = f % kFramesPerSfb / kColumns, column = f % kColumns;
      ASSERT_EQ(line_bits.substr(546, 14), assemble_grey_code_address(sfb, lb, column) + "000")
          << "frame " << f;
      if (p.size() == static_cast<std::size_t>(kStandardPacketBits)) {
        ASSERT_EQ(p.substr(35), line_bits.substr(0, 557)) << "frame " << f;
      } else {
        ASSERT_EQ(p.size(), static_cast<std::size_t>(kCompressedPacketBits)) << "frame " << f;
        ASSERT_EQ(p.substr(37), line_bits.substr(546, 11)) << "frame " << f;
      }
    }

    if (std::system("objcopy --version > /dev/null 2>&1") == 0) {
      std::string bits;
      for (char ch : bit_text) {
        if (ch != '\n') bits.push_back(ch);
      }
      ASSERT_EQ(bits.size() % 8, 0u);
      std::string packed;
      for (std::size_t i = 0; i < bits.size(); i += 8) {
        unsigned byte = 0;
        for (std::size_t b = 0; b < 8; ++b) {
          if (bits[i + b] == '1') byte |= c.dbg_level & kDbgMcsMsbFirst ? 0x80u >> b : 1u << b;
        }
        packed.push_back(static_cast<char>(byte));
      }
      EXPECT_TRUE(DecodeMcs(dir_ / "design.mcs") == packed) << "the .mcs does not decode to the .bit stream";
    }

    const std::string dbg = ReadFile(dir_ / "design.dbg");
    std::size_t stamps = 0;
    for (std::size_t at = dbg.find("Created on:Thu Jan  1 00:00:00 1970"); at != std::string::npos;
         at = dbg.find("Created on:", at + 1)) {
      ++stamps;
    }
    EXPECT_EQ(stamps, static_cast<std::size_t>(g.sfb_count()));
    EXPECT_NE(dbg.find("\n[SFB=0  LB=0  Address=0] [following field:lsb ... msb]\nLeading 1s  :"),
              std::string::npos);
    EXPECT_NE(dbg.find("  Address=" + std::to_string(c.frames - 1) + "]"), std::string::npos);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove(e.path());
  }
}

// Frames that repeat are sent compressed; debug bit 9 sends every frame in full.
TEST_F(Zepa2WriterTest, CompressionOverTheWalk) {
  struct Case {
    const char* what;
    int part;
    int dbg_level;
    std::size_t first_length;
    std::string first_comp;  // compression bits as sent (the code reversed)
    std::size_t later_length;
    std::string later_comp;
    int standard_frames;
  };
  const std::vector<Case> cases{
      // An erased VTL3320 frame is all ones: the first is sent as "all ones", the others as "hold".
      {"erased VTL3320", kVtl3320, 0, 48, "11", 48, "01", 0},
      {"erased VTL3320, always standard", kVtl3320, kDbgAlwaysStandard, 592, "11", 592, "11", 336},
      // Only column 40 of an erased VTL3960 has zeros (its forced bits): one standard frame per logic
      // block and super fast block.
      {"erased VTL3960", kVtl3960, 0, 48, "11", 48, "01", 24},
  };
  for (const Case& c : cases) {
    const Geometry g = Geometry::ForPart(c.part);
    const FuseArray erased(g.fuse_count(), FuseArray::Fill::kOnes);
    const Outputs out = BuildOutputs(erased, g, c.dbg_level, clock_);
    const std::vector<std::string> packets = util::SplitLines(out.bit);
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(g.frame_count()) + 1) << c.what;
    EXPECT_EQ(out.standard_frames, c.standard_frames) << c.what;
    const auto comp = [&](const std::string& p) {
      return p.size() == static_cast<std::size_t>(kStandardPacketBits) ? p.substr(30, 2) : p.substr(32, 2);
    };
    EXPECT_EQ(packets[0].size(), c.first_length) << c.what;
    EXPECT_EQ(comp(packets[0]), c.first_comp) << c.what;
    for (int f = 1; f < g.frame_count(); ++f) {
      const std::string& p = packets[static_cast<std::size_t>(f)];
      if (f % kColumns == 40 && c.part == kVtl3960) {
        EXPECT_EQ(p.size(), static_cast<std::size_t>(kStandardPacketBits)) << c.what << " frame " << f;
        EXPECT_EQ(comp(p), "00") << c.what << " frame " << f;
      } else if (f % kColumns == 41 && c.part == kVtl3960) {
        EXPECT_EQ(comp(p), "11") << c.what << " frame " << f << " follows a mixed frame";
      } else {
        ASSERT_EQ(p.size(), c.later_length) << c.what << " frame " << f;
        ASSERT_EQ(comp(p), c.later_comp) << c.what << " frame " << f;
      }
    }
  }
}

// Debug bit 8: the fuse address of every frame bit, per frame in <name>.doc and per super fast block in
// the jedmap tables; a leftover "jed_map.doc" is removed.
TEST_F(Zepa2WriterTest, FuseAddressListings) {
  std::ofstream(dir_ / "jed_map.doc") << "old listing";
  const Geometry g = Geometry::ForPart(kVtl3320);
  assemble_std_frame(RandomDesign(kVtl3320, 3), kVtl3320, Design(), Opts(kDbgFuseAddressListing));
  EXPECT_EQ(Files(), (std::vector<std::string>{"design.bit", "design.dbg", "design.doc", "design.isp",
                                               "design.mcs", "jedmap0.doc", "jedmap1.doc"}));

  const std::vector<std::string> doc = util::SplitLines(ReadFile(dir_ / "design.doc"));
  ASSERT_EQ(doc.size(), 336u);
  const auto numbers = [](const std::string& line) {
    std::vector<long> v;
    std::istringstream in(line);
    for (long n; in >> n;) v.push_back(n);
    return v;
  };
  const auto listed = [](const BitSource& s) { return s.kind == BitSource::Kind::kNoFuse ? -1L : s.fuse; };
  for (int frame : {0, 41, 167, 250}) {
    const FrameMap map =
        MapFrame(g, frame / kFramesPerSfb, frame % kFramesPerSfb / kColumns, frame % kColumns);
    std::vector<long> expected;
    for (const BitSource& s : map) expected.push_back(listed(s));
    EXPECT_EQ(numbers(doc[static_cast<std::size_t>(frame)]), expected) << "frame " << frame;
    EXPECT_EQ(doc[static_cast<std::size_t>(frame)].size(), 546u * 7) << "\"%6ld \" per bit";
  }

  for (int sfb = 0; sfb < 2; ++sfb) {
    const std::vector<std::string> table =
        util::SplitLines(ReadFile(dir_ / ("jedmap" + std::to_string(sfb) + ".doc")));
    ASSERT_EQ(table.size(), 547u);
    std::vector<long> header;
    for (long f = 0; f < 168; ++f) header.push_back(f);
    EXPECT_EQ(numbers(table[0]), header);
    for (int bit : {0, 264, 545}) {
      const std::vector<long> row = numbers(table[static_cast<std::size_t>(bit) + 1]);
      ASSERT_EQ(row.size(), 169u);
      EXPECT_EQ(row[0], bit);
      for (int f : {0, 100, 167}) {
        const FrameMap map = MapFrame(g, sfb, f / kColumns, f % kColumns);
        EXPECT_EQ(row[static_cast<std::size_t>(f) + 1], listed(map[static_cast<std::size_t>(bit)]))
            << "sfb " << sfb << " bit " << bit << " frame " << f;
      }
    }
  }
}

// Files of an earlier run, longer than the new ones, are replaced whole; a symbolic link in place of an
// output is replaced by the file and the file it pointed to keeps its text.
TEST_F(Zepa2WriterTest, AnEarlierRunsFilesAreReplacedWhole) {
  const std::string old_text(3'000'000, 'x');
  for (const char* name : {"design.isp", "design.bit", "design.dbg", "design.doc", "jedmap0.doc"}) {
    std::ofstream(dir_ / name, std::ios::binary) << old_text;
  }
  std::ofstream(dir_ / "kept.txt") << "kept";
  fs::create_symlink(dir_ / "kept.txt", dir_ / "design.mcs");

  const FuseArray fuses = RandomDesign(kVtl3320, 5);
  assemble_std_frame(fuses, kVtl3320, Design(), Opts(kDbgFuseAddressListing));
  const Outputs expected = BuildOutputs(fuses, Geometry::ForPart(kVtl3320), kDbgFuseAddressListing, clock_);
  EXPECT_EQ(ReadFile(dir_ / "design.isp"), expected.isp);
  EXPECT_EQ(ReadFile(dir_ / "design.bit"), expected.bit);
  EXPECT_EQ(ReadFile(dir_ / "design.dbg"), expected.dbg);
  EXPECT_EQ(ReadFile(dir_ / "design.doc"), expected.doc);
  EXPECT_EQ(ReadFile(dir_ / "jedmap0.doc"), expected.jedmaps.at(0));
  EXPECT_FALSE(fs::is_symlink(dir_ / "design.mcs"));
  EXPECT_EQ(ReadFile(dir_ / "design.mcs"), expected.mcs);
  EXPECT_EQ(ReadFile(dir_ / "kept.txt"), "kept");
}

// A file that cannot be written ends the run with its error code and leaves none of the set behind.
TEST_F(Zepa2WriterTest, AFileThatCannotBeWrittenLeavesNothing) {
  struct Case {
    const char* what;
    std::string design;   // relative to the test folder
    std::string blocker;  // a folder created where an output file should go
    int dbg_level;
    int code;
    std::string failing;  // relative to the test folder
  };
  const std::vector<Case> cases{
      {"missing folder", "none/design.bin", "", 0, kErrBitOpen, "none/design.bit"},
      {"missing folder, with listings", "none/design.bin", "", kDbgFuseAddressListing, kErrDocOpen,
       "none/design.doc"},
      {"isp blocked", "design.bin", "design.isp", 0, kErrIspOpen, "design.isp"},
      {"dbg blocked", "design.bin", "design.dbg", 0, kErrDbgOpen, "design.dbg"},
      {"mcs blocked after the others were written", "design.bin", "design.mcs", 0, kErrMcsOpen, "design.mcs"},
  };
  const FuseArray fuses = RandomDesign(kVtl3320, 9);
  for (const Case& c : cases) {
    if (!c.blocker.empty()) fs::create_directory(dir_ / c.blocker);
    Options options = Opts(c.dbg_level);
    std::ostringstream messages;
    options.messages = &messages;
    const std::string expected_text = (dir_ / c.failing).string() + ": File open failed.";
    try {
      assemble_std_frame(fuses, kVtl3320, (dir_ / c.design).string(), options);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.code(), c.code) << c.what;
      EXPECT_EQ(std::string(e.what()), expected_text) << c.what;
    }
    EXPECT_EQ(messages.str(), expected_text + "\n") << c.what;
    const std::vector<std::string> expected =
        c.blocker.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.blocker};
    EXPECT_EQ(Files(), expected) << c.what;
    if (!c.blocker.empty()) fs::remove(dir_ / c.blocker);
  }
}

TEST_F(Zepa2WriterTest, BadInputsAreRejected) {
  const FuseArray small(1000, FuseArray::Fill::kOnes);
  EXPECT_THROW(assemble_std_frame(small, kVtl3320, Design(), Opts(0)), std::invalid_argument);
  const FuseArray fuses(173492, FuseArray::Fill::kOnes);
  EXPECT_THROW(assemble_std_frame(fuses, kVtl3256XL, Design(), Opts(0)), std::invalid_argument);
  EXPECT_TRUE(Files().empty());
}

TEST(Zepa2OutputName, DesignPathUpToItsExtension) {
  struct Case {
    std::string path, root;
  };
  for (const Case& c : std::vector<Case>{
           {"design.bin", "design"},
           {"top.v1.bin", "top.v1"},
           {"work/rev.2/design.bin", "work/rev.2/design"},
           {"C:\\work\\rev.2\\design.bin", "C:\\work\\rev.2\\design"},
           {"work/rev.2/design", "work/rev.2/design"},
           {"design", "design"},
       }) {
    EXPECT_EQ(OutputRootName(c.path), c.root) << c.path;
  }
}

// The listing's creation time reads like the C library's asctime() (without its line end) on every day of a
// month: a one-digit day is padded with a blank, not a zero.
TEST(Zepa2Clock, CtimeFormOnEveryDayOfAMonth) {
  for (int day = 1; day <= 31; ++day) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = day;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    std::mktime(&t);  // the weekday
    std::string expected = std::asctime(&t);
    expected.pop_back();
    EXPECT_EQ(CtimeText(t), expected) << day;
    if (day == 3) {
      EXPECT_EQ(CtimeText(t), "Sun Mar  3 09:05:07 2024");
    }
  }
  EXPECT_EQ(SystemClock().Now().size(), 24u);
}

TEST_F(Zepa2WriterTest, BackslashesSeparateFolders) {
  fs::create_directory(dir_ / "rev.2");
  assemble_std_frame(RandomDesign(kVtl3320, 1), kVtl3320, dir_.string() + "\\rev.2\\top.bin", Opts(0));
  for (const char* name : {"top.isp", "top.bit", "top.mcs", "top.dbg"}) {
    EXPECT_TRUE(fs::exists(dir_ / "rev.2" / name)) << name;
  }
}

}  // namespace
}  // namespace zepa::fusemap::zepa2
