// The simulated ZEPA2 part's frame configuration (VTL3320: 336 frames, VTL3960: 1008). Two instructions
// select one register of 557 bits, a frame's 546 data bits at the TDO end (bit 0 leaving first) and its 11
// address bits at the TDI end:
//   7 (write)  with ENABLE (9) in force - set by its Update-IR, cleared by DISABLE (16) and Test-Logic-Reset.
//              After instruction 7 is loaded the part waits for its preamble: an Update-DR of 546 zeros and
//              the part's 11-bit pattern (VTL3320 01011101100, VTL3960 01011101111, first bit in first).
//              Each later Update-DR writes the register to the frame its address names, once the part has
//              dwelt 1 ms in Run-Test/Idle (wall time on the injected clock or TCK cycles at 1 MHz, the
//              larger); a frame updated over before its dwell, or at an address naming no frame, is lost.
//   14 (read)  with ENABLE in force: Update-DR latches the address in the register's top 11 bits; Capture-DR
//              loads the latched frame (a frame never written reads 546 ones and its own address; no valid
//              address reads all ones).
// A frame address is Gray(index) bits 0..5, Gray(group) bits 0..1 and Gray(block) bits 0..2, each least
// significant bit first, for frame block * 168 + group * 42 + index. Frames are kept in the device memory's
// rows (by frame number), so they survive between runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sim/device.h"

namespace zepa::sim {

struct Zepa2Setup {
  // Wall time in nanoseconds (monotonic); the steady clock when empty.
  std::function<std::int64_t()> now_ns;
};

inline constexpr int kZepa2FrameLength = 557;
inline constexpr int kZepa2AddressBits = 11;

// The frame (0..167 per block) that 11 address bits name (bit 0 first), or -1 when they name none of a part
// with `blocks` blocks.
int Zepa2FrameOfAddress(const Bits& address, int blocks);
// The 11 address bits of a frame.
Bits Zepa2AddressOfFrame(int frame);

FamilyFactory Zepa2Factory(Zepa2Setup setup = {});
// Registers the ZEPA2 behaviour for every ZEPA2 part of the board.
void AddZepa2Family(FamilyRegistry& registry, Zepa2Setup setup = {});

}  // namespace zepa::sim
