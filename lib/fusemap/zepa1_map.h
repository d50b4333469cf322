// Which JEDEC fuse goes to which bit of which shift-register row of a ZEPA1 part (32, 64, 128 macrocells).
//
// The image is two sides (L = 0, R = 1) of 43 rows of DR_len bits each; stream bit
// b = (side * 43 + row) * DR_len + j, where j is the position in the row (0 = the first bit shifted in).
// Rows 0..39 carry the logic rows, row 40 the configuration row, row 41 the user signature, row 42 is ones.
#pragma once

#include <cstdint>
#include <vector>

namespace zepa::fusemap {

inline constexpr int kZepa1Rows = 43;    // rows (addresses) per side
inline constexpr int kZepa1UesRow = 41;  // the user signature row

// What a stream bit carries: a fuse number (>= 0) or one of these constants (both shift a 1).
inline constexpr std::int32_t kConstOne = -1;
inline constexpr std::int32_t kSecOne = -2;  // the constant 1 after the two special fuses of row 40

// True for the codes that have a ZEPA1 image: 51, 85, 119, 120, 121.
bool IsZepa1Part(int id);

// Row length (DR_len) and the bits of one block segment of a row, for a ZEPA1 part code; 0 for other codes.
int Zepa1RowLength(int id);
int Zepa1SegmentBits(int id);

// The logic block (0 = 'A') in block slot `slot` of `side`, or -1 when the part has no such slot.
int Zepa1BlockAt(int id, int side, int slot);

// The source of every stream bit of the part, 2 * 43 * DR_len entries. Throws std::invalid_argument for a
// code that is not a ZEPA1 part (51, 85, 119, 120, 121).
std::vector<std::int32_t> Zepa1StreamMap(int id);

}  // namespace zepa::fusemap
