#include "fusemap/zepa2_frames.h"

#include <span>

#include "fusemap/part_table.h"

namespace zepa::fusemap::zepa2 {
namespace {

// ---------------------------------------------------------------------------------------------------------
// Sections of a half frame: the bit positions k = 0..272 each section claims.

constexpr std::array<int, 20> Pal_And_First_Bit{16,  31,  40,  55,  64,  79,  88,  103, 112, 127,
                                                136, 151, 160, 175, 184, 199, 208, 223, 232, 247};
constexpr std::array<int, 11> Pla_And_First_Bit{25, 49, 73, 97, 121, 145, 169, 193, 217, 241, 256};
constexpr std::array<int, 20> Pla_Or_First_Bit{24,  39,  48,  63,  72,  87,  96,  111, 120, 135,
                                               144, 159, 168, 183, 192, 207, 216, 231, 240, 255};
constexpr const auto& Mc_First_Bit = Pal_And_First_Bit;

constexpr bool InRun(std::span<const int> firsts, int length, int k) {
  for (int first : firsts) {
    if (k >= first && k < first + length) return true;
  }
  return false;
}

enum class ColumnKind { kArray, kMacrocell40, kMacrocell41 };  // columns 0..39, 40, 41

// Section 0: the first 16 bits.
constexpr bool InSection0(int k, ColumnKind) {
  return k <= 15;
}
// Section 1: runs of 8 from each Pal_And_First_Bit.
constexpr bool InSection1(int k, ColumnKind) {
  return InRun(Pal_And_First_Bit, 8, k);
}
// Section 2: the single bits of Pla_Or_First_Bit.
constexpr bool InSection2(int k, ColumnKind) {
  return InRun(Pla_Or_First_Bit, 1, k);
}
// Section 3: runs of 6 from each Pla_And_First_Bit; the last run, from 256, ends at 259.
constexpr bool InSection3(int k, ColumnKind) {
  return k <= 259 && InRun(Pla_And_First_Bit, 6, k);
}
// Section 4: bits 260..263.
constexpr bool InSection4(int k, ColumnKind) {
  return k >= 260 && k <= 263;
}
// Section 5: bits 264..266.
constexpr bool InSection5(int k, ColumnKind) {
  return k >= 264 && k <= 266;
}
// Section 6: bits 267..272.
constexpr bool InSection6(int k, ColumnKind) {
  return k >= 267 && k <= 272;
}
// Section 7: bits 6..13 of column 41.
constexpr bool InSection7(int k, ColumnKind kind) {
  return kind == ColumnKind::kMacrocell41 && k >= 6 && k <= 13;
}
// Section 8: runs of 7 from each Mc_First_Bit (one macrocell per run).
constexpr bool InSection8(int k, ColumnKind) {
  return InRun(Mc_First_Bit, 7, k);
}

struct SectionTest {
  int section;
  bool (*claims)(int k, ColumnKind kind);
};

// The order in which the sections are searched; the first that claims a bit takes it.
constexpr std::array<SectionTest, 7> kArrayColumnSections{{
    {0, InSection0},
    {1, InSection1},
    {2, InSection2},
    {3, InSection3},
    {4, InSection4},
    {5, InSection5},
    {6, InSection6},
}};
constexpr std::array<SectionTest, 4> kMacrocellColumnSections{{
    {8, InSection8},
    {7, InSection7},
    {6, InSection6},
    {5, InSection5},
}};

// What the search gives for one bit: its section (-1 when no section claims it) and n, the number of
// bits that section claimed before it in the half frame.
struct BitRole {
  int section = -1;
  int n = 0;
};
using Layout = std::array<BitRole, kHalfFrameBits>;

constexpr Layout BuildLayout(ColumnKind kind) {
  const std::span<const SectionTest> order = kind == ColumnKind::kArray
                                                 ? std::span<const SectionTest>(kArrayColumnSections)
                                                 : std::span<const SectionTest>(kMacrocellColumnSections);
  Layout layout;
  layout.fill(BitRole{-1, 0});  // filled explicitly: GCC 12 does not apply the member defaults here
  std::array<int, 9> claimed{};
  for (int k = 0; k < kHalfFrameBits; ++k) {
    for (const SectionTest& test : order) {
      if (test.claims(k, kind)) {
        layout[k] = {test.section, claimed[test.section]++};
        break;
      }
    }
  }
  return layout;
}

constexpr Layout kArrayLayout = BuildLayout(ColumnKind::kArray);
constexpr Layout kColumn40Layout = BuildLayout(ColumnKind::kMacrocell40);
constexpr Layout kColumn41Layout = BuildLayout(ColumnKind::kMacrocell41);

constexpr int CountSection(const Layout& layout, int section) {
  int count = 0;
  for (const BitRole& role : layout) count += role.section == section ? 1 : 0;
  return count;
}
// Every bit of an array column belongs to a section, and the sections have the sizes their fuse
// blocks are laid out for.
static_assert(CountSection(kArrayLayout, -1) == 0);
static_assert(CountSection(kArrayLayout, 0) == 16 && CountSection(kArrayLayout, 1) == 160);
static_assert(CountSection(kArrayLayout, 2) == 20 && CountSection(kArrayLayout, 3) == 64);
static_assert(CountSection(kArrayLayout, 4) == 4 && CountSection(kArrayLayout, 5) == 3);
static_assert(CountSection(kArrayLayout, 6) == 6);
static_assert(CountSection(kColumn40Layout, 8) == 140 && CountSection(kColumn40Layout, 7) == 0);
static_assert(CountSection(kColumn41Layout, 8) == 140 && CountSection(kColumn41Layout, 7) == 8);
// The macrocell columns claim sections 8, 7, 6 and 5 only; the rest of their bits repeat a neighbour.
static_assert(CountSection(kColumn40Layout, -1) == 273 - 140 - 6 - 3);
static_assert(CountSection(kColumn41Layout, -1) == 273 - 140 - 8 - 6 - 3);

const Layout& LayoutFor(int column) {
  if (column == 40) return kColumn40Layout;
  if (column == 41) return kColumn41Layout;
  return kArrayLayout;
}

// ---------------------------------------------------------------------------------------------------------
// The fuse behind a claimed bit.

struct HalfFrame {
  const Geometry& g;
  int fb, lb, column;
  long fb_base() const { return fb * kFbFuses; }          // first fuse of the function block
  long off() const { return fb_base() + lb * kLbFuses; }  // first fuse of the logic block
};

// Two bits per column, 80 fuses to the next pair: 80 * (n div 2) + 2 * column + (n mod 2).
long Paired(int n, int column) {
  return 80L * (n / 2) + 2L * column + n % 2;
}

BitSource Section5(const HalfFrame& h, int k, int n) {
  switch (h.lb) {
    case 0:
      return h.column <= 1 ? BitSource::Fuse(h.fb_base() + (k - 264) + 3L * h.column) : BitSource::None();
    case 2:
      return BitSource::Fuse(h.fb_base() + 67L * n + h.column + 6);
    case 3:
      return h.column <= 24 ? BitSource::Fuse(h.fb_base() + 67L * n + h.column + 48) : BitSource::None();
    default:
      return BitSource::None();
  }
}

BitSource Section6(const HalfFrame& h, int n) {
  if (h.lb == 0) return BitSource::Fuse(h.fb_base() + 69L * n + h.column + 207);
  if (h.lb == 1 && h.column <= 26) return BitSource::Fuse(h.fb_base() + 69L * n + h.column + 249);
  return BitSource::None();
}

// Macrocell configuration fuses: macrocell m, configuration bit c (0..6 in column 40, 7..13 in 41).
BitSource Section8(const HalfFrame& h, int n) {
  const int m = n / 7;
  const int c = (h.column == 40 ? 0 : 7) + n % 7;
  const long fuse = h.off() + 11029 + 14L * m + c;
  if (h.column == 40 && c >= 3) {
    if (h.g.part == kVtl3320 && m >= 12) return BitSource::None();
    if (h.g.part == kVtl3960 && (m == 8 || m == 9)) return BitSource::ForcedZero(fuse);
    if (h.g.part == kVtl3960 && m >= 10) return BitSource::None();
  }
  return BitSource::Fuse(fuse);
}

BitSource SourceOf(const HalfFrame& h, const BitRole& role, int k) {
  const int n = role.n;
  switch (role.section) {
    case 0:
      return BitSource::Fuse(h.off() + 789 + Paired(n, h.column));
    case 1:
      return BitSource::Fuse(h.off() + 1429 + Paired(n, h.column));
    case 2:
      return h.column < 32 ? BitSource::Fuse(h.off() + 10389 + 20L * h.column + n) : BitSource::None();
    case 3:
      return BitSource::Fuse(h.off() + 7829 + Paired(n, h.column));
    case 4:
      return BitSource::Fuse(h.off() + 621 + 40L * n + h.column);
    case 5:
      return Section5(h, k, n);
    case 6:
      return Section6(h, n);
    case 7:
      return BitSource::Fuse(h.off() + 781 + n);
    case 8:
      return Section8(h, n);
    default:
      return BitSource::None();
  }
}

void CheckRange(const char* what, int value, int limit) {
  if (value < 0 || value >= limit) {
    throw std::out_of_range(std::string("ZEPA2 frame: ") + what + " " + std::to_string(value) +
                            " out of range");
  }
}

}  // namespace

Geometry Geometry::ForPart(int part) {
  if (part == kVtl3960) return Geometry{kVtl3960, 1};
  if (part == kVtl3320) return Geometry{kVtl3320, 3};
  throw std::invalid_argument("part code " + std::to_string(part) + " is not a ZEPA2 part");
}

int Grey_code_map(int n) {
  CheckRange("Gray code input", n, 43);
  return n ^ (n / 2);
}

std::string assemble_grey_code_address(int sfb, int lb, int column) {
  std::string addr(kGreyAddrBits, '0');
  auto put = [&addr](int first, int width, int value) {
    for (int i = 0; i < width; ++i) addr[first + i] = ((value >> i) & 1) ? '1' : '0';
  };
  put(0, 6, Grey_code_map(column));
  put(6, 2, Grey_code_map(lb));
  put(8, 3, Grey_code_map(sfb));
  return addr;
}

namespace {

// Walks the 273 bits of one half frame, handing sink(k, source) the source of each bit k in turn.
template <class Sink>
void WalkHalfFrame(const Geometry& g, int fb, int lb, int column, Sink&& sink) {
  CheckRange("function block", fb, g.fb_count());
  CheckRange("logic block", lb, kLogicBlocks);
  CheckRange("column", column, kColumns);
  const HalfFrame h{g, fb, lb, column};
  const Layout& layout = LayoutFor(column);
  // A bit that no section claims keeps the source of the bit before it; before the first claimed
  // bit that is "no fuse", so the bit reads 1.
  BitSource previous = BitSource::None();
  for (int k = 0; k < kHalfFrameBits; ++k) {
    if (layout[k].section >= 0) previous = SourceOf(h, layout[k], k);
    sink(k, previous);
  }
}

// Both halves of frame (sfb, lb, column): sink(position, source) for the upper half at positions
// 0..272, then for the lower half at positions 545 down to 273.
template <class Sink>
void WalkFrame(const Geometry& g, int sfb, int lb, int column, Sink&& sink) {
  CheckRange("super fast block", sfb, g.sfb_count());
  WalkHalfFrame(g, sfb, lb, column, [&sink](int k, const BitSource& s) { sink(k, s); });
  WalkHalfFrame(g, 2 * g.sfb_count() - 1 - sfb, (lb + 2) % kLogicBlocks, column,
                [&sink](int k, const BitSource& s) { sink(kDataFrameBits - 1 - k, s); });
}

}  // namespace

HalfFrameMap addr_match(const Geometry& g, int fb, int lb, int column) {
  HalfFrameMap map;
  WalkHalfFrame(g, fb, lb, column, [&map](int k, const BitSource& s) { map[k] = s; });
  return map;
}

FrameMap MapFrame(const Geometry& g, int sfb, int lb, int column) {
  FrameMap frame;
  WalkFrame(g, sfb, lb, column, [&frame](int p, const BitSource& s) { frame[p] = s; });
  return frame;
}

std::string assemble_data_field(const FuseArray& fuses, const FrameMap& map) {
  std::string bits(kDataFrameBits, '1');
  for (int p = 0; p < kDataFrameBits; ++p) bits[p] = map[p].Value(fuses);
  return bits;
}

FrameMapper::FrameMapper(const Geometry& g) : g_(g) {
  block0_.reserve(kLogicBlocks * kColumns);
  for (int lb = 0; lb < kLogicBlocks; ++lb) {
    for (int column = 0; column < kColumns; ++column) block0_.push_back(addr_match(g, 0, lb, column));
  }
}

const HalfFrameMap& FrameMapper::Block0(int lb, int column) const {
  CheckRange("logic block", lb, kLogicBlocks);
  CheckRange("column", column, kColumns);
  return block0_[static_cast<std::size_t>(lb * kColumns + column)];
}

FrameMap FrameMapper::Map(int sfb, int lb, int column) const {
  CheckRange("super fast block", sfb, g_.sfb_count());
  const int lower_lb = (lb + 2) % kLogicBlocks;
  const long upper_shift = sfb * kFbFuses;
  const long lower_shift = (2 * g_.sfb_count() - 1 - sfb) * kFbFuses;
  const auto shifted = [](BitSource s, long shift) {
    if (s.kind != BitSource::Kind::kNoFuse) s.fuse = static_cast<std::int32_t>(s.fuse + shift);
    return s;
  };
  const HalfFrameMap& upper = Block0(lb, column);
  const HalfFrameMap& lower = Block0(lower_lb, column);
  FrameMap frame;
  for (int k = 0; k < kHalfFrameBits; ++k) {
    frame[k] = shifted(upper[k], upper_shift);
    frame[kDataFrameBits - 1 - k] = shifted(lower[k], lower_shift);
  }
  return frame;
}

std::string FrameMapper::Data(const FuseArray& fuses, int sfb, int lb, int column) const {
  CheckRange("super fast block", sfb, g_.sfb_count());
  if (fuses.TotalFuseNum() < g_.fuse_count()) throw std::out_of_range("ZEPA2 frame: fuse array too small");
  // Fuse n is bit n mod 16 of word n div 16; every fuse of the part is inside the array (checked above).
  const std::uint32_t* words = fuses.words().data();
  const auto value = [words](const BitSource& s, long shift) -> char {
    if (s.kind != BitSource::Kind::kFuse) return s.kind == BitSource::Kind::kForcedZero ? '0' : '1';
    const auto n = static_cast<std::uint32_t>(s.fuse + shift);
    return static_cast<char>('0' + ((words[n >> 4] >> (n & 15u)) & 1u));
  };
  const long upper_shift = sfb * kFbFuses;
  const long lower_shift = (2 * g_.sfb_count() - 1 - sfb) * kFbFuses;
  const HalfFrameMap& upper = Block0(lb, column);
  const HalfFrameMap& lower = Block0((lb + 2) % kLogicBlocks, column);
  std::string bits(kDataFrameBits, '1');
  for (int k = 0; k < kHalfFrameBits; ++k) {
    bits[k] = value(upper[k], upper_shift);
    bits[kDataFrameBits - 1 - k] = value(lower[k], lower_shift);
  }
  return bits;
}

}  // namespace zepa::fusemap::zepa2
