#include "ui/cli/info.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

#include "engine/cable.h"
#include "ui/core/version.h"
#include "util/files.h"

namespace zepa::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kPortList[] = {0x278, 0x378, 0x3BC};

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%Xh", value);
  return text;
}

// A one-bit register mask as "bit 6 (40h)": the bit number and the byte in two hexadecimal digits.
std::string Bit(std::uint8_t mask) {
  char byte[8];
  std::snprintf(byte, sizeof byte, "%02Xh", static_cast<unsigned>(mask));
  for (int bit = 0; bit < 8; ++bit) {
    if (mask == (1u << bit)) return "bit " + std::to_string(bit) + " (" + byte + ")";
  }
  return byte;
}

struct CableWords {
  engine::CableKind kind;
  const char* word;
  const char* name;
};
constexpr CableWords kCableWords[] = {
    {engine::CableKind::RelayCable, "relay", "the maker's RelayCable"},
    {engine::CableKind::CorvaneParallelCable, "corvane", "Corvane's Parallel download cable"},
    {engine::CableKind::AlteraByteBlaster, "byteblaster", "Altera's ByteBlaster"},
};

struct KernelPort {
  std::string device;
  std::uint32_t base = 0;
  bool readable = false;
};

// The parports of <proc>/sys/dev/parport, in the order of their number.
std::map<unsigned, KernelPort> KernelPorts(const port::PpdevConfig& config) {
  std::map<unsigned, KernelPort> ports;
  const fs::path dir = fs::path(config.proc_root) / "sys" / "dev" / "parport";
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("parport", 0) != 0 || name.size() == 7) continue;
    unsigned number = 0;
    bool digits = true;
    for (char c : name.substr(7)) {
      if (c < '0' || c > '9')
        digits = false;
      else
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (!digits) continue;
    KernelPort port;
    port.device = (fs::path(config.dev_root) / name).string();
    if (const auto text = util::ReadFile((it->path() / "base-addr").string())) {
      // "888\t1912": the base address first, in decimal.
      std::size_t i = 0;
      while (i < text->size() && (*text)[i] >= '0' && (*text)[i] <= '9') {
        port.base = port.base * 10 + static_cast<std::uint32_t>((*text)[i] - '0');
        ++i;
      }
      port.readable = i > 0;
    }
    ports[number] = port;
  }
  return ports;
}

}  // namespace

std::string VersionLine(std::string_view commit) {
  return "zepaisp-cli " + std::string(ui::VersionText) + " (commit " +
         std::string(commit.empty() ? "unknown" : commit) + ")";
}

std::string CablesText() {
  std::string out = "Cables (--cable WORD; auto tries relay, corvane, byteblaster in turn):\n";
  for (const CableWords& words : kCableWords) {
    for (const engine::CableMap& map : engine::kCableMaps) {
      if (map.kind != words.kind) continue;
      out += "  " + std::string(words.word) + ": " + words.name + "\n";
      out += "    TCK data " + Bit(map.PinTCK) + ", TDI data " + Bit(map.PinTDI) + ", TMS data " +
             Bit(map.PinTMS) + ", TDO status " + Bit(map.PinTDO) +
             (map.tdo_reads_low ? " (inverted)" : " (as read)") + "\n";
      out += "    auxiliary lines data " + Bit(map.PinCtl1) + " = " + (map.ctl1_level ? "1" : "0") +
             ", data " + Bit(map.PinCtl2) + " = " + (map.ctl2_level ? "1" : "0") + "\n";
      out += "    presence test: " +
             (map.loop_drive == 0
                  ? std::string("none (always taken as present)")
                  : "data " + Hex(map.loop_drive) + " loops back to status " + Bit(map.loop_sense)) +
             "\n";
    }
  }
  return out;
}

port::PpdevConfig PpdevConfigFor(const ui::PortChoice& io) {
  port::PpdevConfig config;
  if (io.kind == ui::PortChoice::Kind::kBackend && (io.backend.empty() || io.backend == "ppdev") &&
      !io.argument.empty()) {
    try {
      port::AddPortMapping(config, io.argument);
    } catch (const std::invalid_argument&) {
      // The session reports a bad mapping; the lists show the kernel's view.
    }
  }
  return config;
}

std::string PortsText(const port::PpdevConfig& config) {
  const auto ports = KernelPorts(config);
  std::string out = "Parallel ports the kernel reports (" +
                    (fs::path(config.proc_root) / "sys/dev/parport").string() + "):\n";
  if (ports.empty()) out += "  none (is the parport_pc module loaded?)\n";
  for (const auto& [number, port] : ports) {
    out += "  " + port.device + "  base " + (port.readable ? Hex(port.base) : std::string("unknown")) + "\n";
  }
  // What BindParports would note here is what the lines above and below show.
  const std::vector<port::ParportBinding> bindings = port::BindParports(config, [](const std::string&) {});
  out += "Port list (--port) through ppdev:\n";
  for (std::uint16_t address : kPortList) {
    std::string device = "no device serves it";
    for (const port::ParportBinding& binding : bindings) {
      if (binding.base == address) device = binding.device;
    }
    out += "  " + Hex(address) + "  " + device + "\n";
  }
  return out;
}

std::string TriedLine(const ui::PortChoice& io, const port::PpdevConfig& config, std::uint16_t data_port,
                      int port_index) {
  std::string where;
  if (data_port != 0) {
    where = "port " + Hex(data_port);
  } else if (port_index >= 0 && port_index < 3) {
    where = "port " + Hex(kPortList[port_index]);
  } else {
    where = "ports 278h, 378h and 3BCh";
  }
  if (io.kind == ui::PortChoice::Kind::kSim)
    return "Tried " + where + " on the simulated board " + io.argument;
  const std::string backend = io.backend.empty() ? std::string("ppdev") : io.backend;
  if (backend != "ppdev") return "Tried " + where + " through the " + backend + " backend";
  std::string device;
  if (data_port != 0) {
    for (const port::ParportBinding& binding : port::BindParports(config, [](const std::string&) {})) {
      if (binding.base == data_port) device = binding.device;
    }
  }
  if (device.empty())
    return "Tried " + where + " through ppdev (no /dev/parportN serves it; see --list-ports)";
  return "Tried " + where + " through " + device + " (ppdev)";
}

}  // namespace zepa::cli
