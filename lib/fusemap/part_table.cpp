#include "fusemap/part_table.h"

#include <array>
#include <cctype>
#include <initializer_list>

#include "util/text.h"

namespace zepa::fusemap {
namespace {

bool AnyEqual(std::string_view token, std::initializer_list<std::string_view> names) {
  for (auto n : names) {
    if (util::EqualsIgnoreCase(token, n)) return true;
  }
  return false;
}

struct Geometry {
  int id, lb, DR_len;
  unsigned bin_size;
  int sec_pos, first_ues_bit, ues_offset;
  long jed_fuse, stream_len;
};

// One row per family member, in the order the names are tested.
constexpr Geometry k32{51, 1, 255, 2743, 0, 135, 255, 20542, 21930};
constexpr Geometry k64{85, 2, 512, 5505, 0, 136, 256, 41306, 44032};
// Code 120 keeps its security position 514, but its signature fields are 257 bits apart like those of
// 119 and 121: at 514 fields 2 and 3 would fall beyond the 1028-bit row, where nothing reads them.
constexpr Geometry k128C{120, 4, 1028, 11052, 514, 137, 257, 82930, 88408};
constexpr Geometry k128A{121, 4, 1028, 11052, 257, 137, 257, 82930, 88408};
constexpr Geometry k128{119, 4, 1028, 11052, 257, 137, 257, 82802, 88408};
constexpr Geometry k960{132, 48, 1028, 65060, 0, 0, 0, 520476, 520476};
constexpr Geometry k320{130, 8, 1028, 2, 0, 0, 0, 173492, 173492};
constexpr Geometry k3384XL{149, 24, 507, 2, 0, 0, 0, 189969, 211926};
constexpr Geometry k3256XL{148, 16, 304, 2, 0, 0, 0, 115869, 127072};
constexpr Geometry k3128XL{146, 8, 266, 2, 0, 0, 0, 52009, 55860};
constexpr Geometry k3064XL{145, 4, 123, 2, 0, 0, 0, 24481, 25830};
constexpr Geometry k3032XL{144, 4, 114, 2, 0, 0, 0, 11529, 11856};
constexpr Geometry kUnknown{0, 0, 0, 0, 0, 0, 0, 0, 0};

const Geometry& Lookup(std::string_view t, Match128 match) {
  const bool sub = match == Match128::kSubstring;
  if (AnyEqual(t, {"qdxx32_cs/as", "VTLx032_C/A", "VTL3032A", "VTL3032C", "VTL5032C"})) return k32;
  if (AnyEqual(t, {"qdxx64_cs/as", "VTLx064_C/A", "VTL5064C", "VTL3064A"})) return k64;
  if (util::EqualsIgnoreCase(t, "qdx128_cs") ||
      (sub ? t.find("128C") != t.npos : util::EqualsIgnoreCase(t, "128C")))
    return k128C;
  if (util::EqualsIgnoreCase(t, "qdx128_as") ||
      (sub ? t.find("128A") != t.npos : util::EqualsIgnoreCase(t, "128A")))
    return k128A;
  if (AnyEqual(t, {"qdx128", "VTLx128", "VTL3128", "VTL5128"})) return k128;
  if (AnyEqual(t, {"qdx960", "VTL3960"})) return k960;
  if (AnyEqual(t, {"qdx320", "VTL3320"})) return k320;
  if (util::EqualsIgnoreCase(t, "VTL3384XL")) return k3384XL;
  if (util::EqualsIgnoreCase(t, "VTL3256XL")) return k3256XL;
  if (util::EqualsIgnoreCase(t, "VTL3128XL")) return k3128XL;
  if (util::EqualsIgnoreCase(t, "VTL3064XL")) return k3064XL;
  if (util::EqualsIgnoreCase(t, "VTL3032XL")) return k3032XL;
  return kUnknown;
}

}  // namespace

void get_part(jcd_type& rec, std::string_view token, Match128 match) {
  rec.part = std::string(token.substr(0, kPartCapacity - 1));
  const Geometry& g = Lookup(token, match);
  rec.id = g.id;
  rec.lb = g.lb;
  rec.DR_len = g.DR_len;
  rec.bin_size = g.bin_size;
  rec.sec_pos = g.sec_pos;
  rec.first_ues_bit = g.first_ues_bit;
  rec.ues_offset = g.ues_offset;
  rec.jed_fuse = g.jed_fuse;
  rec.stream_len = g.stream_len;
  rec.vendor = g.id != 0 ? 1 : 0;
}

void get_cmnd(jcd_type& rec, std::string_view token) {
  static constexpr std::array<std::pair<std::string_view, int>, 13> kWords{{
      {"ER", kOpBulkErase},
      {"CK", kOpBlankCheck},
      {"PR", kOpProgram},
      {"VE", kOpVerify},
      {"PV", kOpProgramVerify},
      {"ID", kOpReadId},
      {"SE", kOpSecure},
      {"PU", kOpProgramUes},
      {"RU", kOpReadUes},
      {"UP", kOpUpload},
      {"NO", kOpNoOperation},
      {"RS", kOpRs},
      {"SC", kOpScan},
  }};
  rec.bypass = 0;
  rec.cmnd = kOpNone;
  for (const auto& [word, code] : kWords) {
    if (util::EqualsIgnoreCase(token, word)) rec.cmnd = code;
  }
  if (rec.cmnd == kOpNoOperation) rec.bypass = 1;
}

}  // namespace zepa::fusemap
