// How a family's protocol describes its parts' IDCODEs: the fields the engine's identification reads, and
// what an SVF IDCODE scan expects.
#pragma once

#include <string_view>

namespace zepa::engine {

// A part field of the IDCODE (bits 16..21 in reading order, bit 16 first) and the type code it names; with
// `flag15` ('0' or '1') only while bit 15 has that value, with 0 whatever it is.
struct IdcodePart {
  std::string_view part_field;
  int type_code;
  char flag15 = 0;
};

// What an SVF IDCODE scan expects of a part: the TDO value and mask as hexadecimal text, and the name its
// comment gives.
struct IdcodeExpectation {
  int id;
  std::string_view tdo;
  std::string_view mask;
  std::string_view name;
};

}  // namespace zepa::engine
