// The table of devices and results that the command line prints after a run.
#pragma once

#include <string>

#include "chain/chain_table.h"

namespace zepa::cli {

// One line per device of the chain: position, part, operation, result ("pass", "fail" or "-") and design
// file; a device that read its IDCODE adds a line with the IDCODE, its decoded fields and the security
// state, one that read its signature a line with the signature.
std::string DeviceTable(const chain::ChainTable& table);

// Whether any device of the chain is marked "fail".
bool AnyDeviceFailed(const chain::ChainTable& table);

}  // namespace zepa::cli
