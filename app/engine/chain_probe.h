// What a chain scan cannot tell by counting bypass bits: each device's IDCODE and the length of its
// instruction register.
//
// IDCODEs: after Test-Logic-Reset every device has selected its IDCODE register (32 bits, bit 0 always 1)
// or, without one, its BYPASS register (one bit that captures 0); one data-register shift reads them all.
//
// Instruction-register lengths: Capture-IR loads ...01 into every instruction register (the two least
// significant bits are fixed at 1 and 0). Shifting the whole instruction chain out while ones go in gives
// the captured bits of all devices, then the ones; a single 0 sent after them tells the chain's total
// length by the clocks it takes to come out. The captured stream is then cut at each 1 that follows a
// 0 run: a device's length is 2 and one more for each 0 after its "10", the way the usual open-source JTAG
// tools probe a chain. A device that captures other ones in its upper bits makes the cut ambiguous; the
// probe says so and leaves the lengths to the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/jtag.h"

namespace zepa::engine {

struct ProbedDevice {
  std::optional<std::uint32_t> idcode;  // empty: BYPASS at reset (no IDCODE register)
  int ir_length = 0;                    // measured length; 0 when the cut was ambiguous
};

struct ChainProbe {
  std::vector<ProbedDevice> devices;  // from the cable's TDI to its TDO
  int ir_total = 0;                   // the chain's instruction bits; 0 when the sent 0 never came out
  bool ir_ambiguous = false;          // the captured bits do not cut into one "10..0" per device
  std::string ir_captured;            // the captured bits as '0'/'1', the bit nearest TDO first
};

// Cuts captured instruction bits (nearest TDO first) into device lengths, nearest TDO first. Returns an
// empty list when the bits do not start with "10" or a piece would be shorter than 2.
std::vector<int> CutInstructionCaptures(const std::string& captured);

// Reads the IDCODEs and measures the instruction registers of a chain of `device_count` devices (the
// count of the bypass scan). Starts and ends in Test-Logic-Reset; the port must be selected.
ChainProbe ProbeChain(Jtag& jtag, int device_count);

}  // namespace zepa::engine
