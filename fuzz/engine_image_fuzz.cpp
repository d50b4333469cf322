// The engine's image readers: a ZEPA1 .bin, a ZEPA2 or a ZEPA3 .isp image given as the design of a program
// or verify run on the simulated board, or of the same operations written as SVF. A ZEPA3 verify looks for
// the converters' checksum file "chksum.chk" in the current folder (and removes an old one): run this
// harness from a folder of its own, as scripts/fuzz.sh does.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chain/chain_names.h"
#include "chain/chain_table.h"
#include "chain/jcd_file.h"
#include "chain/prompts.h"
#include "engine/cable.h"
#include "engine/clock.h"
#include "engine/host.h"
#include "engine/isp_options.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "engine/runner.h"
#include "fuzz/engine_stubs.h"
#include "fuzz/fuzz_support.h"
#include "sim/board.h"
#include "sim/board_file.h"
#include "sim/families.h"
#include "svf/svf_output.h"

namespace {

using namespace zepa;

// The board: one part of each family, the ZEPA1 part nearest the cable's TDI.
constexpr std::string_view kBoard =
    "port 378\n"
    "cable relay\n"
    "device VTL3032C\n"
    "device VTL3320\n"
    "device VTL3032XL\n";

struct Target {
  int position;
  int part;     // chain-grid part code
  int ir_code;  // the chain file's instruction-register code
  const char* image;
};
constexpr std::array<Target, 3> kTargets{{
    {1, chain::kPartVtl3032C, 2, "design.bin"},
    {2, chain::kPartVtl3320, 3, "design.isp"},
    {3, chain::kPartVtl3032XL, 3, "design.isp"},
}};
constexpr std::array<int, 3> kOperations{chain::kOpProgram, chain::kOpVerify, chain::kOpProgramVerify};

using fuzzing::NoMarks;
using fuzzing::NoPrograms;
using fuzzing::QuietPrompts;

}  // namespace

// Byte 0 chooses the part (mod 3), the operation (div 3, mod 3) and SVF output (div 9, odd); the rest is the
// image.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const fuzzing::ScratchFolder& folder = fuzzing::ScratchFolder::Get();

  const Target& target = kTargets[data[0] % kTargets.size()];
  const int op = kOperations[data[0] / kTargets.size() % kOperations.size()];
  const int options = data[0] / (kTargets.size() * kOperations.size()) % 2 ? engine::kOptSvf : 0;
  const std::string image = folder.Write(target.image, fuzzing::AsText(data + 1, size - 1));

  engine::VirtualClock clock;
  sim::Board board(sim::ParseBoardText(kBoard, "fuzz board"),
                   sim::AllFamilies([&clock] { return clock.NowNs(); }));

  engine::MessageLines messages;
  QuietPrompts prompts;
  NoMarks marks;
  NoPrograms launcher;
  const std::string work_dir = folder.path().string() + "/";
  engine::IspEngine engine(board, clock, {messages, prompts, marks}, launcher,
                           {.program_dir = work_dir, .work_dir = work_dir});
  engine.cable().ApplyCable(engine::CableKind::RelayCable);
  engine.jtag().CalibrateDelay();
  engine.set_timestamp([] { return "12:00:00 01/02/2026"; });
  svf::SvfOutput svf{[] { return std::string("12:34:56"); }};
  engine.set_svf_generator(&svf);

  chain::ChainTable table;
  for (const Target& t : kTargets) {
    chain::ChainDevice& d = table[t.position];
    d.loc = t.position;
    d.part = t.part;
    d.IR_len = t.ir_code;
    d.cmnd = &t == &target ? op : chain::kOpNoOperation;
    d.jed = &t == &target ? image : "";
  }
  table.DeviceCount = static_cast<int>(kTargets.size());
  const std::string jcd = folder.File("chain.jcd");
  chain::write_jcd(table, jcd);
  engine.RunChain({.jcd_file = jcd, .port_index = 1, .options = options}, table);
  return 0;
}
