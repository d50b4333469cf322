// What zepaisp-cli tells without running anything: its version, the cables it drives, the parallel ports
// this machine has; and, when no cable answered, which port and backend were tried.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "port/ppdev_port.h"
#include "ui/core/session.h"

namespace zepa::cli {

// "zepaisp-cli VERSION (commit HASH)"; the commit is "unknown" for a build outside a git work tree.
std::string VersionLine(std::string_view commit);

// The three cables, by their --cable word, with the register bits of each line.
std::string CablesText();

// The ppdev devices the kernel reports (<proc>/sys/dev/parport/parportN/base-addr) with their base
// addresses, and which device serves each address of the port list (278h, 378h, 3BCh), user mappings of
// `config` included.
std::string PortsText(const port::PpdevConfig& config);

// The line after the cable warning: the port address and the way to it that were tried, e.g.
// "Tried port 378h through /dev/parport0 (ppdev)". `data_port` 0: no port was chosen.
std::string TriedLine(const ui::PortChoice& io, const port::PpdevConfig& config, std::uint16_t data_port,
                      int port_index);

// The ppdev settings an --io choice makes (its device argument mapped).
port::PpdevConfig PpdevConfigFor(const ui::PortChoice& io);

}  // namespace zepa::cli
