#include "ui/cli/report.h"

#include <cstdio>
#include <string_view>

#include "chain/chain_names.h"

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
      out += "        IDCODE " +
             (dev.idcode.empty() ? std::string("(not read)") : dev.idcode.str() + " (lsb..msb)");
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
