// The converters' device record and part-name table, shared by fusebuild and fusedump.
#pragma once

#include <string>
#include <string_view>

#include "codes/operations.h"
#include "codes/type_codes.h"

namespace zepa::fusemap {

// Part (type) codes, as every layer names them (codes/type_codes.h).
using enum codes::PartCode;

// Operation codes of a chain file's command word (codes/operations.h).
using enum codes::Operation;

// Capacities of the record's text fields (including the terminating zero of the original layout).
inline constexpr std::size_t kPartCapacity = 20;
inline constexpr std::size_t kJedCapacity = 200;
inline constexpr std::size_t kUesCapacity = 121;
inline constexpr int kMaxChainDevices = 60;

// One device of a chain as the converters see it.
struct jcd_type {
  int id = 0;             // part code
  int loc = 0;            // 1-based device number
  int lb = 0;             // logic blocks
  int cmnd = 0;           // operation code
  int bypass = 0;         // 1 = not converted
  int IR_len = 0;         // instruction register length
  int DR_len = 0;         // data shift register length in bits
  unsigned bin_size = 0;  // ZEPA1 image size in bytes
  int sec_pos = 0;        // ZEPA1 security bit position
  int first_ues_bit = 0;  // ZEPA1 first signature bit in the signature row
  int ues_offset = 0;     // ZEPA1 distance between the signature fields of two logic blocks
  long jed_fuse = 0;      // JEDEC fuse count
  long stream_len = 0;    // device image length in bits
  int vendor = 0;         // 1 for a known part
  std::string part;       // part name as written in the chain file
  std::string jed;        // design file path
  std::string ues;        // user signature text (at most 120 characters)
};

// How the names "128C" / "128A" are matched: fusebuild searches them as case-sensitive substrings,
// fusedump compares them whole, ignoring case.
enum class Match128 { kSubstring, kWholeName };

// Stores `token` as the part name and fills the geometry of `rec` from the part-name table
// (all zero, vendor 0, for an unknown name).
void get_part(jcd_type& rec, std::string_view token, Match128 match = Match128::kSubstring);

// Sets `cmnd` (and `bypass` for "NO") from a command word compared ignoring case; -1 for an unknown word.
void get_cmnd(jcd_type& rec, std::string_view token);

}  // namespace zepa::fusemap
