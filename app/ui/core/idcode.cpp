#include "ui/core/idcode.h"

#include <algorithm>
#include <array>

#include "engine/checks.h"
#include "engine/records.h"

namespace zepa::ui {
namespace {

struct MacrocellCode {
  std::string_view code;  // bits 21 down to 16
  std::string_view text;
};
constexpr MacrocellCode kMacrocells[] = {
    {"000000", "32 MC"},  {"000001", "32 MC, Ext"},  {"000100", "64 MC"},      {"000101", "64 MC, Ext"},
    {"001000", "128 MC"}, {"001001", "128 MC, Ext"}, {"011000", "128 MC, ES"}, {"010010", "192 MC"},
    {"010100", "256 MC"}, {"010101", "384 MC"},      {"010000", "320 MC"},     {"010110", "480 MC"},
    {"100010", "640 MC"}, {"101000", "960 MC"},      {"110000", "1440 MC"},    {"111000", "1920 MC"},
};

using PackageRow = std::array<std::string_view, 8>;  // by package code 0..7
struct PackageTable {
  std::string_view architecture;
  std::string_view macrocells;  // looked for in the macrocell text
  PackageRow packages;
};
// Within one architecture the rows are tried in this order, so "32 MC, Ext" counts as 32 and
// "128 MC, ES" as 128.
constexpr PackageTable kPackages[] = {
    {"ZEPA1",
     "32 MC",
     {"Reserved", "PC 44", "VQ 44", "Reserved", "Reserved", "Reserved", "Reserved", "Undefined"}},
    {"ZEPA1",
     "64 MC",
     {"Reserved", "PC 44", "VQ 44", "CP 56", "VQ 100", "Reserved", "Reserved", "Undefined"}},
    {"ZEPA1",
     "128 MC",
     {"Reserved", "PQ 100", "TQ 128", "PQ 160", "VQ 100", "PC 84", "Reserved", "Undefined"}},
    {"ZEPA3",
     "32 MC",
     {"Reserved", "Reserved", "Reserved", "Reserved", "CS 48", "PC 44", "VQ 44", "Undefined"}},
    {"ZEPA3", "64 MC", {"CP 56", "VQ 100", "Reserved", "Reserved", "CS 48", "PC 44", "VQ 44", "Undefined"}},
    {"ZEPA3",
     "128 MC",
     {"Reserved", "VQ 100", "Reserved", "TQ 144", "CS 144", "Reserved", "Reserved", "Undefined"}},
    {"ZEPA3",
     "192 MC",
     {"Reserved", "TQFP 100", "FLBGA 100", "TQFP 144", "PQFP 208", "PBGA 256", "Reserved", "Undefined"}},
    {"ZEPA3",
     "256 MC",
     {"Reserved", "Reserved", "Reserved", "TQ 144", "PQ 208", "CS 280", "Reserved", "Undefined"}},
    {"ZEPA3",
     "384 MC",
     {"Reserved", "Reserved", "Reserved", "Reserved", "PQ 208", "CS 280", "FG 256", "Undefined"}},
};

bool contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

// Characters of bits `high` down to `low`.
std::string bits_down(std::string_view bits, int high, int low) {
  std::string out;
  for (int k = high; k >= low; --k) out += bits[static_cast<std::size_t>(k)];
  return out;
}

int bit(std::string_view bits, int k) {
  return bits[static_cast<std::size_t>(k)] == '1' ? 1 : 0;
}

std::string package_text(const std::string& architecture, const std::string& macrocells, int code) {
  if (architecture != "ZEPA1" && architecture != "ZEPA3") return "";
  for (const auto& row : kPackages) {
    if (row.architecture == architecture && contains(macrocells, row.macrocells)) {
      return std::string(row.packages[static_cast<std::size_t>(code)]);
    }
  }
  return "Undefined";
}

}  // namespace

std::string idcode_text(std::uint32_t idcode) {
  std::string text(32, '0');
  for (int k = 0; k < 32; ++k) {
    if ((idcode >> k) & 1u) text[static_cast<std::size_t>(k)] = '1';
  }
  return text;
}

IdcodeFields decode_idcode(std::string_view text) {
  IdcodeFields f;
  if (text.size() < 32) return f;
  const std::string_view bits = text.substr(0, 32);
  if (!std::all_of(bits.begin(), bits.end(), [](char c) { return c == '0' || c == '1'; })) return f;

  f.bit0 = bits[0] == '0' ? "Error on bit0!" : "1 ";
  f.manufacturer = bits_down(bits, 11, 1);
  f.voltage = bits[15] == '0' ? "5 volt" : "3.3 volt";

  const std::string mc_code = bits_down(bits, 21, 16);
  f.macrocells = "Future use";
  for (const auto& entry : kMacrocells) {
    if (entry.code == mc_code) f.macrocells = entry.text;
  }

  const std::string arch_code = bits_down(bits, 27, 25);
  if (arch_code == "000") {
    f.architecture = "ZEPA1";
  } else if (arch_code == "001") {
    f.architecture = "ZEPA2";
  } else if (arch_code == "010") {
    f.architecture = "ZEPA3";
  } else if (arch_code == "011") {
    f.architecture = "Reserved";
  } else {
    f.architecture = "Future use";
  }

  f.package =
      package_text(f.architecture, f.macrocells, bit(bits, 12) + 2 * bit(bits, 13) + 4 * bit(bits, 14));

  const std::string tech_code = bits_down(bits, 24, 22);
  if (tech_code == "000") {
    f.technology = "0.5u EECMOS";
  } else if (tech_code == "001") {
    f.technology = "0.35u SRAM";
  } else if (tech_code == "010") {
    f.technology = "0.35u EECMOS";
  } else {
    f.technology = "Future use";
  }

  int version = bit(bits, 28) + 2 * bit(bits, 29) + 4 * bit(bits, 30) + 8 * bit(bits, 31);
  if (f.architecture == "ZEPA3" && contains(f.macrocells, "32 MC")) version = 0;
  f.version = "Version " + std::to_string(version);
  return f;
}

IdcodeFields decode_idcode(std::uint32_t idcode) {
  return decode_idcode(idcode_text(idcode));
}

void decode_idcode(chain::ChainTable& table, int n, std::string_view idcode_text) {
  chain::ChainDevice& dev = table[n];
  const IdcodeFields f = decode_idcode(idcode_text);
  dev.id_ver = f.version;
  dev.id_arch = f.architecture;
  dev.id_tech = f.technology;
  dev.id_mc = f.macrocells;
  dev.id_volt = f.voltage;
  dev.id_pkg = f.package;
  dev.id_mft = f.manufacturer;
  dev.id_bit0 = f.bit0;
}

IdentifiedPart identify_part(std::uint32_t idcode) {
  IdentifiedPart part;
  const engine::IdcodeRead read = engine::DecodeIdcodeBits(idcode_text(idcode));
  if (read.type_code == 0 || !read.manufacturer_accepted) return part;
  part.type_code = read.type_code;
  for (const engine::DeviceTableRow& row : engine::DeviceTable()) {
    if (row.id != read.type_code) continue;
    part.names.emplace_back(row.part);
    part.ir_length = row.IR_len;
  }
  return part;
}

}  // namespace zepa::ui
