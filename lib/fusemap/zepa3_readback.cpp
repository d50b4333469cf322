#include "fusemap/zepa3_readback.h"

#include "fusemap/fatal_error.h"
#include "util/hex.h"
#include "util/lines.h"

namespace zepa::fusemap {

std::vector<std::uint8_t> get_ispFile_bit(std::string_view line, int dr_len,
                                          std::vector<std::size_t>& invalid) {
  const auto digits = static_cast<std::size_t>((dr_len + 3) / 4);
  if (line.size() < digits) {
    throw FatalError(kErrBitLineLength, "line has " + std::to_string(line.size()) +
                                            " characters, a frame needs " + std::to_string(digits) +
                                            " hexadecimal digits");
  }
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(dr_len));
  for (std::size_t d = 0; d < digits; ++d) {
    int v = util::HexDigitValue(line[d]);
    if (v < 0) {
      invalid.push_back(d);
      v = 0;
    }
    for (std::size_t j = 0; j < 4; ++j) {
      const std::size_t hex_bit = 4 * d + j;
      if (hex_bit >= bits.size()) break;
      bits[bits.size() - 1 - hex_bit] = static_cast<std::uint8_t>((v >> (3 - j)) & 1);
    }
  }
  return bits;
}

Zepa3ReadbackReport Isp2Fuse(const Zepa3Map& map, std::istream& in, std::string_view name, FuseArray& fuse,
                             std::ostream& messages) {
  const ZEPA3_type& g = map.geometry();
  Zepa3ReadbackReport report;
  util::LineReader reader(in);
  std::string line;
  std::vector<std::size_t> invalid;
  for (int i = 0; i < map.frame_count(); ++i) {
    const std::string where = std::string(name) + " line " + std::to_string(i + 1);
    if (!reader.Next(line)) {
      throw FatalError(kErrBitLineLength, std::string(name) + ": the image ends after " + std::to_string(i) +
                                              " lines; " + std::string(g.PART_NAME) + " has " +
                                              std::to_string(map.frame_count()) + " frames.");
    }
    if (map.frame(i).kind == Zepa3FrameKind::kSignature) continue;
    invalid.clear();
    std::vector<std::uint8_t> bits;
    try {
      bits = get_ispFile_bit(line, g.DR_LEN, invalid);
    } catch (const FatalError& e) {
      throw FatalError(e.code(), where + ": " + e.what() + " (" + std::string(g.PART_NAME) + ").");
    }
    for (std::size_t pos : invalid) {
      // The first few are told where they are; the rest only counted, so that an image full of them does
      // not bury the output.
      if (report.invalid_digits < kToldInvalidDigits) {
        messages << "Non-valid hex number " << line[pos] << " in bit stream.\n";
        messages << "  (" << where << ", character " << pos + 1 << ": its four bits read as 0)\n";
      }
      ++report.invalid_digits;
    }
    const auto frame = map.bits(i);
    for (std::size_t b = 0; b < frame.size(); ++b) {
      if (frame[b].ReadsBack()) fuse.write_fuse(frame[b].fuse, bits[b]);
    }
  }
  if (report.invalid_digits > kToldInvalidDigits) {
    messages << "  ... and " << report.invalid_digits - kToldInvalidDigits
             << " more non-valid hex numbers, their bits read as 0 too.\n";
  }
  return report;
}

std::vector<JedecSection> zepa3_jedec_sections(const ZEPA3_type& g) {
  std::vector<JedecSection> s;
  for (int b = 0; b < g.LOGIC_BLOCK_COUNT; ++b) {
    const long base = static_cast<long>(b) * g.LB_JED_OFFSET;
    const std::string block = "Note Block " + std::to_string(b) + " ";
    s.push_back({block + "ZIA *", base + g.ZIA_STARTJADDR, g.ZIA_ROWS, g.ZIA_COLUMNS});
    s.push_back({block + "PLA AND array *", base + g.PLA_AND_STARTJADDR, g.AND_ROWS, g.AND_COLUMNS});
    s.push_back({block + "PLA OR array *", base + g.PLA_OR_STARTJADDR, g.OR_ROWS, g.OR_COLUMNS});
    s.push_back({block + "Global Clock *", base + g.GLOBAL_CLK_STARTJADDR, 1, 4});
    s.push_back(
        {block + "Control Term Mux 0-7 *", base + g.CT_MUX_STARTJADDR, g.CT_MUX_ROWS, g.CT_MUX_COLUMNS});
    s.push_back({block + "I/O Macrocell Configuration 27 bits *", base + g.IO_MC_STARTJADDR, g.IO_MC_ROWS,
                 g.IO_MC_COLUMNS});
    s.push_back({block + "Buried Macrocell Configuration 21 bits *", base + g.BURIED_MC_STARTJADDR,
                 g.BURIED_MC_ROWS, 21});
  }
  s.push_back({"Note Global Control Term Mux *", g.GLOBAL_CT_MUX_STARTJADDR, g.GBAL_CT_MUX_ROWS,
               g.GBAL_CT_MUX_COLUMNS});
  s.push_back(
      {"Note Dedicated Input Mux *", g.DEDICATED_IP_STARTJADDR, g.DEDICATED_IP_ROWS, g.DEDICATED_IP_COLUMNS});
  s.push_back({"Note ISP bit *", g.ISP_FUSEJADDR, 1, 1});
  return s;
}

}  // namespace zepa::fusemap
