#include "fusemap/jedec_reader.h"

#include <array>
#include <climits>
#include <fstream>
#include <utility>
#include <vector>

#include "fusemap/fatal_error.h"
#include "fusemap/file_io.h"
#include "fusemap/part_table.h"

namespace zepa::fusemap {
namespace {

constexpr std::string_view kTokenSeparators = " *\t\n";

// Tokens of a line split at blanks, '*', TABs and line ends.
std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while (true) {
    pos = line.find_first_not_of(kTokenSeparators, pos);
    if (pos == std::string_view::npos) break;
    const std::size_t end = line.find_first_of(kTokenSeparators, pos);
    tokens.push_back(line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    if (end == std::string_view::npos) break;
    pos = end;
  }
  return tokens;
}

// The decimal number after the first character of an L token ("L001234" -> 1234); digits stop at the
// first other character, a sign is allowed, and a number too large for a long saturates.
long get_fuseNum(std::string_view token) {
  std::size_t i = 1;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  long value = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
    const int digit = token[i] - '0';
    value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
  }
  return negative ? -value : value;
}

void write_j2f(long fnum, std::string_view digits, FuseArray& fuse) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    fuse.write_fuse(fnum + static_cast<long>(i), digits[i] == '0' ? 0 : 1);
  }
}

}  // namespace

int QfPartCode(std::string_view line, int expected_id) {
  static constexpr std::array<std::pair<std::string_view, int>, 11> kCounts{{
      {"QF20542", kZepa1_32},
      {"QF41306", kZepa1_64},
      {"QF82802", kZepa1_128},
      {"QF82930", kZepa1_128C},
      {"QF173492", kVtl3320},
      {"QF520476", kVtl3960},
      {"QF189969", kVtl3384XL},
      {"QF115869", kVtl3256XL},
      {"QF52009", kVtl3128XL},
      {"QF24481", kVtl3064XL},
      {"QF11529", kVtl3032XL},
  }};
  for (const auto& [text, code] : kCounts) {
    if (line.find(text) == std::string_view::npos) continue;
    if (code == kZepa1_128C && expected_id == kZepa1_128A) return kZepa1_128A;
    return code;
  }
  return 0;
}

bool parse_line(std::string_view line, FuseArray& fuse) {
  const std::vector<std::string_view> tokens = Tokens(line);
  if (tokens.size() < 2) return true;
  const long first = get_fuseNum(tokens[0]);
  const auto count = static_cast<long>(tokens[1].size());
  if (first < 0 || first > fuse.TotalFuseNum() || count > fuse.TotalFuseNum() - first) return false;
  write_j2f(first, tokens[1], fuse);
  return true;
}

int read_jedec(std::istream& in, const std::string& name, int expected_id, FuseArray& fuse) {
  LineReader lines(in);
  std::string line;
  int found = 0;
  while (found == 0 && lines.Next(line)) {
    if (line.find("NOTE") != std::string::npos) continue;
    found = QfPartCode(line, expected_id);
  }
  if (found == 0) return kJedecNoLegalDevice;
  if (found != expected_id) return kJedecOtherPart;

  in.clear();
  in.seekg(0);
  long line_number = 0;
  while (lines.Next(line)) {
    ++line_number;
    if (line.empty() || line[0] != 'L') continue;
    if (!parse_line(line, fuse)) {
      throw FatalError(kErrFuseOutsidePart, name + ": line " + std::to_string(line_number) +
                                                " names fuses beyond the part's " +
                                                std::to_string(fuse.TotalFuseNum()) + " fuses.");
    }
  }
  return found;
}

int read_jedec(const std::string& name, const std::string& open_path, int expected_id, FuseArray& fuse) {
  if (name.empty()) return expected_id;
  std::ifstream in(open_path, std::ios::binary);
  if (!in) throw FatalError(kErrJedecOpen, name + ": File open failed.");
  return read_jedec(in, name, expected_id, fuse);
}

int read_jedec(const std::string& name, int expected_id, FuseArray& fuse) {
  return read_jedec(name, NativePath(name), expected_id, fuse);
}

}  // namespace zepa::fusemap
