// The port backends a program can open, by name, as one table: adding a backend is one file and one row.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "port/port_io.h"
#include "port/ppdev_port.h"
#include "port/tvicport.h"

namespace zepa::port {

struct PortBackendConfig {
  std::string backend;  // a name of the table; empty: the first row, this system's usual way
  PpdevConfig ppdev;    // the ppdev backend's roots and user-named devices
  PortNotes notes;      // why a port could not be opened
};

struct PortBackend {
  std::string_view name;
  std::string_view summary;
  std::unique_ptr<PortIo> (*open)(const PortBackendConfig& config);
};

std::span<const PortBackend> PortBackends();

// The opener for the components' shared driver handle; each note reaches config.notes once, however
// often the port is opened. Throws std::invalid_argument, naming the known backends, when the
// configuration names none of them.
PortOpener MakePortOpener(PortBackendConfig config);

}  // namespace zepa::port
