// The simulated ZEPA3 part's in-system programming. Instructions 9..13 and 16 select one data register of
// DR_len + A bits, A = 7, 8 or 9 address bits by part (7 for the 32-macrocell part, 8 for 64/128, 9 above):
// the row data at the TDO end (row bit 0 leaves first), the address at the TDI end (its most significant bit
// next to the data). The register keeps its contents across instruction changes; Update-DR latches the
// address. Test-Logic-Reset and DISABLE (16) end ENABLE (9); with ENABLE in force:
//   ERASE (10)   sets every cell to 1 after a dwell of at least 100 ms in Run-Test/Idle;
//   PROGRAM (11) clears the cells of the latched row that are 0 in the register's data (1 -> 0 only) after a
//                dwell of at least 10 ms, and Capture-DR loads the latched row (the row just programmed);
//   VERIFY (12)  Capture-DR loads the latched row into the data part;
//   INIT (13)    does nothing to the array; clocked in Run-Test/Idle (with or without ENABLE) it starts the
//                part again from its array after an erase or a program of a design row stopped it.
// Rows: with R the part's side-row parameter, rows 0..R+1 are the lower side and R+2..2R+3 the upper side;
// an address is the side bit (its top bit) and the Gray code of the row within its side. Rows R+1 and 2R+3
// hold the user signature. The part is secured when the cell of row 2R+2 at position DR_len - 1 (the last
// bit shifted in) is 0; a secured part reads zeros from every row.
//
// Security queries. Two loader sequences ask for the security state, and the part answers them in the first
// bit out (1 not secured, 0 secured; the other data bits 1):
//   - the part's own fixed address (64h for 7 address bits, 180h for 9) latched with an all-zero data part.
//     Neither address names a row. The 8-bit parts' fixed address is FFh, which is the upper-side row 191:
//     the part reads that row there (a secured part reads 0 as everywhere), so it never answers for it;
//   - the 4-bit loader's test: DR_len zeros and the 7-bit address 3Eh. Its address is the lower-side row 43,
//     a design row, so the part answers only for the first address latched since ENABLE was loaded, and only
//     when the data bits that a DR_len-bit zero shift reaches (all but the lowest A - 7) are zero. Every
//     ZEPA3 sequence that reads row 43 latches other rows first, so a row read is never taken for the test
//     whatever data levels its shifts carry (a recorded run drives TDI low after each Run-Test/Idle clock).
// A dwell counts from the Update or instruction load that started it and is the larger of the wall time on
// the injected clock and the Run-Test/Idle TCK cycles at 1 MHz.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "sim/device.h"
#include "sim/isp_array.h"

namespace zepa::sim {

struct Zepa3Setup {
  // Wall time in nanoseconds (monotonic); the steady clock when empty.
  std::function<std::int64_t()> now_ns;
  // Stuck cells (row 0..2R+3, row bit), the same per-device list the ZEPA1 parts use; none when null.
  std::shared_ptr<Zepa1Faults> faults;
};

// Address width of a ZEPA3 type code (144: 7, 145..147: 8, 148 and up: 9).
int Zepa3AddressWidth(int type_code);
// The row (0..2R+3) an address selects, or -1 when it names none.
int Zepa3RowOfAddress(int address, int width, int side_rows);

FamilyFactory Zepa3Factory(Zepa3Setup setup = {});
// Registers the ZEPA3 behaviour for every ZEPA3 part of the board.
void AddZepa3Family(FamilyRegistry& registry, Zepa3Setup setup = {});

}  // namespace zepa::sim
