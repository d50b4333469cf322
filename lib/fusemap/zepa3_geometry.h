// ZEPA3 parts (VTL3032XL .. VTL3384XL): the JEDEC layout of one part, where its user signature sits in a
// frame, and the per-part numbers that say how a data frame is cut into fields.
#pragma once

#include <array>
#include <string_view>

namespace zepa::fusemap {

// JEDEC layout of one ZEPA3 part. Logic block b owns fuses b * LB_JED_OFFSET + (ZIA, PLA AND, PLA OR, global
// clock, control-term mux, I/O macrocells, buried macrocells) at the start addresses below; after the last
// block come the global control-term mux, the dedicated inputs and the single ISP fuse.
struct ZEPA3_type {
  int id;
  int LOGIC_BLOCK_PAIR_COUNT;
  int LOGIC_BLOCK_COUNT;
  int ZIA_ROWS;
  int ZIA_COLUMNS;
  int CT_MUX_ROWS;
  int CT_MUX_COLUMNS;
  int GBAL_CT_MUX_ROWS;
  int GBAL_CT_MUX_COLUMNS;
  int DEDICATED_IP_ROWS;
  int DEDICATED_IP_COLUMNS;
  int AND_ROWS;
  int AND_COLUMNS;
  int OR_ROWS;
  int OR_COLUMNS;
  int IO_MC_ROWS;
  int IO_MC_COLUMNS;
  int BURIED_MC_ROWS;
  int BURIED_MC_COLUMNS;
  int ZIA_STARTJADDR;
  int PLA_AND_STARTJADDR;
  int PLA_OR_STARTJADDR;
  int GLOBAL_CLK_STARTJADDR;
  int CT_MUX_STARTJADDR;
  int IO_MC_STARTJADDR;
  int BURIED_MC_STARTJADDR;
  int LB_JED_OFFSET;
  int GLOBAL_CT_MUX_STARTJADDR;
  int DEDICATED_IP_STARTJADDR;
  int ISP_FUSEJADDR;
  int DR_LEN;
  std::string_view PART_NAME;

  long FuseCount() const { return static_cast<long>(ISP_FUSEJADDR) + 1; }
  // Frames per device: two halves of (52 data frames per block pair, one ISP frame, one signature frame).
  int FrameCount() const { return 2 * (52 * LOGIC_BLOCK_PAIR_COUNT + 2); }
  // Hexadecimal digits of one ISP file line.
  int HexDigits() const { return (DR_LEN + 3) / 4; }
};

// The user signature in the signature frame of each half: three runs of frame bits, filled in this order.
struct ZEPA3_UES_type {
  int par1_start, par1_end;
  int par2_start, par2_end;
  int par3_start, par3_end;
  int total_ues_bit;  // both halves together; each half holds total_ues_bit / 2
};

// How a data frame is cut into fields. Bits [0, zia_first_bit) are the macrocell, mux and clock bits, in
// groups of five, two groups per block pair; from zia_first_bit on come zia_groups groups of ZIA_COLUMNS ZIA
// bits, one per block pair; the PLA bits follow, 48 per logic block.
struct Zepa3FrameLayout {
  int zia_first_bit;  // E
  int zia_groups;     // D: block pairs reached from one column group
  // Logic-block offset (from the column group's first block) of each block pair a frame reaches.
  std::array<int, 3> pair_offsets;

  // I/O macrocell columns: a low run [0, io_low_end) with m = col / 3 and a high run [io_high_start, 51] with
  // m = (col - io_high_shift) / 3; the column class is the same quotient's remainder.
  int io_low_end, io_high_start, io_high_shift;

  // Buried macrocell columns: two runs, m = (col - shift) / 3 in each (no runs when the part has none).
  struct Run {
    int first, last, shift;
  };
  std::array<Run, 2> buried;
  bool has_buried;

  // Dedicated inputs: column 0 of column group 0 in half dedicated_upper; each range gives four inputs.
  int dedicated_upper;
  struct BitRange {
    int first_bit, count, first_input;
  };
  std::array<BitRange, 3> dedicated;
  int dedicated_ranges;

  // Global control-term mux (upper half only): frame bits [gct_first_bit, + GBAL_CT_MUX_COLUMNS) of the four
  // (column group, column) cells below, which hold rows 0..3.
  int gct_first_bit;
  struct Cell {
    int lb, col;
  };
  std::array<Cell, 4> gct_rows;
};

// nullptr for a code without a ZEPA3 row (anything but 144, 145, 146, 148, 149).
const ZEPA3_type* load_ZEPA3_jed_struct(int id);
const ZEPA3_UES_type* load_ZEPA3_ues(int id);
const Zepa3FrameLayout* load_zepa3_frame_layout(int id);

// Bit-order tables: the offset inside a macrocell's (mux's, clock's) fuses fed by a frame bit, 99 where the
// bit has no fuse. Index = bit mod 5 + 5 * column class + 15 * sequence (control-term mux: 10 * sequence,
// global clock: 5 * sequence). Sequence 1 belongs to the odd block of a pair.
inline constexpr int kNoTableFuse = 99;
inline constexpr std::array<int, 30> Io_Mc_Bit_Upper = {
    1, 2, 3, 4, 0, 11, 12, 13, 9,  10, 18, 19, 20, 24, 25,  //
    0, 4, 3, 2, 1, 10, 9,  13, 12, 11, 25, 24, 20, 19, 18};
inline constexpr std::array<int, 30> Io_Mc_Bit_Lower = {
    5,  6, 7, 8, 99, 14, 15, 17, 16, 99, 21, 22, 23, 26, 99,  //
    99, 8, 7, 6, 5,  99, 16, 17, 15, 14, 99, 26, 23, 22, 21};
inline constexpr std::array<int, 30> Buried_Mc_Bit_Upper = {
    0,  1, 2, 3, 99, 6, 7, 8, 4, 5, 12, 13, 14, 18, 19,  //
    99, 3, 2, 1, 0,  5, 4, 8, 7, 6, 19, 18, 14, 13, 12};
inline constexpr std::array<int, 30> Buried_Mc_Bit_Lower = {
    99, 99, 99, 99, 99, 9,  10, 99, 11, 99, 15, 16, 17, 20, 99,  //
    99, 99, 99, 99, 99, 99, 11, 99, 10, 9,  99, 20, 17, 16, 15};
inline constexpr std::array<int, 20> Ct_Mux_Bit_Lower = {0,  1, 2, 3, 99, 4,  5, 6, 7, 99,  //
                                                         99, 3, 2, 1, 0,  99, 7, 6, 5, 4};
inline constexpr std::array<int, 10> Gclk_Bit_Lower = {0, 1, 2, 3, 99, 99, 3, 2, 1, 0};

}  // namespace zepa::fusemap
