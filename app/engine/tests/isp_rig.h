// Test rig for the device checks, the device operations and the runner: an IspEngine on a simulated board
// with the ZEPA1 family (or every family), a virtual clock shared by the engine's waits and the parts'
// dwells, recording prompts and marks, a scripted converter launcher, and a fresh working folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "chain/chain_table.h"
#include "chain/jcd_file.h"
#include "engine/records.h"
#include "engine/runner.h"
#include "engine/tests/engine_rig.h"
#include "sim/board.h"
#include "sim/families.h"
#include "sim/zepa1_family.h"
#include "testsupport/files.h"

namespace zepa::engine::testing {

// Records every start; `action` decides what the "child" does (default: nothing, exit status 0).
class ScriptedLauncher final : public ProcessLauncher {
 public:
  struct Call {
    std::string program;
    std::vector<std::string> args;
    std::vector<std::string> environment;
  };
  ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& environment) override {
    calls.push_back({program, args, environment});
    if (action) return action(calls.back());
    return {.started = true, .exit_status = 0, .error = ""};
  }
  std::vector<Call> calls;
  std::function<ProcessResult(const Call&)> action;
};

// A ZEPA1 image (.bin) for a part code: the type byte, then random design rows; the signature rows (41)
// and rows 42 stay ones, so does the security cell, and the bits past the stream's end are zero, as fusebuild
// writes them.
inline std::string MakeZepa1Image(int part, unsigned seed) {
  const DeviceTableRow& row = DeviceTable()[static_cast<std::size_t>(part)];
  std::string bytes(static_cast<std::size_t>(row.bin_size), '\0');
  bytes[0] = static_cast<char>(row.id);
  std::mt19937 random(seed);
  const long L = row.DR_len;
  for (long b = 0; b < 86 * L; ++b) {
    const long r = b / L % 43;
    // Mostly ones, as real designs are; every row gets some zeros.
    // The security cell (row 83) is a constant one in every design.
    const bool security = b == 83 * L + L - 1 - row.sec_pos;
    const bool bit = r >= 41 || security || random() % 4 != 0;
    if (bit) bytes[static_cast<std::size_t>(1 + b / 8)] |= static_cast<char>(0x80 >> (b % 8));
  }
  return bytes;
}

// Hands every access on to `inner` (the board, or a link to it) and shows it to `watch` (when set) first.
class WatchedPort final : public port::PortIo {
 public:
  explicit WatchedPort(port::PortIo& inner) : inner(&inner) {}
  bool Active() const override { return inner->Active(); }
  std::string InactiveWarning() const override { return inner->InactiveWarning(); }
  std::uint8_t ReadPortByte(std::uint16_t port) override {
    if (watch) watch(false, port, 0);
    return inner->ReadPortByte(port);
  }
  void WritePortByte(std::uint16_t port, std::uint8_t value) override {
    if (watch) watch(true, port, value);
    inner->WritePortByte(port, value);
  }
  void RequestRead(std::uint16_t port) override {
    if (watch) watch(false, port, 0);
    inner->RequestRead(port);
  }
  std::vector<std::uint8_t> CollectReads() override { return inner->CollectReads(); }
  void Flush() override { inner->Flush(); }
  void UseWiring(const port::CableWiring& wiring) override { inner->UseWiring(wiring); }

  std::function<void(bool write, std::uint16_t port, std::uint8_t value)> watch;
  port::PortIo* inner;
};

// Which parts of the board get their ISP registers; the others act as BYPASS beyond IDCODE.
enum class RigFamilies { kZepa1, kAll };

class IspRig {
 public:
  explicit IspRig(const std::string& board_text, RigFamilies families = RigFamilies::kZepa1)
      : board(std::make_unique<sim::Board>(sim::ParseBoardText(board_text, "rig board"), Families(families))),
        port(*board),
        engine(port, clock, host, launcher,
               {.program_dir = ZEPA_BIN_DIR, .work_dir = dir.path().string() + "/"}) {
    engine.cable().ApplyCable(CableKind::RelayCable);
    engine.jtag().CalibrateDelay();
    engine.set_timestamp([] { return "12:00:00 01/02/2026"; });
  }

  // Sets position n of the chain table with an instruction register of 4 bits (and the device count to at
  // least n).
  void Device(int n, int part, int op, const std::string& jed = "", const std::string& ues = "") {
    Set(n, part, 2, op, jed, ues);
  }
  // The same with the chain file's instruction-register code `ir_code`.
  void Set(int n, int part, int ir_code, int op, const std::string& jed = "", const std::string& ues = "") {
    chain::ChainDevice& d = table[n];
    d.loc = n;
    d.part = part;
    d.IR_len = ir_code;
    d.cmnd = op;
    d.jed = jed;
    d.ues = ues;
    if (table.DeviceCount < n) table.DeviceCount = n;
  }
  // Writes a file into the working folder; returns its path.
  std::string File(const std::string& name, const std::string& bytes) const { return dir.Write(name, bytes); }
  std::string Path(const std::string& name) const { return dir.File(name); }
  std::string Read(const std::string& name) const { return zepa::testing::TempDir::Read(dir.File(name)); }

  // Writes the chain table as the chain file and runs it.
  void Run(int options = 0) {
    const std::string jcd = dir.File("chain.jcd");
    chain::write_jcd(table, jcd);
    engine.RunChain({.jcd_file = jcd, .port_index = 1, .options = options}, table);
  }
  // Forgets the lines and marks of earlier runs.
  void ClearMessages() {
    messages.clear();
    marks.marks.clear();
  }

  // A context for calling checks directly, position 1 holding `part`'s record with `jed`.
  EngineContext Context(int part, const std::string& jed = "", int options = 0) {
    engine.chain().DeviceCount = static_cast<int>(board->device_count());
    engine.chain().TargetDevice = 1;
    JcdRec& rec = engine.chain().Rec(1);
    rec = RecordForPart(part);
    rec.jed = jed;
    engine.cable().IspOptions = options;
    return EngineContext{.jtag = engine.jtag(),
                         .host = host,
                         .launcher = launcher,
                         .program_dir = ZEPA_BIN_DIR,
                         .work_dir = dir.path().string() + "/",
                         .options = options,
                         .ActiveIoVerify = false,
                         .zepa2_frame_mode = 0,
                         .zepa2_last_address = 0,
                         .timestamp = {}};
  }

  const std::vector<std::string>& lines() const { return messages.lines(); }
  bool HasLine(const std::string& line) const {
    for (const std::string& l : messages.lines()) {
      if (l == line) return true;
    }
    return false;
  }
  // The line after the first one that starts with `prefix`, without the prefix; empty when there is none.
  std::string After(const std::string& prefix) const {
    for (const std::string& l : messages.lines()) {
      if (l.rfind(prefix, 0) == 0) return l.substr(prefix.size());
    }
    return "";
  }
  // The lines from the first one equal to `from` (inclusive) to the next one after it equal to `to`
  // (inclusive).
  std::vector<std::string> Section(const std::string& from, const std::string& to) const {
    std::vector<std::string> out;
    bool in = false;
    for (const std::string& l : messages.lines()) {
      if (l == from) in = true;
      if (in) out.push_back(l);
      if (in && l == to && out.size() > 1) break;
    }
    return out;
  }
  sim::Device& Part(int n) { return board->device(static_cast<std::size_t>(n)); }
  sim::DeviceMemory& Memory(int n) { return Part(n).memory(); }

  zepa::testing::TempDir dir;
  MessageLines messages;
  RecordingPrompter prompts;
  RecordingMarks marks;
  EngineHost host{messages, prompts, marks};
  VirtualClock clock;
  std::shared_ptr<sim::Zepa1Faults> faults = std::make_shared<sim::Zepa1Faults>();
  std::unique_ptr<sim::Board> board;
  WatchedPort port;
  ScriptedLauncher launcher;
  IspEngine engine;
  chain::ChainTable table;

 private:
  sim::FamilyRegistry Families(RigFamilies families) {
    auto now_ns = [this] { return clock.NowNs(); };
    if (families == RigFamilies::kAll) return sim::AllFamilies(now_ns, faults);
    sim::FamilyRegistry registry;
    sim::AddZepa1Family(registry, {.now_ns = now_ns, .faults = faults});
    return registry;
  }
};

}  // namespace zepa::engine::testing
