#include "fusemap/jedec_reader.h"

#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "fusemap/fatal_error.h"
#include "fusemap/part_table.h"
#include "util/lines.h"
#include "util/path.h"

namespace zepa::fusemap {
namespace {

// Tokens of an L line are split at blanks, '*', TABs and line ends.
constexpr bool IsSeparator(char c) {
  return c == ' ' || c == '*' || c == '\t' || c == '\n';
}

// 0x80 in every byte of `v` that is zero, 0x00 in every other byte (exact, no carries between bytes).
constexpr std::uint64_t ZeroBytes(std::uint64_t v) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

// Index of the first separator in `line` at or after `pos`, or line.size(). Fuse digits make up nearly
// all of a JEDEC file, so runs of them are skipped eight characters at a time.
std::size_t FindSeparator(std::string_view line, std::size_t pos) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kEach = 0x0101010101010101u;
    for (; line.size() - pos >= 8; pos += 8) {
      std::uint64_t v = 0;
      std::memcpy(&v, line.data() + pos, sizeof v);
      const std::uint64_t hits = ZeroBytes(v ^ (kEach * ' ')) | ZeroBytes(v ^ (kEach * '*')) |
                                 ZeroBytes(v ^ (kEach * '\t')) | ZeroBytes(v ^ (kEach * '\n'));
      if (hits != 0) return pos + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
    }
  }
  while (pos < line.size() && !IsSeparator(line[pos])) ++pos;
  return pos;
}

// The token that starts at or after `pos` (separators skipped); empty when the line has none. `pos` moves
// just past it.
std::string_view NextToken(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && IsSeparator(line[pos])) ++pos;
  const std::size_t start = pos;
  pos = FindSeparator(line, pos);
  return line.substr(start, pos - start);
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

// The fuses of 8 digits as 8 bits, first digit in bit 0: a digit other than '0' is a 1.
std::uint8_t FusesOf8(const char* digits) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t x = 0;
    std::memcpy(&x, digits, sizeof x);  // digit i in byte i
    x ^= 0x3030303030303030u;           // a '0' becomes a zero byte
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    const std::uint64_t nonzero = (((x & kLow7) + kLow7) | x) & 0x8080808080808080u;
    // Gather bit 7 of byte i into bit 56 + i, then take the top byte.
    return static_cast<std::uint8_t>(((nonzero >> 7) * 0x0102040810204080u) >> 56);
  } else {
    std::uint8_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint8_t>((digits[i] != '0') << i);
    return bits;
  }
}

// Fuse fnum + i is 0 for a '0' at digits[i] and 1 for any other character. Whole words of the array are
// set 16 fuses at a time.
void write_j2f(long fnum, std::string_view digits, FuseArray& fuse) {
  const auto count = static_cast<long>(digits.size());
  long i = 0;
  for (; i < count && (fnum + i) % 16 != 0; ++i) fuse.write_fuse(fnum + i, digits[i] == '0' ? 0 : 1);
  for (; count - i >= 16; i += 16) {
    const char* d = digits.data() + i;
    const auto bits = static_cast<std::uint16_t>(FusesOf8(d) | (FusesOf8(d + 8) << 8));
    fuse.write_word(static_cast<std::size_t>((fnum + i) / 16), bits);
  }
  for (; i < count; ++i) fuse.write_fuse(fnum + i, digits[i] == '0' ? 0 : 1);
}

// The rest of `in`, read at once. When the stream can tell its position, everything from the start of
// the stream is read and `start` is where the reader stood; otherwise `start` is 0.
std::string ReadAll(std::istream& in, std::size_t& start) {
  std::string text;
  start = 0;
  const std::streampos here = in.tellg();
  if (here != std::streampos(-1)) {
    in.seekg(0, std::ios::end);
    const std::streampos end = in.tellg();
    in.seekg(0);
    if (end != std::streampos(-1) && in) {
      start = static_cast<std::size_t>(static_cast<std::streamoff>(here));
      text.resize(static_cast<std::size_t>(static_cast<std::streamoff>(end)));
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<std::size_t>(in.gcount()));
      if (start > text.size()) start = text.size();
    } else {
      in.clear();
      in.seekg(here);
    }
  }
  std::array<char, 65536> chunk;
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  return text;
}

// Walks the lines of a text: LF, CR LF or a lone CR ends a line; a last line without one counts.
class LineScanner {
 public:
  LineScanner(std::string_view text, std::size_t pos) : text_(text), pos_(pos) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const util::LineBounds bounds = util::FindLineEnd(text_, pos_);
    line = text_.substr(pos_, bounds.end - pos_);
    pos_ = bounds.next;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_;
};

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
  std::size_t pos = 0;
  const std::string_view start = NextToken(line, pos);
  const std::string_view digits = NextToken(line, pos);
  if (digits.empty()) return true;
  const long first = get_fuseNum(start);
  const auto count = static_cast<long>(digits.size());
  if (first < 0 || first > fuse.TotalFuseNum() || count > fuse.TotalFuseNum() - first) return false;
  write_j2f(first, digits, fuse);
  return true;
}

int read_jedec(std::istream& in, const std::string& name, int expected_id, FuseArray& fuse) {
  std::size_t start = 0;
  const std::string text = ReadAll(in, start);

  // First pass: the first line outside NOTE lines that names a fuse count decides the part.
  LineScanner first_pass(text, start);
  std::string_view line;
  int found = 0;
  while (found == 0 && first_pass.Next(line)) {
    if (line.find("NOTE") != std::string_view::npos) continue;
    found = QfPartCode(line, expected_id);
  }
  if (found == 0) return kJedecNoLegalDevice;
  if (found != expected_id) return kJedecOtherPart;

  // Second pass, from the top: every line that starts with 'L'.
  LineScanner lines(text, 0);
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
  // The system's reason goes with the failure: a folder opens like a file here and would read as an empty
  // design of no known part.
  auto open_failed = [&name](int error) {
    return FatalError(kErrJedecOpen, name + ": File open failed. (" + std::strerror(error) + ")");
  };
  std::error_code ec;
  if (std::filesystem::is_directory(open_path, ec)) throw open_failed(EISDIR);
  errno = 0;
  std::ifstream in(open_path, std::ios::binary);
  if (!in) throw open_failed(errno != 0 ? errno : ENOENT);
  return read_jedec(in, name, expected_id, fuse);
}

int read_jedec(const std::string& name, int expected_id, FuseArray& fuse) {
  return read_jedec(name, util::NativePath(name), expected_id, fuse);
}

}  // namespace zepa::fusemap
