// SVF output of a whole chain through the runner: 60 VTL5128C parts (1028-bit rows) in program and verify,
// from the chain table to the finished file. Prints the time per run and the file size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "engine/clock.h"
#include "engine/records.h"
#include "engine/runner.h"
#include "engine/tests/engine_rig.h"
#include "sim/board.h"
#include "sim/zepa1_family.h"
#include "svf/svf_output.h"
#include "svf/tests/openocd_player.h"

namespace {

using namespace zepa;

class NoProcesses final : public engine::ProcessLauncher {
 public:
  engine::ProcessResult Run(const std::string&, const std::vector<std::string>&,
                            const std::vector<std::string>&) override {
    return {.started = true, .exit_status = 0, .error = ""};
  }
};

// The runner with SVF output on over a chain of `count` parts `part`, every one in program and verify with
// a random image, in a folder of its own.
class SvfChain {
 public:
  SvfChain(int part, int count)
      : dir_(std::filesystem::temp_directory_path() / ("zepa-svf-bench-" + std::to_string(::getpid()) + "-" +
                                                       std::to_string(part) + "-" + std::to_string(count))),
        board_(sim::ParseBoardText(BoardText(part, count), "bench board")),
        engine_(board_, clock_, host_, launcher_, {.program_dir = "", .work_dir = dir_.string() + "/"}) {
    std::filesystem::create_directories(dir_);
    engine_.cable().ApplyCable(engine::CableKind::RelayCable);
    engine_.jtag().CalibrateDelay();
    engine_.set_svf_generator(&output_);
    table_.DeviceCount = count;
    for (int n = 1; n <= count; ++n) {
      const std::string image = (dir_ / ("d" + std::to_string(n) + ".bin")).string();
      std::ofstream(image, std::ios::binary) << Image(part, static_cast<unsigned>(n));
      chain::ChainDevice& d = table_[n];
      d.loc = n;
      d.part = part;
      d.IR_len = 2;
      d.cmnd = chain::kOpProgramVerify;
      d.jed = image;
    }
    jcd_ = (dir_ / "chain.jcd").string();
    chain::write_jcd(table_, jcd_);
  }
  ~SvfChain() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  void Write() {
    messages_.clear();
    engine_.RunChain({.jcd_file = jcd_, .port_index = 1, .options = engine::kOptSvf}, table_);
  }
  std::string svf() const { return (dir_ / "chain.svf").string(); }
  bool failed() const { return engine_.RunFailed; }

 private:
  static std::string BoardText(int part, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string("device ") + engine::DeviceTable()[part].part + "\n";
    return text;
  }
  // A ZEPA1 image: the type byte, then random rows with the security cell left alone (mostly ones).
  static std::string Image(int part, unsigned seed) {
    const engine::DeviceTableRow& row = engine::DeviceTable()[static_cast<std::size_t>(part)];
    std::string bytes(static_cast<std::size_t>(row.bin_size), '\xFF');
    bytes[0] = static_cast<char>(row.id);
    std::mt19937 random(seed);
    for (std::size_t i = 1; i < bytes.size(); ++i) bytes[i] = static_cast<char>(random() | random());
    return bytes;
  }

  std::filesystem::path dir_;
  engine::MessageLines messages_;
  engine::testing::RecordingPrompter prompts_;
  engine::testing::RecordingMarks marks_;
  engine::EngineHost host_{messages_, prompts_, marks_};
  engine::VirtualClock clock_;
  NoProcesses launcher_;
  sim::Board board_;
  engine::IspEngine engine_;
  svf::SvfOutput output_{[] { return std::string("12:00:00"); }};
  chain::ChainTable table_;
  std::string jcd_;
};

// SVF generation for 60 VTL5128C parts in program and verify: time per run and the file's size.
void BM_ProgramAndVerify60x128(benchmark::State& state) {
  SvfChain chain(chain::kPartVtl5128C, 60);
  for (auto _ : state) chain.Write();
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(chain.svf())) / 1e6;
  state.counters["failed"] = chain.failed() ? 1 : 0;
}
BENCHMARK(BM_ProgramAndVerify60x128)->Unit(benchmark::kMillisecond);

// OpenOCD plays the program-and-verify file of one VTL3064A against the simulated board over
// remote_bitbang (wall time; OpenOCD runs in its own process).
void BM_OpenOcdPlaysProgramAndVerify3064A(benchmark::State& state) {
  const std::string openocd = svf::testing::FindProgram("openocd");
  if (openocd.empty()) {
    state.SkipWithError("openocd is not installed");
    return;
  }
  SvfChain chain(chain::kPartVtl3064A, 1);
  chain.Write();
  bool passed = true;
  for (auto _ : state) {
    sim::FamilyRegistry families;
    sim::AddZepa1Family(families);
    sim::Board referee(sim::ParseBoardText("device VTL3064A\n", "referee"), families);
    passed = passed && svf::testing::PlaySvf(openocd, referee, chain.svf()).passed();
  }
  state.counters["passed"] = passed ? 1 : 0;
}
BENCHMARK(BM_OpenOcdPlaysProgramAndVerify3064A)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
