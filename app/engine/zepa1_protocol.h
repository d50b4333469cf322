// The ZEPA1 parts' ISP protocol (VTLx032, VTLx064, VTLx128): the 4-bit instruction set and its loader, the
// rows of the array and their addresses, the dwell times and the IDCODEs. The hardware operations and the
// SVF writer both read it.
#pragma once

#include <string_view>

#include "codes/type_codes.h"
#include "engine/idcode_fields.h"
#include "engine/jtag.h"

namespace zepa::engine::zepa1 {

inline constexpr int kInstructionBits = 4;

enum Instruction : int {
  kIdcode = 1,
  kPreload = 2,
  kResetToIdle = 6,        // the loader's pseudo-code: reset, then Run-Test/Idle
  kLeaveThroughReset = 7,  // the loader's pseudo-code: out through Test-Logic-Reset
  kEnableActiveIo = 8,     // ENABLE with the I/O pins left active
  kEnable = 9,
  kErase = 10,
  kProgram = 11,
  kVerify = 12,
  kInit = 13,
  kBypass = 15,
};
inline constexpr int kShiftedInstructions[] = {kIdcode,  kPreload, kEnableActiveIo, kEnable, kErase,
                                               kProgram, kVerify,  kInit,           kBypass};
inline constexpr InstructionLoader kLoader{.highest = 15,
                                           .shifted = kShiftedInstructions,
                                           .reset_to_idle = kResetToIdle,
                                           .leave_through_reset = kLeaveThroughReset};

// The array: two sides of 43 rows, left 0..42 and right 43..85. Rows 0..40 of a side hold the design, row 41
// the user signature; the cell sec_pos of row 83 secures the part.
inline constexpr int kRowsPerSide = 43;
inline constexpr int kDesignRows = 41;
inline constexpr int kUesRow = 41;  // within its side
inline constexpr int kSecurityRow = 83;
inline constexpr int kSecurityAddressRow =
    99;  // pseudo-row of the fixed address 3Eh, which reads the security bit
inline constexpr int kAddressBits = 7;
inline constexpr int kBoundaryLength =
    280;  // the boundary-scan register VTLx128 and VTL5128C have cleared first

// Row address: bit 6 the side (1 right), bits 5..0 the Gray code of the row within its side; the pseudo-row
// 99 is the fixed address 3Eh. A negative row has none (std::out_of_range).
int RowAddress(int row);

// Waits of the operations, in Delay units (milliseconds).
inline constexpr int kEraseWait = 100;
inline constexpr int kProgramWait = 11;
inline constexpr int kShortWait = 1;

// The IDCODE: family field (bits 25..27) "000"; the parts by their part field. VTL5128C and VTL3128A share
// theirs and differ in bit 15.
inline constexpr std::string_view kIdcodeFamily = "000";
inline constexpr IdcodePart kIdcodeParts[] = {
    {"100000", codes::kZepa1_32},   {"000000", codes::kZepa1_32},  {"101000", codes::kZepa1_64},
    {"001000", codes::kZepa1_64},   {"000100", codes::kZepa1_128}, {"100100", codes::kZepa1_128A, '1'},
    {"100100", codes::kZepa1_128C},
};
// What an SVF IDCODE scan expects: the part field's bits 16..19. The 32- and 64-macrocell parts come with
// bit 16 set or clear (VTL3032A and VTL3064A clear it), so for them only bits 17..19 are compared. VTL3128A
// has no line: its scan checks nothing.
inline constexpr IdcodeExpectation kSvfIdcodes[] = {
    {.id = codes::kZepa1_32, .tdo = "FFC1FFFF", .mask = "000E0000", .name = "vtl32A/C"},
    {.id = codes::kZepa1_64, .tdo = "FFC5FFFF", .mask = "000E0000", .name = "vtl64A/C"},
    {.id = codes::kZepa1_128, .tdo = "FFC8FFFF", .mask = "000F0000", .name = "vtl128"},
    {.id = codes::kZepa1_128C, .tdo = "FFC9FFFF", .mask = "000F0000", .name = "vtl128A/C"},
};

}  // namespace zepa::engine::zepa1

namespace zepa::engine {

// An instruction of the 4-bit loader into the target, or one of its pseudo-codes.
inline void LoadInstructionZ1(Jtag& jtag, int code) {
  jtag.LoadInstruction(zepa1::kLoader, code);
}
// The 7 address bits of `row`, bit 6 first, then the tail.
inline void ShiftAddressZ1(Jtag& jtag, int row) {
  jtag.ShiftAddress(zepa1::RowAddress(row), zepa1::kAddressBits);
}

}  // namespace zepa::engine
