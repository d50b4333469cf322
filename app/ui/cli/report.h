// The table of devices and results that the command line prints after a run.
#pragma once

#include <string>

#include "ui/core/chain_table.h"

namespace zepa::cli {

// One line per device of the chain: position, part, operation, result ("pass", "fail" or "-") and design
// file; a device that read its IDCODE adds a line with the IDCODE, its decoded fields and the security
// state, one that read its signature a line with the signature.
std::string DeviceTable(const ui::ChainTable& table);

// Whether any device of the chain is marked "fail".
bool AnyDeviceFailed(const ui::ChainTable& table);

}  // namespace zepa::cli
