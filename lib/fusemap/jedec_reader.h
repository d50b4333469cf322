// Reads a JEDEC fuse-map file into the fuse array and tells which part its fuse count (QF field) belongs to.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "fusemap/fuse_array.h"

namespace zepa::fusemap {

// Results of read_jedec other than a part code (part codes are never 1 or 2).
inline constexpr int kJedecNoLegalDevice = 1;  // no known fuse count in the file
inline constexpr int kJedecOtherPart = 2;      // a known fuse count of another part than expected

// The part code that a line's QF field names ("QF20542" -> 51 ...), tried in the fixed order of the
// fuse-count table as literal substrings; 0 when the line names none. QF82930 is 121 when `expected_id`
// is 121 and 120 otherwise.
int QfPartCode(std::string_view line, int expected_id);

// Applies one L line ("L000120 10x0*"): the number after the 'L' is the first fuse, and each character of
// the next token sets one fuse, '0' to 0 and anything else to 1. Further tokens on the line are ignored,
// and so are digits that continue on following lines. Returns false, touching nothing, when the digits
// reach at or beyond the array's fuse count.
bool parse_line(std::string_view line, FuseArray& fuse);

// Reads `in` (named `name` in messages). Returns `expected_id` itself when the file's fuse count belongs
// to that part, after setting the fuses of its L lines; kJedecNoLegalDevice or kJedecOtherPart otherwise
// (the fuses are then untouched). Lines that contain "NOTE" never select a part.
// Throws FatalError 201 for an L field outside the part's fuses.
int read_jedec(std::istream& in, const std::string& name, int expected_id, FuseArray& fuse);

// The same for a file: an empty name returns `expected_id` at once (a device with a signature but no
// design); a file that cannot be opened throws FatalError 200 "<name>: File open failed.". `open_path` is
// where the file is opened, `name` how messages call it.
int read_jedec(const std::string& name, int expected_id, FuseArray& fuse);
int read_jedec(const std::string& name, const std::string& open_path, int expected_id, FuseArray& fuse);

}  // namespace zepa::fusemap
