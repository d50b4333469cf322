// fusebuild: converts one device of a chain file into its device image. The program's main only maps its
// arguments and exit status onto RunFusebuild; everything else lives here so tests can call it directly.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fusemap/fatal_error.h"
#include "fusemap/part_table.h"

namespace zepa::fusebuild {

using fusemap::FatalError;

// The devices of a chain file in DEVICE-line order (device n is devices[n - 1], `loc` = n).
struct Chain {
  std::vector<fusemap::jcd_type> devices;
};

// Reads a chain file the way fusebuild does (which differs from the programmer's own reader):
// - a line whose first character is '#' is skipped;
// - a line containing "DEVICE" but not "TOTAL_DEVICE" adds the next device, whatever number it carries;
//   split at blanks and TABs, token 3 is the part, 4 the IR length, 5 the operation word, 6 the design path;
// - a line containing "UES" (a device line too) gives device <token 2> the text after the line's first '$',
//   with its line end, at most 120 characters; no '$' gives an empty text. Numbers without a device are
//   ignored.
// Throws FatalError for more than 60 devices (301), a part name of 20 characters or more (302) and a design
// path of 200 characters or more (303). `jcd_name` names the file in messages.
Chain load_jcd_struct(std::istream& in, const std::string& jcd_name);

// What one run needs besides the chain.
struct RunContext {
  int dbgLevel = 0;
  std::string root_path;  // the program's folder, with its trailing separator
  std::string work_dir;   // the current folder ("" = the process's own); relative paths start here
  // The programmer's working folder (ZEPA_WORK_DIR), with its trailing separator: the signature-only images
  // tempues.bin / tempues.isp go there so that the programmer finds them. Empty when fusebuild runs on its
  // own: tempues.bin then goes to the current folder and tempues.isp to the program's folder.
  std::string ues_dir;
  std::ostream* out;  // standard output
};

// Converts device `loc` (1-based): reads its JEDEC file, checks the fuse count against the part and writes
// the device image named after the design (its extension replaced by ".bin" first). A bypassed device
// writes nothing. Throws FatalError on every failure.
void jedec_to_bin(Chain& chain, int loc, const RunContext& ctx);

// The folder part of the program's path, up to and including its last '/' or '\'.
// Throws FatalError 305 when the path has no separator.
std::string ProgramFolder(std::string_view program_path);

// The decimal value at the start of `text` (blanks, a sign, then digits; 0 when there are none).
int ParseDecimal(std::string_view text);

// The whole program: `args` are the arguments after the program name, `program_path` the running program's
// own path. Returns the exit status: 0 when the run ends normally, 1 on every error.
int RunFusebuild(const std::vector<std::string>& args, const std::string& program_path,
                 const std::string& work_dir, std::ostream& out, std::ostream& err,
                 const std::string& ues_dir = "");

}  // namespace zepa::fusebuild
