// What the engine's port component adds to each port access: TVicPort over a backend that does nothing,
// so the figure is the component's own cost (the driver-present check and one virtual call).
#include <benchmark/benchmark.h>

#include <memory>

#include "port/tvicport.h"

namespace zepa::port {
namespace {

class NullBackend : public PortIo {
 public:
  bool Active() const override { return true; }
  std::uint8_t ReadPortByte(std::uint16_t port) override { return static_cast<std::uint8_t>(port ^ last_); }
  void WritePortByte(std::uint16_t, std::uint8_t value) override { last_ = value; }

 private:
  std::uint8_t last_ = 0;
};

void BM_TVicPortWrite(benchmark::State& state) {
  PortDriverHandle handle([] { return std::make_unique<NullBackend>(); });
  TVicLPT lpt(handle);
  std::uint8_t value = 0;
  for (auto _ : state) lpt.WritePortByte(0x378, ++value);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TVicPortWrite);

void BM_TVicPortRead(benchmark::State& state) {
  PortDriverHandle handle([] { return std::make_unique<NullBackend>(); });
  TVicLPT lpt(handle);
  for (auto _ : state) benchmark::DoNotOptimize(lpt.ReadPortByte(0x379));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TVicPortRead);

}  // namespace
}  // namespace zepa::port
