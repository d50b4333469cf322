#include "chain/chain_table.h"

#include <algorithm>
#include <stdexcept>

namespace zepa::chain {

ChainTable::ChainTable() {
  reset_chain_table(*this, MaxDevices);
}

namespace {

std::size_t index_of(int n) {
  if (!ChainTable::valid_position(n)) {
    throw std::out_of_range("chain position " + std::to_string(n) + " outside 1.." +
                            std::to_string(ChainTable::MaxDevices));
  }
  return static_cast<std::size_t>(n - 1);
}

}  // namespace

ChainDevice& ChainTable::operator[](int n) {
  return devices_[index_of(n)];
}

const ChainDevice& ChainTable::operator[](int n) const {
  return devices_[index_of(n)];
}

int ChainTable::device_count() const {
  return std::clamp(DeviceCount, 0, MaxDevices);
}

void reset_chain_table(ChainTable& table, int n) {
  n = std::clamp(n, 0, ChainTable::MaxDevices);
  for (int i = 1; i <= n; ++i) {
    ChainDevice& dev = table[i];
    const auto box = dev.box;
    dev = ChainDevice{};
    dev.loc = i;
    dev.box = box;
  }
}

void clear_results(ChainTable& table) {
  for (int i = 1; i <= ChainTable::MaxDevices; ++i) table[i].result = kResultNone;
}

}  // namespace zepa::chain
