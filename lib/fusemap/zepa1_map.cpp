#include "fusemap/zepa1_map.h"

#include <array>
#include <span>
#include <stdexcept>
#include <string>

#include "fusemap/part_table.h"

namespace zepa::fusemap {
namespace {

// Map record of rows 0..39: fuse of entry value v in logic row r of block B is
// fs + blkoff * B + logoff * v + rowoff * r; zbar marks pairs (the partner f + 1 is shifted first).
struct R39 {
  long fs, blkoff, logoff, rowoff;
  bool zbar;
};
// Map record of row 40 (macrocells: fs + blkoff * B + rowoff * m + logoff * bit; control terms likewise).
struct R40 {
  long fs, blkoff, logoff, rowoff;
};

// A run of shift-sequence entries of rows 0..39: map `map`, values `first` down to `last`.
struct Run {
  int map, first, last;
};

// Row 40 entries: a macrocell, a number of constant ones, or the six control-term bits.
enum Kind { kMacrocell = 0, kOnes = 1, kControl = 2 };
struct Entry40 {
  int kind, value;
};

// clang-format off
constexpr Run kSr39_128[] = {
    {1, 79, 75}, {2, 31, 30}, {3, 15, 14}, {2, 29, 28}, {1, 74, 65}, {2, 27, 26}, {3, 13, 12}, {2, 25, 24},
    {1, 64, 55}, {2, 23, 22}, {3, 11, 10}, {2, 21, 20}, {1, 54, 45}, {2, 19, 18}, {3, 9, 8},   {2, 17, 16},
    {1, 44, 40}, {4, 4, 0},   {1, 39, 35}, {2, 15, 14}, {3, 7, 6},   {2, 13, 12}, {1, 34, 25}, {2, 11, 10},
    {3, 5, 4},   {2, 9, 8},   {1, 24, 15}, {2, 7, 6},   {3, 3, 2},   {2, 5, 4},   {1, 14, 5},  {2, 3, 2},
    {3, 1, 0},   {2, 1, 0},   {1, 4, 0},   {0, 5, 0}};
constexpr Run kSr39_64v1[] = {
    {1, 79, 75}, {2, 31, 30}, {3, 15, 14}, {2, 29, 28}, {1, 74, 65}, {2, 27, 26}, {3, 13, 12}, {2, 25, 24},
    {1, 64, 55}, {2, 23, 22}, {3, 11, 10}, {2, 21, 20}, {1, 54, 45}, {2, 19, 18}, {3, 9, 8},   {2, 17, 16},
    {1, 44, 40}, {4, 3, 0},   {1, 39, 35}, {2, 15, 14}, {3, 7, 6},   {2, 13, 12}, {1, 34, 25}, {2, 11, 10},
    {3, 5, 4},   {2, 9, 8},   {1, 24, 15}, {2, 7, 6},   {3, 3, 2},   {2, 5, 4},   {1, 14, 5},  {2, 3, 2},
    {3, 1, 0},   {2, 1, 0},   {1, 4, 0},   {0, 5, 0}};
constexpr Run kSr39_64v2[] = {
    {1, 4, 0},   {2, 0, 0},   {2, 1, 1},   {3, 0, 0},   {3, 1, 1},   {2, 2, 2},   {2, 3, 3},   {1, 9, 5},
    {1, 14, 10}, {2, 4, 4},   {2, 5, 5},   {3, 2, 2},   {3, 3, 3},   {2, 6, 6},   {2, 7, 7},   {1, 19, 15},
    {1, 24, 20}, {2, 8, 8},   {2, 9, 9},   {3, 4, 4},   {3, 5, 5},   {2, 10, 10}, {2, 11, 11}, {1, 29, 25},
    {1, 34, 30}, {2, 12, 12}, {2, 13, 13}, {3, 6, 6},   {3, 7, 7},   {2, 14, 14}, {2, 15, 15}, {1, 39, 35},
    {4, 3, 0},   {1, 44, 40}, {2, 16, 16}, {2, 17, 17}, {3, 8, 8},   {3, 9, 9},   {2, 18, 18}, {2, 19, 19},
    {1, 49, 45}, {1, 54, 50}, {2, 20, 20}, {2, 21, 21}, {3, 10, 10}, {3, 11, 11}, {2, 22, 22}, {2, 23, 23},
    {1, 59, 55}, {1, 64, 60}, {2, 24, 24}, {2, 25, 25}, {3, 12, 12}, {3, 13, 13}, {2, 26, 26}, {2, 27, 27},
    {1, 69, 65}, {1, 74, 70}, {2, 28, 28}, {2, 29, 29}, {3, 14, 14}, {3, 15, 15}, {2, 30, 30}, {2, 31, 31},
    {1, 79, 75}, {0, 5, 0}};
constexpr Run kSr39_32[] = {
    {1, 79, 75}, {2, 31, 30}, {3, 15, 14}, {2, 29, 28}, {1, 74, 65}, {2, 27, 26}, {3, 13, 12}, {2, 25, 24},
    {1, 64, 55}, {2, 23, 22}, {3, 11, 10}, {2, 21, 20}, {1, 54, 45}, {2, 19, 18}, {3, 9, 8},   {2, 17, 16},
    {1, 44, 40}, {4, 2, 0},   {1, 39, 35}, {2, 15, 14}, {3, 7, 6},   {2, 13, 12}, {1, 34, 25}, {2, 11, 10},
    {3, 5, 4},   {2, 9, 8},   {1, 24, 15}, {2, 7, 6},   {3, 3, 2},   {2, 5, 4},   {1, 14, 5},  {2, 3, 2},
    {3, 1, 0},   {2, 1, 0},   {1, 4, 0},   {0, 5, 0}};

constexpr Entry40 kSr40_128[] = {
    {0, 15}, {1, 4}, {0, 14}, {0, 13}, {1, 4}, {0, 12}, {0, 11}, {1, 4}, {0, 10}, {0, 9}, {1, 4}, {0, 8},
    {1, 5},  {0, 7}, {1, 4},  {0, 6},  {0, 5}, {1, 4},  {0, 4},  {0, 3}, {1, 4},  {0, 2}, {0, 1}, {1, 4},
    {0, 0},  {2, 0}, {1, 6}};
constexpr Entry40 kSr40_64v1[] = {
    {0, 15}, {1, 4}, {0, 14}, {0, 13}, {1, 4}, {0, 12}, {0, 11}, {1, 4}, {0, 10}, {0, 9}, {1, 4}, {0, 8},
    {1, 4},  {0, 7}, {1, 4},  {0, 6},  {0, 5}, {1, 4},  {0, 4},  {0, 3}, {1, 4},  {0, 2}, {0, 1}, {1, 4},
    {0, 0},  {2, 0}, {1, 6}};
constexpr Entry40 kSr40_64v2[] = {
    {0, 0},  {1, 4}, {0, 1},  {0, 2},  {1, 4}, {0, 3},  {0, 4},  {1, 4}, {0, 5},  {0, 6},  {1, 4}, {0, 7},
    {1, 4},  {0, 8}, {1, 4},  {0, 9},  {0, 10}, {1, 4}, {0, 11}, {0, 12}, {1, 4}, {0, 13}, {0, 14}, {1, 4},
    {0, 15}, {2, 0}, {1, 6}};
constexpr Entry40 kSr40_32[] = {
    {0, 15}, {1, 6}, {0, 14}, {0, 13}, {1, 6}, {0, 12}, {0, 11}, {1, 6}, {0, 10}, {0, 9}, {1, 6}, {0, 8},
    {1, 3},  {0, 7}, {1, 6},  {0, 6},  {0, 5}, {1, 6},  {0, 4},  {0, 3}, {1, 6},  {0, 2}, {0, 1}, {1, 6},
    {0, 0},  {2, 0}, {1, 6}};
// clang-format on

// Macrocell bit orders: offsets into a macrocell's configuration fuses. The first entry of the even order
// (and the last of the odd order) is never used: that position carries the macrocell's extra fuse.
constexpr int kOddMC[] = {10, 11, 9, 1, 5, 6, 2, 3, 4, 8, 7, 0, 12};
constexpr int kEvenMC[] = {12, 0, 7, 8, 4, 3, 2, 6, 5, 1, 9, 11, 10};
constexpr int kOddMC32[] = {9, 10, 8, 1, 4, 5, 2, 3, 7, 6, 0, 11};
constexpr int kEvenMC32[] = {11, 0, 6, 7, 3, 2, 5, 4, 1, 8, 10, 9};

// Sum-term gap rows: they shift a 1 in every sum-term position; the other 32 rows meet sum-term rows 0..31
// in order.
constexpr int kGapPattern1[] = {2, 13, 14, 15, 20, 27, 28, 33};
constexpr int kGapPattern2[] = {4, 5, 18, 19, 28, 29, 34, 35};

enum : int { A = 0, B, C, D, E, F, G, H };

struct Zepa1Tables {
  int row_len;
  int slots;         // block slots per side
  int segment_bits;  // bits per block slot and row
  std::array<std::array<int, 4>, 2> blk;
  std::array<R39, 5> map39;
  std::array<R40, 3> map40;
  int mc_config_bits;  // configuration fuses per macrocell shifted (12, or 11 for 32 macrocells)
  std::span<const int> odd_mc, even_mc;
  long extra_base;  // first extra macrocell fuse, or -1 when those bits are constant ones
  long special_first, special_second;
  int special_block;  // block on side R whose row-40 segment ends with the special fuses
  std::span<const int> gaps;
  bool variant2_low_blocks;  // 64 macrocells: blocks A and B use the second tables and the inverted parity
};

constexpr std::array<R39, 4> kMap39Common{{{0, 10150, 80, 2, true},
                                           {480, 10150, 80, 2, true},
                                           {6880, 10150, 80, 2, true},
                                           {9440, 10150, 1, 16, false}}};

Zepa1Tables Tables(int id) {
  Zepa1Tables t{};
  switch (id) {
    case kZepa1_128:
    case kZepa1_128C:
    case kZepa1_128A:
      t.row_len = 1028;
      t.slots = 4;
      t.segment_bits = 257;
      t.blk = {{{G, H, C, B}, {F, E, D, A}}};
      t.map39 = {kMap39Common[0], kMap39Common[1], kMap39Common[2], kMap39Common[3],
                 R39{81200, 200, 40, 1, false}};
      t.map40 = {{{9958, 10150, 1, 12}, {0, 0, 0, 0}, {9952, 10150, 1, 1}}};
      t.mc_config_bits = 12;
      t.odd_mc = kOddMC;
      t.even_mc = kEvenMC;
      t.extra_base = id == kZepa1_128 ? -1 : 82802;
      t.special_first = 82801;
      t.special_second = 82800;
      t.special_block = id == kZepa1_128C ? E : D;
      t.gaps = id == kZepa1_128C ? std::span<const int>(kGapPattern2) : std::span<const int>(kGapPattern1);
      break;
    case kZepa1_64:
      t.row_len = 512;
      t.slots = 2;
      t.segment_bits = 256;
      t.blk = {{{C, B, -1, -1}, {D, A, -1, -1}}};
      t.map39 = {kMap39Common[0], kMap39Common[1], kMap39Common[2], kMap39Common[3],
                 R39{40600, 160, 40, 1, false}};
      t.map40 = {{{9958, 10150, 1, 12}, {0, 0, 0, 0}, {9952, 10150, 1, 1}}};
      t.mc_config_bits = 12;
      t.odd_mc = kOddMC;
      t.even_mc = kEvenMC;
      t.extra_base = 41241;
      t.special_first = 41305;
      t.special_second = 41240;
      t.special_block = A;
      t.gaps = kGapPattern2;
      t.variant2_low_blocks = true;
      break;
    case kZepa1_32:
      t.row_len = 255;
      t.slots = 1;
      t.segment_bits = 255;
      t.blk = {{{A, -1, -1, -1}, {B, -1, -1, -1}}};
      t.map39 = {{{0, 10134, 80, 2, true},
                  {480, 10134, 80, 2, true},
                  {6880, 10134, 80, 2, true},
                  {9440, 10134, 1, 16, false},
                  {20268, 120, 40, 1, false}}};
      t.map40 = {{{9958, 10134, 1, 11}, {0, 0, 0, 0}, {9952, 10134, 1, 1}}};
      t.mc_config_bits = 11;
      t.odd_mc = kOddMC32;
      t.even_mc = kEvenMC32;
      t.extra_base = 20509;
      t.special_first = 20541;
      t.special_second = 20508;
      t.special_block = B;
      t.gaps = kGapPattern1;
      break;
    default:
      throw std::invalid_argument("part code " + std::to_string(id) + " is not a ZEPA1 part");
  }
  return t;
}

std::span<const Run> Sr39(int id, int block) {
  switch (id) {
    case kZepa1_64:
      return block <= B ? std::span<const Run>(kSr39_64v2) : std::span<const Run>(kSr39_64v1);
    case kZepa1_32:
      return kSr39_32;
    default:
      return kSr39_128;
  }
}

std::span<const Entry40> Sr40(int id, int block) {
  switch (id) {
    case kZepa1_64:
      return block <= B ? std::span<const Entry40>(kSr40_64v2) : std::span<const Entry40>(kSr40_64v1);
    case kZepa1_32:
      return kSr40_32;
    default:
      return kSr40_128;
  }
}

// Appends the bit sources of one block segment to a row.
class SegmentWriter {
 public:
  SegmentWriter(std::int32_t* row, int capacity) : row_(row), capacity_(capacity) {}
  void Add(long source) {
    if (count_ >= capacity_) throw std::logic_error("ZEPA1 shift table longer than its row segment");
    row_[count_++] = static_cast<std::int32_t>(source);
  }
  int count() const { return count_; }
  std::int32_t* last(int n) { return row_ + count_ - n; }

 private:
  std::int32_t* row_;
  int capacity_;
  int count_ = 0;
};

void LogicRowSegment(const Zepa1Tables& t, int id, int block, int row, SegmentWriter& out) {
  int shift = 0;  // number of gap rows above this row: sum-term row = row - shift
  bool gap = false;
  for (int g : t.gaps) {
    if (g < row) ++shift;
    if (g == row) gap = true;
  }
  for (const Run& run : Sr39(id, block)) {
    const R39& m = t.map39[static_cast<std::size_t>(run.map)];
    for (int v = run.first; v >= run.last; --v) {
      const long f = m.fs + m.blkoff * block + m.logoff * v + m.rowoff * row;
      if (run.map == 3) {
        out.Add(gap ? kConstOne : f - 16L * shift);
      } else if (m.zbar) {
        out.Add(f + 1);
        out.Add(f);
      } else {
        out.Add(f);
      }
    }
  }
}

void ConfigRowSegment(const Zepa1Tables& t, int id, int block, bool special, SegmentWriter& out) {
  const R40& mc = t.map40[0];
  const R40& ct = t.map40[2];
  const bool inverted = t.variant2_low_blocks && block <= B;
  for (const Entry40& e : Sr40(id, block)) {
    switch (e.kind) {
      case kMacrocell: {
        const int m = e.value;
        const long base = mc.fs + mc.blkoff * block + mc.rowoff * m;
        const long extra = t.extra_base < 0 ? kConstOne : t.extra_base + 16L * block + m;
        const bool odd = (m % 2 == 1) != inverted;
        if (odd) {
          for (int k = 0; k < t.mc_config_bits; ++k)
            out.Add(base + mc.logoff * t.odd_mc[static_cast<std::size_t>(k)]);
          out.Add(extra);
        } else {
          out.Add(extra);
          for (int k = 1; k <= t.mc_config_bits; ++k)
            out.Add(base + mc.logoff * t.even_mc[static_cast<std::size_t>(k)]);
        }
        break;
      }
      case kOnes:
        for (int k = 0; k < e.value; ++k) out.Add(kConstOne);
        break;
      case kControl:
        for (int n = 5; n >= 0; --n) out.Add(ct.fs + ct.blkoff * block + ct.logoff * n);
        break;
    }
  }
  if (special) {
    std::int32_t* tail = out.last(3);
    tail[0] = static_cast<std::int32_t>(t.special_first);
    tail[1] = static_cast<std::int32_t>(t.special_second);
    tail[2] = kSecOne;
  }
}

}  // namespace

bool IsZepa1Part(int id) {
  return id == kZepa1_32 || id == kZepa1_64 || (id >= kZepa1_128 && id <= kZepa1_128A);
}

int Zepa1RowLength(int id) {
  return IsZepa1Part(id) ? Tables(id).row_len : 0;
}

int Zepa1SegmentBits(int id) {
  return Zepa1RowLength(id) != 0 ? Tables(id).segment_bits : 0;
}

int Zepa1BlockAt(int id, int side, int slot) {
  if (Zepa1RowLength(id) == 0 || side < 0 || side > 1 || slot < 0 || slot > 3) return -1;
  return Tables(id).blk[static_cast<std::size_t>(side)][static_cast<std::size_t>(slot)];
}

std::vector<std::int32_t> Zepa1StreamMap(int id) {
  const Zepa1Tables t = Tables(id);
  const int L = t.row_len;
  std::vector<std::int32_t> map(static_cast<std::size_t>(2 * kZepa1Rows * L), kConstOne);
  for (int side = 0; side < 2; ++side) {
    for (int row = 0; row <= 40; ++row) {
      std::int32_t* row_start = map.data() + static_cast<std::size_t>((side * kZepa1Rows + row) * L);
      for (int slot = 0; slot < t.slots; ++slot) {
        const int block = t.blk[static_cast<std::size_t>(side)][static_cast<std::size_t>(slot)];
        SegmentWriter out(row_start + slot * t.segment_bits, t.segment_bits);
        if (row < 40) {
          LogicRowSegment(t, id, block, row, out);
        } else {
          ConfigRowSegment(t, id, block, side == 1 && block == t.special_block, out);
        }
        if (out.count() != t.segment_bits)
          throw std::logic_error("ZEPA1 shift table shorter than its row segment");
      }
    }
  }
  return map;
}

}  // namespace zepa::fusemap
