// The engine's single entry point. The programmer fills an IspRequest and calls IspEngine::RunChain: it
// selects the port and sets the cable lines, fills the per-device records from the chain table, converts
// design files with fusebuild where needed, and runs each position's operation in chain order. A failing
// device is marked "fail" and the run goes on with the next one.
//
// Typical use (the run path of the programmer):
//   IspEngine engine(port, clock, host, launcher, {.program_dir = ..., .work_dir = ...});
//   engine.cable().ApplyCable(CableKind::RelayCable);   // the port setup's cable
//   engine.jtag().CalibrateDelay();                      // once, at start-up
//   engine.RunChain({.jcd_file = path, .port_index = 3, .options = IspOptions}, table);
//   if (engine.RunFailed) ...                            // any device marked "fail"
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "chain/chain_table.h"
#include "engine/cable.h"
#include "engine/chain.h"
#include "engine/clock.h"
#include "engine/context.h"
#include "engine/host.h"
#include "engine/jtag.h"
#include "engine/process.h"
#include "port/port_io.h"

namespace zepa::engine {

// What a run hands to the engine.
struct IspRequest {
  std::string jcd_file;  // the chain file; a name containing "scan___.tmp" asks for a chain scan only
  int port_index = kAutoPortSelection;  // 0 = 278h, 1 = 378h, 2 = 3BCh, 3 = automatic selection
  int options = 0;                      // IspOption bits; 0x02 runs off-line
  bool active_io_verify = false;        // ZEPA1 verify with instruction 8 in place of ENABLE
  std::int64_t tck_delay_ns = 0;        // each half TCK period lasts at least this long (0: no wait)
  // The user's chain file, when the run goes from a copy of it (`jcd_file` a temporary file): the SVF and
  // .bif files are named after it and written beside it. Empty: after `jcd_file`.
  std::string output_chain_file{};
};

// The text that marks a chain-scan request, and the file the scan leaves in the working folder.
inline constexpr const char* kScanFileName = "scan___.tmp";

struct EnginePaths {
  std::string program_dir;  // the folder fusebuild is found in
  std::string work_dir;     // the working folder (engine/workdir.h)
};

// One family's device operations on real hardware (or the simulated board).
class FamilyOperations {
 public:
  virtual ~FamilyOperations() = default;
  // Runs operation `op` (a chain::Operation code) on chain position `position` with the design or image file
  // `file`. Failures end in the engine abort (EPyk) after the device has been marked.
  virtual void Run(EngineContext& context, int op, int position, const std::string& file) = 0;
};

// SVF output in place of the hardware (option 0x40).
class SvfGenerator {
 public:
  virtual ~SvfGenerator() = default;
  // `svf_file` is the chain file's name with ".svf" in place of its extension.
  virtual void Generate(EngineContext& context, int op, int position, const std::string& file,
                        const std::string& svf_file) = 0;
};

class IspEngine {
 public:
  IspEngine(port::PortIo& port, Clock& clock, const EngineHost& host, ProcessLauncher& launcher,
            EnginePaths paths);
  ~IspEngine();
  IspEngine(const IspEngine&) = delete;
  IspEngine& operator=(const IspEngine&) = delete;

  // Runs the request on `table`: reads each position's operation and design file, writes each `result`
  // (1 pass, 0 fail). A chain scan sets table.DeviceCount to the devices found. The engine abort escapes
  // only from what precedes the per-device loop (no port found, an illegal design file name); any other
  // exception escaping a device's operation ends the run there.
  void RunChain(const IspRequest& request, chain::ChainTable& table);

  // Engine state the programmer sets between runs and reads after them.
  bool RunFailed = false;  // set by every "fail" mark; the programmer clears it

  // Stopping a run from another thread: the device being worked on finishes its operation (never cut in
  // the middle of an erase or a program), the devices after it are not started, and the message window
  // says which. The request holds until ClearStop, which the front end calls before it starts a run.
  void RequestStop() { stop_requested_.store(true, std::memory_order_relaxed); }
  void ClearStop() { stop_requested_.store(false, std::memory_order_relaxed); }
  bool StopRequested() const { return stop_requested_.load(std::memory_order_relaxed); }
  // "<time> <date>" for report headers (the local time by default).
  void set_timestamp(std::function<std::string()> timestamp);
  // The SVF generator; without one, SVF runs abort each device with a message.
  void set_svf_generator(SvfGenerator* generator) { svf_ = generator; }

  Cable& cable() { return cable_; }
  Jtag& jtag() { return jtag_; }
  ChainState& chain() { return chain_; }
  const EnginePaths& paths() const { return paths_; }
  // The SVF file name of the last run (the user's chain file's name with ".svf").
  const std::string& svf_file() const { return svf_file_; }

 private:
  class Marks;

  void RunDevices(const IspRequest& request, chain::ChainTable& table, EngineContext& context);
  // Port work outside any device's (a remote link that is gone fails it): the reason goes to the message
  // window and the run is marked failed. False when it failed.
  bool PortStep(const std::function<void()>& step);
  void Dispatch(EngineContext& context, int position, int op, const std::string& file);
  EngineContext MakeContext(const IspRequest& request);

  std::unique_ptr<Marks> marks_;
  EngineHost host_;
  EnginePaths paths_;
  ProcessLauncher& launcher_;
  Cable cable_;
  ChainState chain_;
  Jtag jtag_;
  SvfGenerator* svf_ = nullptr;
  std::function<std::string()> timestamp_;
  std::string svf_file_;
  std::atomic<bool> stop_requested_{false};
};

}  // namespace zepa::engine
