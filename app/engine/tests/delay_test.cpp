#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "engine/clock.h"
#include "engine/jtag.h"

namespace zepa::engine {
namespace {

// Each measurement of the calibration takes the next elapsed time from a script.
class ScriptedClock final : public Clock {
 public:
  explicit ScriptedClock(std::vector<std::int64_t> elapsed_ms) : elapsed_ms_(std::move(elapsed_ms)) {}
  std::int64_t NowNs() override { return now_; }
  void RunDelayUnits(std::int64_t count, int weight) override {
    EXPECT_EQ(count, 100001);
    weights.push_back(weight);
    const std::size_t i = weights.size() - 1;
    now_ += (i < elapsed_ms_.size() ? elapsed_ms_[i] : 0) * 1'000'000;
  }
  void EmptyLoop(std::int64_t) override {}
  std::vector<int> weights;

 private:
  std::vector<std::int64_t> elapsed_ms_;
  std::int64_t now_ = 5'000'000'000;
};

TEST(CalibrateDelay, RetunesTheWeightUntilTheRunIsMeasurable) {
  struct Case {
    std::vector<std::int64_t> elapsed;
    std::vector<int> weights;
    int loop_speed;
  };
  const std::vector<Case> cases = {
      {{1}, {1}, 110000},
      {{0, 0, 5}, {1, 51, 101}, 2000 + 20000},
      {{0, 150000, 7}, {1, 51, 46}, 1428 + 14285},
      {{100000, 100000, 3}, {1, 1, 1}, 3333 + 33333},  // never below 1
      {{-5, 2}, {1, 1}, 5000 + 50000},                 // a negative speed counts as 0: measure again
      {{99999}, {1}, 0 + 1},
  };
  for (const Case& c : cases) {
    ScriptedClock clock(c.elapsed);
    DelayTimer timer(clock);
    timer.DelayUnitWeight = 77;
    timer.CalibrateDelay();
    EXPECT_EQ(clock.weights, c.weights);
    EXPECT_EQ(timer.DelayUnitWeight, c.weights.back());
    EXPECT_EQ(timer.LoopSpeed, c.loop_speed);
  }
}

TEST(CalibrateDelay, GivesUpOnAClockThatNeverMoves) {
  ScriptedClock clock({});
  DelayTimer timer(clock);
  EXPECT_THROW(timer.CalibrateDelay(), std::runtime_error);
}

TEST(Delay, WaitsAtLeastTheMillisecondsAndAboutOneSliceMore) {
  for (std::int64_t ps_per_step : {10, 1000, 250'000}) {
    VirtualClock clock(ps_per_step);
    DelayTimer timer(clock);
    timer.CalibrateDelay();
    for (int n : {1, 11, 100}) {
      const std::int64_t start = clock.NowNs();
      timer.Delay(n);
      const std::int64_t waited = clock.NowNs() - start;
      EXPECT_GE(waited, n * 1'000'000) << n << " ms at " << ps_per_step << " ps";
      EXPECT_LT(waited, n * 1'000'000 + 100'000) << n << " ms at " << ps_per_step << " ps";
    }
  }
}

TEST(Delay, HoldsBeforeCalibrationAndZeroIsTheFixedShortLoop) {
  VirtualClock clock(10'000, 1'000);
  DelayTimer timer(clock);
  timer.Delay(3);
  EXPECT_GE(clock.NowNs(), 3'000'000);
  const std::int64_t units = clock.units_run();
  const std::int64_t start = clock.NowNs();
  timer.Delay(0);
  EXPECT_EQ(clock.NowNs() - start, 100001);  // 100001 turns of 1 ns
  EXPECT_EQ(clock.units_run(), units);
}

}  // namespace
}  // namespace zepa::engine
