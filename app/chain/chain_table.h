// The programmer's chain table: 60 device positions numbered from 1 (there is no position 0) and the number
// of devices in the chain. The configuration grids edit it, chain files are loaded into it and saved from it,
// and every run reads its operations from it and writes the results back.
#pragma once

#include <array>
#include <string>

#include "chain/chain_names.h"
#include "chain/fixed_text.h"

namespace zepa::chain {

struct ChainDevice {
  int loc = 0;                // device position 1..60
  int cmnd = kOpNoOperation;  // operation code
  FixedText<20> cmnd_word;    // the word a chain file gave when it named no operation (cmnd 99), for the
                              // pre-run check's message; empty otherwise
  int part = kPartUnknown;    // part code
  int IR_len = kIrUnknown;    // 0..8 stand for lengths 2..10, 9 for 16, 99 unknown
  int result = kResultNone;   // 1 pass, 0 fail, 99 none
  char secure = '2';          // '0' secured, '1' not secured, anything else unknown
  FixedText<32> idcode;       // '0'/'1' text, character k = IDCODE bit k
  FixedText<10> id_ver;       // decoded IDCODE fields
  FixedText<6> id_arch;
  FixedText<12> id_tech;
  FixedText<12> id_pkg;
  FixedText<8> id_volt;
  FixedText<15> id_mc;
  FixedText<15> id_bit0;
  FixedText<11> id_mft;
  FixedText<120> ues;        // user electronic signature
  FixedText<250> jed;        // design file, or the file an upload writes
  std::array<int, 4> box{};  // left, top, right, bottom in the chain drawing (kept by a reset)
};

class ChainTable {
 public:
  static constexpr int MaxDevices = 60;

  // A new table holds 60 reset positions and no devices.
  ChainTable();

  // Position n, 1..MaxDevices; throws std::out_of_range for any other n.
  ChainDevice& operator[](int n);
  const ChainDevice& operator[](int n) const;

  static bool valid_position(int n) { return n >= 1 && n <= MaxDevices; }

  // DeviceCount bounded to 0..MaxDevices, for loops over the chain.
  int device_count() const;

  int DeviceCount = 0;  // devices in the chain
  std::string JcdPath;  // the chain file last loaded or written; empty before the first

 private:
  std::array<ChainDevice, MaxDevices> devices_;
};

// Stores the reset values into positions 1..n (n is bounded to 0..MaxDevices). The drawing boxes are kept.
void reset_chain_table(ChainTable& table, int n);

// Sets `result` of all 60 positions to "none".
void clear_results(ChainTable& table);

}  // namespace zepa::chain
