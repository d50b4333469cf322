// Which fuse feeds each bit of a ZEPA2 frame, and where each fuse ends up.
#include "fusemap/zepa2_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fusemap/part_table.h"

namespace zepa::fusemap::zepa2 {
namespace {

using Kind = BitSource::Kind;

TEST(Zepa2GreyAddress, GrayCodeOfColumnBlockAndSuperBlock) {
  struct Case {
    int n, gray;
  };
  for (const Case& c : std::vector<Case>{{0, 0}, {1, 1}, {2, 3}, {3, 2}, {5, 7}, {41, 61}, {42, 63}}) {
    EXPECT_EQ(Grey_code_map(c.n), c.gray) << "n=" << c.n;
  }
  EXPECT_THROW(Grey_code_map(43), std::out_of_range);

  struct AddrCase {
    int sfb, lb, column;
    std::string addr;  // column bits 0..5, lb bits 0..1, sfb bits 0..2, least significant first
  };
  for (const AddrCase& c : std::vector<AddrCase>{
           {0, 0, 0,
            "000000"
            "00"
            "000"},
           {0, 0, 41,
            "101111"
            "00"
            "000"},  // Gray(41) = 61
           {3, 1, 1,
            "100000"
            "10"
            "010"},  // Gray(1) = 1, Gray(3) = 2
           {5, 2, 0,
            "000000"
            "11"
            "111"},  // Gray(2) = 3, Gray(5) = 7
       }) {
    EXPECT_EQ(assemble_grey_code_address(c.sfb, c.lb, c.column), c.addr)
        << "sfb=" << c.sfb << " lb=" << c.lb << " column=" << c.column;
  }
}

// One bit of one half frame against the fuse the rules give it, worked out by hand. All cases but the
// section 5 and 6 ones use function block 1, logic block 1: fb base 43373, logic block offset 54061.
TEST(Zepa2HalfFrame, EachSectionFeedsItsBitsFromItsFuseBlock) {
  struct Case {
    const char* what;
    int part, lb, column, k;
    Kind kind;
    long fuse;
  };
  const long off = 43373 + 10688;
  const long base = 43373;
  const std::vector<Case> cases{
      {"section 0 first bit", kVtl3960, 1, 5, 0, Kind::kFuse, off + 789 + 10},
      {"section 0 last bit", kVtl3960, 1, 5, 15, Kind::kFuse, off + 789 + 80 * 7 + 10 + 1},
      {"section 1 first bit", kVtl3960, 1, 5, 16, Kind::kFuse, off + 1429 + 10},
      {"section 1 end of first run", kVtl3960, 1, 5, 23, Kind::kFuse, off + 1429 + 80 * 3 + 10 + 1},
      {"section 1 last bit", kVtl3960, 1, 39, 254, Kind::kFuse, off + 1429 + 80 * 79 + 78 + 1},
      {"section 2 first bit", kVtl3960, 1, 5, 24, Kind::kFuse, off + 10389 + 100},
      {"section 2 second bit", kVtl3960, 1, 0, 39, Kind::kFuse, off + 10389 + 1},
      {"section 2 column 31", kVtl3960, 1, 31, 255, Kind::kFuse, off + 10389 + 620 + 19},
      {"section 2 from column 32 on", kVtl3960, 1, 32, 24, Kind::kNoFuse, -1},
      {"section 3 first bit", kVtl3960, 1, 5, 25, Kind::kFuse, off + 7829 + 10},
      {"section 3 short last run", kVtl3960, 1, 0, 259, Kind::kFuse, off + 7829 + 80 * 31 + 1},
      {"section 4 first bit", kVtl3960, 1, 7, 260, Kind::kFuse, off + 621 + 7},
      {"section 4 last bit", kVtl3960, 1, 7, 263, Kind::kFuse, off + 621 + 120 + 7},
      {"section 5 lb 0 column 1", kVtl3960, 0, 1, 265, Kind::kFuse, base + 1 + 3},
      {"section 5 lb 0 column 2", kVtl3960, 0, 2, 265, Kind::kNoFuse, -1},
      {"section 5 lb 1", kVtl3960, 1, 0, 264, Kind::kNoFuse, -1},
      {"section 5 lb 2", kVtl3960, 2, 41, 265, Kind::kFuse, base + 67 + 41 + 6},
      {"section 5 lb 3 column 24", kVtl3960, 3, 24, 265, Kind::kFuse, base + 67 + 24 + 48},
      {"section 5 lb 3 column 25", kVtl3960, 3, 25, 265, Kind::kNoFuse, -1},
      {"section 6 lb 0", kVtl3960, 0, 41, 272, Kind::kFuse, base + 69 * 5 + 41 + 207},
      {"section 6 lb 1 column 26", kVtl3960, 1, 26, 272, Kind::kFuse, base + 69 * 5 + 26 + 249},
      {"section 6 lb 1 column 27", kVtl3960, 1, 27, 272, Kind::kNoFuse, -1},
      {"section 6 lb 2", kVtl3960, 2, 3, 267, Kind::kNoFuse, -1},
      {"column 40 starts unclaimed", kVtl3960, 1, 40, 0, Kind::kNoFuse, -1},
      {"macrocell 0 bit 0", kVtl3960, 1, 40, 16, Kind::kFuse, off + 11029},
      {"macrocell 0 bit 6", kVtl3960, 1, 40, 22, Kind::kFuse, off + 11029 + 6},
      {"gap after a run keeps its last fuse", kVtl3960, 1, 40, 23, Kind::kFuse, off + 11029 + 6},
      {"macrocell 1 bit 0", kVtl3960, 1, 40, 31, Kind::kFuse, off + 11029 + 14},
      {"column 41 starts unclaimed", kVtl3960, 1, 41, 5, Kind::kNoFuse, -1},
      {"section 7 first bit", kVtl3960, 1, 41, 6, Kind::kFuse, off + 781},
      {"section 7 last bit", kVtl3960, 1, 41, 13, Kind::kFuse, off + 788},
      {"gap after section 7", kVtl3960, 1, 41, 14, Kind::kFuse, off + 788},
      {"column 41 macrocell 0 bit 7", kVtl3960, 1, 41, 16, Kind::kFuse, off + 11029 + 7},
      {"column 41 has no exceptions", kVtl3960, 1, 41, 115, Kind::kFuse, off + 11029 + 112 + 10},
      {"VTL3960 macrocell 8 bit 2", kVtl3960, 1, 40, 114, Kind::kFuse, off + 11029 + 112 + 2},
      {"VTL3960 macrocell 8 bit 3 forced", kVtl3960, 1, 40, 115, Kind::kForcedZero, off + 11029 + 112 + 3},
      {"VTL3960 gap after a forced run", kVtl3960, 1, 40, 119, Kind::kForcedZero, off + 11029 + 112 + 6},
      {"VTL3960 macrocell 9 bit 6 forced", kVtl3960, 1, 40, 133, Kind::kForcedZero, off + 11029 + 126 + 6},
      {"VTL3960 macrocell 10 bit 2", kVtl3960, 1, 40, 138, Kind::kFuse, off + 11029 + 140 + 2},
      {"VTL3960 macrocell 10 bit 3", kVtl3960, 1, 40, 139, Kind::kNoFuse, -1},
      {"VTL3960 gap after macrocell 10", kVtl3960, 1, 40, 143, Kind::kNoFuse, -1},
      {"VTL3320 macrocell 8 bit 3", kVtl3320, 1, 40, 115, Kind::kFuse, off + 11029 + 112 + 3},
      {"VTL3320 macrocell 12 bit 2", kVtl3320, 1, 40, 162, Kind::kFuse, off + 11029 + 168 + 2},
      {"VTL3320 macrocell 12 bit 3", kVtl3320, 1, 40, 163, Kind::kNoFuse, -1},
  };
  for (const Case& c : cases) {
    const BitSource got = addr_match(Geometry::ForPart(c.part), 1, c.lb, c.column)[c.k];
    EXPECT_EQ(got.kind, c.kind) << c.what;
    EXPECT_EQ(got.fuse, c.fuse) << c.what;
  }
}

// Every fuse of a part feeds some frame bit, except the macrocell bits that column 40 leaves out, and no
// fuse is claimed twice within the array columns (which have no unclaimed bits to repeat a fuse).
TEST(Zepa2HalfFrame, FramesCoverEveryFuseOfThePartOnce) {
  struct Case {
    int part;
    int first_missing_macrocell;  // from this macrocell on, column 40 bits 3..6 have no fuse
  };
  for (const Case& c : std::vector<Case>{{kVtl3320, 12}, {kVtl3960, 10}}) {
    const Geometry g = Geometry::ForPart(c.part);
    std::vector<int> seen(static_cast<std::size_t>(g.fuse_count()), 0);
    long out_of_range = 0;
    long twice_in_array_columns = 0;
    for (int fb = 0; fb < g.fb_count(); ++fb) {
      for (int lb = 0; lb < kLogicBlocks; ++lb) {
        for (int column = 0; column < kColumns; ++column) {
          for (const BitSource& s : addr_match(g, fb, lb, column)) {
            if (s.kind == Kind::kNoFuse) continue;
            if (s.fuse < 0 || s.fuse >= g.fuse_count()) {
              ++out_of_range;
              continue;
            }
            int& count = seen[static_cast<std::size_t>(s.fuse)];
            if (column < 40 && count > 0) ++twice_in_array_columns;
            ++count;
          }
        }
      }
    }
    EXPECT_EQ(out_of_range, 0);
    EXPECT_EQ(twice_in_array_columns, 0);

    std::set<long> expected_missing;
    for (int fb = 0; fb < g.fb_count(); ++fb) {
      for (int lb = 0; lb < kLogicBlocks; ++lb) {
        for (int m = c.first_missing_macrocell; m < 20; ++m) {
          for (int bit = 3; bit <= 6; ++bit)
            expected_missing.insert(fb * kFbFuses + lb * kLbFuses + 11029 + 14 * m + bit);
        }
      }
    }
    std::set<long> missing;
    for (long f = 0; f < g.fuse_count(); ++f) {
      if (seen[static_cast<std::size_t>(f)] == 0) missing.insert(f);
    }
    EXPECT_EQ(missing, expected_missing) << "part " << c.part;
  }
}

// One fuse at 0 in an erased design: the frames and positions where it shows up as a '0'.
TEST(Zepa2DataFrame, AFuseShowsUpInItsFrameAtItsPosition) {
  struct Where {
    int sfb, lb, column;
    std::vector<int> positions;
  };
  struct Case {
    const char* what;
    int part;
    long fuse;
    Where where;
  };
  const std::vector<Case> cases{
      {"upper half, bit 0", kVtl3960, 43373 + 10688 + 789 + 10, {1, 1, 5, {0}}},
      // Function block 10 is the lower half of super fast block 1; its logic block 3 pairs with lb 1.
      {"lower half, bit 0", kVtl3960, 10 * 43373 + 3 * 10688 + 789 + 10, {1, 1, 5, {545}}},
      {"VTL3320 lower half", kVtl3320, 3 * 43373 + 2 * 10688 + 789, {0, 0, 0, {545}}},
      {"function block fuse 0", kVtl3960, 0, {0, 0, 0, {264}}},
      // The last fuse: macrocell 19 bit 13 in column 41 at k = 253, repeated by the unclaimed bits
      // 254..263 after it; lower half of super fast block 0, logic block (3 + 2) mod 4 = 1.
      {"last fuse and its repeats",
       kVtl3960,
       520475,
       {0, 1, 41, {282, 283, 284, 285, 286, 287, 288, 289, 290, 291, 292}}},
  };
  for (const Case& c : cases) {
    const Geometry g = Geometry::ForPart(c.part);
    const FuseArray erased(g.fuse_count(), FuseArray::Fill::kOnes);
    FuseArray fuses = erased;
    fuses.write_fuse(c.fuse, 0);
    std::vector<std::string> hits;
    for (int sfb = 0; sfb < g.sfb_count(); ++sfb) {
      for (int lb = 0; lb < kLogicBlocks; ++lb) {
        for (int column = 0; column < kColumns; ++column) {
          const FrameMap map = MapFrame(g, sfb, lb, column);
          const std::string before = assemble_data_field(erased, map);
          const std::string after = assemble_data_field(fuses, map);
          std::vector<int> changed;
          for (int p = 0; p < kDataFrameBits; ++p) {
            if (before[p] != after[p]) changed.push_back(p);
          }
          if (changed.empty()) continue;
          hits.push_back(std::to_string(sfb) + "/" + std::to_string(lb) + "/" + std::to_string(column));
          EXPECT_EQ(changed, c.where.positions) << c.what;
        }
      }
    }
    const std::string expected =
        std::to_string(c.where.sfb) + "/" + std::to_string(c.where.lb) + "/" + std::to_string(c.where.column);
    EXPECT_EQ(hits, std::vector<std::string>{expected}) << c.what;
  }
}

// In an erased VTL3960 design only column 40 has zeros: macrocells 8 and 9, bits 3..6, and the unclaimed
// bits that follow each of them, in both halves.
TEST(Zepa2DataFrame, ErasedVtl3960HasOnlyTheForcedZeros) {
  const Geometry g = Geometry::ForPart(kVtl3960);
  const FuseArray fuses(g.fuse_count(), FuseArray::Fill::kOnes);
  std::vector<int> expected;
  for (int k : {115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 130, 131, 132, 133, 134, 135}) {
    expected.push_back(k);
  }
  for (int i = static_cast<int>(expected.size()) - 1; i >= 0; --i) {
    expected.push_back(kDataFrameBits - 1 - expected[static_cast<std::size_t>(i)]);
  }
  std::sort(expected.begin(), expected.end());
  for (int lb = 0; lb < kLogicBlocks; ++lb) {
    for (int column : {0, 39, 40, 41}) {
      const std::string data = assemble_data_field(fuses, MapFrame(g, 2, lb, column));
      std::vector<int> zeros;
      for (int p = 0; p < kDataFrameBits; ++p) {
        if (data[p] == '0') zeros.push_back(p);
      }
      EXPECT_EQ(zeros, column == 40 ? expected : std::vector<int>{}) << "lb " << lb << " column " << column;
    }
  }
}

// The walk takes its frames from block 0 shifted up by 43373 fuses per function block; that must give
// exactly what the rules give for every frame, bit source and bit value alike.
TEST(Zepa2FrameMapper, ShiftedBlock0FramesEqualTheRules) {
  for (int part : {kVtl3320, kVtl3960}) {
    const Geometry g = Geometry::ForPart(part);
    const FrameMapper mapper(g);
    FuseArray fuses(g.fuse_count(), FuseArray::Fill::kOnes);
    std::mt19937 rng(static_cast<unsigned>(part));
    for (long f = 0; f < g.fuse_count(); ++f) fuses.write_fuse(f, static_cast<int>(rng() & 1u));
    int differing = 0;
    for (int sfb = 0; sfb < g.sfb_count(); ++sfb) {
      for (int lb = 0; lb < kLogicBlocks; ++lb) {
        for (int column = 0; column < kColumns; ++column) {
          const FrameMap expected = MapFrame(g, sfb, lb, column);
          if (mapper.Map(sfb, lb, column) != expected ||
              mapper.Data(fuses, sfb, lb, column) != assemble_data_field(fuses, expected)) {
            ++differing;
          }
        }
      }
    }
    EXPECT_EQ(differing, 0) << "part " << part;
  }
}

TEST(Zepa2Geometry, PartsAndRanges) {
  const Geometry g320 = Geometry::ForPart(kVtl3320);
  const Geometry g960 = Geometry::ForPart(kVtl3960);
  EXPECT_EQ(g320.sfb_count(), 2);
  EXPECT_EQ(g320.frame_count(), 336);
  EXPECT_EQ(g320.fuse_count(), 173492);
  EXPECT_EQ(g960.sfb_count(), 6);
  EXPECT_EQ(g960.frame_count(), 1008);
  EXPECT_EQ(g960.fuse_count(), 520476);
  EXPECT_THROW(Geometry::ForPart(kVtl3256XL), std::invalid_argument);
  EXPECT_THROW(addr_match(g320, 4, 0, 0), std::out_of_range);  // VTL3320 has function blocks 0..3
  EXPECT_THROW(addr_match(g960, 0, 4, 0), std::out_of_range);
  EXPECT_THROW(addr_match(g960, 0, 0, 42), std::out_of_range);
  EXPECT_THROW(MapFrame(g320, 2, 0, 0), std::out_of_range);
  EXPECT_THROW(FrameMapper(g320).Map(2, 0, 0), std::out_of_range);
  EXPECT_THROW(FrameMapper(g960).Data(FuseArray(520476, FuseArray::Fill::kOnes), 0, 4, 0), std::out_of_range);
}

}  // namespace
}  // namespace zepa::fusemap::zepa2
