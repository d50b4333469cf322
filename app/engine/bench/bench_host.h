// The programmer around the engine in the benchmarks: prompts that answer nothing and result marks that
// remember a failure, so a run that went wrong stops the benchmark instead of giving figures.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/host.h"
#include "port/port_io.h"

namespace zepa::engine {

class NoPrompts final : public chain::Prompts {
 public:
  void show(BoxIcon, std::string_view, std::string_view) override {}
  bool ask(std::string_view, std::string_view, Answers) override { return false; }
  void beep() override {}
};

class FailMarks final : public ResultMarks {
 public:
  void MarkResult(int, bool passed) override { failed = failed || !passed; }
  bool failed = false;
};

// Counts the engine's accesses to the port before it: writes, reads, and the clocks (rising edges of
// `tck` on the data register at `data_port`).
class CountingPort final : public port::PortIo {
 public:
  CountingPort(port::PortIo& inner, std::uint16_t data_port, std::uint8_t tck)
      : inner_(inner), data_port_(data_port), tck_(tck) {}
  bool Active() const override { return inner_.Active(); }
  std::uint8_t ReadPortByte(std::uint16_t port) override {
    ++reads;
    return inner_.ReadPortByte(port);
  }
  void WritePortByte(std::uint16_t port, std::uint8_t value) override {
    ++writes;
    if (port == data_port_) {
      if ((value & tck_) && !(last_ & tck_)) ++clocks;
      last_ = value;
    }
    inner_.WritePortByte(port, value);
  }
  void RequestRead(std::uint16_t port) override {
    ++reads;
    inner_.RequestRead(port);
  }
  std::vector<std::uint8_t> CollectReads() override { return inner_.CollectReads(); }
  void Flush() override { inner_.Flush(); }
  void UseWiring(const port::CableWiring& wiring) override { inner_.UseWiring(wiring); }
  void Reset() { writes = reads = clocks = 0; }
  void TakeCounts(const CountingPort& other) {
    writes = other.writes;
    reads = other.reads;
    clocks = other.clocks;
  }

  long long writes = 0;
  long long reads = 0;
  long long clocks = 0;

 private:
  port::PortIo& inner_;
  std::uint16_t data_port_;
  std::uint8_t tck_;
  std::uint8_t last_ = 0;
};

// The port figures of a run as benchmark counters, with the port time at 1 us per access.
template <typename State>
void PortCounters(State& state, const CountingPort& port) {
  const auto writes = static_cast<double>(port.writes);
  const auto reads = static_cast<double>(port.reads);
  const auto clocks = static_cast<double>(port.clocks);
  state.counters["port_accesses"] = writes + reads;
  state.counters["writes"] = writes;
  state.counters["reads"] = reads;
  state.counters["clocks"] = clocks;
  state.counters["writes_per_clock"] = clocks > 0 ? writes / clocks : 0;
  state.counters["reads_per_clock"] = clocks > 0 ? reads / clocks : 0;
  state.counters["port_ms_at_1us"] = (writes + reads) / 1000.0;
}

}  // namespace zepa::engine
