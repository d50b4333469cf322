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

// A remote_bitbang server's address: "HOST:PORT" split at its last colon ("[::1]:3335" too).
struct RemoteAddress {
  std::string host;
  std::string port;
};
// Throws std::invalid_argument when the text is not HOST:PORT.
RemoteAddress ParseRemoteAddress(const std::string& text);

struct PortBackendConfig {
  std::string backend;  // a name of the table; empty: the first row, this system's usual way
  PpdevConfig ppdev;    // the ppdev backend's roots and user-named devices
  std::string remote;   // the remote_bitbang backend's server, "HOST:PORT"
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
