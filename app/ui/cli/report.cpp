#include "ui/cli/report.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "chain/chain_names.h"
#include "ui/core/chain_report.h"

namespace zepa::cli {
namespace {

std::string result_text(int result) {
  if (result == chain::kResultPass) return "pass";
  if (result == chain::kResultFail) return "fail";
  return "-";
}

std::string security_text(char secure) {
  if (secure == '0') return "secured";
  if (secure == '1') return "not secured";
  return "security unknown";
}

std::string padded(std::string_view text, std::size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

}  // namespace

std::optional<std::uint32_t> IdcodeValue(std::string_view text) {
  if (text.size() < 32) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < 32; ++k) {
    if (text[k] != '0' && text[k] != '1') return std::nullopt;
    if (text[k] == '1') value |= std::uint32_t{1} << k;
  }
  return value;
}

std::string HexIdcode(std::uint32_t idcode) {
  return ui::hex_idcode(idcode);
}

std::string Verdict(const chain::ChainTable& table, bool run_failed) {
  std::string failed;
  for (int n = 1; n <= table.device_count(); ++n) {
    if (table[n].result == chain::kResultFail) failed += (failed.empty() ? "" : ", ") + std::to_string(n);
  }
  // One form whatever the count, so that a script finds it with one pattern.
  if (!failed.empty()) return "FAIL (devices " + failed + ")";
  return run_failed ? "FAIL" : "PASS";
}

std::string DeviceTable(const chain::ChainTable& table) {
  std::string out = "Device  Part        Operation         Result  Design file\n";
  for (int n = 1; n <= table.device_count(); ++n) {
    const chain::ChainDevice& dev = table[n];
    std::string_view op = chain::operation_text(dev.cmnd);
    if (op.empty()) op = chain::command_word(dev.cmnd);
    char number[16];
    std::snprintf(number, sizeof number, "%6d  ", n);
    std::string line = number + padded(chain::part_name(dev.part), 12) + padded(op, 18) +
                       padded(result_text(dev.result), 8) + dev.jed.str();
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
    if (dev.cmnd == chain::kOpReadId) {
      const std::optional<std::uint32_t> value = IdcodeValue(dev.idcode.str());
      out += "        IDCODE " + (value ? HexIdcode(*value) : std::string("(not read)"));
      if (!dev.idcode.empty()) {
        out += "  " + dev.id_ver.str() + ", " + dev.id_arch.str() + ", " + dev.id_mc.str() + ", " +
               dev.id_tech.str() + ", " + dev.id_volt.str() + ", " + dev.id_pkg.str() + ", mft " +
               dev.id_mft.str();
      }
      out += ", " + security_text(dev.secure) + "\n";
    }
    if (dev.cmnd == chain::kOpReadUes) out += "        UES \"" + dev.ues.str() + "\"\n";
  }
  return out;
}

bool AnyDeviceFailed(const chain::ChainTable& table) {
  for (int n = 1; n <= table.device_count(); ++n) {
    if (table[n].result == chain::kResultFail) return true;
  }
  return false;
}

}  // namespace zepa::cli
