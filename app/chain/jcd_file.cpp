#include "chain/jcd_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

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

// A number of a chain-file line: its value (saturated, negative when a '-' stands right before the digits)
// and its text as written, for messages.
struct Number {
  long value = 0;
  std::string_view text;
};

// The next run of digits at or after `pos` (skipping anything before it), or nothing.
std::optional<Number> next_number(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && !is_digit(line[pos])) ++pos;
  if (pos >= line.size()) return std::nullopt;
  const bool negative = pos > 0 && line[pos - 1] == '-';
  const std::size_t start = negative ? pos - 1 : pos;
  const long value = read_number(line, pos);
  return Number{negative ? -value : value, line.substr(start, pos - start)};
}

// The next run of token characters at or after `pos` (skipping anything before it); empty at the end.
std::string_view next_token(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && !is_token_char(line[pos])) ++pos;
  const std::size_t start = pos;
  while (pos < line.size() && is_token_char(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

// Faults of a chain file's lines, each told with its line number.
class Problems {
 public:
  void set_line(std::size_t number) { line_ = number; }
  void add(const std::string& what) { list_.push_back("line " + std::to_string(line_) + ": " + what); }
  std::vector<std::string> take() { return std::move(list_); }

 private:
  std::size_t line_ = 0;
  std::vector<std::string> list_;
};

std::string positions_text() {
  return "positions are 1.." + std::to_string(ChainTable::MaxDevices);
}

void read_total_device(ChainTable& table, std::string_view line, Problems& problems) {
  std::size_t pos = line.rfind('E') + 2;  // the line contains "TOTAL_DEVICE", so there is an 'E'
  long count = 0;
  bool digits = false;
  bool negative = false;
  for (; pos < line.size(); ++pos) {
    if (!is_digit(line[pos])) continue;
    if (!digits && pos > 0 && line[pos - 1] == '-') negative = true;
    digits = true;
    count = std::min(count * 10 + (line[pos] - '0'), kNumberLimit);
  }
  if (negative) {
    problems.add("the device count cannot be negative");
  } else if (count > ChainTable::MaxDevices) {
    problems.add("TOTAL_DEVICE " + std::to_string(count) + " is more than the " +
                 std::to_string(ChainTable::MaxDevices) + " devices a chain can hold");
  }
  table.DeviceCount = static_cast<int>(std::min<long>(count, ChainTable::MaxDevices));
}

// The position a DEVICE or UES line names, when it is one of the table's.
std::optional<int> read_position(std::string_view line, std::size_t& pos, std::string_view what,
                                 Problems& problems) {
  const std::optional<Number> n = next_number(line, pos);
  if (!n) return std::nullopt;
  if (n->value < 1 || n->value > ChainTable::MaxDevices) {
    problems.add(std::string(what) + " " + std::string(n->text) + ": " + positions_text());
    return std::nullopt;
  }
  return static_cast<int>(n->value);
}

void read_device_line(ChainTable& table, std::string_view line, Problems& problems) {
  std::size_t pos = std::min(line.find('D') + 6, line.size());
  const std::optional<int> n = read_position(line, pos, "DEVICE", problems);
  if (!n) return;
  const std::string_view part = next_token(line, pos);
  const std::optional<Number> ir_length = next_number(line, pos);
  const std::string_view word = next_token(line, pos);
  // The design file runs from its first visible character to the end of the line, blanks included. A name
  // that starts with a character beyond 'z' ('~', '|', non-ASCII) keeps that character.
  while (pos < line.size() && static_cast<unsigned char>(line[pos]) <= 32) ++pos;
  std::string_view design = line.substr(pos);
  // A path with blanks is written in double quotes.
  if (design.size() > 1 && design.front() == '"') {
    const std::size_t close = design.find('"', 1);
    if (close != std::string_view::npos) design = design.substr(1, close - 1);
  }

  ChainDevice& dev = table[*n];
  dev.loc = *n;
  dev.part = part_code(part);
  dev.cmnd = command_code(word);
  dev.cmnd_word = dev.cmnd == kOpUnknown ? word : std::string_view();
  dev.IR_len = ir_length ? ir_code_from_length(ir_length->value) : kIrUnknown;
  if (ir_length && dev.IR_len == kIrUnknown) {
    problems.add("IR length " + std::string(ir_length->text) + " of device #" + std::to_string(*n) +
                 " is not one of 2..10 or 16");
  }
  dev.jed = design;
}

void read_ues_line(ChainTable& table, std::string_view line, Problems& problems) {
  std::size_t pos = line.find('S');
  const std::optional<int> n = read_position(line, pos, "UES", problems);
  if (!n) return;
  while (pos < line.size() && !is_token_char(line[pos])) ++pos;
  if (pos < line.size()) ++pos;  // the '$'
  table[*n].ues = line.substr(pos);
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
    // fusebuild splits device lines at blanks: a path with blanks goes in double quotes, which both readers
    // take off again.
    const bool quoted = jed.find_first_of(" \t") != std::string_view::npos;
    if (quoted) line += '"';
    line += jed;
    if (quoted) line += '"';
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

std::vector<std::string> parse_jcd(ChainTable& table, std::string_view text) {
  ChainTable read = table;
  Problems problems;
  bool device_section = false;
  std::size_t number = 0;
  for (const std::string& line : util::SplitLines(text)) {
    problems.set_line(++number);
    if (contains(line, "TOTAL_DEVICE")) {
      read_total_device(read, line, problems);
      device_section = true;
    }
    if (contains(line, "User Electronic Signature")) device_section = false;
    if (device_section && contains(line, "DEVICE") && !contains(line, "_DEV"))
      read_device_line(read, line, problems);
    if (!device_section && contains(line, "UES") && contains(line, "$")) read_ues_line(read, line, problems);
  }
  std::vector<std::string> faults = problems.take();
  if (!faults.empty()) return faults;
  table = std::move(read);
  clear_results(table);
  return faults;
}

bool load_jcd(ChainTable& table, const std::string& path, std::string* error) {
  std::string reason;
  const auto text = util::ReadFile(path, &reason);
  if (!text) {
    if (error != nullptr) *error = path + ": " + reason;
    return false;
  }
  const std::vector<std::string> faults = parse_jcd(table, *text);
  if (faults.empty()) return true;
  if (error != nullptr) {
    *error = path + ": not a usable chain file";
    for (const std::string& fault : faults) *error += "\r" + fault;
  }
  return false;
}

namespace {

bool has_marker(std::string_view text, std::string_view marker) {
  for (const std::string& line : util::SplitLines(text)) {
    if (contains(line, marker)) return true;
  }
  return false;
}

// The checked load of both loaders: a file that cannot be read is told with the system's reason, one
// without the marker with `no_marker`, a refused one with its faults. True when the table was read.
bool checked_load(ChainTable& table, const std::string& path, std::string_view marker,
                  const std::string& no_marker, Prompts& prompts) {
  std::string reason;
  const auto text = util::ReadFile(path, &reason);
  if (!text) {
    prompts.error(path + ": " + reason);
    return false;
  }
  if (!has_marker(*text, marker)) {
    prompts.error(no_marker);
    return false;
  }
  const std::vector<std::string> faults = parse_jcd(table, *text);
  if (faults.empty()) return true;
  std::string error = path + ": not a usable chain file";
  for (const std::string& fault : faults) error += "\r" + fault;
  prompts.error(error);
  return false;
}

}  // namespace

bool open_jcd(ChainTable& table, const std::string& path, Prompts& prompts) {
  bool loaded = false;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    loaded = checked_load(table, path, kJcdMarker, "Not a valid JCD file or not allow to access.", prompts);
    if (loaded) table.JcdPath = path;
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
  return checked_load(table, path, kBatchJcdMarker, "Not a valid Corvane' JCD file", prompts);
}

}  // namespace zepa::chain
