// The chain scan beside the JTAG primitives: every instruction register filled with ones, so each device sits
// in BYPASS, then a known pattern sent through the data registers; the bits it comes back late by are the
// devices of the chain.
#pragma once

#include "engine/jtag.h"

namespace zepa::engine {

// Counts the devices of the chain by their bypass bits and reports it in the message window; sets the
// chain's DeviceCount and the cable's CableFound / CableMissing (no cable when its loop-back test fails).
// Returns the count.
int ScanChain(Jtag& jtag);

}  // namespace zepa::engine
