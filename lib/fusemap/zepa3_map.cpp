#include "fusemap/zepa3_map.h"

#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

namespace zepa::fusemap {
namespace {

// One data frame bit and everything the field rules look at.
struct BitPlace {
  const ZEPA3_type& g;
  const Zepa3FrameLayout& lay;
  int upper, lb, bit, col;
};

using Claim = std::optional<long>;

long BlockBase(const BitPlace& p, int lb_offset) {
  return static_cast<long>(p.lb + lb_offset) * p.g.LB_JED_OFFSET;
}

// Macrocell, mux and clock bits come in groups of five: group q feeds the block lb + (offset of pair q / 2) +
// (q mod 2), and the odd block of a pair reads its bit-order table in sequence 1.
int McLbOffset(const BitPlace& p) {
  const int q = p.bit / 5;
  return p.lay.pair_offsets[static_cast<std::size_t>(q / 2)] + q % 2;
}
int McSequence(const BitPlace& p) {
  return (p.bit / 5) % 2;
}

template <std::size_t N>
Claim TableFuse(const std::array<int, N>& table, int index, long base) {
  const int t = table[static_cast<std::size_t>(index)];
  if (t == kNoTableFuse) return kNoFuse;
  return base + t;
}

bool InMacrocellBits(const BitPlace& p) {
  return p.bit < p.lay.zia_first_bit;
}

// 8: dedicated inputs, in column 0 of column group 0, four inputs per bit range.
Claim DedicatedInput(const BitPlace& p) {
  if (p.lb != 0 || p.col != 0 || p.upper != p.lay.dedicated_upper) return std::nullopt;
  for (int i = 0; i < p.lay.dedicated_ranges; ++i) {
    const auto& r = p.lay.dedicated[static_cast<std::size_t>(i)];
    if (p.bit >= r.first_bit && p.bit < r.first_bit + r.count)
      return static_cast<long>(p.g.DEDICATED_IP_STARTJADDR) + r.first_input + (p.bit - r.first_bit);
  }
  return std::nullopt;
}

// 7: global control-term mux, upper half only: row = which of the four cells, column = bit - first bit.
Claim GlobalCtMux(const BitPlace& p) {
  if (p.upper != 1) return std::nullopt;
  const int column = p.bit - p.lay.gct_first_bit;
  if (column < 0 || column >= p.g.GBAL_CT_MUX_COLUMNS) return std::nullopt;
  for (int row = 0; row < 4; ++row) {
    const auto& cell = p.lay.gct_rows[static_cast<std::size_t>(row)];
    if (cell.lb == p.lb && cell.col == p.col)
      return static_cast<long>(p.g.GLOBAL_CT_MUX_STARTJADDR) + p.g.GBAL_CT_MUX_COLUMNS * row + column;
  }
  return std::nullopt;
}

// 0: I/O macrocells, three columns per macrocell in a low and a high run of columns.
Claim IoMacrocell(const BitPlace& p) {
  if (!InMacrocellBits(p)) return std::nullopt;
  int rel;
  if (p.col < p.lay.io_low_end) {
    rel = p.col;
  } else if (p.col >= p.lay.io_high_start) {
    rel = p.col - p.lay.io_high_shift;
  } else {
    return std::nullopt;
  }
  const int m = rel / 3, c = rel % 3;
  const int index = p.bit % 5 + 5 * c + 15 * McSequence(p);
  const long base = BlockBase(p, McLbOffset(p)) + p.g.IO_MC_STARTJADDR + 27L * m;
  return TableFuse(p.upper ? Io_Mc_Bit_Upper : Io_Mc_Bit_Lower, index, base);
}

// 1: buried macrocells, three columns per macrocell in two runs of columns.
Claim BuriedMacrocell(const BitPlace& p) {
  if (!p.lay.has_buried || !InMacrocellBits(p)) return std::nullopt;
  for (const auto& run : p.lay.buried) {
    if (p.col < run.first || p.col > run.last) continue;
    const int m = (p.col - run.shift) / 3, c = (p.col - run.shift) % 3;
    const int index = p.bit % 5 + 5 * c + 15 * McSequence(p);
    const long base = BlockBase(p, McLbOffset(p)) + p.g.BURIED_MC_STARTJADDR + 21L * m;
    return TableFuse(p.upper ? Buried_Mc_Bit_Upper : Buried_Mc_Bit_Lower, index, base);
  }
  return std::nullopt;
}

// 2: control-term mux, lower half, columns 24 (class 0) and 25 (class 1).
Claim CtMux(const BitPlace& p) {
  if (p.upper != 0 || !InMacrocellBits(p) || (p.col != 24 && p.col != 25)) return std::nullopt;
  const int index = p.bit % 5 + 5 * (p.col - 24) + 10 * McSequence(p);
  return TableFuse(Ct_Mux_Bit_Lower, index, BlockBase(p, McLbOffset(p)) + p.g.CT_MUX_STARTJADDR);
}

// 3: global clock mux, column 26; its upper-half bits have no fuse.
Claim GlobalClock(const BitPlace& p) {
  if (!InMacrocellBits(p) || p.col != 26) return std::nullopt;
  if (p.upper == 1) return kNoFuse;
  const int index = p.bit % 5 + 5 * McSequence(p);
  return TableFuse(Gclk_Bit_Lower, index, BlockBase(p, McLbOffset(p)) + p.g.GLOBAL_CLK_STARTJADDR);
}

int PlaFirstBit(const BitPlace& p) {
  return p.lay.zia_first_bit + p.lay.zia_groups * p.g.ZIA_COLUMNS;
}
bool IsOrColumn(int col) {
  return col >= 22 && col <= 29;
}

// 4: ZIA, columns 2..21 (rows 0..19) and 30..49 (rows 20..39); one group of ZIA_COLUMNS bits per block pair,
// the even block of the pair in the upper half, the odd one in the lower half. Bits run from the row's last
// fuse down to its first.
Claim Zia(const BitPlace& p) {
  const int z = p.g.ZIA_COLUMNS;
  if (p.bit < p.lay.zia_first_bit || p.bit >= PlaFirstBit(p)) return std::nullopt;
  int n;
  if (p.col >= 2 && p.col <= 21) {
    n = p.col - 2;
  } else if (p.col >= 30 && p.col <= 49) {
    n = p.col - 10;
  } else {
    return std::nullopt;
  }
  const int group = (p.bit - p.lay.zia_first_bit) / z, o = (p.bit - p.lay.zia_first_bit) % z;
  const int lb_offset = p.lay.pair_offsets[static_cast<std::size_t>(group)] + (p.upper ? 0 : 1);
  return BlockBase(p, lb_offset) + p.g.ZIA_STARTJADDR + static_cast<long>(z) * (n + 1) - o - 1;
}

// PLA bits form groups of 48 (one per logic block, even block of a pair first); the odd block's rows run
// backwards.
struct PlaPlace {
  int lb_offset, row;
};
PlaPlace Pla(const BitPlace& p) {
  const int g = (p.bit - PlaFirstBit(p)) / 48, r = (p.bit - PlaFirstBit(p)) % 48;
  const int lb_offset = p.lay.pair_offsets[static_cast<std::size_t>(g / 2)] + g % 2;
  return {lb_offset, lb_offset % 2 == 0 ? r : 47 - r};
}

// AND column of PLA column k (0..43): the upper half feeds the odd columns, the lower half the even ones; the
// four edge columns feed 80..87.
int AndColumn(int upper, int k) {
  if (upper) {
    if (k == 0) return 80;
    if (k == 1) return 82;
    if (k == 42) return 85;
    if (k == 43) return 87;
    return 2 * k - 3;
  }
  if (k == 0) return 81;
  if (k == 1) return 83;
  if (k == 42) return 84;
  if (k == 43) return 86;
  return 2 * k - 4;
}

// 5: PLA AND, every column outside 22..29.
Claim PlaAnd(const BitPlace& p) {
  if (p.bit < PlaFirstBit(p) || IsOrColumn(p.col)) return std::nullopt;
  const int k = p.col <= 21 ? p.col : p.col - 8;
  const PlaPlace pla = Pla(p);
  return BlockBase(p, pla.lb_offset) + p.g.PLA_AND_STARTJADDR + AndColumn(p.upper, k) + 88L * pla.row;
}

// 6: PLA OR, columns 22..29: OR column 2k (upper half) or 2k + 1 (lower half).
Claim PlaOr(const BitPlace& p) {
  if (p.bit < PlaFirstBit(p) || !IsOrColumn(p.col)) return std::nullopt;
  const int k = p.col - 22;
  const PlaPlace pla = Pla(p);
  return BlockBase(p, pla.lb_offset) + p.g.PLA_OR_STARTJADDR + (p.upper ? 2 * k : 2 * k + 1) + 16L * pla.row;
}

using FieldRule = Claim (*)(const BitPlace&);

// The field rules by field number.
constexpr FieldRule kFieldRules[] = {IoMacrocell, BuriedMacrocell, CtMux,       GlobalClock,   Zia,
                                     PlaAnd,      PlaOr,           GlobalCtMux, DedicatedInput};

Claim Match(int logic_sec, const BitPlace& p) {
  if (logic_sec < 0 || logic_sec >= static_cast<int>(std::size(kFieldRules))) return std::nullopt;
  return kFieldRules[logic_sec](p);
}

// The fields that can claim a bit, by the part of the frame it lies in, in claim order: the macrocell bits
// below the ZIA, the ZIA bits (which hold the dedicated inputs and, on the VTL3384XL, the global control-term
// mux) and the PLA bits. Trying only these gives the same claims as trying all nine, three times faster.
constexpr FieldRule kMacrocellBitFields[] = {GlobalCtMux, IoMacrocell, BuriedMacrocell, CtMux, GlobalClock};
constexpr FieldRule kZiaBitFields[] = {DedicatedInput, GlobalCtMux, Zia};
constexpr FieldRule kPlaBitFields[] = {PlaAnd, PlaOr};

std::span<const FieldRule> FieldsForBit(const BitPlace& p) {
  if (p.bit < p.lay.zia_first_bit) return kMacrocellBitFields;
  if (p.bit < PlaFirstBit(p)) return kZiaBitFields;
  return kPlaBitFields;
}

void AssembleDataFrame(const ZEPA3_type& g, const Zepa3FrameLayout& lay, int upper, int lb, int col,
                       std::vector<Zepa3FrameBit>& out) {
  long previous = kNoFuse;
  for (int bit = 0; bit < g.DR_LEN; ++bit) {
    const BitPlace p{g, lay, upper, lb, bit, col};
    Claim claim;
    for (FieldRule rule : FieldsForBit(p)) {
      claim = rule(p);
      if (claim) break;
    }
    if (claim) previous = *claim;
    out.push_back({static_cast<std::int32_t>(previous), claim.has_value()});
  }
}

}  // namespace

int zepa3_addr_match(int logic_sec, int id, int upper, int lb, int bit, int col_addr, long& jed_addr) {
  const ZEPA3_type* g = load_ZEPA3_jed_struct(id);
  const Zepa3FrameLayout* lay = load_zepa3_frame_layout(id);
  if (g == nullptr || lay == nullptr) return 0;
  const Claim claim = Match(logic_sec, BitPlace{*g, *lay, upper, lb, bit, col_addr});
  if (!claim) return 0;
  jed_addr = *claim;
  return 1;
}

std::vector<Zepa3FrameBit> assemble_col_0_52(int id, int upper, int lb, int col_addr) {
  const ZEPA3_type* g = load_ZEPA3_jed_struct(id);
  const Zepa3FrameLayout* lay = load_zepa3_frame_layout(id);
  if (g == nullptr || lay == nullptr)
    throw std::invalid_argument("no ZEPA3 part with code " + std::to_string(id));
  std::vector<Zepa3FrameBit> out;
  out.reserve(static_cast<std::size_t>(g->DR_LEN));
  AssembleDataFrame(*g, *lay, upper, lb, col_addr, out);
  return out;
}

Zepa3Map::Zepa3Map(int id) : geom_(load_ZEPA3_jed_struct(id)), ues_(load_ZEPA3_ues(id)) {
  const Zepa3FrameLayout* lay = load_zepa3_frame_layout(id);
  if (geom_ == nullptr || ues_ == nullptr || lay == nullptr)
    throw std::invalid_argument("no ZEPA3 part with code " + std::to_string(id));
  const ZEPA3_type& g = *geom_;
  const auto dr = static_cast<std::size_t>(g.DR_LEN);
  bits_.reserve(dr * static_cast<std::size_t>(g.FrameCount()));
  for (int upper = 0; upper < 2; ++upper) {
    for (int pair = 0; pair < g.LOGIC_BLOCK_PAIR_COUNT; ++pair) {
      for (int col = 0; col < 52; ++col) {
        frames_.push_back({Zepa3FrameKind::kData, upper, 2 * pair, col});
        first_bit_.push_back(bits_.size());
        AssembleDataFrame(g, *lay, upper, 2 * pair, col, bits_);
      }
    }
    // The ISP frame is all ones but for the ISP fuse at bit 1 of the upper half's frame.
    frames_.push_back({Zepa3FrameKind::kIsp, upper, 0, 0});
    first_bit_.push_back(bits_.size());
    for (std::size_t bit = 0; bit < dr; ++bit) {
      const bool isp_fuse = upper == 1 && bit == 1;
      bits_.push_back({isp_fuse ? g.ISP_FUSEJADDR : static_cast<std::int32_t>(kNoFuse), true});
    }
    frames_.push_back({Zepa3FrameKind::kSignature, upper, 0, 0});
    first_bit_.push_back(bits_.size());
  }
}

std::span<const Zepa3FrameBit> Zepa3Map::bits(int i) const {
  const auto fi = static_cast<std::size_t>(i);
  if (frames_[fi].kind == Zepa3FrameKind::kSignature) return {};
  return std::span<const Zepa3FrameBit>(bits_).subspan(first_bit_[fi],
                                                       static_cast<std::size_t>(geom_->DR_LEN));
}

}  // namespace zepa::fusemap
