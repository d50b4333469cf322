// The ZEPA3 ISP image that fusebuild writes: <base>.bit with one line of DR_LEN '0'/'1' characters per frame
// (bit 0 first) and <base>.isp with the same frames as hexadecimal lines, last bit first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fusemap/fuse_array.h"
#include "fusemap/part_table.h"
#include "fusemap/zepa3_map.h"

namespace zepa::fusemap {

// A data or ISP frame as '0'/'1' characters, bit 0 first: each bit shows its fuse, a bit without a fuse is 1.
std::string printout_zepa3_data_map(const Zepa3Map& map, int frame, const FuseArray& fuse);

// The signature frame of half `upper`: all ones, with the signature text (a trailing line end is not part of
// it; at most total_ues_bit / 8 characters, most significant bit first) spread over the frame's three
// signature runs. The lower half holds signature bits from 0, the upper half from total_ues_bit / 2.
std::string printout_zepa3_ues_field(const Zepa3Map& map, int upper, std::string_view ues);

// One .bit line (without its line end) as an .isp line: the bits from the last to the first, four to a
// hexadecimal digit, most significant first, ceil(DR_LEN / 4) digits with zeros filling the last one.
// Throws FatalError 501 when the line does not hold exactly dr_len bits.
std::string convert_bit_2_isp_line(std::string_view bit_line, int dr_len);

struct Zepa3Image {
  std::string bit_text;  // the .bit file
  std::string isp_text;  // the .isp file
};
Zepa3Image build_zepa3_image(const Zepa3Map& map, const FuseArray& fuse, std::string_view ues);

// The name the image files get, without extension: the design path without its extension; for a
// "PU" / "RU" device without a design, root_path + "tempues". No value when neither applies (nothing is
// written then).
std::optional<std::string> get_base_name(const jcd_type& rec, std::string_view jedfile_name,
                                         std::string_view root_path);

// fusebuild's ZEPA3 step: writes <base>.bit and <base>.isp for the device `rec` (its part code, command and
// signature) from `fuse`. `jedfile_name` is the design path (any extension). Returns the base name, or no
// value when nothing was to be written. Throws FatalError 904 / 905 when a file cannot be written.
std::optional<std::string> assemble_zepa3_frame(const jcd_type& rec, const FuseArray& fuse,
                                                std::string_view jedfile_name, std::string_view root_path);

}  // namespace zepa::fusemap
