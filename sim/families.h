// Every family's simulated array behind one registry, for the programs that serve or drive a whole board.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "sim/device.h"
#include "sim/isp_array.h"

namespace zepa::sim {

// ZEPA1, ZEPA2 and ZEPA3 parts with their in-system-programming registers; their erase and program dwells
// read `now_ns` (monotonic nanoseconds; the steady clock when empty). The ZEPA1 and ZEPA3 parts hold the
// stuck cells of `faults` (none when null).
FamilyRegistry AllFamilies(std::function<std::int64_t()> now_ns = {},
                           std::shared_ptr<Zepa1Faults> faults = nullptr);

}  // namespace zepa::sim
