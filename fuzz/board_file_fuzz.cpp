// The simulator's board-file reader: any text; a board it accepts is built with every family.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "sim/board.h"
#include "sim/board_file.h"
#include "sim/families.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  sim::BoardSpec spec;
  try {
    spec = sim::ParseBoardText(fuzzing::AsText(data, size), "fuzz.board");
  } catch (const sim::BoardFileError&) {
    return 0;
  }
  if (spec.devices.size() > sim::kMaxBoardDevices) fuzzing::Broken();
  for (const sim::DeviceSpec& device : spec.devices) {
    if (device.part == nullptr || device.ir_length < 2 || device.ir_length > 32) fuzzing::Broken();
  }
  static const sim::FamilyRegistry families = sim::AllFamilies([] { return std::int64_t{0}; });
  sim::Board board(std::move(spec), families);
  // The board answers on its own port; a read of the status register must not fail.
  (void)board.ReadPortByte(0x379);
  return 0;
}
