// Reading a ZEPA3 ISP image back into fuses (fusedump): the frame map of zepa3_map read backwards, and the
// ZEPA3 section list of the readback JEDEC file.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fusemap/fuse_array.h"
#include "fusemap/jedec_writer.h"
#include "fusemap/zepa3_map.h"

namespace zepa::fusemap {

// Frame bits of one image line: each of the first ceil(dr_len / 4) characters gives four bits, most
// significant first; frame bit i is the (dr_len - 1 - i)-th of them. A character that is not a hexadecimal
// digit gives four 0 bits and is added to `invalid` (its position in the line). Throws FatalError 501 when
// the line has fewer digits than a frame needs; characters past them are ignored.
std::vector<std::uint8_t> get_ispFile_bit(std::string_view line, int dr_len,
                                          std::vector<std::size_t>& invalid);

// How many invalid digits of an image are told one by one.
inline constexpr int kToldInvalidDigits = 10;

struct Zepa3ReadbackReport {
  int invalid_digits = 0;  // characters that were not hexadecimal digits; their bits read as 0
};

// Reads one image line per frame from `in` and sets every fuse that a data or ISP frame bit reads back
// (bits that no field claims, bits without a fuse and the signature frames set nothing). Each of the first
// kToldInvalidDigits invalid digits prints "Non-valid hex number %c in bit stream.\n" on `messages`, followed
// by where it was; any further ones are counted in one closing line. Throws
// FatalError 501 when the image ends before the last frame or a line is too short. `name` names the image in
// messages.
Zepa3ReadbackReport Isp2Fuse(const Zepa3Map& map, std::istream& in, std::string_view name, FuseArray& fuse,
                             std::ostream& messages);

// The sections of a ZEPA3 JEDEC file: per logic block its ZIA, PLA AND, PLA OR, global clock, control-term
// mux, I/O macrocell and buried macrocell rows; then the global control-term mux, the dedicated inputs and
// the ISP bit.
std::vector<JedecSection> zepa3_jedec_sections(const ZEPA3_type& g);

}  // namespace zepa::fusemap
