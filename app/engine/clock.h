// The time source behind the engine's waits. Production busy-waits on the monotonic clock; tests use a
// virtual clock whose time only moves when the engine burns delay units, so no test ever sleeps.
#pragma once

#include <cstdint>

namespace zepa::engine {

class Clock {
 public:
  virtual ~Clock() = default;

  // Monotonic time in nanoseconds; only differences matter.
  virtual std::int64_t NowNs() = 0;
  // Burns `count` delay units of `weight` inner steps each (the busy work of a calibrated wait).
  virtual void RunDelayUnits(std::int64_t count, int weight) = 0;
  // A fixed empty loop of `iterations` turns (the short wait of Delay(0)).
  virtual void EmptyLoop(std::int64_t iterations) = 0;
};

// The real time source: std::chrono::steady_clock, and delay units that really burn processor time.
class SteadyClock final : public Clock {
 public:
  std::int64_t NowNs() override;
  void RunDelayUnits(std::int64_t count, int weight) override;
  void EmptyLoop(std::int64_t iterations) override;
};

// Virtual time for tests: a delay unit step costs `ps_per_step` picoseconds, an empty-loop turn
// `ps_per_turn`. Time also moves with Advance().
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(std::int64_t ps_per_step = 10'000, std::int64_t ps_per_turn = 1'000);

  std::int64_t NowNs() override { return now_ps_ / 1000; }
  void RunDelayUnits(std::int64_t count, int weight) override;
  void EmptyLoop(std::int64_t iterations) override;

  void Advance(std::int64_t ns) { now_ps_ += ns * 1000; }
  std::int64_t units_run() const { return units_run_; }

 private:
  std::int64_t ps_per_step_;
  std::int64_t ps_per_turn_;
  std::int64_t now_ps_ = 0;
  std::int64_t units_run_ = 0;
};

}  // namespace zepa::engine
