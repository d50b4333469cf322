// fusedump: turns a ZEPA3 ISP image read back from a chip into a JEDEC file and its fuse checksum.
//   fusedump image_file device_name [chip_flag]
// writes <image without extension>.jed (or _chip.jed with chip_flag 1) and "chksum.chk".
#pragma once

#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "fusemap/part_table.h"

namespace zepa::fusedump {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t Now() const = 0;
};

class SystemClock : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

// What a run talks to besides its input and output files.
struct Environment {
  std::ostream& out;  // the "Non-valid hex number" lines
  std::ostream& err;  // usage, open failures and fatal errors
  const Clock& clock;
  std::string chksum_path = "chksum.chk";  // in the current folder
};

// Converts the image for device record `rec` (a ZEPA3 part) and writes the JEDEC file and the checksum file.
// Throws fusemap::FatalError. Returns the number of invalid hex digits met in the image.
int bin_to_jedec(const fusemap::jcd_type& rec, const std::string& image_file, int chip_flag,
                 Environment& env);

// The whole program; `args` are the command-line arguments without the program name. Returns the exit status:
// 0 when the run ended normally (also when the part is not a ZEPA3 part and nothing is written), 1 on every
// error, including an image with digits that are not hexadecimal (the files are written, their bits read 0).
int Run(const std::vector<std::string>& args, Environment& env);

}  // namespace zepa::fusedump
