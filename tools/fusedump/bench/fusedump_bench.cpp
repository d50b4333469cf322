// Speed of the ZEPA3 converters' own steps: building the frame map, the ISP image, reading an image back,
// printing the JEDEC text, and a whole fusedump run on a VTL3384XL readback (files included).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fusedump/fusedump.h"
#include "fusemap/jedec_writer.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa3_isp.h"
#include "fusemap/zepa3_readback.h"

namespace {

using zepa::fusemap::FuseArray;
using zepa::fusemap::Zepa3Map;

constexpr int kVtl3384XL = 149;

FuseArray RandomDesign(long count) {
  return zepa::fusemap::testing::RandomFuses(count, 1);
}

void BM_Zepa3Map(benchmark::State& state) {
  for (auto _ : state) {
    Zepa3Map map(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(map.frame_count());
  }
}
BENCHMARK(BM_Zepa3Map)->Arg(144)->Arg(kVtl3384XL)->Unit(benchmark::kMillisecond);

void BM_BuildImage3384(benchmark::State& state) {
  const Zepa3Map map(kVtl3384XL);
  const FuseArray fuse = RandomDesign(map.geometry().FuseCount());
  for (auto _ : state) {
    auto image = zepa::fusemap::build_zepa3_image(map, fuse, "signature\n");
    benchmark::DoNotOptimize(image.isp_text.data());
  }
}
BENCHMARK(BM_BuildImage3384)->Unit(benchmark::kMillisecond);

void BM_ReadBack3384(benchmark::State& state) {
  const Zepa3Map map(kVtl3384XL);
  const std::string image =
      zepa::fusemap::build_zepa3_image(map, RandomDesign(map.geometry().FuseCount()), "").isp_text;
  std::ostringstream messages;
  for (auto _ : state) {
    std::istringstream in(image);
    FuseArray fuse(map.geometry().FuseCount(), FuseArray::Fill::kZeros);
    zepa::fusemap::Isp2Fuse(map, in, "bench.rd", fuse, messages);
    benchmark::DoNotOptimize(fuse.words().data());
  }
}
BENCHMARK(BM_ReadBack3384)->Unit(benchmark::kMillisecond);

void BM_JedecText3384(benchmark::State& state) {
  const auto& g = *zepa::fusemap::load_ZEPA3_jed_struct(kVtl3384XL);
  const FuseArray fuse = RandomDesign(g.FuseCount());
  const auto sections = zepa::fusemap::zepa3_jedec_sections(g);
  const zepa::fusemap::JedecHeader header{"bench.jed", "Wed Jun 30 21:49:08 1993", "VTL3384XL"};
  for (auto _ : state) {
    auto text = zepa::fusemap::jedec_text(fuse, header, sections);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_JedecText3384)->Unit(benchmark::kMillisecond);

// One fusedump run as the programmer starts it after a VTL3384XL readback: read the image, write the JEDEC
// file and chksum.chk.
void BM_FusedumpRun3384(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "fusedump_bench";
  fs::create_directories(dir);
  const Zepa3Map map(kVtl3384XL);
  {
    std::ofstream out(dir / "chip.rd", std::ios::binary);
    out << zepa::fusemap::build_zepa3_image(map, RandomDesign(map.geometry().FuseCount()), "").isp_text;
  }
  std::ostringstream out, err;
  const zepa::fusedump::SystemClock clock;
  zepa::fusedump::Environment env{out, err, clock, (dir / "chksum.chk").string()};
  const std::vector<std::string> args = {(dir / "chip.rd").string(), "VTL3384XL", "1"};
  for (auto _ : state) {
    if (zepa::fusedump::Run(args, env) != 0) state.SkipWithError("fusedump run failed");
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_FusedumpRun3384)->Unit(benchmark::kMillisecond);

}  // namespace
