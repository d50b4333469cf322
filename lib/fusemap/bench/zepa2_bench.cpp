// Speed of the ZEPA2 conversion: the frame walk with all its texts, and its parts.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "fusemap/part_table.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_frames.h"
#include "fusemap/zepa2_mcs.h"
#include "fusemap/zepa2_packet.h"
#include "fusemap/zepa2_writer.h"

namespace zepa::fusemap::zepa2 {
namespace {

class FixedClock final : public Clock {
 public:
  std::string Now() const override { return "Thu Jan  1 00:00:00 1970"; }
};

FuseArray RandomDesign(const Geometry& g) {
  return fusemap::testing::RandomFuses(g.fuse_count(), 1);
}

// The whole VTL3960 walk: frames, packets, ISP lines, listing and MCS text (files not written).
void BM_BuildOutputsVtl3960(benchmark::State& state) {
  const Geometry g = Geometry::ForPart(kVtl3960);
  const FuseArray fuses = RandomDesign(g);
  const FixedClock clock;
  for (auto _ : state) {
    Outputs out = BuildOutputs(fuses, g, static_cast<int>(state.range(0)), clock);
    benchmark::DoNotOptimize(out.mcs.data());
  }
  state.SetItemsProcessed(state.iterations() * g.frame_count());
}
BENCHMARK(BM_BuildOutputsVtl3960)->Arg(0)->Arg(kDbgFuseAddressListing)->Unit(benchmark::kMillisecond);

void BM_MapFrame(benchmark::State& state) {
  const Geometry g = Geometry::ForPart(kVtl3960);
  int frame = 0;
  for (auto _ : state) {
    const FrameMap map =
        MapFrame(g, frame / kFramesPerSfb, frame % kFramesPerSfb / kColumns, frame % kColumns);
    benchmark::DoNotOptimize(map.data());
    frame = (frame + 1) % g.frame_count();
  }
}
BENCHMARK(BM_MapFrame);

void BM_FrameCrc(benchmark::State& state) {
  const std::string data(kDataFrameBits, '1');
  const std::string grey = assemble_grey_code_address(5, 3, 41);
  for (auto _ : state) benchmark::DoNotOptimize(get_crc_bits(data, grey));
}
BENCHMARK(BM_FrameCrc);

void BM_McsOfAFullStream(benchmark::State& state) {
  const std::string bits(1008 * kStandardPacketBits + kCompressedPacketBits, '1');
  for (auto _ : state) benchmark::DoNotOptimize(generate_mcs_format(bits, McsBitOrder::kLsbFirst));
  state.SetBytesProcessed(state.iterations() * static_cast<long>(bits.size() / 8));
}
BENCHMARK(BM_McsOfAFullStream)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zepa::fusemap::zepa2
