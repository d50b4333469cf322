// The two operations a ZEPA2 part (VTL3320, VTL3960) offers on the chain: Program writes the configuration
// frames of a .isp image, one 557-bit frame per address after the part's write preamble, and Verify reads
// every frame back by its Gray-coded address into a .in file and compares that file with the image. Every
// other operation does nothing for these parts and says so in one message line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/runner.h"
#include "engine/zepa2_protocol.h"

namespace zepa::engine {

// The bits ('0'/'1', most significant bit of the first digit first) of a line of hexadecimal digits;
// nothing when the line holds a character that is not a hexadecimal digit.
std::optional<std::string> HexLineToBits(const std::string& line);
// 140 upper-case hexadecimal digits of a string of 560 '0'/'1' characters.
std::string BitsToHexLine(const std::string& bits);

class Zepa2Operations final : public FamilyOperations {
 public:
  // `file` is the .isp image chosen by the runner (fusebuild's output for a .jed design).
  void Run(EngineContext& context, int op, int position, const std::string& file) override;
};

}  // namespace zepa::engine
