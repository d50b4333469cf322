// The parts the simulated board knows: family, register lengths, and the fields from which each part's
// default IDCODE is built, so that the identification of the engine and the ID dialog recognise it. The
// board keeps this list and its families apart from the engine's type codes and device table on purpose: it
// models the parts as they are, so a wrong code or geometry on the engine's side shows up as a failing run
// instead of agreeing with itself.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zepa::sim {

enum class Family { kZepa1, kZepa2, kZepa3, kOther };

struct PartInfo {
  const char* name;
  int type_code;  // the engine's type code; 0 for other parts
  Family family;
  int ir_length;  // 0: the board file must give it
  int dr_length;  // one array row (ZEPA1/ZEPA3) or frame word length (ZEPA2)
  int side_rows;  // ZEPA3 row count parameter of one side
  // IDCODE fields. Bits 16..21 (macrocell / part code) in the order they are read, bit 16 first.
  const char* part_bits;
  bool low_voltage;  // bit 15: 3.3 V parts 1, 5 V parts 0
  int package;       // bits 12..14
};

// The manufacturer field (IDCODE bits 11..1) of every maker part: read from bit 1 up it is "10101000000".
inline constexpr std::uint32_t kManufacturerBits = 0x015;

std::span<const PartInfo> Parts();
// Looks a part name up, ignoring case; nullptr when unknown.
const PartInfo* FindPart(std::string_view name);
// The "Others" entry.
const PartInfo& OtherPart();
// The IDCODE a part answers unless the board file gives another one; 0 for "Others" (no IDCODE).
std::uint32_t DefaultIdcode(const PartInfo& part);

}  // namespace zepa::sim
