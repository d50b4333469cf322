// Writing and reading back a full 60-device chain file, as a run does before every operation.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "chain/jcd_file.h"

namespace zepa::chain {
namespace {

ChainTable full_chain() {
  ChainTable table;
  table.DeviceCount = ChainTable::MaxDevices;
  for (int n = 1; n <= ChainTable::MaxDevices; ++n) {
    table[n].part = (n - 1) % kPartCount;
    table[n].IR_len = (n - 1) % 10;
    table[n].cmnd = kOpProgramVerify;
    table[n].jed = "C:\\designs\\board " + std::to_string(n) + "\\top.jed";
    table[n].ues = "Board " + std::to_string(n) + " rev A";
  }
  return table;
}

void BM_FormatJcd(benchmark::State& state) {
  const ChainTable table = full_chain();
  for (auto _ : state) benchmark::DoNotOptimize(format_jcd(table));
}
BENCHMARK(BM_FormatJcd);

void BM_ParseJcd(benchmark::State& state) {
  const std::string text = format_jcd(full_chain());
  ChainTable table;
  for (auto _ : state) {
    parse_jcd(table, text);
    benchmark::DoNotOptimize(table.DeviceCount);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseJcd);

void BM_WriteAndLoadJcdFile(benchmark::State& state) {
  ChainTable table = full_chain();
  const std::string path = (std::filesystem::temp_directory_path() / "zepa_jcd_bench.jcd").string();
  ChainTable read_back;
  for (auto _ : state) {
    write_jcd(table, path);
    benchmark::DoNotOptimize(load_jcd(read_back, path));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteAndLoadJcdFile);

}  // namespace
}  // namespace zepa::chain
