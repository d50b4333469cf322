// The simulator's remote_bitbang command stream, played to a board with a part of every family.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "sim/board.h"
#include "sim/board_file.h"
#include "sim/families.h"
#include "sim/remote_bitbang.h"

namespace {

constexpr std::string_view kBoard =
    "port 378\n"
    "cable relay\n"
    "device VTL3064A\n"
    "device VTL3320\n"
    "device VTL3032XL\n"
    "device Others irlen=7 idcode=0x1234567F\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  // Each read of the clock moves it on by a second, so every erase and program dwell has passed when the
  // part looks; the run does not depend on how fast the machine is.
  std::int64_t now_ns = 0;
  sim::Board board(sim::ParseBoardText(kBoard, "fuzz board"),
                   sim::AllFamilies([&now_ns] { return now_ns += 1'000'000'000; }));
  sim::BitbangProtocol protocol(board);
  const std::string_view commands = fuzzing::AsText(data, size);
  std::string answers;
  const bool open = protocol.Feed(commands, answers);
  // One answer per 'R' before the first 'Q', each '0' or '1'.
  const std::string_view played = commands.substr(0, commands.find('Q'));
  if (open != (played.size() == commands.size())) fuzzing::Broken();
  if (answers.size() != static_cast<std::size_t>(std::count(played.begin(), played.end(), 'R')))
    fuzzing::Broken();
  if (answers.find_first_not_of("01") != std::string::npos) fuzzing::Broken();
  return 0;
}
