// The programmer's chain-file reader: any text into a chain table that already holds a chain.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "chain/chain_table.h"
#include "chain/jcd_file.h"
#include "fuzz/fuzz_support.h"

namespace {

bool SameDevices(const zepa::chain::ChainTable& a, const zepa::chain::ChainTable& b) {
  if (a.DeviceCount != b.DeviceCount) return false;
  for (int n = 1; n <= zepa::chain::ChainTable::MaxDevices; ++n) {
    const auto& x = a[n];
    const auto& y = b[n];
    if (x.loc != y.loc || x.cmnd != y.cmnd || x.part != y.part || x.IR_len != y.IR_len || !(x.jed == y.jed) ||
        !(x.ues == y.ues) || !(x.cmnd_word == y.cmnd_word))
      return false;
  }
  return true;
}

// What the table holds before the file is read: a two-device chain, so a refused file has something to
// leave alone.
zepa::chain::ChainTable StartingTable() {
  zepa::chain::ChainTable table;
  const std::vector<std::string> errors =
      zepa::chain::parse_jcd(table,
                             "TOTAL_DEVICE 2\r\n"
                             "DEVICE 1           VTL3064A         4         PV      design.jed\r\n"
                             "DEVICE 2           VTL3256XL        5         ER\r\n");
  if (!errors.empty()) std::abort();
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  static const chain::ChainTable kStart = StartingTable();
  chain::ChainTable table = kStart;
  const std::vector<std::string> errors = chain::parse_jcd(table, fuzzing::AsText(data, size));
  if (!errors.empty()) {
    // A refused text leaves the table as it was.
    if (!SameDevices(table, kStart)) fuzzing::Broken();
    return 0;
  }
  if (table.DeviceCount < 0 || table.DeviceCount > chain::ChainTable::MaxDevices) fuzzing::Broken();
  // What was read can be written again.
  const std::string text = chain::format_jcd(table);
  (void)text;
  return 0;
}
