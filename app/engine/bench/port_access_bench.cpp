// Port accesses through the simulated board: 10^6 TCK cycles, each SetPin(TDI), SetPin(TCK, 1),
// SetPin(TCK, 0) and ReadTdo, i.e. four port accesses, with the chain in Shift-DR.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/bench/bench_host.h"
#include "engine/cable.h"
#include "engine/chain.h"
#include "engine/clock.h"
#include "engine/jtag.h"
#include "engine/zepa1_protocol.h"
#include "sim/board.h"

namespace {

using namespace zepa;

class NullMarks final : public engine::ResultMarks {
 public:
  void MarkResult(int, bool) override {}
};

void ClockCycles(benchmark::State& state, const std::string& board_text) {
  sim::Board board(sim::ParseBoardText(board_text, "bench board"));
  engine::MessageLines messages;
  engine::NoPrompts prompts;
  NullMarks marks;
  engine::EngineHost host{messages, prompts, marks};
  engine::Cable cable(board, host);
  engine::ChainState chain;
  engine::SteadyClock clock;
  engine::Jtag jtag(cable, chain, clock, messages);
  engine::LoadInstructionZ1(jtag, engine::zepa1::kResetToIdle);
  jtag.TapStep(engine::SelectDrScan);
  jtag.TapStep(engine::CaptureDr);
  jtag.TapStep(engine::ShiftDr);

  constexpr int kCycles = 1'000'000;
  int ones = 0;
  for (auto _ : state) {
    for (int i = 0; i < kCycles; ++i) {
      cable.SetPin(cable.PinTDI(), i & 1);
      cable.SetPin(cable.PinTCK(), 1);
      cable.SetPin(cable.PinTCK(), 0);
      ones += cable.ReadTdo();
    }
  }
  benchmark::DoNotOptimize(ones);
  const double accesses = 4.0 * kCycles * static_cast<double>(state.iterations());
  state.counters["accesses/s"] = benchmark::Counter(accesses, benchmark::Counter::kIsRate);
  state.counters["time/access"] =
      benchmark::Counter(accesses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ThreeDeviceBoard(benchmark::State& state) {
  ClockCycles(state, "device VTL3064A\ndevice VTL3256XL secured\ndevice Others irlen=7 idcode=0x1234567F\n");
}
void BM_SixtyDeviceBoard(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "device VTL3128XL\n";
  ClockCycles(state, text);
}

BENCHMARK(BM_ThreeDeviceBoard)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_SixtyDeviceBoard)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
