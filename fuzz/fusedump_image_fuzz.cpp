// fusedump's image reader: any text as the read-back image of each ZEPA3 part.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "codes/type_codes.h"
#include "fusemap/fatal_error.h"
#include "fusemap/fuse_array.h"
#include "fusemap/part_table.h"
#include "fusemap/zepa3_map.h"
#include "fusemap/zepa3_readback.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::array<const char*, 5> kParts{"VTL3032XL", "VTL3064XL", "VTL3128XL", "VTL3256XL", "VTL3384XL"};

struct Part {
  zepa::fusemap::jcd_type rec;
  std::unique_ptr<zepa::fusemap::Zepa3Map> map;
};

const Part& PartFor(std::size_t i) {
  static std::array<Part, kParts.size()> parts;
  Part& part = parts[i];
  if (!part.map) {
    zepa::fusemap::get_part(part.rec, kParts[i], zepa::fusemap::Match128::kWholeName);
    part.map = std::make_unique<zepa::fusemap::Zepa3Map>(part.rec.id);
  }
  return part;
}

}  // namespace

// The first byte chooses the part; the rest is the image.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  if (size < 1) return 0;
  const Part& part = PartFor(data[0] % kParts.size());
  fusemap::FuseArray fuse(part.rec.jed_fuse, fusemap::FuseArray::Fill::kZeros);
  std::istringstream in{std::string(fuzzing::AsText(data + 1, size - 1))};
  std::ostringstream messages;
  try {
    const fusemap::Zepa3ReadbackReport report = fusemap::Isp2Fuse(*part.map, in, "fuzz.rd", fuse, messages);
    if (report.invalid_digits < 0) fuzzing::Broken();
  } catch (const fusemap::FatalError& e) {
    if (e.code() != fusemap::kErrBitLineLength) fuzzing::Broken();
  }
  return 0;
}
