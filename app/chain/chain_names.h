// Codes of the programmer's chain table and the texts they are written and shown as: part names, operation
// command words, grid texts and pop-up list items, instruction-register lengths.
#pragma once

#include <string>
#include <string_view>

#include "codes/operations.h"

namespace zepa::chain {

// Operation codes, which the chain grid shares with the converters and the engine (codes/operations.h).
using enum codes::Operation;
using codes::IsGridOperation;
using codes::IsProgramOrVerify;
using codes::IsSecurityTest;
using codes::IsSignatureOperation;
using codes::Operation;

// Part codes: the index into the configuration grid's part list. 0..8 are ZEPA1 parts, 9..13 ZEPA3,
// 14 and 15 ZEPA2; "Others" is any other JTAG device, which is only ever bypassed.
enum ChainPart : int {
  kPartVtl3032A = 0,
  kPartVtl3032C = 1,
  kPartVtl5032C = 2,
  kPartVtl3064A = 3,
  kPartVtl5064C = 4,
  kPartVtl3128 = 5,
  kPartVtl5128 = 6,
  kPartVtl3128A = 7,
  kPartVtl5128C = 8,
  kPartVtl3032XL = 9,
  kPartVtl3064XL = 10,
  kPartVtl3128XL = 11,
  kPartVtl3256XL = 12,
  kPartVtl3384XL = 13,
  kPartVtl3320 = 14,
  kPartVtl3960 = 15,
  kPartOthers = 16,
  kPartUnknown = 99,
};

inline constexpr int kPartCount = 17;   // codes 0..16
inline constexpr int kIrUnknown = 99;   // instruction-register length code for "not given"
inline constexpr int kResultFail = 0;   // `result` of a device whose last run failed
inline constexpr int kResultPass = 1;   // ... passed
inline constexpr int kResultNone = 99;  // ... has not run

inline bool IsZepa1Part(int part) {
  return part >= kPartVtl3032A && part <= kPartVtl5128C;
}
inline bool IsZepa3Part(int part) {
  return part >= kPartVtl3032XL && part <= kPartVtl3384XL;
}
inline bool IsZepa2Part(int part) {
  return part == kPartVtl3320 || part == kPartVtl3960;
}

// Part code to the name written to a chain file; "???" for 99 and every code outside the list.
std::string_view part_name(int part);

// Part name to code by the programmer's rules: case-sensitive substring tests, first match wins
// ("VTL3032XL" is 9, "Others" or any name containing "Non" 16, anything unmatched 99).
int part_code(std::string_view name);

// Operation code to chain-file command word ("PR", ...); "???" for an unknown code.
std::string_view command_word(int op);

// Command word to operation code, compared without regard to case ("pv" is Prog & Verify, as the
// converters read it). "SC" is not a word this reader knows, so it and every other word give 99.
int command_code(std::string_view word);

// Operation code to the configuration grid's text ("Prog & Verify", ..., "Unknown ???").
// Codes 13 and 14 have no grid text (empty).
std::string_view operation_text(int op);

// Operation code to the item of the grid's pop-up list that selects it (empty for codes the list lacks).
std::string_view operation_list_item(int op);

// Instruction-register length code to its text: "2".."10" for 0..8, "16" for 9, "" for anything else.
std::string_view ir_length_text(int ir_code);

// Instruction-register length in bits to its code: 2..10 give 0..8, 16 gives 9, any other length 99.
int ir_code_from_length(long length);

}  // namespace zepa::chain
