#include "sim/parts.h"

#include <array>
#include <cctype>

#include "util/text.h"

namespace zepa::sim {
namespace {

constexpr std::array<PartInfo, 17> kParts{{
    {.name = "VTL3032A",
     .type_code = 51,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 255,
     .side_rows = 0,
     .part_bits = "000000",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL3032C",
     .type_code = 51,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 255,
     .side_rows = 0,
     .part_bits = "100000",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL5032C",
     .type_code = 51,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 255,
     .side_rows = 0,
     .part_bits = "100000",
     .low_voltage = false,
     .package = 1},
    {.name = "VTL3064A",
     .type_code = 85,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 512,
     .side_rows = 0,
     .part_bits = "001000",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL5064C",
     .type_code = 85,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 512,
     .side_rows = 0,
     .part_bits = "101000",
     .low_voltage = false,
     .package = 1},
    {.name = "VTL3128",
     .type_code = 119,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 1028,
     .side_rows = 0,
     .part_bits = "000100",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL5128",
     .type_code = 119,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 1028,
     .side_rows = 0,
     .part_bits = "000100",
     .low_voltage = false,
     .package = 1},
    // 3128A and 5128C share the part code; bit 15 tells them apart.
    {.name = "VTL3128A",
     .type_code = 121,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 1028,
     .side_rows = 0,
     .part_bits = "100100",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL5128C",
     .type_code = 120,
     .family = Family::kZepa1,
     .ir_length = 4,
     .dr_length = 1028,
     .side_rows = 0,
     .part_bits = "100100",
     .low_voltage = false,
     .package = 1},
    {.name = "VTL3032XL",
     .type_code = 144,
     .family = Family::kZepa3,
     .ir_length = 5,
     .dr_length = 114,
     .side_rows = 52,
     .part_bits = "000000",
     .low_voltage = true,
     .package = 5},
    {.name = "VTL3064XL",
     .type_code = 145,
     .family = Family::kZepa3,
     .ir_length = 5,
     .dr_length = 123,
     .side_rows = 104,
     .part_bits = "001000",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL3128XL",
     .type_code = 146,
     .family = Family::kZepa3,
     .ir_length = 5,
     .dr_length = 266,
     .side_rows = 104,
     .part_bits = "000100",
     .low_voltage = true,
     .package = 1},
    {.name = "VTL3256XL",
     .type_code = 148,
     .family = Family::kZepa3,
     .ir_length = 5,
     .dr_length = 304,
     .side_rows = 208,
     .part_bits = "001010",
     .low_voltage = true,
     .package = 3},
    {.name = "VTL3384XL",
     .type_code = 149,
     .family = Family::kZepa3,
     .ir_length = 5,
     .dr_length = 507,
     .side_rows = 208,
     .part_bits = "101010",
     .low_voltage = true,
     .package = 4},
    {.name = "VTL3320",
     .type_code = 130,
     .family = Family::kZepa2,
     .ir_length = 5,
     .dr_length = 557,
     .side_rows = 0,
     .part_bits = "000010",
     .low_voltage = true,
     .package = 0},
    {.name = "VTL3960",
     .type_code = 132,
     .family = Family::kZepa2,
     .ir_length = 5,
     .dr_length = 557,
     .side_rows = 0,
     .part_bits = "100101",
     .low_voltage = true,
     .package = 0},
    {.name = "Others",
     .type_code = 0,
     .family = Family::kOther,
     .ir_length = 0,
     .dr_length = 0,
     .side_rows = 0,
     .part_bits = "000000",
     .low_voltage = true,
     .package = 0},
}};

// Bits 25..27 in reading order give the family as a decimal text: "000" ZEPA1, "001" ZEPA2, "010" ZEPA3.
// Bits 22..24 (technology, bit 24 first): 000 EECMOS 0.5u, 001 SRAM 0.35u, 010 EECMOS 0.35u.
std::uint32_t FamilyBits(Family family) {
  switch (family) {
    case Family::kZepa1:
      return 0;
    case Family::kZepa2:
      return (1u << 27) | (1u << 22);
    case Family::kZepa3:
      return (1u << 26) | (1u << 23);
    case Family::kOther:
      break;
  }
  return 0;
}

}  // namespace

std::span<const PartInfo> Parts() {
  return kParts;
}

const PartInfo* FindPart(std::string_view name) {
  for (const PartInfo& part : kParts) {
    if (util::EqualsIgnoreCase(part.name, name)) return &part;
  }
  return nullptr;
}

const PartInfo& OtherPart() {
  return kParts.back();
}

std::uint32_t DefaultIdcode(const PartInfo& part) {
  if (part.family == Family::kOther) return 0;
  std::uint32_t code = 1u | (kManufacturerBits << 1) | (static_cast<std::uint32_t>(part.package & 7) << 12) |
                       (part.low_voltage ? 1u << 15 : 0u) | FamilyBits(part.family);
  for (int k = 0; k < 6; ++k) {
    if (part.part_bits[k] == '1') code |= 1u << (16 + k);
  }
  return code;
}

}  // namespace zepa::sim
