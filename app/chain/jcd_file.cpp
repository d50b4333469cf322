#include "chain/jcd_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "chain/text_file.h"
#include "util/files.h"
#include "util/lines.h"

namespace zepa::chain {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr long kNumberLimit = 1'000'000;  // digit runs saturate here: any such number is out of range anyway

bool contains(std::string_view line, std::string_view what) {
  return line.find(what) != std::string_view::npos;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Characters that make up the part and command tokens: '!' to 'z'.
bool is_token_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 33 && u <= 122;
}

// A text stored in one line of the file ends at its first line break, so that it cannot spill into
// (and be read back as) lines of its own.
std::string_view one_line(std::string_view text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

// Reads the run of digits at `pos` (which must be a digit), saturating, and moves past it.
long read_number(std::string_view line, std::size_t& pos) {
  long value = 0;
  while (pos < line.size() && is_digit(line[pos])) {
    value = std::min(value * 10 + (line[pos] - '0'), kNumberLimit);
    ++pos;
  }
  return value;
}

// The next run of digits at or after `pos` (skipping anything before it), or nothing.
std::optional<long> next_number(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && !is_digit(line[pos])) ++pos;
  if (pos >= line.size()) return std::nullopt;
  return read_number(line, pos);
}

// The next run of token characters at or after `pos` (skipping anything before it); empty at the end.
std::string_view next_token(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && !is_token_char(line[pos])) ++pos;
  const std::size_t start = pos;
  while (pos < line.size() && is_token_char(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

int read_total_device(std::string_view line) {
  std::size_t pos = line.rfind('E') + 2;  // the line contains "TOTAL_DEVICE", so there is an 'E'
  long count = 0;
  for (; pos < line.size(); ++pos) {
    if (is_digit(line[pos])) count = std::min(count * 10 + (line[pos] - '0'), kNumberLimit);
  }
  return static_cast<int>(std::min<long>(count, ChainTable::MaxDevices));
}

void read_device_line(ChainTable& table, std::string_view line) {
  std::size_t pos = std::min(line.find('D') + 6, line.size());
  const std::optional<long> n = next_number(line, pos);
  if (!n || !ChainTable::valid_position(static_cast<int>(*n))) return;
  const std::string_view part = next_token(line, pos);
  const std::optional<long> ir_length = next_number(line, pos);
  const std::string_view word = next_token(line, pos);
  // The design file runs from its first visible character to the end of the line, blanks included. A name
  // that starts with a character beyond 'z' ('~', '|', non-ASCII) keeps that character.
  while (pos < line.size() && static_cast<unsigned char>(line[pos]) <= 32) ++pos;

  ChainDevice& dev = table[static_cast<int>(*n)];
  dev.loc = static_cast<int>(*n);
  dev.part = part_code(part);
  dev.cmnd = command_code(word);
  dev.IR_len = ir_length ? ir_code_from_length(*ir_length) : kIrUnknown;
  dev.jed = line.substr(pos);
}

void read_ues_line(ChainTable& table, std::string_view line) {
  std::size_t pos = line.find('S');
  const std::optional<long> n = next_number(line, pos);
  if (!n || !ChainTable::valid_position(static_cast<int>(*n))) return;
  while (pos < line.size() && !is_token_char(line[pos])) ++pos;
  if (pos < line.size()) ++pos;  // the '$'
  table[static_cast<int>(*n)].ues = line.substr(pos);
}

}  // namespace

std::string jcd_device_line(int n, const ChainDevice& dev) {
  std::string line = "DEVICE " + std::to_string(n) + std::string(11, ' ');
  line += part_name(dev.part);
  if (line.size() < 31) line.resize(31, ' ');
  line += "     ";
  line += ir_length_text(dev.IR_len);
  line += "     ";
  line += "    ";
  line += command_word(dev.cmnd);
  line += "  ";
  const std::string_view jed = one_line(dev.jed);
  if (!jed.empty()) {
    line += "    ";
    line += jed;
  }
  return line;
}

std::string format_jcd(const ChainTable& table) {
  const int count = table.device_count();
  std::string out;
  auto put = [&out](std::string_view line) {
    out += line;
    out += kCrLf;
  };
  put(kJcdHeader);
  put("TOTAL_DEVICE " + std::to_string(count));
  put("#device location    Part      IR length    Operation  Jedec file");
  put("#---------------   --------   ---------    ---------  ---------------");
  for (int n = 1; n <= count; ++n) put(jcd_device_line(n, table[n]));
  put("");
  put("#User Electronic Signature");
  put("#" + std::string(60, '-'));
  for (int n = 1; n <= count; ++n) {
    std::string line = "UES " + std::to_string(n) + " $";
    line += one_line(table[n].ues);
    put(line);
  }
  return out;
}

void write_jcd(ChainTable& table, const std::string& path) {
  write_file_replacing(path, format_jcd(table));
  table.JcdPath = path;
}

bool check_jcd(const std::string& path, std::string_view marker) {
  const auto lines = util::ReadLines(path);
  if (!lines) return false;
  return std::any_of(lines->begin(), lines->end(),
                     [marker](const std::string& line) { return contains(line, marker); });
}

void parse_jcd(ChainTable& table, std::string_view text) {
  bool device_section = false;
  for (const std::string& line : util::SplitLines(text)) {
    if (contains(line, "TOTAL_DEVICE")) {
      table.DeviceCount = read_total_device(line);
      device_section = true;
    }
    if (contains(line, "User Electronic Signature")) device_section = false;
    if (device_section && contains(line, "DEVICE") && !contains(line, "_DEV")) read_device_line(table, line);
    if (!device_section && contains(line, "UES") && contains(line, "$")) read_ues_line(table, line);
  }
  clear_results(table);
}

bool load_jcd(ChainTable& table, const std::string& path) {
  const auto text = util::ReadFile(path);
  if (!text) return false;
  parse_jcd(table, *text);
  return true;
}

bool open_jcd(ChainTable& table, const std::string& path, Prompts& prompts) {
  bool loaded = false;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    if (check_jcd(path, kJcdMarker)) {
      table.JcdPath = path;
      loaded = load_jcd(table, path);
    } else {
      prompts.error("Not a valid JCD file or not allow to access.");
    }
  }
  clear_results(table);
  return loaded;
}

bool load_batch_jcd(ChainTable& table, const std::string& path, Prompts& prompts) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    prompts.error(path + "\rfile not found!");
    return false;
  }
  if (!check_jcd(path, kBatchJcdMarker)) {
    prompts.error("Not a valid Corvane' JCD file");
    return false;
  }
  return load_jcd(table, path);
}

}  // namespace zepa::chain
