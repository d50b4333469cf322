// The ZEPA2 file set of one design, built from one walk over all frames:
//   <name>.isp  one line of 140 hex digits per frame, for JTAG configuration;
//   <name>.bit  the serial configuration packets as '0'/'1' text, one packet per line, then the
//               end-of-configuration packet without a line end;
//   <name>.mcs  the same stream as Intel HEX for a configuration PROM;
//   <name>.dbg  a listing of every packet;
// and with debug level bit 8 the fuse address of every frame bit, <name>.doc, split into one table per
// super fast block, "jedmap0.doc" ... in the listing folder.
#pragma once

#include <ctime>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fusemap/fuse_array.h"
#include "fusemap/zepa2_frames.h"

namespace zepa::fusemap::zepa2 {

// Debug level bits that change the ZEPA2 output.
inline constexpr int kDbgFuseAddressListing = 1 << 8;  // write <name>.doc and jedmapN.doc
inline constexpr int kDbgAlwaysStandard = 1 << 9;      // never compress a frame
inline constexpr int kDbgMcsMsbFirst = 1 << 10;        // first stream bit in bit 7 of an MCS byte

// The creation time written into the listing, in the 24-character ctime form.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::string Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::string Now() const override;
};

// `time` in the ctime form without its line end: "Sun Mar  3 09:05:07 2024".
std::string CtimeText(const std::tm& time);

// Where the walk writes each text; `doc` and one `jedmaps` stream per super fast block are needed with
// debug level bit 8 only.
struct OutputStreams {
  std::ostream& isp;
  std::ostream& bit;
  std::ostream& mcs;
  std::ostream& dbg;
  std::ostream* doc = nullptr;
  std::vector<std::ostream*> jedmaps;
};

struct WalkSummary {
  int standard_frames = 0;
  int compressed_frames = 0;
};

// The one walk over all frames of the part, writing every text as it goes. Throws std::invalid_argument
// for a fuse array smaller than the part (and for missing listing streams).
WalkSummary WriteOutputs(const FuseArray& fuses, const Geometry& g, int dbg_level, const Clock& clock,
                         const OutputStreams& streams);

// The same texts collected in memory.
struct Outputs {
  std::string isp, bit, mcs, dbg, doc;
  std::vector<std::string> jedmaps;  // one per super fast block (debug level bit 8 only)
  int standard_frames = 0;
  int compressed_frames = 0;
};
Outputs BuildOutputs(const FuseArray& fuses, const Geometry& g, int dbg_level, const Clock& clock);

// The base name of the outputs: the design path up to its last '.'; a '.' in a folder name does not
// count, and a name without one is used whole. Both '/' and '\' separate folders.
std::string OutputRootName(std::string_view jedfile_name);

struct Options {
  int dbg_level = 0;
  std::filesystem::path listing_dir = ".";  // where "jedmapN.doc" go and "jed_map.doc" is removed
  const Clock* clock = nullptr;             // the system clock when null
  std::ostream* messages = nullptr;         // gets "<file>: File open failed." before the error is thrown
};

// Converts the fuse array of a VTL3320 (130) or VTL3960 (132) design and writes its file set next to
// `jedfile_name`. Every file is written to a temporary file and renamed into place once all of them
// were written, so a failed run leaves none of the set. A file that cannot be written throws FatalError
// with "<file>: File open failed." (also written to `messages`) and code 902 (.mcs), 903 (.doc,
// jedmapN.doc), 904 (.bit), 905 (.isp) or 906 (.dbg).
WalkSummary assemble_std_frame(const FuseArray& fuses, int part, std::string_view jedfile_name,
                               const Options& options = {});

}  // namespace zepa::fusemap::zepa2
