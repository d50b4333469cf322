// Writes a fuse array as a JEDEC fuse file: a header, the family's sections of fuse rows, and the fuse
// checksum line, whose four digits also go into "chksum.chk" for the programmer.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fusemap/fuse_array.h"

namespace zepa::fusemap {

// One titled section: `rows` rows of `width` fuses each, the first row starting at fuse `first_fuse`.
struct JedecSection {
  std::string title;  // "Note Block 0 ZIA *"
  long first_fuse = 0;
  int rows = 0;
  int width = 0;
};

struct JedecHeader {
  std::string file_name;  // the JEDEC file's own name, without its folder
  std::string created;    // creation time in the 24-character ctime form
  std::string part_name;  // "VTL3256XL"
};

// The local time `t` as ctime writes it, without the newline: "Wed Jun 30 21:49:08 1993".
std::string CtimeText(std::time_t t);

// The JEDEC fuse checksum as the checksum line and "chksum.chk" write it: four upper-case hex digits.
std::string ChecksumDigits(std::uint16_t checksum);

// The whole JEDEC text: the STX header line, NOTE DEVICE, QF (the array's fuse count), QV, the sections
// (each title after a blank line, the first after a line end), one row per line as "L%06ld <fuses>*", and the
// checksum line over every fuse of the array. No ETX or transmission checksum follows.
std::string jedec_text(const FuseArray& fuse, const JedecHeader& header,
                       std::span<const JedecSection> sections);

// The readback JEDEC name for an image file: its path without the extension, plus "_chip.jed" when
// `chip_flag` is 1 and ".jed" otherwise. No value when the image's file name has no extension.
std::optional<std::string> readback_jedec_name(std::string_view image_file, int chip_flag);

// Writes the JEDEC file at `jedec_path` and then the checksum digits into `chksum_path`, each as a complete
// file or not at all. Throws FatalError 904 when either cannot be written; then "chksum.chk" is not written,
// so a caller that looks for it never takes a failed run for a good one. Returns the checksum.
std::uint16_t fuse2jed(const FuseArray& fuse, const JedecHeader& header,
                       std::span<const JedecSection> sections, const std::string& jedec_path,
                       const std::string& chksum_path);

}  // namespace zepa::fusemap
