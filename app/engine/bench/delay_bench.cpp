// Accuracy of the calibrated waits on this machine: 100 waits each of Delay(1), Delay(11) and Delay(100),
// with the median and the worst overshoot beyond the requested time, in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/clock.h"
#include "engine/jtag.h"

namespace {

using namespace zepa;

void BM_Delay(benchmark::State& state) {
  const int ms = static_cast<int>(state.range(0));
  engine::SteadyClock clock;
  engine::DelayTimer timer(clock);
  timer.CalibrateDelay();
  std::vector<double> overshoot_us;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    timer.Delay(ms);
    const auto waited = std::chrono::steady_clock::now() - start;
    overshoot_us.push_back(std::chrono::duration<double, std::micro>(waited).count() - ms * 1000.0);
  }
  std::sort(overshoot_us.begin(), overshoot_us.end());
  state.counters["median_over_us"] = overshoot_us[overshoot_us.size() / 2];
  state.counters["worst_over_us"] = overshoot_us.back();
  state.counters["early_waits"] = static_cast<double>(
      std::count_if(overshoot_us.begin(), overshoot_us.end(), [](double us) { return us < 0; }));
  state.counters["LoopSpeed"] = timer.LoopSpeed;
  state.counters["weight"] = timer.DelayUnitWeight;
}

BENCHMARK(BM_Delay)->Arg(1)->Arg(11)->Arg(100)->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace
