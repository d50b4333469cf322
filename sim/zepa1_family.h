// The simulated ZEPA1 part's in-system programming: the instructions 8..13 select one data register of
// DR_len + 7 bits (the row data at the TDO end, row bit 0 leaving first; the 7 address bits at the TDI end,
// address bit 6 next to the data). The register keeps its contents across instruction changes and
// Update-DR latches its address. With ENABLE (9, or 8) in force - set by its Update-IR, cleared by
// Test-Logic-Reset:
//   ERASE (10)   sets every cell to 1 after a dwell of at least 100 ms in Run-Test/Idle;
//   PROGRAM (11) clears the cells of the latched row that are 0 in the register's data (1 -> 0 only)
//                after a dwell of at least 10 ms;
//   VERIFY (12)  loads the latched row into the data part at Capture-DR. Address 62 (3Eh) gives the
//                security state in the first bit out (1 not secured); a secured part reads zeros.
// INIT (13) clocked in Run-Test/Idle (with or without ENABLE) starts the part again from its array after an
// erase or a program of a design row (any but the signature rows 41 and 84) stopped it.
// A dwell counts from the Update that started it and is the larger of the wall time on the injected clock
// and the Run-Test/Idle TCK cycles at 1 MHz, so a calibrated wait and an SVF RUNTEST both satisfy it; a
// shorter one changes nothing. Rows decode as bit 6 the side and bits 5..0 the Gray code of the row in its
// side (rows 0..42 left, 43..85 right). The part is secured when the cell of row 83 at position
// DR_len - 1 - sec_pos is 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "sim/device.h"
#include "sim/isp_array.h"

namespace zepa::sim {

struct Zepa1Setup {
  // Wall time in nanoseconds (monotonic); the steady clock when empty.
  std::function<std::int64_t()> now_ns;
  std::shared_ptr<Zepa1Faults> faults;  // none when null
};

// The security bit position of a ZEPA1 type code (VTL5128C 514, other 128-macrocell parts 257, else 0).
int Zepa1SecurityPosition(int type_code);
// The row (0..85) a 7-bit address selects, or -1 for an address that names none.
int Zepa1RowOfAddress(int address);

FamilyFactory Zepa1Factory(Zepa1Setup setup = {});
// Registers the ZEPA1 behaviour for every ZEPA1 part of the board.
void AddZepa1Family(FamilyRegistry& registry, Zepa1Setup setup = {});

}  // namespace zepa::sim
