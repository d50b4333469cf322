// The engine's view of the chain: how many devices it has, which one is being worked on, and one record
// per position with the part's geometry (filled at the start of every run).
#pragma once

#include <array>
#include <stdexcept>
#include <string>

namespace zepa::engine {

inline constexpr int MaxDevices = 60;

// One chain position. Field order and meaning are those every engine module and the converters share.
struct JcdRec {
  int id = 0;             // type code (codes/type_codes.h); 0 for a part of no family
  int lb = 0;             // logic blocks (ZEPA1: also signature rows per side)
  int cmnd = -1;          // operation code (chain::Operation), -1 none
  int bypass = 0;         // 1 for "No Operation (Bypass)"
  int IR_len = 0;         // instruction register length in bits
  int DR_len = 0;         // one array row in bits
  int side_rows = 0;      // ZEPA3: row count parameter R of one side
  int bin_size = 0;       // image size in bytes
  int sec_pos = 0;        // ZEPA1: security bit position
  int first_ues_bit = 0;  // ZEPA1: first signature bit in its row
  int ues_offset = 0;     // ZEPA1: distance between the signature fields of two logic blocks
  int jed_fuse = 0;       // JEDEC fuse count (QF)
  int stream_len = 0;     // configuration stream length in bits
  int vendor = 0;         // 1 for a known part, 0 for "Others"
  std::string part;
  std::string jed;
  std::string ues;
};

class ChainState {
 public:
  int DeviceCount = 0;   // devices found by the last scan or loaded from the chain; may be out of range
  int TargetDevice = 1;  // 1-based position being operated on; device 1's TDI is driven by the cable

  // The record of a position 1..MaxDevices; anything else is refused rather than read past the table.
  JcdRec& Rec(int position) {
    if (position < 1 || position > MaxDevices)
      throw std::out_of_range("chain position " + std::to_string(position) + " is outside 1.." +
                              std::to_string(MaxDevices));
    return records_[static_cast<std::size_t>(position)];
  }
  const JcdRec& Rec(int position) const { return const_cast<ChainState*>(this)->Rec(position); }

 private:
  std::array<JcdRec, MaxDevices + 1> records_{};
};

}  // namespace zepa::engine
