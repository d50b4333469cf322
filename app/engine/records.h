// The engine's per-device records: the device table that gives each part of the chain grid its type code
// and geometry, the names of the type codes, file-name helpers, and the loading of the records from the
// programmer's chain table at the start of every run.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "chain/chain_table.h"
#include "codes/type_codes.h"
#include "engine/chain.h"
#include "engine/host.h"

namespace zepa::engine {

// One row of the device table, in the order of the chain grid's part list (index = part code 0..16).
struct DeviceTableRow {
  const char* part;
  int id;
  int lb;
  int IR_len;
  int DR_len;
  int side_rows;
  int bin_size;
  int sec_pos;
  int first_ues_bit;
  int ues_offset;
  int jed_fuse;
  int stream_len;
  int vendor;
};

inline constexpr int kDeviceTableSize = 17;
const std::array<DeviceTableRow, kDeviceTableSize>& DeviceTable();

// The name of a type code in messages: "VTLx032_C/A", ..., "unknown" for 0, empty for codes without one.
std::string_view TypeName(int type_code);

// A fresh record filled from the device table row of part code `part` (0..16); any other code gives an
// empty record (type 0, no geometry).
JcdRec RecordForPart(int part);

// Fills the records of positions 1..DeviceCount from the chain table and sets the chain's DeviceCount. A
// design file whose extension is none of ".jed", ".bin", ".isp" aborts with "Illegal file entry: <name>"
// (the abort reaches the caller: the run has not started its device loop).
void LoadChainRecords(ChainState& chain, const chain::ChainTable& table, const EngineHost& host);

}  // namespace zepa::engine
