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

namespace zepa::engine {

// Frame geometry of a ZEPA2 part by type code: blocks of 168 frames (4 groups of 42).
struct Zepa2Geometry {
  const char* name;        // "VTL3320" / "VTL3960"
  const char* short_name;  // "Q320" / "Q960", as the verify lines name the part
  int blocks;              // 2 / 6
  int last;                // last frame address: 335 / 1007
  const char* preamble;    // the 11 write-preamble bits, first shifted first
};
// nullptr for a type code that is not a ZEPA2 part.
const Zepa2Geometry* Zepa2GeometryOf(int type_code);

inline constexpr int kZepa2FrameBits = 557;   // 546 data bits and the 11 address bits
inline constexpr int kZepa2LineDigits = 140;  // one frame in a .isp/.in line: 560 bits with 3 padding zeros
inline constexpr int kZepa2FramesPerBlock = 168;
inline constexpr int kZepa2FramesPerGroup = 42;

// The 11 address characters of frame h: Gray(index) bits 0..5, Gray(group) bits 0..1, Gray(block) bits
// 0..2, each least significant bit first.
std::string Zepa2FrameAddress(int frame);
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
