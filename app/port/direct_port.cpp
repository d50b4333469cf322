#include "port/direct_port.h"

#include <cerrno>
#include <system_error>
#include <utility>

#if defined(__linux__) && (defined(__i386__) || defined(__x86_64__))
#include <sys/io.h>
#define ZEPA_HAVE_IOPERM 1
#endif

namespace zepa::port {

namespace {
constexpr std::uint16_t kRegisters = 3;  // data, status, control
}  // namespace

DirectPort::DirectPort(std::unique_ptr<IoInstructions> io, const std::vector<std::uint16_t>& bases,
                       const PortNotes& notes)
    : io_(std::move(io)) {
  if (!io_) {
    if (notes) notes("direct port I/O needs an x86 processor");
    return;
  }
  for (std::uint16_t base : bases) {
    std::string why;
    if (io_->Permit(base, kRegisters, true, &why)) {
      granted_.push_back(base);
    } else if (notes) {
      notes("no direct access to the port at " + PortAddressText(base) + ": " + why);
    }
  }
}

DirectPort::~DirectPort() {
  for (std::uint16_t base : granted_) io_->Permit(base, kRegisters, false, nullptr);
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
  bool Permit(std::uint16_t from, std::uint16_t count, bool on, std::string* why) override {
    if (::ioperm(from, count, on ? 1 : 0) == 0) return true;
    const int error = errno;
    if (why) {
      *why = std::system_category().message(error);
      if (error == EPERM) *why += " (direct port I/O needs root)";
    }
    return false;
  }
  std::uint8_t In(std::uint16_t port) override { return ::inb(port); }
  void Out(std::uint16_t port, std::uint8_t value) override { ::outb(value, port); }
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
