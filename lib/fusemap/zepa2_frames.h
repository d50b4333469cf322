// ZEPA2 (VTL3320, VTL3960) configuration frames: which fuse feeds each bit of a frame, the data frame
// itself and its Gray-coded address.
//
// A frame carries one column of two logic blocks. Its 546 data bits are two half frames of 273 bits:
// the upper half (positions 0..272) comes from function block sfb, logic block lb; the lower half
// (positions 545 down to 273) from the mirrored function block 2 * sfb_count - 1 - sfb and logic block
// (lb + 2) mod 4, at the same column.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fusemap/fuse_array.h"

namespace zepa::fusemap::zepa2 {

inline constexpr int kHalfFrameBits = 273;
inline constexpr int kDataFrameBits = 2 * kHalfFrameBits;  // 546
inline constexpr int kGreyAddrBits = 11;
inline constexpr int kColumns = 42;  // 0..39 array columns, 40 and 41 macrocell columns
inline constexpr int kLogicBlocks = 4;
inline constexpr int kFramesPerSfb = kLogicBlocks * kColumns;  // 168
inline constexpr long kFbFuses = 43373;                        // JEDEC fuses of one function block
inline constexpr long kLbFuses = 10688;                        // distance between two logic blocks

// The frame geometry of one ZEPA2 part.
struct Geometry {
  int part = 0;        // part code 130 (VTL3320) or 132 (VTL3960)
  int sfb_offset = 1;  // 3 for VTL3320, 1 for VTL3960

  int sfb_count() const { return 6 / sfb_offset; }  // super fast blocks: 2 or 6
  int fb_count() const { return 2 * sfb_count(); }  // function blocks: 4 or 12
  int frame_count() const { return sfb_count() * kFramesPerSfb; }
  long fuse_count() const { return fb_count() * kFbFuses; }

  // Throws std::invalid_argument for a code that is not a ZEPA2 part.
  static Geometry ForPart(int part);
};

// Where one frame bit takes its value from.
struct BitSource {
  enum class Kind : std::uint8_t { kNoFuse, kFuse, kForcedZero };
  std::int32_t fuse = -1;  // the JEDEC fuse (also kept for a bit forced to 0); -1 when there is none
  Kind kind = Kind::kNoFuse;

  static BitSource None() { return {}; }
  static BitSource Fuse(long n) { return {static_cast<std::int32_t>(n), Kind::kFuse}; }
  static BitSource ForcedZero(long n) { return {static_cast<std::int32_t>(n), Kind::kForcedZero}; }

  // '1' when there is no fuse or the fuse is 1, '0' when the fuse is 0 or the bit is forced to 0.
  char Value(const FuseArray& fuses) const {
    switch (kind) {
      case Kind::kFuse:
        return static_cast<char>('0' + fuses.read_fuse(fuse));
      case Kind::kForcedZero:
        return '0';
      case Kind::kNoFuse:
        break;
    }
    return '1';
  }
  bool operator==(const BitSource&) const = default;
};

using HalfFrameMap = std::array<BitSource, kHalfFrameBits>;
using FrameMap = std::array<BitSource, kDataFrameBits>;

// Gray(n) = n XOR (n div 2), for 0..42.
int Grey_code_map(int n);

// The 11 address characters: Gray(column) bits 0..5, Gray(lb) bits 0..1, Gray(sfb) bits 0..2, each
// least significant bit first.
std::string assemble_grey_code_address(int sfb, int lb, int column);

// The half-frame rules: the source of bits k = 0..272 of function block fb, logic block lb, column.
HalfFrameMap addr_match(const Geometry& g, int fb, int lb, int column);

// Both halves of frame (sfb, lb, column) placed at their data-frame positions.
FrameMap MapFrame(const Geometry& g, int sfb, int lb, int column);

// The 546 '0'/'1' characters of a data frame.
std::string assemble_data_field(const FuseArray& fuses, const FrameMap& map);

// The frames of a whole part, for the walk over all of them. Every fuse that feeds function block fb
// lies fb * 43373 above the matching fuse of block 0 (the rules never depend on fb otherwise), so the
// rules run once for the 168 half frames of block 0 and the other blocks are those shifted.
class FrameMapper {
 public:
  explicit FrameMapper(const Geometry& g);
  const Geometry& geometry() const { return g_; }

  FrameMap Map(int sfb, int lb, int column) const;  // the same as MapFrame
  std::string Data(const FuseArray& fuses, int sfb, int lb, int column) const;

 private:
  const HalfFrameMap& Block0(int lb, int column) const;
  Geometry g_;
  std::vector<HalfFrameMap> block0_;  // [lb * 42 + column]
};

}  // namespace zepa::fusemap::zepa2
