// The simulator's board-state reader (what the devices kept from earlier runs): any text as the state of a
// board with a part of every family; what it loads is saved and must load again the same.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "sim/board.h"
#include "sim/board_file.h"
#include "sim/families.h"

namespace {

constexpr std::string_view kBoard =
    "port 378\n"
    "cable relay\n"
    "device VTL3064A\n"
    "device VTL3320 secured\n"
    "device VTL3032XL\n"
    "device Others irlen=7 idcode=0x1234567F\n";

bool SameMemories(zepa::sim::Board& a, zepa::sim::Board& b) {
  for (std::size_t n = 1; n <= a.device_count(); ++n) {
    if (!(a.device(n).memory() == b.device(n).memory())) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  static const sim::FamilyRegistry families = sim::AllFamilies([] { return std::int64_t{0}; });
  const fuzzing::ScratchFolder& folder = fuzzing::ScratchFolder::Get();
  const std::string state = folder.Write("board.state", fuzzing::AsText(data, size));
  sim::Board board(sim::ParseBoardText(kBoard, "fuzz board"), families);
  try {
    board.LoadState(state);
  } catch (const std::runtime_error&) {
    return 0;  // a malformed state file is an error naming the file and line
  }
  const std::string saved = folder.File("saved.state");
  board.SaveState(saved);
  sim::Board again(sim::ParseBoardText(kBoard, "fuzz board"), families);
  again.LoadState(saved);  // a state the simulator wrote itself must load
  if (!SameMemories(board, again)) fuzzing::Broken();
  return 0;
}
