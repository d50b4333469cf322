// Every family's simulated array behind one registry, for the programs that serve or drive a whole board.
#pragma once

#include <cstdint>
#include <functional>

#include "sim/device.h"

namespace zepa::sim {

// ZEPA1, ZEPA2 and ZEPA3 parts with their in-system-programming registers; their erase and program dwells
// read `now_ns` (monotonic nanoseconds; the steady clock when empty).
FamilyRegistry AllFamilies(std::function<std::int64_t()> now_ns = {});

}  // namespace zepa::sim
