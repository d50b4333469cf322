#include "fusebuild/fusebuild.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "codes/operations.h"
#include "codes/type_codes.h"
#include "fusemap/file_io.h"
#include "fusemap/fuse_array.h"
#include "fusemap/jedec_reader.h"
#include "fusemap/zepa1_image.h"
#include "fusemap/zepa2_writer.h"
#include "fusemap/zepa3_isp.h"
#include "util/lines.h"
#include "util/path.h"

namespace zepa::fusebuild {
namespace {

using fusemap::jcd_type;

std::vector<std::string_view> Tokens(std::string_view line) {
  constexpr std::string_view kSeparators = " \t\n";
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while ((pos = line.find_first_not_of(kSeparators, pos)) != std::string_view::npos) {
    const std::size_t end = line.find_first_of(kSeparators, pos);
    tokens.push_back(line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    if (end == std::string_view::npos) break;
    pos = end;
  }
  return tokens;
}

std::string DeviceTag(int loc) {
  return " (Device #" + std::to_string(loc) + ")";
}

}  // namespace

int ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

Chain load_jcd_struct(std::istream& in, const std::string& jcd_name) {
  Chain chain;
  std::array<std::optional<std::string>, fusemap::kMaxChainDevices> ues;
  util::LineReader lines(in);
  std::string line;
  bool ended = false;
  while (lines.Next(line, ended)) {
    if (!line.empty() && line[0] == '#') continue;
    if (ended) line += '\n';
    if (line.find("DEVICE") != std::string::npos && line.find("TOTAL_DEVICE") == std::string::npos) {
      if (chain.devices.size() == fusemap::kMaxChainDevices) {
        throw FatalError(
            fusemap::kErrTooManyDevices,
            jcd_name + ": more than " + std::to_string(fusemap::kMaxChainDevices) + " DEVICE lines.");
      }
      jcd_type rec;
      rec.loc = static_cast<int>(chain.devices.size()) + 1;
      std::vector<std::string_view> tokens = Tokens(line);
      if (tokens.size() > 2) {
        if (tokens[2].size() >= fusemap::kPartCapacity) {
          throw FatalError(fusemap::kErrPartNameLength, jcd_name + ": part name " + std::string(tokens[2]) +
                                                            " is longer than " +
                                                            std::to_string(fusemap::kPartCapacity - 1) +
                                                            " characters." + DeviceTag(rec.loc));
        }
        fusemap::get_part(rec, tokens[2]);
      }
      if (tokens.size() > 3) rec.IR_len = ParseDecimal(tokens[3]);
      if (tokens.size() > 4) fusemap::get_cmnd(rec, tokens[4]);
      if (tokens.size() > 5) {
        // A design path with blanks comes in double quotes: the path runs to the closing quote.
        if (!tokens[5].empty() && tokens[5].front() == '"') {
          const std::string_view rest =
              std::string_view(line).substr(static_cast<std::size_t>(tokens[5].data() - line.data()) + 1);
          const std::size_t close = rest.find('"');
          if (close != std::string_view::npos) tokens[5] = rest.substr(0, close);
        }
        if (tokens[5].size() >= fusemap::kJedCapacity) {
          throw FatalError(fusemap::kErrDesignPathLength, jcd_name + ": design path is longer than " +
                                                              std::to_string(fusemap::kJedCapacity - 1) +
                                                              " characters." + DeviceTag(rec.loc));
        }
        rec.jed = std::string(tokens[5]);
      }
      chain.devices.push_back(std::move(rec));
    }
    if (line.find("UES") != std::string::npos) {
      const std::vector<std::string_view> tokens = Tokens(line);
      const int n = tokens.size() > 1 ? ParseDecimal(tokens[1]) : 0;
      if (n >= 1 && n <= fusemap::kMaxChainDevices) {
        const std::size_t dollar = line.find('$');
        ues[static_cast<std::size_t>(n - 1)] =
            dollar == std::string::npos ? std::string() : line.substr(dollar + 1, fusemap::kUesCapacity - 1);
      }
    }
  }
  for (std::size_t i = 0; i < chain.devices.size(); ++i) {
    if (ues[i]) chain.devices[i].ues = *ues[i];
  }
  return chain;
}

void jedec_to_bin(Chain& chain, int loc, const RunContext& ctx) {
  if (loc < 1 || loc > static_cast<int>(chain.devices.size())) {
    throw FatalError(fusemap::kErrDeviceNumber, "Device #" + std::to_string(loc) + " is not in the chain (" +
                                                    std::to_string(chain.devices.size()) + " devices).");
  }
  jcd_type& r = chain.devices[static_cast<std::size_t>(loc - 1)];
  if (r.bypass) return;
  // A run that would write nothing is a failure, never a silent success.
  if (r.id == 0 && r.jed.empty()) {
    throw FatalError(fusemap::kErrUnknownPart, "Part " + (r.part.empty() ? std::string("(none)") : r.part) +
                                                   " is not a known part." + DeviceTag(loc));
  }
  const bool signature_image =
      codes::IsSignatureOperation(r.cmnd) && (codes::IsZepa1Type(r.id) || codes::IsZepa3Type(r.id));
  if (r.jed.empty() && !signature_image) {
    throw FatalError(fusemap::kErrNoDesign, "No design file given." + DeviceTag(loc));
  }

  fusemap::FuseArray fuse(r.jed_fuse, fusemap::FuseArray::Fill::kOnes);
  const int found = fusemap::read_jedec(r.jed, fusemap::ResolveInFolder(ctx.work_dir, r.jed), r.id, fuse);
  if (found == fusemap::kJedecNoLegalDevice) {
    throw FatalError(fusemap::kErrNoLegalPart, "Not a legal device found in JEDEC file..." + DeviceTag(loc));
  }
  if (found == fusemap::kJedecOtherPart) {
    throw FatalError(fusemap::kErrWrongPart,
                     "Specified device does not match with target device..." + DeviceTag(loc));
  }
  r.id = found;

  // Every family names its outputs after the design with ".bin" in place of its extension.
  if (!r.jed.empty()) {
    const std::optional<std::string> renamed = util::ReplaceExtension(r.jed, ".bin");
    if (!renamed) {
      throw FatalError(fusemap::kErrDesignPathNoExt,
                       r.jed + ": design file name has no extension to replace." + DeviceTag(loc));
    }
    r.jed = *renamed;
  }

  fusemap::Fuse2Stream(r, r.jed, fuse, ctx.dbgLevel, {ctx.work_dir, ctx.ues_dir, ctx.out});

  if (codes::IsZepa2Type(r.id)) {
    // ZEPA2 frames: .isp/.bit/.mcs/.dbg next to the design; a device without a design has nothing to convert.
    if (!r.jed.empty()) {
      fusemap::zepa2::Options zepa2;
      zepa2.dbg_level = ctx.dbgLevel;
      zepa2.listing_dir = ctx.work_dir.empty() ? std::string(".") : ctx.work_dir;
      zepa2.messages = ctx.out;
      fusemap::zepa2::assemble_std_frame(fuse, r.id, fusemap::ResolveInFolder(ctx.work_dir, r.jed), zepa2);
    }
  } else if (codes::IsZepa3Type(r.id)) {
    fusemap::assemble_zepa3_frame(r, fuse,
                                  r.jed.empty() ? r.jed : fusemap::ResolveInFolder(ctx.work_dir, r.jed),
                                  ctx.ues_dir.empty() ? ctx.root_path : ctx.ues_dir);
  }
}

std::string ProgramFolder(std::string_view program_path) {
  const std::size_t start = util::FileNameStart(program_path);
  if (start == 0) {
    throw FatalError(fusemap::kErrProgramPath,
                     std::string(program_path) + ": cannot tell the program's folder from its path.");
  }
  return std::string(program_path.substr(0, start));
}

int RunFusebuild(const std::vector<std::string>& args, const std::string& program_path,
                 const std::string& work_dir, std::ostream& out, std::ostream& err,
                 const std::string& ues_dir) {
  const int system_error = errno;
  if (args.empty()) {
    out << "Usage:fusebuild jcd_file\n"
        << "Example:fusebuild test.jcd\n";
    err << std::strerror(system_error) << "\n";
    return 1;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    out << "Usage:fusebuild jcd_file\n"
        << "Example:fusebuild test.jcd\n"
        << "       fusebuild jcd_file device_number [debug_level]\n"
        << "Builds the programming image of each device of the chain file (or of device_number only)\n"
        << "in the chain file's folder. Exit status 0 when every image was built; otherwise the\n"
        << "error code of the first fault.\n";
    return 0;
  }
  const std::string& jcd_name = args[0];
  const std::string jcd_path = fusemap::ResolveInFolder(work_dir, jcd_name);
  std::error_code ec;
  if (std::filesystem::is_directory(jcd_path, ec)) {
    err << "Error opening " << jcd_name << ": " << std::strerror(EISDIR) << "\n";
    return 1;
  }
  std::ifstream jcd(jcd_path, std::ios::binary);
  if (!jcd) {
    err << "Error opening " << jcd_name << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  RunContext ctx;
  ctx.work_dir = work_dir;
  ctx.ues_dir = ues_dir;
  if (!ctx.ues_dir.empty() && ctx.ues_dir.back() != '/' && ctx.ues_dir.back() != '\\') ctx.ues_dir += '/';
  ctx.out = &out;
  int ispDUT = 1;
  if (args.size() > 2) ctx.dbgLevel = ParseDecimal(args[2]);
  if (args.size() > 1) ispDUT = ParseDecimal(args[1]);
  try {
    ctx.root_path = ProgramFolder(program_path);
    Chain chain = load_jcd_struct(jcd, jcd_name);
    if (chain.devices.empty()) {
      throw FatalError(fusemap::kErrDeviceNumber, jcd_name + ": not a chain file (it has no DEVICE lines).");
    }
    jedec_to_bin(chain, ispDUT, ctx);
  } catch (const FatalError& e) {
    err << "FUSEBUILD error # " << e.code() << "\n" << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << "FUSEBUILD error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace zepa::fusebuild
