#include "fusemap/zepa3_map.h"

#include <gtest/gtest.h>

#include <vector>

#include "fusemap/part_table.h"

namespace zepa::fusemap {
namespace {

constexpr int kZepa3Parts[] = {144, 145, 146, 148, 149};

// The geometry rows must agree with themselves (each field starts where the one before ends), with the
// converters' part table, and with the frame cut: macrocell bits, ZIA groups and 48 PLA bits per block fill
// exactly DR_LEN bits.
TEST(Zepa3Geometry, FieldsFollowEachOtherAndFillTheFrame) {
  for (int id : kZepa3Parts) {
    SCOPED_TRACE(id);
    const ZEPA3_type& g = *load_ZEPA3_jed_struct(id);
    const Zepa3FrameLayout& lay = *load_zepa3_frame_layout(id);
    const ZEPA3_UES_type& u = *load_ZEPA3_ues(id);
    EXPECT_EQ(g.PLA_AND_STARTJADDR, g.ZIA_STARTJADDR + g.ZIA_ROWS * g.ZIA_COLUMNS);
    EXPECT_EQ(g.PLA_OR_STARTJADDR, g.PLA_AND_STARTJADDR + g.AND_ROWS * g.AND_COLUMNS);
    EXPECT_EQ(g.GLOBAL_CLK_STARTJADDR, g.PLA_OR_STARTJADDR + g.OR_ROWS * g.OR_COLUMNS);
    EXPECT_EQ(g.CT_MUX_STARTJADDR, g.GLOBAL_CLK_STARTJADDR + 4);
    EXPECT_EQ(g.IO_MC_STARTJADDR, g.CT_MUX_STARTJADDR + g.CT_MUX_ROWS * g.CT_MUX_COLUMNS);
    // Parts without buried macrocells give them the I/O start.
    if (g.BURIED_MC_ROWS > 0) {
      EXPECT_EQ(g.BURIED_MC_STARTJADDR, g.IO_MC_STARTJADDR + g.IO_MC_ROWS * 27);
    }
    EXPECT_EQ(g.LB_JED_OFFSET, g.IO_MC_STARTJADDR + g.IO_MC_ROWS * 27 + g.BURIED_MC_ROWS * 21);
    EXPECT_EQ(g.GLOBAL_CT_MUX_STARTJADDR, g.LOGIC_BLOCK_COUNT * g.LB_JED_OFFSET);
    EXPECT_EQ(g.DEDICATED_IP_STARTJADDR,
              g.GLOBAL_CT_MUX_STARTJADDR + g.GBAL_CT_MUX_ROWS * g.GBAL_CT_MUX_COLUMNS);
    EXPECT_EQ(g.ISP_FUSEJADDR, g.DEDICATED_IP_STARTJADDR + g.DEDICATED_IP_ROWS * 4);
    EXPECT_EQ(lay.zia_first_bit + lay.zia_groups * (g.ZIA_COLUMNS + 2 * 48), g.DR_LEN);
    EXPECT_EQ(2 * lay.zia_groups * g.LOGIC_BLOCK_PAIR_COUNT, g.LOGIC_BLOCK_COUNT);
    EXPECT_EQ(
        (u.par1_end - u.par1_start + 1) + (u.par2_end - u.par2_start + 1) + (u.par3_end - u.par3_start + 1),
        u.total_ues_bit / 2);
    EXPECT_LT(u.par3_end, g.DR_LEN);

    jcd_type rec;
    get_part(rec, g.PART_NAME);
    EXPECT_EQ(rec.id, id);
    EXPECT_EQ(rec.jed_fuse, g.FuseCount());
    EXPECT_EQ(rec.DR_len, g.DR_LEN);
  }
  EXPECT_EQ(load_ZEPA3_jed_struct(147), nullptr);
  EXPECT_EQ(load_ZEPA3_jed_struct(132), nullptr);
}

// Single bits worked out by hand from the field rules, one or more per field and part family.
struct BitCase {
  const char* what;
  int id, sec, upper, lb, col, bit;
  long expected;  // -1: the field does not claim the bit
};

const BitCase kBitCases[] = {
    {"I/O lower, block 0, first bit", 144, kSecIoMacrocell, 0, 0, 0, 0, 5324 + 5},
    {"I/O upper, table value 0", 144, kSecIoMacrocell, 1, 0, 0, 4, 5324},
    {"I/O lower, table says no fuse", 144, kSecIoMacrocell, 0, 0, 0, 4, kNoFuse},
    {"I/O high run, odd block, sequence 1", 144, kSecIoMacrocell, 0, 0, 30, 7, 5756 + 5324 + 27 * 8 + 23},
    {"I/O not in columns 24..27", 144, kSecIoMacrocell, 0, 0, 24, 0, -1},
    {"I/O not at ZIA bits", 144, kSecIoMacrocell, 0, 0, 0, 10, -1},
    {"I/O 128: column 20 is the last low one", 146, kSecIoMacrocell, 1, 0, 20, 0, 6084 + 27 * 6 + 18},
    {"I/O 128: column 21 is buried", 146, kSecIoMacrocell, 1, 0, 21, 0, -1},
    {"I/O 384: third pair, odd block", 149, kSecIoMacrocell, 1, 6, 40, 28, 23L * 7914 + 7524 + 27 * 5 + 2},
    {"I/O 384: column 39 is buried", 149, kSecIoMacrocell, 1, 0, 39, 0, -1},
    {"buried 384: last macrocell of block 23", 149, kSecBuriedMacrocell, 1, 6, 39, 29,
     23L * 7914 + 7767 + 21 * 6 + 12},
    {"buried 128: second run, odd block", 146, kSecBuriedMacrocell, 0, 0, 29, 6, 6498 + 6435 + 21 + 11},
    {"buried: none on the 32-macrocell part", 144, kSecBuriedMacrocell, 0, 0, 22, 0, -1},
    {"control-term mux, second pair of a 128", 146, kSecCtMux, 0, 2, 25, 13, 6L * 6498 + 6076 + 7},
    {"control-term mux: lower half only", 146, kSecCtMux, 1, 2, 25, 13, -1},
    {"global clock, odd block", 148, kSecGlobalClock, 0, 0, 26, 9, 7240 + 6832 + 0},
    {"global clock upper half has no fuse", 148, kSecGlobalClock, 1, 0, 26, 9, kNoFuse},
    {"ZIA upper, first bit is the row's last fuse", 144, kSecZia, 1, 0, 2, 10, 7},
    {"ZIA lower feeds the odd block, row 39", 144, kSecZia, 0, 0, 49, 17, 5756 + 8 * 40 - 7 - 1},
    {"ZIA 384: third group, lower half", 149, kSecZia, 0, 0, 30, 156, 17L * 7914 + 63 * 21 - 1},
    {"ZIA: not in column 22", 144, kSecZia, 1, 0, 22, 10, -1},
    {"PLA AND upper, edge column 0", 144, kSecPlaAnd, 1, 0, 0, 18, 320 + 80},
    {"PLA AND lower, odd block reversed row", 144, kSecPlaAnd, 0, 0, 51, 113, 5756 + 320 + 86},
    {"PLA AND upper inner column", 148, kSecPlaAnd, 1, 2, 10, 160 + 5, 3L * 7240 + 1840 + 17 + 88 * 42},
    {"PLA AND: not in OR columns", 148, kSecPlaAnd, 1, 2, 22, 160, -1},
    {"PLA OR lower, column 29", 144, kSecPlaOr, 0, 0, 29, 18, 4544 + 15},
    {"PLA OR upper, third pair of a 384", 149, kSecPlaOr, 1, 0, 22, 411, 16L * 7914 + 6744},
    {"global control-term mux 32", 144, kSecGlobalCtMux, 1, 0, 25, 2, 11512 + 3 + 2},
    {"global control-term mux 32: three columns only", 144, kSecGlobalCtMux, 1, 0, 25, 3, -1},
    {"global control-term mux 256 on group 1", 148, kSecGlobalCtMux, 1, 2, 27, 14, 115840 + 15 + 4},
    {"global control-term mux 256: not on group 0", 148, kSecGlobalCtMux, 1, 0, 27, 14, -1},
    {"global control-term mux 384, row 0", 149, kSecGlobalCtMux, 1, 2, 50, 118, 189936},
    {"global control-term mux 384, row 3", 149, kSecGlobalCtMux, 1, 4, 1, 122, 189936 + 15 + 4},
    {"global control-term mux: upper half only", 149, kSecGlobalCtMux, 0, 4, 1, 122, -1},
    {"dedicated input 32", 144, kSecDedicatedInput, 0, 0, 0, 17, 11524 + 3},
    {"dedicated input 128, second range", 146, kSecDedicatedInput, 0, 0, 0, 70, 52000 + 4},
    {"dedicated input 128: column 0 only", 146, kSecDedicatedInput, 0, 0, 1, 70, -1},
    {"dedicated input 384, third range, upper half", 149, kSecDedicatedInput, 1, 0, 0, 181, 189956 + 8},
    {"dedicated input 384: not in the lower half", 149, kSecDedicatedInput, 0, 0, 0, 181, -1},
};

TEST(Zepa3AddrMatch, HandWorkedBits) {
  for (const auto& c : kBitCases) {
    SCOPED_TRACE(c.what);
    long addr = -7;
    const int hit = zepa3_addr_match(c.sec, c.id, c.upper, c.lb, c.bit, c.col, addr);
    if (c.expected < 0) {
      EXPECT_EQ(hit, 0);
      EXPECT_EQ(addr, -7);
    } else {
      EXPECT_EQ(hit, 1);
      EXPECT_EQ(addr, c.expected);
    }
  }
  long addr = 0;
  EXPECT_EQ(zepa3_addr_match(kSecZia, 147, 1, 0, 30, 2, addr), 0);
}

// Where two fields could claim a bit, the first in the order 8, 7, 0, ... wins; a bit nobody claims carries
// the fuse of the bit before it, and 1 at the start of a frame.
TEST(Zepa3DataFrame, ClaimOrderAndUnclaimedBits) {
  // VTL3256XL, group 1, column 26, upper half: bits 10..14 are the global control-term mux, not the clock.
  const auto clock_col = assemble_col_0_52(148, 1, 2, 26);
  EXPECT_EQ(clock_col[10].fuse, 115840 + 2 * 5);
  EXPECT_EQ(clock_col[9].fuse, kNoFuse);  // global clock, upper half
  EXPECT_TRUE(clock_col[9].claimed);

  // VTL3032XL column 27 lower half: nothing claims bits 0..17 (no I/O, no mux, no ZIA column) until the OR
  // array.
  const auto gap = assemble_col_0_52(144, 0, 0, 27);
  for (int bit = 0; bit < 18; ++bit) {
    EXPECT_FALSE(gap[bit].claimed) << bit;
    EXPECT_EQ(gap[bit].fuse, kNoFuse) << bit;
  }
  EXPECT_TRUE(gap[18].claimed);
  EXPECT_EQ(gap[18].fuse, 4544 + 11);

  // VTL3032XL column 24 upper half: bits 0..2 global control-term mux, then unclaimed bits repeat bit 2's
  // fuse.
  const auto after = assemble_col_0_52(144, 1, 0, 24);
  EXPECT_EQ(after[2].fuse, 11514);
  for (int bit = 3; bit < 18; ++bit) {
    EXPECT_FALSE(after[bit].claimed) << bit;
    EXPECT_FALSE(after[bit].ReadsBack()) << bit;
    EXPECT_EQ(after[bit].fuse, 11514) << bit;
  }
}

// The map tries only the fields that can claim a bit where it lies; that must give what trying all nine
// fields in order gives, for every bit of every part.
TEST(Zepa3DataFrame, SameClaimsAsTryingEveryField) {
  for (int id : kZepa3Parts) {
    SCOPED_TRACE(id);
    const Zepa3Map map(id);
    long differences = 0;
    for (int f = 0; f < map.frame_count(); ++f) {
      const Zepa3FrameId& frame = map.frame(f);
      if (frame.kind != Zepa3FrameKind::kData) continue;
      const auto bits = map.bits(f);
      long previous = kNoFuse;
      for (int bit = 0; bit < map.geometry().DR_LEN; ++bit) {
        long addr = -1;
        bool claimed = false;
        for (int sec : kZepa3SectionOrder) {
          if (zepa3_addr_match(sec, id, frame.upper, frame.lb, bit, frame.col, addr)) {
            claimed = true;
            break;
          }
        }
        if (claimed) previous = addr;
        const auto& b = bits[static_cast<std::size_t>(bit)];
        differences += b.claimed != claimed || b.fuse != previous;
      }
    }
    EXPECT_EQ(differences, 0);
  }
}

TEST(Zepa3Map, FrameOrder) {
  const Zepa3Map map(144);
  ASSERT_EQ(map.frame_count(), 108);
  EXPECT_EQ(map.frame(0).kind, Zepa3FrameKind::kData);
  EXPECT_EQ(map.frame(51).col, 51);
  EXPECT_EQ(map.frame(52).kind, Zepa3FrameKind::kIsp);
  EXPECT_EQ(map.frame(53).kind, Zepa3FrameKind::kSignature);
  EXPECT_TRUE(map.bits(53).empty());
  // The ISP fuse is bit 1 of the 107th frame, the ISP frame of the upper half.
  EXPECT_EQ(map.frame(106).kind, Zepa3FrameKind::kIsp);
  EXPECT_EQ(map.frame(106).upper, 1);
  EXPECT_EQ(map.bits(106)[1].fuse, 11528);
  EXPECT_EQ(map.bits(52)[1].fuse, kNoFuse);

  const Zepa3Map big(149);
  ASSERT_EQ(big.frame_count(), 420);
  EXPECT_EQ(big.frame(52 * 3 + 7).lb, 6);
  EXPECT_EQ(big.frame(210).upper, 1);
  EXPECT_EQ(big.frame(210).lb, 0);

  EXPECT_THROW(Zepa3Map(147), std::invalid_argument);
}

// Every JEDEC fuse of every part is fed by exactly one frame bit that reads back: the map is one-to-one, so
// an image read back gives every fuse, and no fuse is written from two places.
TEST(Zepa3Map, EveryFuseHasExactlyOneFrameBit) {
  for (int id : kZepa3Parts) {
    SCOPED_TRACE(id);
    const Zepa3Map map(id);
    std::vector<int> uses(static_cast<std::size_t>(map.geometry().FuseCount()), 0);
    for (int f = 0; f < map.frame_count(); ++f) {
      for (const auto& b : map.bits(f)) {
        if (!b.ReadsBack()) continue;
        ASSERT_GE(b.fuse, 0);
        ASSERT_LT(b.fuse, map.geometry().FuseCount());
        ++uses[static_cast<std::size_t>(b.fuse)];
      }
    }
    long missing = 0, doubled = 0;
    for (int u : uses) {
      missing += u == 0;
      doubled += u > 1;
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(doubled, 0);
  }
}

}  // namespace
}  // namespace zepa::fusemap
