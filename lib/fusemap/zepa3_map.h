// Which JEDEC fuse feeds each bit of each ZEPA3 frame. fusebuild reads the fuses through this map to build
// the ISP image; fusedump reads the same map backwards to put the bits of a read-back image into fuses.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "fusemap/zepa3_geometry.h"

namespace zepa::fusemap {

// The fields of a data frame, numbered as the frame rules number them.
enum Zepa3Section : int {
  kSecIoMacrocell = 0,
  kSecBuriedMacrocell = 1,
  kSecCtMux = 2,
  kSecGlobalClock = 3,
  kSecZia = 4,
  kSecPlaAnd = 5,
  kSecPlaOr = 6,
  kSecGlobalCtMux = 7,
  kSecDedicatedInput = 8,
};
// A bit goes to the first field that claims it, tried in this order.
inline constexpr std::array<int, 9> kZepa3SectionOrder = {8, 7, 0, 1, 2, 3, 4, 5, 6};

// Address of a claimed frame bit that has no fuse behind it: the bit is always 1.
inline constexpr long kNoFuse = 999999;

// 1 when field `logic_sec` claims bit `bit` of the data frame at column `col_addr` of column group `lb` (the
// group's first logic block) in half `upper`; jed_addr then holds its fuse (or kNoFuse). 0 otherwise, and
// jed_addr is left alone. Also 0 for a code without a ZEPA3 row.
int zepa3_addr_match(int logic_sec, int id, int upper, int lb, int bit, int col_addr, long& jed_addr);

// One bit of a frame: the fuse it carries (kNoFuse: always 1). A bit that no field claims carries the fuse of
// the bit before it (1 at the start of a frame); it is written like that but never read back into a fuse.
struct Zepa3FrameBit {
  std::int32_t fuse;
  bool claimed;

  bool ReadsBack() const { return claimed && fuse != kNoFuse; }
};

// The fuse behind every bit of one data frame.
std::vector<Zepa3FrameBit> assemble_col_0_52(int id, int upper, int lb, int col_addr);

enum class Zepa3FrameKind { kData, kIsp, kSignature };

struct Zepa3FrameId {
  Zepa3FrameKind kind;
  int upper;  // 0 = lower half (written first), 1 = upper half
  int lb;     // data frames: first logic block of the column group (0, 2, 4, 6)
  int col;    // data frames: column address 0..51
};

// A whole part's frames in ISP file order: per half, 52 data frames per column group, the ISP frame and the
// signature frame. Data and ISP frames carry fuses; the signature frame carries the user signature instead
// and has no bits here.
class Zepa3Map {
 public:
  // Throws std::invalid_argument for a code without a ZEPA3 row.
  explicit Zepa3Map(int id);

  const ZEPA3_type& geometry() const { return *geom_; }
  const ZEPA3_UES_type& ues_layout() const { return *ues_; }
  int frame_count() const { return static_cast<int>(frames_.size()); }
  const Zepa3FrameId& frame(int i) const { return frames_[static_cast<std::size_t>(i)]; }
  // DR_LEN bits for a data or ISP frame, none for a signature frame.
  std::span<const Zepa3FrameBit> bits(int i) const;

 private:
  const ZEPA3_type* geom_;
  const ZEPA3_UES_type* ues_;
  std::vector<Zepa3FrameId> frames_;
  std::vector<std::size_t> first_bit_;  // per frame, into bits_
  std::vector<Zepa3FrameBit> bits_;
};

}  // namespace zepa::fusemap
