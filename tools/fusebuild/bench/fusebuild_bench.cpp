// Cost of converting the example chain's 128-macrocell device: reading its JEDEC file, building the image,
// and the whole fusebuild run (chain file, design, image written through a rename).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "fusebuild/fusebuild.h"
#include "fusemap/jedec_reader.h"
#include "fusemap/tests/support/example_chain.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa1_image.h"

namespace {

using namespace zepa;

std::string ExampleFile(const std::string& name) {
  for (const auto& file : fusemap::testing::ExampleChainFiles()) {
    if (file.name == name) return file.bytes;
  }
  return {};
}

fusemap::jcd_type Device3() {
  fusemap::jcd_type rec;
  fusemap::get_part(rec, "VTL5128C");
  rec.ues = "Zepa example chain, device 3\n";
  return rec;
}

void BM_ReadJedec128(benchmark::State& state) {
  const std::string text = ExampleFile("design128.jed");
  const fusemap::jcd_type rec = Device3();
  for (auto _ : state) {
    fusemap::FuseArray fuse(rec.jed_fuse, fusemap::FuseArray::Fill::kOnes);
    std::istringstream in(text);
    benchmark::DoNotOptimize(fusemap::read_jedec(in, "design128.jed", rec.id, fuse));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadJedec128);

void BM_BuildImage128(benchmark::State& state) {
  const fusemap::jcd_type rec = Device3();
  const fusemap::FuseArray fuse(rec.jed_fuse, fusemap::FuseArray::Fill::kOnes);
  for (auto _ : state) benchmark::DoNotOptimize(fusemap::BuildZepa1Image(rec, fuse).FileBytes());
}
BENCHMARK(BM_BuildImage128);

void BM_RunFusebuild128(benchmark::State& state) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("zepa_fusebuild_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const auto& file : fusemap::testing::ExampleChainFiles()) {
    fusemap::testing::WriteFile((dir / file.name).string(), file.bytes);
  }
  for (auto _ : state) {
    std::ostringstream out, err;
    if (fusebuild::RunFusebuild({"chain.jcd", "3"}, "/bench/fusebuild", dir.string(), out, err) != 0) {
      state.SkipWithError(err.str().c_str());
      break;
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RunFusebuild128)->Unit(benchmark::kMillisecond);

}  // namespace
