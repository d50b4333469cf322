// Type codes: the number that names a part to the converters, the engine and the SVF writers (the `id` of
// `jcd_type` and `JcdRec`, the first byte of a ZEPA1 image), and the family a code belongs to by its range.
#pragma once

#include <climits>

namespace zepa::codes {

enum PartCode : int {
  kUnknownPart = 0,   // "Others": a part of no family, only ever bypassed
  kZepa1_32 = 51,     // VTL3032A, VTL3032C, VTL5032C ('3')
  kZepa1_64 = 85,     // VTL3064A, VTL5064C ('U')
  kZepa1_128 = 119,   // VTL3128, VTL5128 ('w'), 82802 fuses
  kZepa1_128C = 120,  // VTL5128C ('x'), 82930 fuses
  kZepa1_128A = 121,  // VTL3128A ('y'), 82930 fuses
  kVtl3320 = 130,
  kVtl3960 = 132,
  kVtl3032XL = 144,
  kVtl3064XL = 145,
  kVtl3128XL = 146,
  kVtl3256XL = 148,
  kVtl3384XL = 149,
};

// The type codes of one family, first..last.
struct TypeRange {
  int first;
  int last;
  constexpr bool Contains(int id) const { return id >= first && id <= last; }
};

// ZEPA1 (4-bit instruction register, two sides of 43 rows) below 128; ZEPA2 (configuration frames) 128..143;
// ZEPA3 (5-bit instruction register, the XL parts) from 144 up. Code 0 and below belong to no family.
inline constexpr TypeRange kZepa1Types{1, 127};
inline constexpr TypeRange kZepa2Types{128, 143};
inline constexpr TypeRange kZepa3Types{144, INT_MAX};

constexpr bool IsZepa1Type(int id) {
  return kZepa1Types.Contains(id);
}
constexpr bool IsZepa2Type(int id) {
  return kZepa2Types.Contains(id);
}
constexpr bool IsZepa3Type(int id) {
  return kZepa3Types.Contains(id);
}

}  // namespace zepa::codes
