// Program and verify of the largest ZEPA3 part (VTL3384XL, 2 x 209 rows of 507 bits) on the simulated board,
// then Verify of it:
//  - real clock: each run's wall time next to its floor, the sum of the waits the sequence mandates, which is
//    the virtual time the same run takes on the virtual clock (time moves there only while the engine waits);
//  - the converter run at the end is replaced by a stand-in that writes "chksum.chk" at once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "engine/bench/bench_host.h"
#include "engine/records.h"
#include "engine/runner.h"
#include "engine/tests/zepa3_image.h"
#include "engine/workdir.h"
#include "engine/zepa3_ops.h"
#include "sim/board.h"
#include "sim/zepa3_family.h"
#include "util/files.h"

namespace zepa::engine {
namespace {

// Stands in for fusedump: the checksum file appears in the current folder.
class ChecksumLauncher final : public ProcessLauncher {
 public:
  ProcessResult Run(const std::string&, const std::vector<std::string>&,
                    const std::vector<std::string>&) override {
    util::ReplaceFile("chksum.chk", "0000");
    return {.started = true, .exit_status = 0, .error = ""};
  }
};

struct Folder {
  Folder()
      : path(std::filesystem::temp_directory_path() / "zepa3_bench"), old(std::filesystem::current_path()) {
    std::filesystem::create_directories(path);
    std::filesystem::current_path(path);
  }
  ~Folder() {
    std::filesystem::current_path(old);
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
  std::filesystem::path old;
};

// Runs `op` on the part with `clock` for the engine and the part; returns the clock time it took in ms.
// `counted`, when given, gets the port figures of the `op` run.
double RunOnce(Clock& clock, const Folder& folder, int op, CountingPort* counted = nullptr) {
  MessageLines messages;
  NoPrompts prompts;
  FailMarks marks;
  ChecksumLauncher launcher;
  sim::FamilyRegistry families;
  sim::AddZepa3Family(families, {.now_ns = [&clock] { return clock.NowNs(); }, .faults = nullptr});
  sim::Board board(sim::ParseBoardText("device VTL3384XL\n", "bench board"), families);
  CountingPort port(board, 0x378, CableMapFor(CableKind::RelayCable).PinTCK);
  IspEngine engine(port, clock, {messages, prompts, marks}, launcher,
                   {.program_dir = folder.path.string(), .work_dir = folder.path.string() + "/"});
  engine.cable().ApplyCable(CableKind::RelayCable);
  engine.jtag().CalibrateDelay();
  const std::string isp = (folder.path / "design.isp").string();
  util::ReplaceFile(isp, zepa::engine::testing::MakeZepa3Isp(RecordForPart(chain::kPartVtl3384XL), 7));
  chain::ChainTable table;
  table.DeviceCount = 1;
  table[1].loc = 1;
  table[1].part = chain::kPartVtl3384XL;
  table[1].IR_len = 3;
  table[1].jed = isp;
  const std::string jcd = (folder.path / "chain.jcd").string();
  double elapsed = 0;
  for (int step : {static_cast<int>(chain::kOpProgramVerify), op}) {
    table[1].cmnd = step;
    chain::write_jcd(table, jcd);
    port.Reset();
    const std::int64_t start = clock.NowNs();
    engine.RunChain({.jcd_file = jcd, .port_index = 1, .options = 0}, table);
    if (step == op) {
      elapsed = static_cast<double>(clock.NowNs() - start) / 1e6;
      if (counted != nullptr) counted->TakeCounts(port);
    }
  }
  if (marks.failed) throw std::runtime_error("the benchmark's run failed");
  return elapsed;
}

void BM_Zepa3RealClock(benchmark::State& state) {
  const int op = static_cast<int>(state.range(0));
  Folder folder;
  VirtualClock virtual_clock;
  const double floor_ms = RunOnce(virtual_clock, folder, op);
  SteadyClock steady;
  double wall_ms = 0;
  for (auto _ : state) wall_ms = RunOnce(steady, folder, op);
  state.counters["wall_ms"] = wall_ms;
  state.counters["floor_ms"] = floor_ms;
  state.counters["over_floor_pct"] = (wall_ms / floor_ms - 1) * 100;
}
// The port writes and reads per clock of the run, on the virtual clock.
void BM_Zepa3PortAccesses(benchmark::State& state) {
  const int op = static_cast<int>(state.range(0));
  Folder folder;
  VirtualClock clock;
  sim::Board unused(sim::ParseBoardText("", "unused"));
  CountingPort counted(unused, 0, 0);
  for (auto _ : state) RunOnce(clock, folder, op, &counted);
  PortCounters(state, counted);
}
BENCHMARK(BM_Zepa3PortAccesses)
    ->Arg(chain::kOpProgramVerify)
    ->Arg(chain::kOpVerify)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Zepa3RealClock)
    ->Arg(chain::kOpProgramVerify)
    ->Arg(chain::kOpVerify)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace zepa::engine

BENCHMARK_MAIN();
