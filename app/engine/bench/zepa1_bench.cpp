// Program and verify of one 128-macrocell ZEPA1 part on the simulated board.
//  - real clock: the run's wall time next to the floor, the sum of the waits the sequence mandates
//    (identify 1 ms twice, erase 100 + 1 ms, 82 rows x (11 + 1) ms, close 1 ms = 1088 ms);
//  - virtual clock: the port writes and reads per clock of the whole run, and processor time per access.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "engine/bench/bench_host.h"
#include "engine/records.h"
#include "engine/runner.h"
#include "engine/workdir.h"
#include "port/remote_bitbang_port.h"
#include "sim/board.h"
#include "sim/remote_bitbang.h"
#include "sim/zepa1_family.h"
#include "util/files.h"
#include "util/path.h"

namespace zepa::engine {
namespace {

constexpr double kFloorMs = 1 + 1 + 100 + 1 + 82 * (11 + 1) + 1;

class NoLauncher final : public ProcessLauncher {
 public:
  ProcessResult Run(const std::string&, const std::vector<std::string>&,
                    const std::vector<std::string>&) override {
    return {};
  }
};
std::string Folder() {
  const std::string folder = (std::filesystem::temp_directory_path() / "zepa1_bench").string();
  std::filesystem::create_directories(folder);
  return folder;
}

// The board served on a loopback port, and the engine's link to it.
class Served {
 public:
  explicit Served(sim::Board& board)
      : server_(board, 0),
        thread_([this] { server_.Serve(stop_, false, [] {}); }),
        link_(port::ParseRemoteAddress("127.0.0.1:" + std::to_string(server_.port())), nullptr) {
    if (!link_.Active()) throw std::runtime_error("no link to the served board");
  }
  ~Served() {
    stop_ = true;
    thread_.join();
  }
  port::RemoteBitbangPort& link() { return link_; }

 private:
  sim::RemoteBitbangServer server_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  port::RemoteBitbangPort link_;
};

// One part, one design image, one engine; Run() programs and verifies it once, in-process or (`remote`)
// over a remote_bitbang link on a loopback port.
class Bench {
 public:
  explicit Bench(Clock& clock, bool remote = false)
      : folder_(Folder()),
        board_(sim::ParseBoardText("device VTL5128\n", "bench"), Families(clock)),
        served_(remote ? std::make_unique<Served>(board_) : nullptr),
        port_(served_ ? static_cast<port::PortIo&>(served_->link()) : board_, 0x378,
              CableMapFor(CableKind::RelayCable).PinTCK),
        engine_(port_, clock, host_, launcher_, {.program_dir = folder_, .work_dir = folder_}) {
    std::string image(11052, '\xFF');
    image[0] = static_cast<char>(119);
    std::mt19937 random(5);
    for (std::size_t i = 1; i < 41 * 1028 / 8; ++i) image[i] = static_cast<char>(random() | random());
    util::ReplaceFile(util::JoinPath(folder_, "d.bin"), image);
    table_[1].part = chain::kPartVtl5128;
    table_[1].IR_len = 2;
    table_[1].cmnd = chain::kOpProgramVerify;
    table_[1].jed = util::JoinPath(folder_, "d.bin");
    table_.DeviceCount = 1;
    chain::write_jcd(table_, util::JoinPath(folder_, "chain.jcd"));
    engine_.jtag().CalibrateDelay();
  }
  void Run() {
    messages_.clear();
    engine_.RunChain({.jcd_file = util::JoinPath(folder_, "chain.jcd"), .port_index = 1, .options = 0},
                     table_);
    if (marks_.failed) throw std::runtime_error("program and verify failed on the board");
  }
  CountingPort& port() { return port_; }
  long long round_trips() const { return served_ ? served_->link().round_trips() : 0; }

 private:
  static sim::FamilyRegistry Families(Clock& clock) {
    sim::FamilyRegistry registry;
    sim::AddZepa1Family(registry, {.now_ns = [&clock] { return clock.NowNs(); }, .faults = nullptr});
    return registry;
  }

  std::string folder_;
  MessageLines messages_;
  NoPrompts prompts_;
  FailMarks marks_;
  EngineHost host_{messages_, prompts_, marks_};
  NoLauncher launcher_;
  sim::Board board_;
  std::unique_ptr<Served> served_;
  CountingPort port_;
  IspEngine engine_;
  chain::ChainTable table_;
};

void BM_ProgramVerify128_RealClock(benchmark::State& state) {
  SteadyClock clock;
  Bench bench(clock);
  // The best run: on a shared machine the others only add time the engine did not cause.
  double wall_ms = 1e30;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    bench.Run();
    wall_ms = std::min(
        wall_ms, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["wall_ms"] = wall_ms;
  state.counters["floor_ms"] = kFloorMs;
  state.counters["over_floor_pct"] = 100.0 * (wall_ms - kFloorMs) / kFloorMs;
}
BENCHMARK(BM_ProgramVerify128_RealClock)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same over remote_bitbang to zepa-sim's server on a loopback port: wall time next to the in-process
// run's, and the round trips per row (82 rows programmed, 82 read back).
void BM_ProgramVerify128_Remote(benchmark::State& state) {
  SteadyClock clock;
  Bench local(clock);
  Bench remote(clock, true);
  double local_ms = 1e30;
  double remote_ms = 1e30;
  long long trips = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    local.Run();
    local_ms =
        std::min(local_ms,
                 std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    const long long before = remote.round_trips();
    start = std::chrono::steady_clock::now();
    remote.Run();
    remote_ms =
        std::min(remote_ms,
                 std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    trips = remote.round_trips() - before;
  }
  state.counters["in_process_ms"] = local_ms;
  state.counters["remote_ms"] = remote_ms;
  state.counters["remote_over_pct"] = 100.0 * (remote_ms - local_ms) / local_ms;
  state.counters["round_trips"] = static_cast<double>(trips);
  state.counters["round_trips_per_row"] = static_cast<double>(trips) / (2 * 82);
}
BENCHMARK(BM_ProgramVerify128_Remote)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ProgramVerify128_VirtualClock(benchmark::State& state) {
  VirtualClock clock;
  Bench bench(clock);
  double cpu_ns = 0;
  for (auto _ : state) {
    bench.port().Reset();
    const std::clock_t start = std::clock();
    bench.Run();
    cpu_ns = 1e9 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  }
  PortCounters(state, bench.port());
  state.counters["cpu_ns_per_access"] =
      cpu_ns / static_cast<double>(bench.port().writes + bench.port().reads);
}
BENCHMARK(BM_ProgramVerify128_VirtualClock)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace zepa::engine
