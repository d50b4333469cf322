// Decoding of a device's 32-bit IDCODE into the texts the device ID dialog shows and the chain table keeps.
//
//  bit  0      always 1
//  bits 11..1  manufacturer
//  bits 14..12 package code (read with the architecture and the macrocell count)
//  bit  15     supply voltage: 0 for 5 volt
//  bits 21..16 macrocell count code
//  bits 24..22 process technology  (these two overlap the macrocell code)
//  bits 27..25 architecture
//  bits 31..28 version
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chain/chain_table.h"

namespace zepa::ui {

// Full texts; the chain table keeps each cut to its field's capacity (id_arch "Reserv" for "Reserved").
struct IdcodeFields {
  std::string bit0;          // "1 " or "Error on bit0!"
  std::string manufacturer;  // bits 11 down to 1 as '0'/'1'
  std::string voltage;       // "5 volt" / "3.3 volt"
  std::string macrocells;    // "128 MC", "32 MC, Ext", ... or "Future use"
  std::string architecture;  // "ZEPA1", "ZEPA2", "ZEPA3", "Reserved" or "Future use"
  std::string package;       // "PC 44", ... "Undefined"; empty for a ZEPA2 or unknown architecture
  std::string technology;    // "0.5u EECMOS", "0.35u SRAM", "0.35u EECMOS" or "Future use"
  std::string version;       // "Version " + number; "Version 0" for a 32-macrocell ZEPA3 part
};

// The IDCODE as the engine writes it to the result file: 32 characters '0'/'1', bit 0 first.
std::string idcode_text(std::uint32_t idcode);

// Decodes an IDCODE text of at least 32 '0'/'1' characters (bit 0 first; characters after the 32nd are
// ignored). A shorter text, or one with other characters among its first 32, is no IDCODE: every field is
// empty then.
IdcodeFields decode_idcode(std::string_view idcode_text);
IdcodeFields decode_idcode(std::uint32_t idcode);

// What the engine's identification makes of an IDCODE: the family by bits 27..25, the part by bits 16..21
// (bit 15 where a family's table asks), a maker it accepts. `type_code` 0 is no part of this system; then
// `names` is empty and `ir_length` 0. Several parts share one type code (VTL3032A, VTL3032C, VTL5032C):
// `names` holds them all in the part list's order.
struct IdentifiedPart {
  int type_code = 0;
  std::vector<std::string> names;
  int ir_length = 0;
};
IdentifiedPart identify_part(std::uint32_t idcode);

// Decodes the text into position n's decoded fields (each cut to its capacity). Throws std::out_of_range for
// a position outside 1..60.
void decode_idcode(chain::ChainTable& table, int n, std::string_view idcode_text);

}  // namespace zepa::ui
