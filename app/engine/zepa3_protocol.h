// The ZEPA3 parts' ISP protocol (VTL3032XL .. VTL3384XL): the 5-bit instruction set and its loader, which the
// ZEPA2 parts share, the two sides of rows and their addresses, the dwell times and the IDCODEs. The hardware
// operations and the SVF writer both read it.
#pragma once

#include <string_view>

#include "codes/type_codes.h"
#include "engine/idcode_fields.h"
#include "engine/jtag.h"

namespace zepa::engine::zepa3 {

inline constexpr int kInstructionBits = 5;

enum Instruction : int {
  kIdcode = 1,
  kPreload = 2,
  kEnable = 9,
  kErase = 10,
  kProgram = 11,
  kVerify = 12,
  kInit = 13,
  kDisable = 16,
  kBypass = 31,
  kResetToIdle = 33,        // the loader's pseudo-code: reset, then Run-Test/Idle
  kLeaveThroughReset = 34,  // the loader's pseudo-code: out through Test-Logic-Reset
};
// The 5-bit loader also shifts the ZEPA2 frame instructions 7 and 14 (zepa2_protocol.h).
inline constexpr int kShiftedInstructions[] = {kIdcode, kPreload, 7,  kEnable,  kErase, kProgram,
                                               kVerify, kInit,    14, kDisable, kBypass};
inline constexpr InstructionLoader kLoader{.highest = 34,
                                           .shifted = kShiftedInstructions,
                                           .reset_to_idle = kResetToIdle,
                                           .leave_through_reset = kLeaveThroughReset};

// The array, with R the part's side-row parameter (`side_rows` of its record): two sides of R + 2 rows, the
// lower 0..R+1 and the upper R+2..2R+3. Rows 0..R of a side hold the design, the last one the user
// signature; the last cell of row 2R+2 secures the part.
constexpr int SideStride(int side_rows) {
  return side_rows + 2;
}
constexpr int DesignRows(int side_rows) {
  return side_rows + 1;
}
constexpr int FirstRow(int side, int side_rows) {
  return side * SideStride(side_rows);
}
constexpr int SignatureRow(int side, int side_rows) {
  return FirstRow(side, side_rows) + side_rows + 1;
}
constexpr int SecurityRow(int side_rows) {
  return 2 * side_rows + 2;
}
inline constexpr int kSecurityAddressRow = 511;  // pseudo-row of the part's fixed security address

// Row address width: 7 bits for VTL3032XL, 8 for VTL3064XL and VTL3128XL, 9 above.
int AddressWidth(int id);
// Row address: the side bit (the top bit of the width) and the Gray code of the row within its side; the
// pseudo-row 511 is the fixed address 64h / 1FFh / 180h by width. The value is cut to the width. A negative
// row has none (std::out_of_range).
int RowAddress(int row, int id, int side_rows);

// Waits of the operations, in Delay units (milliseconds).
inline constexpr int kEraseWait = 100;
inline constexpr int kProgramWait = 11;
inline constexpr int kShortWait = 1;

// The IDCODE: family field (bits 25..27) "010"; the parts by their part field.
inline constexpr std::string_view kIdcodeFamily = "010";
inline constexpr IdcodePart kIdcodeParts[] = {
    {"100000", codes::kVtl3032XL}, {"000000", codes::kVtl3032XL}, {"001000", codes::kVtl3064XL},
    {"000100", codes::kVtl3128XL}, {"000110", codes::kVtl3128XL}, {"001010", codes::kVtl3256XL},
    {"101010", codes::kVtl3384XL},
};
// What an SVF IDCODE scan expects. Bit 16 is not part of what tells the VTL3032XL, VTL3064XL and VTL3128XL
// apart (the parts come with it clear), so their lines leave it out of the comparison.
inline constexpr IdcodeExpectation kSvfIdcodes[] = {
    {.id = codes::kVtl3032XL, .tdo = "0481802B", .mask = "0FFE8FFF", .name = "vtl3032xl"},
    {.id = codes::kVtl3064XL, .tdo = "0485802B", .mask = "0FFE8FFF", .name = "vtl3064xl"},
    {.id = codes::kVtl3128XL, .tdo = "0489802B", .mask = "0FEE8FFF", .name = "vtl3128xl"},
    {.id = codes::kVtl3256XL, .tdo = "0494802B", .mask = "0FFF8FFF", .name = "vtl3256xl"},
    {.id = codes::kVtl3384XL, .tdo = "0495802B", .mask = "0FFF8FFF", .name = "vtl3384xl"},
};

}  // namespace zepa::engine::zepa3

namespace zepa::engine {

// An instruction of the 5-bit loader into the target, or one of its pseudo-codes.
inline void LoadInstructionZ3(Jtag& jtag, int code) {
  jtag.LoadInstruction(zepa3::kLoader, code);
}
// The target's row address, most significant bit first, then the tail; width and sides from its record.
void ShiftAddressZ3(Jtag& jtag, int row);

}  // namespace zepa::engine
