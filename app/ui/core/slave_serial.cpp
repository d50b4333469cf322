#include "ui/core/slave_serial.h"

#include "engine/cable.h"
#include "engine/jtag.h"
#include "util/files.h"
#include "util/hex.h"
#include "util/lines.h"
#include "util/path.h"

namespace zepa::ui {
namespace {

// Waits of the load, in milliseconds: PROG held low, and the part's start-up after an MCS stream.
constexpr int kProgLowMs = 11;
constexpr int kMcsSettleMs = 11;
constexpr std::size_t kProgressStep = 8192;  // bits between two progress reports

std::string At(const std::string& name, std::size_t line) {
  return name + " line " + std::to_string(line) + ": ";
}

std::string Shown(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7F) return std::string("'") + c + "'";
  return std::string("byte ") + util::HexDigitChar(u >> 4) + util::HexDigitChar(u) + "h";
}

// The value of the two hex digits at `at`, or -1.
int ByteAt(std::string_view line, std::size_t at) {
  const int high = util::HexDigitValue(line[at]), low = util::HexDigitValue(line[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

std::optional<ConfigFileKind> config_file_kind(std::string_view path) {
  if (util::HasExtension(path, ".mcs")) return ConfigFileKind::kMcs;
  if (util::HasExtension(path, ".bit")) return ConfigFileKind::kBit;
  return std::nullopt;
}

SerialBits read_bit_stream(std::string_view text, const std::string& name) {
  SerialBits bits;
  bits.reserve(text.size());
  std::size_t number = 0;
  for (const std::string& line : util::SplitLines(text)) {
    ++number;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c != '0' && c != '1' && c != ' ' && c != '\t') {
        throw ConfigFileError(
            At(name, number) + Shown(c) + " in column " + std::to_string(i + 1) + " is not a bit (0 or 1)",
            false);
      }
      bits.push_back(c == '1' ? 1 : 0);
    }
  }
  return bits;
}

SerialBits read_mcs_stream(std::string_view text, const std::string& name) {
  SerialBits bits;
  std::size_t number = 0;
  for (std::string line : util::SplitLines(text)) {
    ++number;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty() || line[0] != ':') continue;  // not a record
    const std::string at = At(name, number);
    if (line.size() < 11)
      throw ConfigFileError(
          at + "a record of " + std::to_string(line.size()) + " characters is too short (at least 11)",
          false);
    for (std::size_t i = 1; i < 9; ++i) {
      if (util::HexDigitValue(line[i]) < 0)
        throw ConfigFileError(at + Shown(line[i]) +
                                  " in the record's byte count, address or type is not a "
                                  "hexadecimal digit",
                              false);
    }
    const int count = ByteAt(line, 1);
    const std::size_t expected = 11 + 2 * static_cast<std::size_t>(count);
    // The data and checksum digits before the length: a stray character says more than a count.
    for (std::size_t i = 9; i < std::min(line.size(), expected); ++i) {
      if (util::HexDigitValue(line[i]) < 0)
        throw ConfigFileError(
            at + Shown(line[i]) + " in column " + std::to_string(i + 1) + " is not a hexadecimal digit",
            i < expected - 2);
    }
    if (line.size() != expected) {
      throw ConfigFileError(at + "the record has " + std::to_string(line.size()) +
                                " characters; its byte count " + std::to_string(count) + " needs " +
                                std::to_string(expected),
                            false);
    }
    int sum = 0;
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) sum += ByteAt(line, i);
    if (sum % 256 != 0) {
      const int given = ByteAt(line, line.size() - 2);
      const int right = (given - sum) & 0xFF;
      const std::string hex{util::HexDigitChar(right >> 4), util::HexDigitChar(right)};
      throw ConfigFileError(
          at + "wrong checksum " + line.substr(line.size() - 2) + " (the record's bytes need " + hex + ")",
          false);
    }
    if (line[7] != '0' || line[8] != '0') continue;  // address and end records carry no data
    for (int b = 0; b < count; ++b) {
      const int value = ByteAt(line, 9 + 2 * static_cast<std::size_t>(b));
      for (int bit = 0; bit < 8; ++bit) bits.push_back(static_cast<std::uint8_t>((value >> bit) & 1));
    }
  }
  return bits;
}

SerialBits read_config_file(const std::string& path) {
  const std::optional<ConfigFileKind> kind = config_file_kind(path);
  if (!kind) throw ConfigFileError(path + ": " + std::string(kNotConfigFile), false);
  std::string reason;
  const std::optional<std::string> text = util::ReadFile(path, &reason);
  if (!text) throw ConfigFileError(path + ": " + reason, false);
  SerialBits bits =
      *kind == ConfigFileKind::kMcs ? read_mcs_stream(*text, path) : read_bit_stream(*text, path);
  if (bits.empty())
    throw ConfigFileError(path + (*kind == ConfigFileKind::kMcs ? ": no data record" : ": no bit"), false);
  return bits;
}

SlaveSerialOutcome configure_slave_serial(engine::IspEngine& engine, const RunSettings& settings,
                                          const std::string& path, SlaveSerialStats* stats) {
  engine::Cable& cable = engine.cable();
  engine::Jtag& jtag = engine.jtag();
  engine::MessageSink& messages = cable.host().messages;
  chain::Prompts& prompts = cable.host().prompts;

  const std::optional<ConfigFileKind> kind = config_file_kind(path);
  if (!kind) {
    prompts.error(kNotConfigFile);
    return SlaveSerialOutcome::kBadFile;
  }
  SerialBits bits;
  try {
    bits = read_config_file(path);
  } catch (const ConfigFileError& e) {
    if (e.non_hex()) messages.add_message(kNonHexLine);
    prompts.error(e.what());
    return SlaveSerialOutcome::kBadFile;
  }
  if (stats != nullptr) stats->bits = bits.size();

  // The lines of this load only: no pin vectors are recorded.
  cable.IspOptions = settings.IspOptions & ~engine::kOptBif;
  cable.OffLine = settings.OffLine;
  cable.tck_delay_ns = settings.tck_delay_ns;
  cable.ApplyCable(settings.port.cable);
  try {
    if (!cable.SelectPort(settings.port.port_index)) return SlaveSerialOutcome::kNoPort;
  } catch (const engine::EPyk&) {
    return SlaveSerialOutcome::kNoPort;  // no port answered; the engine has said so
  }
  if (!settings.OffLine && !cable.CheckCablePresent()) {
    messages.add_message(cable.Map().warning_line);
    return SlaveSerialOutcome::kNoPort;
  }

  messages.add_message("Slave serial configuration: " + path + " (" + std::to_string(bits.size()) + " bits)");
  if (cable.CorvaneCableMode()) {
    cable.SetPin(cable.PinCtl1(), 0);
    cable.SetPin(cable.PinCtl2(), 1);
  }
  // A PROG pulse clears the part, which then takes DIN on each rising CCLK edge.
  cable.SetPin(cable.PinTMS(), 0);
  jtag.Delay(kProgLowMs);
  cable.SetPin(cable.PinTMS(), 1);
  const std::uint8_t cclk = cable.PinTCK(), din = cable.PinTDI();
  for (std::size_t i = 0; i < bits.size(); ++i) {
    cable.SetPin(cclk, 1);
    cable.SetPin(din, bits[i]);
    cable.SetPin(cclk, 0);
    if ((i + 1) % kProgressStep == 0)
      messages.progress(static_cast<long>(i + 1), static_cast<long>(bits.size()));
  }
  messages.progress(static_cast<long>(bits.size()), static_cast<long>(bits.size()));
  if (*kind == ConfigFileKind::kMcs) jtag.Delay(kMcsSettleMs);
  const bool done = cable.ReadTdo() == 1;
  cable.Flush();
  if (done) {
    prompts.info(kConfigDone);
    return SlaveSerialOutcome::kDone;
  }
  prompts.error(kConfigNotDone);
  return SlaveSerialOutcome::kNotDone;
}

}  // namespace zepa::ui
