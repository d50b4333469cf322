// Test support: writes JEDEC fuse-map files of any fuse count with chosen fuses, so tests and the example
// chain never depend on design files made elsewhere.
#pragma once

#include <string>
#include <vector>

#include "fusemap/fuse_array.h"

namespace zepa::fusemap::testing {

struct JedecOptions {
  std::string device;       // written as "NOTE DEVICE <device>*" when not empty
  int fuses_per_line = 80;  // fuse digits per L line
  bool crlf = false;        // CR LF line ends instead of LF
};

// A JEDEC file that lists every fuse of `fuses` in L lines: STX, a header field, the optional NOTE, the fuse
// count "QF<n>*", the default state "F0*", the L lines, the fuse checksum "C<hex>*", then ETX and the
// transmission checksum.
std::string JedecText(const FuseArray& fuses, const JedecOptions& options = {});

// A fuse array of `count` fuses, all ones except the fuses in `zeros`.
FuseArray FusesWithZeros(long count, const std::vector<long>& zeros);

// A fuse array of `count` fuses, each 0 or 1 from a Mersenne twister seeded with `seed` (the same design
// for the same seed on every run and system).
FuseArray RandomFuses(long count, unsigned seed);

// Writes `bytes` to `path` (throws std::runtime_error when it cannot).
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace zepa::fusemap::testing
