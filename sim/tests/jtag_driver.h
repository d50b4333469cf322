// Test helper: drives a board's JTAG lines the way a host does (TMS/TDI with TCK low, TCK high, TCK low)
// and samples TDO after the falling edge.
#pragma once

#include <cstdint>
#include <string>

#include "sim/board.h"

namespace zepa::sim::testing {

class JtagDriver {
 public:
  explicit JtagDriver(Board& board) : board_(board) {}

  bool Clock(bool tms, bool tdi = false) {
    board_.DriveJtag(false, tms, tdi);
    board_.DriveJtag(true, tms, tdi);
    board_.DriveJtag(false, tms, tdi);
    return board_.JtagTdo();
  }
  void Tms(const std::string& levels) {
    for (char c : levels) Clock(c == '1');
  }
  void Reset() { Tms("11111"); }
  // From Run-Test/Idle or Test-Logic-Reset.
  void ToShiftDr() { Tms("0100"); }
  void ToShiftIr() { Tms("01100"); }
  // Shifts `count` bits (bit 0 of `in` first; the last with TMS high, ending in Exit1) and returns what
  // came out, first bit in bit 0.
  std::uint64_t Shift(int count, std::uint64_t in, bool exit = true) {
    std::uint64_t out = 0;
    for (int i = 0; i < count; ++i) {
      // TDO already shows the bit that leaves on this clock.
      out |= static_cast<std::uint64_t>(board_.JtagTdo()) << i;
      Clock(exit && i == count - 1, (in >> i) & 1);
    }
    return out;
  }
  // Exit1 -> Update -> Run-Test/Idle.
  void UpdateToIdle() { Tms("10"); }

 private:
  Board& board_;
};

inline BoardSpec SpecOf(const std::string& text) {
  return ParseBoardText(text, "test board");
}

}  // namespace zepa::sim::testing
