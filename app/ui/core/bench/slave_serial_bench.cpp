// A VTL3960 slave-serial load on the simulated board (Corvane cable): a random design's .bit stream, about
// 600,000 bits, clocked in with the steady clock. Counters: the bits sent, port writes per bit, and the wall
// time of the whole load (the 11 ms PROG pulse included).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "engine/bench/bench_host.h"
#include "engine/clock.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_writer.h"
#include "sim/board.h"
#include "ui/core/slave_serial.h"
#include "util/files.h"

namespace {

using namespace zepa;

void BM_SlaveSerialLoadVtl3960(benchmark::State& state) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zepa-ss-bench";
  std::filesystem::create_directories(folder);
  const std::string jed = (folder / "design.jed").string();
  fusemap::zepa2::assemble_std_frame(fusemap::testing::RandomFuses(520476, 3), 132, jed);
  const std::string bit = (folder / "design.bit").string();

  engine::SteadyClock clock;
  engine::MessageLines messages;
  engine::NoPrompts prompts;
  engine::FailMarks marks;
  engine::SystemProcessLauncher launcher;
  sim::Board board(sim::ParseBoardText("cable corvane\ndevice VTL3960 slave-serial\n", "bench board"));
  engine::CountingPort port(board, 0x378,
                            engine::CableMapFor(engine::CableKind::CorvaneParallelCable).PinTCK);
  engine::IspEngine engine(port, clock, {messages, prompts, marks}, launcher,
                           {.program_dir = folder.string(), .work_dir = folder.string() + "/"});
  engine.jtag().CalibrateDelay();
  ui::RunSettings settings;
  settings.port.port_index = 1;
  settings.port.cable = engine::CableKind::CorvaneParallelCable;

  ui::SlaveSerialStats stats;
  double ms = 0;
  for (auto _ : state) {
    port.Reset();
    const auto start = std::chrono::steady_clock::now();
    const ui::SlaveSerialOutcome outcome = ui::configure_slave_serial(engine, settings, bit, &stats);
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (outcome != ui::SlaveSerialOutcome::kDone) state.SkipWithError("DONE stayed low");
  }
  state.counters["bits"] = static_cast<double>(stats.bits);
  state.counters["port_writes"] = static_cast<double>(port.writes);
  state.counters["writes_per_bit"] = static_cast<double>(port.writes) / static_cast<double>(stats.bits);
  state.counters["wall_ms"] = ms;
  std::filesystem::remove_all(folder);
}

BENCHMARK(BM_SlaveSerialLoadVtl3960)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
