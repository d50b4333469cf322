// What every device check and operation of a run works with: the JTAG primitives over the cable, the chain
// records, the programmer around the engine, the converter launcher and the folders.
#pragma once

#include <functional>
#include <string>

#include "engine/cable.h"
#include "engine/chain.h"
#include "engine/host.h"
#include "engine/isp_options.h"
#include "engine/jtag.h"
#include "engine/process.h"

namespace zepa::engine {

struct EngineContext {
  Jtag& jtag;
  EngineHost host;
  ProcessLauncher& launcher;
  std::string program_dir;  // where fusebuild lives
  std::string work_dir;     // the working folder (engine/workdir.h)
  int options = 0;          // the run's option bits
  bool ActiveIoVerify = false;
  // ZEPA2 frame parameters set when fusebuild converts a VTL3320 (3, 335) or VTL3960 (1, 1007).
  int zepa2_frame_mode = 0;
  int zepa2_last_address = 0;
  // "<time> <date>" for the header of reports; tests fix it.
  std::function<std::string()> timestamp;

  Cable& cable() { return jtag.cable(); }
  ChainState& chain() { return jtag.chain(); }
  MessageSink& messages() { return host.messages; }
  JcdRec& rec(int position) { return jtag.chain().Rec(position); }
  // A file of the working folder.
  std::string WorkFile(const std::string& name) const;
};

}  // namespace zepa::engine
