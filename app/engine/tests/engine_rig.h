// Test helpers for the engine: a port that logs every access (optionally in front of a simulated board),
// recording prompts and grid marks, and a rig that wires cable, chain, virtual clock and JTAG together.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/cable.h"
#include "engine/chain.h"
#include "engine/clock.h"
#include "engine/host.h"
#include "engine/jtag.h"
#include "engine/messages.h"
#include "sim/board.h"

namespace zepa::engine::testing {

// Records every box and question as (icon, caption, text); questions carry the warning icon and get
// `answer`.
class RecordingPrompter final : public chain::Prompts {
 public:
  void show(BoxIcon icon, std::string_view caption, std::string_view text) override {
    boxes.emplace_back(icon, std::string(caption), std::string(text));
  }
  bool ask(std::string_view caption, std::string_view text, Answers) override {
    boxes.emplace_back(BoxIcon::kWarning, std::string(caption), std::string(text));
    return answer;
  }
  void beep() override { ++beeps; }
  int beeps = 0;
  bool answer = false;
  std::vector<std::tuple<BoxIcon, std::string, std::string>> boxes;
};

class RecordingMarks final : public ResultMarks {
 public:
  void MarkResult(int position, bool passed) override { marks.emplace_back(position, passed); }
  std::vector<std::pair<int, bool>> marks;
};

struct PortAccess {
  bool write;
  std::uint16_t port;
  std::uint8_t value;
  bool operator==(const PortAccess&) const = default;
};

// Logs every access; reads come from `inner` when there is one, else from `echo` (ports that return what
// was last written to them) or FFh.
class RecordingPort final : public port::PortIo {
 public:
  bool Active() const override { return active; }
  std::string InactiveWarning() const override { return inactive_warning; }
  std::uint8_t ReadPortByte(std::uint16_t port) override {
    std::uint8_t value = 0xFF;
    if (inner != nullptr) {
      value = inner->ReadPortByte(port);
    } else {
      for (std::uint16_t e : echo) {
        if (e == port) value = last_[port];
      }
    }
    log.push_back({false, port, value});
    return value;
  }
  void WritePortByte(std::uint16_t port, std::uint8_t value) override {
    log.push_back({true, port, value});
    last_[port] = value;
    if (inner != nullptr) inner->WritePortByte(port, value);
  }

  bool active = true;
  std::string inactive_warning{port::kDriverNotFound};
  port::PortIo* inner = nullptr;
  std::vector<std::uint16_t> echo;
  std::vector<PortAccess> log;

  std::uint8_t last(std::uint16_t port) const { return last_[port]; }

 private:
  std::uint8_t last_[0x10000] = {};
};

// The TMS and TDI levels at one rising TCK edge.
struct Edge {
  bool tms;
  bool tdi;
  bool operator==(const Edge&) const = default;
};

class EngineRig {
 public:
  // `board_text` empty: no board behind the port.
  explicit EngineRig(const std::string& board_text = "", CableKind kind = CableKind::RelayCable)
      : board(board_text.empty()
                  ? nullptr
                  : std::make_unique<sim::Board>(sim::ParseBoardText(board_text, "rig board"))),
        cable(port, host),
        jtag(cable, chain, clock, messages) {
    port.inner = board.get();
    cable.ApplyCable(kind);
    if (board) {
      chain.DeviceCount = static_cast<int>(board->device_count());
      for (std::size_t d = 1; d <= board->device_count() && d <= MaxDevices; ++d)
        chain.Rec(static_cast<int>(d)).IR_len = board->device(d).ir_length();
    }
  }

  // Rising edges since the log was last cleared, decoded with the cable's map.
  std::vector<Edge> Edges() const {
    std::vector<Edge> edges;
    bool tck = tck_at_clear_;
    for (const PortAccess& a : port.log) {
      if (!a.write || a.port != cable.DataPort()) continue;
      const bool now = (a.value & cable.PinTCK()) != 0;
      if (now && !tck) edges.push_back({(a.value & cable.PinTMS()) != 0, (a.value & cable.PinTDI()) != 0});
      tck = now;
    }
    return edges;
  }
  std::string TdiBits() const {
    std::string s;
    for (const Edge& e : Edges()) s += e.tdi ? '1' : '0';
    return s;
  }
  std::string TmsBits() const {
    std::string s;
    for (const Edge& e : Edges()) s += e.tms ? '1' : '0';
    return s;
  }
  std::size_t Reads() const {
    std::size_t n = 0;
    for (const PortAccess& a : port.log) n += a.write ? 0 : 1;
    return n;
  }
  void ClearLog() {
    port.log.clear();
    // The port, not the shadow: a clock's falling edge may still wait to be written.
    tck_at_clear_ = (port.last(cable.DataPort()) & cable.PinTCK()) != 0;
  }

  MessageLines messages;
  RecordingPrompter prompts;
  RecordingMarks marks;
  EngineHost host{messages, prompts, marks};
  std::unique_ptr<sim::Board> board;
  RecordingPort port;
  Cable cable;
  ChainState chain;
  VirtualClock clock;
  Jtag jtag;

 private:
  bool tck_at_clear_ = false;
};

}  // namespace zepa::engine::testing
