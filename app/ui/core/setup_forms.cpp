#include "ui/core/setup_forms.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <stdexcept>

#include "engine/isp_options.h"
#include "port/port_backends.h"

namespace zepa::ui {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<int> parse_device_count(std::string_view text) {
  text = trim(text);
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) return INT_MAX;
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool apply_port_setup_form(Programmer& programmer, const PortSetup& form, std::string_view count_text,
                           chain::Prompts& prompts) {
  const std::optional<int> count = parse_device_count(count_text);
  if (!count) {
    prompts.error("'" + std::string(count_text) + "' is not a valid whole number.");
    return false;
  }
  PortSetup& port = programmer.settings.port;
  const int previous_count = port.device_count_box;
  port.port_index = form.port_index;
  port.cable = form.cable;
  port.device_count_box = *count;
  if (!programmer.apply_port_setup()) {
    port.device_count_box = previous_count;
    return false;
  }
  return true;
}

std::string port_choice_problem(const PortChoice& choice) {
  if (choice.kind == PortChoice::Kind::kSim) {
    if (choice.argument.empty()) return "Choose the simulated board file.";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(choice.argument, ec)) return "Can not find: " + choice.argument;
    return {};
  }
  if (choice.backend == "remote") {
    try {
      port::ParseRemoteAddress(choice.argument);
    } catch (const std::invalid_argument&) {
      return "Name the remote_bitbang server as HOST:PORT (\"" + choice.argument + "\" given).";
    }
  }
  if (choice.backend == "ppdev" && !choice.argument.empty()) {
    try {
      port::PpdevConfig config;
      port::AddPortMapping(config, choice.argument);
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
  }
  return {};
}

DebugTicks debug_ticks(const RunSettings& settings) {
  const int bits = settings.IspOptions;
  return {.verify_log = (bits & engine::kOptVerifyLog) != 0,
          .standard_frame = (bits & engine::kOptStandardFrame) != 0,
          .off_line = settings.OffLine,
          .reserved = false,
          .active_io_verify = settings.ActiveIoVerify,
          .fuse_listing = (bits & engine::kOptFuseListing) != 0};
}

void apply_debug_ticks(RunSettings& settings, const DebugTicks& ticks) {
  settings.ActiveIoVerify = ticks.active_io_verify;
  settings.OffLine = ticks.off_line;
  int bits = settings.IspOptions & ~(engine::kOptFuseListing | engine::kOptOffLine | engine::kOptVerifyLog |
                                     engine::kOptStandardFrame);
  if (ticks.fuse_listing) bits |= engine::kOptFuseListing;
  if (ticks.off_line) bits |= engine::kOptOffLine;
  if (ticks.verify_log) bits |= engine::kOptVerifyLog;
  if (ticks.standard_frame) bits |= engine::kOptStandardFrame;
  settings.IspOptions = bits;
}

DeviceIdTexts device_id_texts(const chain::ChainTable& table, int n) {
  DeviceIdTexts texts;
  if (!chain::ChainTable::valid_position(n)) return texts;
  const chain::ChainDevice& dev = table[n];
  texts.device = std::to_string(n);
  if (dev.secure == '1') texts.state = "not secured";
  if (dev.secure == '0') texts.state = "secured";
  texts.idcode = (dev.idcode.str() + " (lsb..msb)").substr(0, 44);
  texts.version = dev.id_ver.str();
  texts.architecture = dev.id_arch.str();
  texts.technology = dev.id_tech.str();
  texts.macrocells = dev.id_mc.str();
  texts.voltage = dev.id_volt.str();
  texts.package = dev.id_pkg.str();
  texts.manufacturer = dev.id_mft.str();
  texts.bit0 = dev.id_bit0.str();
  return texts;
}

int device_id_start(const chain::ChainTable& table, int current) {
  for (int n = 1; n <= table.device_count(); ++n) {
    if (table[n].cmnd == chain::kOpReadId) return n;
  }
  return current;
}

int device_id_step(const chain::ChainTable& table, int current, int step) {
  const int next = current + step;
  if (step > 0 && next > table.device_count()) return current;
  if (step < 0 && next < 1) return current;
  return next;
}

std::vector<std::string> review_lines(const chain::ChainTable& table) {
  const int count = table.device_count();
  std::vector<std::string> lines(
      static_cast<std::size_t>(std::max(count, kReviewMinDevices) * kReviewLinesPerDevice));
  auto out = lines.begin();
  for (int n = 1; n <= count; ++n) {
    const chain::ChainDevice& dev = table[n];
    const char* security = dev.secure == '0'   ? "Security: Secure"
                           : dev.secure == '1' ? "Security: Not secure"
                                               : "Security:";
    for (std::string line :
         {std::string(102, '-'), "Device #" + std::to_string(n), "Design file: " + dev.jed.str(),
          std::string(security), "Version: " + dev.id_ver.str(), "Architecture: " + dev.id_arch.str(),
          "Technology: " + dev.id_tech.str(), "Macrocell #: " + dev.id_mc.str(),
          "Package: " + dev.id_pkg.str(), "Voltage: " + dev.id_volt.str(),
          "Manufacture ID: " + dev.id_mft.str(), "Mft bit (IEEE 1149.1 Mandatory=1) : " + dev.id_bit0.str(),
          "UES:" + dev.ues.str()}) {
      *out++ = std::move(line);
    }
  }
  return lines;
}

}  // namespace zepa::ui
