#include "port/direct_port.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>
#include <utility>

#if defined(__linux__) && (defined(__i386__) || defined(__x86_64__))
#include <sys/io.h>
#define ZEPA_HAVE_IOPERM 1
#endif

namespace zepa::port {

namespace {

constexpr std::uint16_t kRegisters = 3;  // data, status, control
constexpr std::uint16_t kControl = 2;
constexpr std::uint8_t kControlReverse = 0x20;    // data lines are inputs
constexpr std::uint8_t kControlIrqEnable = 0x10;  // the port raises its interrupt on an acknowledge

// The mode in brackets of the kernel's lockdown setting ("none [integrity] confidentiality"), or empty.
std::string LockdownMode(const std::string& setting) {
  const auto open = setting.find('[');
  const auto close = setting.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return {};
  return setting.substr(open + 1, close - open - 1);
}

}  // namespace

DirectPort::DirectPort(std::unique_ptr<IoInstructions> io, const std::vector<std::uint16_t>& bases,
                       const PortNotes& notes)
    : io_(std::move(io)) {
  if (!io_) {
    if (notes) notes("direct port I/O needs an x86 processor");
    return;
  }
  std::vector<std::pair<int, std::vector<std::uint16_t>>> refused;  // error -> its ports, in order
  for (std::uint16_t base : bases) {
    if (const int error = io_->Permit(base, kRegisters, true); error != 0) {
      auto same =
          std::find_if(refused.begin(), refused.end(), [&](const auto& r) { return r.first == error; });
      if (same == refused.end()) same = refused.insert(refused.end(), {error, {}});
      same->second.push_back(base);
      continue;
    }
    granted_.push_back(base);
    // Whoever had the port before may have left the data lines as inputs or the interrupt on.
    const auto control = static_cast<std::uint16_t>(base + kControl);
    io_->Out(control, static_cast<std::uint8_t>(io_->In(control) & ~(kControlReverse | kControlIrqEnable)));
  }
  // One note per reason, naming every port it keeps closed.
  for (const auto& [error, ports] : refused) {
    std::string list;
    for (std::size_t i = 0; i < ports.size(); ++i) {
      list += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + PortAddressText(ports[i]);
    }
    if (notes) {
      notes("no direct access to the port" + std::string(ports.size() > 1 ? "s" : "") + " at " + list + ": " +
            RefusalText(error));
    }
  }
}

DirectPort::~DirectPort() {
  for (std::uint16_t base : granted_) io_->Permit(base, kRegisters, false);
}

std::string DirectPort::RefusalText(int error) const {
  std::string text = std::system_category().message(error);
  if (error == EPERM) {
    const std::string mode = LockdownMode(io_->Lockdown());
    if (mode == "integrity" || mode == "confidentiality") {
      text += " (the kernel is locked down (" + mode +
              ") and refuses direct port I/O even to root; use the ppdev backend)";
    } else {
      text += " (direct port I/O needs root)";
    }
  } else if (error == ENOSYS) {
    text +=
        " (this kernel offers no ioperm: it is built without x86 port I/O, or a sandbox withholds it; "
        "use the ppdev backend)";
  }
  return text;
}

bool DirectPort::Granted(std::uint16_t port) const {
  for (std::uint16_t base : granted_) {
    if (port >= base && port - base < kRegisters) return true;
  }
  return false;
}

std::uint8_t DirectPort::ReadPortByte(std::uint16_t port) {
  return Granted(port) ? io_->In(port) : 0xFF;
}

void DirectPort::WritePortByte(std::uint16_t port, std::uint8_t value) {
  if (Granted(port)) io_->Out(port, value);
}

#if defined(ZEPA_HAVE_IOPERM)
namespace {

class LinuxInstructions : public IoInstructions {
 public:
  int Permit(std::uint16_t from, std::uint16_t count, bool on) override {
    return ::ioperm(from, count, on ? 1 : 0) == 0 ? 0 : errno;
  }
  std::uint8_t In(std::uint16_t port) override { return ::inb(port); }
  void Out(std::uint16_t port, std::uint8_t value) override { ::outb(value, port); }
  std::string Lockdown() override {
    std::ifstream in("/sys/kernel/security/lockdown");
    std::string setting;
    std::getline(in, setting);
    return setting;
  }
};

}  // namespace

std::unique_ptr<IoInstructions> LinuxIoInstructions() {
  return std::make_unique<LinuxInstructions>();
}
#else
std::unique_ptr<IoInstructions> LinuxIoInstructions() {
  return nullptr;
}
#endif

}  // namespace zepa::port
