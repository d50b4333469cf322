// The table of devices and results that the command line prints after a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "chain/chain_table.h"

namespace zepa::cli {

// One line per device of the chain: position, part, operation, result ("pass", "fail" or "-") and design
// file; a device that read its IDCODE adds a line with the IDCODE, its decoded fields and the security
// state, one that read its signature a line with the signature.
std::string DeviceTable(const chain::ChainTable& table);

// The IDCODE of a result text (32 characters '0'/'1', bit 0 first); empty for any other text.
std::optional<std::uint32_t> IdcodeValue(std::string_view text);

// An IDCODE as a person reads it: "0x" and eight hexadecimal digits, most significant first.
std::string HexIdcode(std::uint32_t idcode);

// The line after the table: "PASS", or "FAIL (devices 2, 5)" naming the failed positions (also for one:
// "FAIL (devices 5)"), or "FAIL" when the run failed without a device to blame.
std::string Verdict(const chain::ChainTable& table, bool run_failed);

// Whether any device of the chain is marked "fail".
bool AnyDeviceFailed(const chain::ChainTable& table);

}  // namespace zepa::cli
