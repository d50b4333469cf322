#include "sim/board_file.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "util/files.h"
#include "util/text.h"

namespace zepa::sim {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    std::size_t j = i;
    while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
    if (j > i) words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

class Parser {
 public:
  Parser(const std::string& source) : source_(source) {}

  [[noreturn]] void Fail(const std::string& what) const {
    throw BoardFileError(source_ + ":" + std::to_string(line_) + ": " + what);
  }

  void Line(int number, std::string_view text) {
    line_ = number;
    if (auto hash = text.find('#'); hash != text.npos) text = text.substr(0, hash);
    const auto words = Words(text);
    if (words.empty()) return;
    const std::string key = util::ToLowerAscii(words[0]);
    if (key == "port") {
      Port(words);
    } else if (key == "cable") {
      Cable(words);
    } else if (key == "device") {
      Device(words);
    } else if (key == "tck") {
      Tck(words);
    } else {
      Fail("unknown word '" + std::string(words[0]) + "' (expected port, cable, tck or device)");
    }
  }

  BoardSpec Take() {
    // The slave-serial pins take the cable's lines: nothing else can be on them.
    for (const DeviceSpec& dev : spec_.devices) {
      if (dev.slave_serial && spec_.devices.size() > 1) {
        line_ = dev.line;
        Fail("a device wired for slave-serial configuration must be the board's only device");
      }
    }
    return std::move(spec_);
  }

 private:
  void Port(const std::vector<std::string_view>& words) {
    if (seen_port_) Fail("a second port line");
    seen_port_ = true;
    if (words.size() != 2) Fail("a port line gives one address: 278, 378 or 3BC");
    std::string value = util::ToLowerAscii(words[1]);
    if (value.size() > 1 && value.back() == 'h') value.pop_back();
    if (value == "278") {
      spec_.port = 0x278;
    } else if (value == "378") {
      spec_.port = 0x378;
    } else if (value == "3bc") {
      spec_.port = 0x3BC;
    } else {
      Fail("port '" + std::string(words[1]) + "' is not 278, 378 or 3BC");
    }
  }

  void Cable(const std::vector<std::string_view>& words) {
    if (seen_cable_) Fail("a second cable line");
    seen_cable_ = true;
    if (words.size() != 2) Fail("a cable line names one cable: relay, corvane, byteblaster or none");
    const std::string value = util::ToLowerAscii(words[1]);
    if (value == "relay") {
      spec_.cable = CableType::kRelay;
    } else if (value == "corvane") {
      spec_.cable = CableType::kCorvane;
    } else if (value == "byteblaster") {
      spec_.cable = CableType::kByteBlaster;
    } else if (value == "none") {
      spec_.cable = CableType::kNone;
    } else {
      Fail("unknown cable '" + std::string(words[1]) + "' (relay, corvane, byteblaster or none)");
    }
  }

  void Tck(const std::vector<std::string_view>& words) {
    if (seen_tck_) Fail("a second tck line");
    seen_tck_ = true;
    if (words.size() != 2) Fail("a tck line gives the shortest half clock in nanoseconds, as in 'tck 500ns'");
    std::string value = util::ToLowerAscii(words[1]);
    if (value.size() > 2 && value.ends_with("ns")) value.resize(value.size() - 2);
    std::int64_t ns = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), ns);
    if (error != std::errc() || end != value.data() + value.size() || ns < 1 || ns > 1'000'000'000)
      Fail("tck '" + std::string(words[1]) + "' is not a half clock of 1 to 1000000000 nanoseconds");
    spec_.min_half_clock_ns = ns;
  }

  void Device(const std::vector<std::string_view>& words) {
    if (words.size() < 2) Fail("a device line names a part");
    if (spec_.devices.size() >= kMaxBoardDevices)
      Fail("more than " + std::to_string(kMaxBoardDevices) + " devices");
    DeviceSpec dev;
    dev.line = line_;
    dev.part = FindPart(words[1]);
    if (dev.part == nullptr) Fail("unknown part '" + std::string(words[1]) + "'");
    dev.ir_length = dev.part->ir_length;
    if (dev.part->family != Family::kOther) dev.idcode = DefaultIdcode(*dev.part);
    bool seen_secured = false, seen_irlen = false, seen_idcode = false, seen_capture = false;
    bool seen_serial = false;
    for (std::size_t i = 2; i < words.size(); ++i) {
      const std::string word = util::ToLowerAscii(words[i]);
      if (word == "secured") {
        if (seen_secured) Fail("'secured' given twice");
        seen_secured = true;
        dev.secured = true;
      } else if (word == "slave-serial") {
        if (seen_serial) Fail("'slave-serial' given twice");
        seen_serial = true;
        if (dev.part->family != Family::kZepa2)
          Fail("part '" + std::string(words[1]) + "' has no slave-serial configuration (ZEPA2 parts only)");
        dev.slave_serial = true;
      } else if (word.starts_with("irlen=")) {
        if (seen_irlen) Fail("irlen given twice");
        seen_irlen = true;
        dev.ir_length = Number(word.substr(6), 10, "irlen");
        if (dev.ir_length < 2 || dev.ir_length > 32) Fail("irlen=" + word.substr(6) + " is outside 2..32");
      } else if (word.starts_with("idcode=")) {
        if (seen_idcode) Fail("idcode given twice");
        seen_idcode = true;
        const std::string value = word.substr(7);
        if (value == "none") {
          dev.idcode.reset();
        } else {
          if (!value.starts_with("0x") || value.size() < 3 || value.size() > 10)
            Fail("idcode '" + std::string(words[i]).substr(7) + "' is not 0x and 1 to 8 hexadecimal digits");
          dev.idcode = static_cast<std::uint32_t>(Number(value.substr(2), 16, "idcode"));
        }
      } else if (word.starts_with("ircapture=")) {
        if (seen_capture) Fail("ircapture given twice");
        seen_capture = true;
        const std::string value = word.substr(10);
        if (!value.starts_with("0x") || value.size() < 3 || value.size() > 10)
          Fail("ircapture '" + std::string(words[i]).substr(10) +
               "' is not 0x and 1 to 8 hexadecimal digits");
        dev.ir_capture = static_cast<std::uint32_t>(Number(value.substr(2), 16, "ircapture"));
        if ((*dev.ir_capture & 3u) != 1u)
          Fail("ircapture '" + std::string(words[i]).substr(10) + "' does not end in binary 01");
      } else {
        Fail("unknown device word '" + std::string(words[i]) +
             "' (secured, slave-serial, irlen=N, idcode=0xHEX, ircapture=0xHEX)");
      }
    }
    if (dev.ir_length == 0) Fail("part '" + std::string(words[1]) + "' needs irlen=N");
    if (dev.ir_capture && dev.ir_length < 32 && (*dev.ir_capture >> dev.ir_length) != 0)
      Fail("ircapture does not fit irlen=" + std::to_string(dev.ir_length));
    spec_.devices.push_back(dev);
  }

  long long Number(const std::string& text, int base, const char* what) const {
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end)
      Fail(std::string(what) + " '" + text + "' is not a number");
    return value;
  }

  std::string source_;
  int line_ = 0;
  bool seen_port_ = false;
  bool seen_cable_ = false;
  bool seen_tck_ = false;
  BoardSpec spec_;
};

}  // namespace

std::string DeviceSpec::Canonical() const {
  std::string out = part->name;
  out += " irlen=" + std::to_string(ir_length);
  if (idcode) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(*idcode));
    out += " idcode=";
    out += hex;
  } else {
    out += " idcode=none";
  }
  if (ir_capture) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(*ir_capture));
    out += " ircapture=";
    out += hex;
  }
  if (secured) out += " secured";
  return out;
}

BoardSpec ParseBoardText(std::string_view text, const std::string& source) {
  Parser parser(source);
  int number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == text.npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    parser.Line(++number, line);
    if (end == text.size()) break;
    start = end + 1;
  }
  return parser.Take();
}

BoardSpec ReadBoardFile(const std::string& path) {
  const std::optional<std::string> text = util::ReadFile(path);
  if (!text) throw BoardFileError(path + ": cannot open the board file");
  return ParseBoardText(*text, path);
}

const char* CableWord(CableType cable) {
  switch (cable) {
    case CableType::kRelay:
      return "relay";
    case CableType::kCorvane:
      return "corvane";
    case CableType::kByteBlaster:
      return "byteblaster";
    case CableType::kNone:
      break;
  }
  return "none";
}

}  // namespace zepa::sim
