// The ZEPA2 parts' configuration protocol (VTL3320, VTL3960): the frame instructions of the 5-bit loader,
// the frame geometry of each part, the frame addresses, the write preamble, the dwell and the IDCODEs.
#pragma once

#include <string>
#include <string_view>

#include "codes/type_codes.h"
#include "engine/idcode_fields.h"
#include "engine/zepa3_protocol.h"

namespace zepa::engine::zepa2 {

// The instructions, loaded through the 5-bit loader of the ZEPA3 parts (LoadInstructionZ3).
enum Instruction : int {
  kFrameWrite = 7,  // selects the frame register for writing; loaded again at the end of a read
  kEnable = zepa3::kEnable,
  kFrameRead = 14,
  kDisable = zepa3::kDisable,
  kResetToIdle = zepa3::kResetToIdle,
  kLeaveThroughReset = zepa3::kLeaveThroughReset,
};

// Wait after each frame written and after the DISABLE that ends a read, in Delay units (milliseconds).
inline constexpr int kFrameWait = 1;

// The IDCODE: family field (bits 25..27) "001"; the parts by their part field.
inline constexpr std::string_view kIdcodeFamily = "001";
inline constexpr IdcodePart kIdcodeParts[] = {{"000010", codes::kVtl3320}, {"100101", codes::kVtl3960}};

}  // namespace zepa::engine::zepa2

namespace zepa::engine {

// Frame geometry of a ZEPA2 part by type code: blocks of 168 frames (4 groups of 42).
struct Zepa2Geometry {
  const char* name;        // "VTL3320" / "VTL3960"
  const char* short_name;  // "Q320" / "Q960", as the verify lines name the part
  int blocks;              // 2 / 6
  int last;                // last frame address: 335 / 1007
  const char* preamble;    // the 11 write-preamble bits, first shifted first
  int frame_mode;          // fusebuild's frame parameter: 3 / 1
  int isp_bytes;           // size of the part's .isp image: a line of 140 digits and CR LF per frame
};
// nullptr for a type code that is not a ZEPA2 part.
const Zepa2Geometry* Zepa2GeometryOf(int type_code);

inline constexpr int kZepa2FrameBits = 557;      // 546 data bits and the 11 address bits
inline constexpr int kZepa2FrameDataBits = 546;  // also the zeros ahead of the preamble pattern
inline constexpr int kZepa2AddressBits = 11;
inline constexpr int kZepa2LineDigits = 140;  // one frame in a .isp/.in line: 560 bits with 3 padding zeros
inline constexpr int kZepa2FramesPerBlock = 168;
inline constexpr int kZepa2FramesPerGroup = 42;

// The 11 address characters of frame h: Gray(index) bits 0..5, Gray(group) bits 0..1, Gray(block) bits
// 0..2, each least significant bit first.
std::string Zepa2FrameAddress(int frame);

}  // namespace zepa::engine
