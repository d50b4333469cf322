// The programmer's own JEDEC checks: the legality test, the fuses and the stated checksum of a design file,
// the checksum and ISP-bit test and the part the file is for, for each part of the chain grid.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chain/chain_names.h"
#include "chain/prompts.h"
#include "engine/checks.h"
#include "engine/clock.h"
#include "engine/context.h"
#include "engine/host.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "engine/records.h"
#include "engine/runner.h"
#include "fuzz/engine_stubs.h"
#include "fuzz/fuzz_support.h"
#include "sim/board.h"
#include "sim/board_file.h"

namespace {

using namespace zepa;

using fuzzing::NoMarks;
using fuzzing::NoPrograms;
using fuzzing::QuietPrompts;

// The engine the checks read their device record from; nothing here drives the board.
struct Rig {
  sim::Board board{sim::ParseBoardText("device VTL3064A\n", "fuzz board")};
  engine::VirtualClock clock;
  engine::MessageLines messages;
  QuietPrompts prompts;
  NoMarks marks;
  NoPrograms launcher;
  engine::IspEngine engine{board, clock, {messages, prompts, marks}, launcher, {}};
};

}  // namespace

// Byte 0 chooses the part of the chain grid the file is checked for; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static Rig& rig = *new Rig;
  const std::string file =
      fuzzing::ScratchFolder::Get().Write("design.jed", fuzzing::AsText(data + 1, size - 1));

  const std::unique_ptr<engine::JedecContents> jedec = engine::ReadJedecForCheck(file);
  // A file that is not legal carries nothing else.
  if (!jedec->legal && jedec->stated_checksum) fuzzing::Broken();

  rig.engine.chain().DeviceCount = 1;
  rig.engine.chain().TargetDevice = 1;
  engine::JcdRec& rec = rig.engine.chain().Rec(1);
  rec = engine::RecordForPart(data[0] % chain::kPartCount);
  rec.jed = file;
  engine::MessageLines messages;
  engine::EngineContext context{.jtag = rig.engine.jtag(),
                                .host = {messages, rig.prompts, rig.marks},
                                .launcher = rig.launcher,
                                .program_dir = "",
                                .work_dir = "",
                                .options = 0,
                                .ActiveIoVerify = false,
                                .zepa2_frame_mode = 0,
                                .zepa2_last_address = 0,
                                .timestamp = {}};
  try {
    engine::CheckJedec(context, 1, file);
  } catch (const engine::EPyk&) {
  }
  try {
    engine::DetectJedecPart(context, 1, rec.id, file);
  } catch (const engine::EPyk&) {
  }
  return 0;
}
