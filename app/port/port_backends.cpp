#include "port/port_backends.h"

#include <memory>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include "port/win_driver_port.h"
#else
#include "port/direct_port.h"
#include "port/remote_bitbang_port.h"
#endif

namespace zepa::port {
namespace {

#if defined(_WIN32)
std::unique_ptr<PortIo> OpenDriver(const PortBackendConfig& config) {
  return OpenWindowsPortDriver(config.notes);
}

constexpr PortBackend kBackends[] = {
    {"driver", "the KPORTIO1 port I/O driver", OpenDriver},
};
#else
std::unique_ptr<PortIo> OpenPpdev(const PortBackendConfig& config) {
  return std::make_unique<PpdevPort>(BindParports(config.ppdev, config.notes), SystemPpdev(), config.notes);
}

std::unique_ptr<PortIo> OpenDirect(const PortBackendConfig& config) {
  return std::make_unique<DirectPort>(
      LinuxIoInstructions(), std::vector<std::uint16_t>(kLptBases.begin(), kLptBases.end()), config.notes);
}

std::unique_ptr<PortIo> OpenRemote(const PortBackendConfig& config) {
  RemoteAddress address;
  try {
    address = ParseRemoteAddress(config.remote);
  } catch (const std::invalid_argument&) {
    if (config.notes) config.notes("remote_bitbang: \"" + config.remote + "\" is not HOST:PORT");
    return nullptr;
  }
  return std::make_unique<RemoteBitbangPort>(address, config.notes);
}

constexpr PortBackend kBackends[] = {
    {"ppdev", "the kernel's parallel-port driver, /dev/parportN", OpenPpdev},
    {"direct", "the processor's IN and OUT instructions (x86, root)", OpenDirect},
    {"remote", "a remote_bitbang server's JTAG pins, HOST:PORT", OpenRemote},
};
#endif

}  // namespace

RemoteAddress ParseRemoteAddress(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
    throw std::invalid_argument("\"" + text + "\" is not HOST:PORT");
  RemoteAddress address{text.substr(0, colon), text.substr(colon + 1)};
  // [::1]:3335
  if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']')
    address.host = address.host.substr(1, address.host.size() - 2);
  return address;
}

std::span<const PortBackend> PortBackends() {
  return kBackends;
}

PortOpener MakePortOpener(PortBackendConfig config) {
  const PortBackend* chosen = &kBackends[0];
  if (!config.backend.empty()) {
    chosen = nullptr;
    std::string known;
    for (const PortBackend& backend : kBackends) {
      if (backend.name == config.backend) chosen = &backend;
      known += (known.empty() ? "" : ", ") + std::string(backend.name);
    }
    if (!chosen)
      throw std::invalid_argument("unknown port backend \"" + config.backend + "\" (known: " + known + ")");
  }
  // A component made while the port is missing opens it again; a reason the user has been told once is
  // not told again.
  if (PortNotes notes = std::move(config.notes)) {
    config.notes = [notes = std::move(notes),
                    told = std::make_shared<std::set<std::string>>()](const std::string& note) {
      if (told->insert(note).second) notes(note);
    };
  }
  return [chosen, config = std::move(config)] { return chosen->open(config); };
}

}  // namespace zepa::port
