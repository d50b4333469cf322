// The converters' JEDEC reader: any text, read for each part the converters know.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fusemap/fatal_error.h"
#include "fusemap/fuse_array.h"
#include "fusemap/jedec_reader.h"
#include "fusemap/part_table.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr const char* kParts[] = {"VTL3032A",  "VTL3064A",  "VTL3128",   "VTL5128C",
                                  "VTL3128A",  "VTL3320",   "VTL3960",   "VTL3032XL",
                                  "VTL3064XL", "VTL3128XL", "VTL3256XL", "VTL3384XL"};

}  // namespace

// The first byte chooses the part the file should be for; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa::fusemap;
  if (size < 1) return 0;
  jcd_type rec;
  get_part(rec, kParts[data[0] % std::size(kParts)]);
  FuseArray fuse(rec.jed_fuse, FuseArray::Fill::kOnes);
  const FuseArray before = fuse;
  std::istringstream in(std::string(zepa::fuzzing::AsText(data + 1, size - 1)));
  try {
    const int found = read_jedec(in, "fuzz.jed", rec.id, fuse);
    // A file for no part or for another part leaves the fuses as they were.
    if (found != rec.id && fuse.words() != before.words()) zepa::fuzzing::Broken();
    if (found != rec.id && found != kJedecNoLegalDevice && found != kJedecOtherPart) zepa::fuzzing::Broken();
  } catch (const FatalError& e) {
    if (e.code() != kErrFuseOutsidePart) zepa::fuzzing::Broken();
  }
  return 0;
}
