// The checks that keep a wrong file or a wrong part from being programmed: the JEDEC legality test with
// its fuse checksum and ISP-bit test, the part a JEDEC file is for, the identification of the part in the
// socket by its IDCODE, the checks on image files, and the run of fusebuild that converts a design.
// Every refusal is the engine abort (AbortDevice) for the position concerned.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/context.h"

namespace zepa::engine {

// JEDEC fuse bits: 32701 words of 16 fuses, fuse n at bit n mod 16 of word n div 16.
inline constexpr int kJedecFuseWords = 32701;

// What a JEDEC file gives the checker: whether it is legal (a known QF line), its fuses and the checksum
// it states. Lines containing "NOTE" never make a file legal. Fuse numbers past the array, "L" lines
// without a blank or TAB after the number or with more than six digits are ignored, and so are "C" lines
// whose four characters are not hexadecimal digits.
struct JedecContents {
  bool legal = false;
  std::optional<std::uint16_t> stated_checksum;
  std::uint16_t computed_checksum = 0;
  std::array<std::uint16_t, kJedecFuseWords> words{};
  bool Fuse(long n) const {
    return n >= 0 && n < kJedecFuseWords * 16L && ((words[static_cast<std::size_t>(n / 16)] >> (n % 16)) & 1);
  }
};
// Throws std::runtime_error naming the file when it cannot be read.
std::unique_ptr<JedecContents> ReadJedecForCheck(const std::string& file);

// Legality, checksum and ISP-bit test of a ".jed" design (other files are not examined: result 0). Not
// legal: an error box and result 0. Returns the computed checksum.
std::uint16_t CheckJedec(EngineContext& context, int position, const std::string& file);

// The type code a JEDEC file's fuse count stands for; aborts when the file has no known count or is for
// another part than `expected`. An empty name returns `expected`.
int DetectJedecPart(EngineContext& context, int position, int expected, const std::string& file);

// An IDCODE as read: the 32 bits ("0"/"1", bit 0 first) and the fields the identification uses.
struct IdcodeRead {
  std::string bits;
  std::string manufacturer;  // bits 1..11 in reading order
  char flag15 = '0';         // bit 15
  std::string part;          // bits 16..21 in reading order
  std::string family;        // bits 25..27 in reading order
  int type_code = 0;         // 0 when the fields name no known part
  bool manufacturer_accepted = false;
};
IdcodeRead DecodeIdcodeBits(const std::string& bits);
// Reads the 32 IDCODE bits of the target: skips the bypass bits of the devices nearer TDO, then 32 Shift-DR
// steps, sampling after each. The controller must be in Capture-DR.
IdcodeRead ReadIdcode(Jtag& jtag);
// The abort message when `read` does not identify the part of `position`'s record; nothing when it does.
std::optional<std::string> IdentityProblem(const JcdRec& rec, int position, const IdcodeRead& read);
// Reads the target's IDCODE and aborts unless it is the record's part. Skipped off-line and while pin
// vectors are recorded.
void IdentifyTarget(EngineContext& context, int position);

// Whether `position`'s design needs fusebuild before the operation.
bool NeedsConversion(const JcdRec& rec, int options);
// The image fusebuild writes for a design: the design's name with "bin" (ZEPA1) or "isp" (ZEPA2, ZEPA3) as
// extension; for a ZEPA1/ZEPA3 signature run without a design, "tempues.bin"/"tempues.isp" in the working
// folder. Empty for type codes no converter serves.
std::string ImageFileName(const EngineContext& context, int position, int type_code, const std::string& jed);
// Runs fusebuild for `position` when its operation needs an image and returns the image's name (empty
// when nothing was run). Aborts with "No output bin/isp files generated!" unless fusebuild ends with exit
// status 0 and the image exists.
std::string RunFusebuild(EngineContext& context, int position, int op, int options,
                         const std::string& jcd_file);
// File-type checks of an image for the program, verify and program-and-verify operations.
void CheckImageFile(EngineContext& context, int position, int op, const std::string& file);

}  // namespace zepa::engine
