#include "engine/clock.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace zepa::engine {

std::int64_t SteadyClock::NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SteadyClock::RunDelayUnits(std::int64_t count, int weight) {
  // One step copies a short text and takes a square root; volatile keeps the compiler from dropping it.
  static constexpr char kText[] = "Delay!";
  volatile double sink = 0.0;
  volatile double two = 2.0;
  char buffer[sizeof kText];
  for (std::int64_t i = 0; i < count; ++i) {
    for (int w = 0; w < weight; ++w) {
      std::memcpy(buffer, kText, sizeof kText);
      sink = std::sqrt(two) + buffer[w % (sizeof kText - 1)];
    }
  }
  (void)sink;
}

void SteadyClock::EmptyLoop(std::int64_t iterations) {
  volatile std::int64_t turns = 0;
  for (std::int64_t i = 0; i < iterations; ++i) turns = i;
  (void)turns;
}

VirtualClock::VirtualClock(std::int64_t ps_per_step, std::int64_t ps_per_turn)
    : ps_per_step_(ps_per_step), ps_per_turn_(ps_per_turn) {
  if (ps_per_step <= 0 || ps_per_turn < 0)
    throw std::invalid_argument("VirtualClock: a delay step must cost time");
}

void VirtualClock::RunDelayUnits(std::int64_t count, int weight) {
  units_run_ += count;
  now_ps_ += count * (weight < 1 ? 1 : weight) * ps_per_step_;
}

void VirtualClock::EmptyLoop(std::int64_t iterations) {
  now_ps_ += iterations * ps_per_turn_;
}

}  // namespace zepa::engine
