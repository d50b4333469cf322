// The port I/O driver's request handling, apart from the kernel: every device-control function acts on an
// abstract port space, so the same code runs in the kernel image and in unit tests. Freestanding: no
// exceptions, no allocation, no library beyond <cstdint>.
#pragma once

#include <cstdint>

#include "driver/portio_codes.h"

namespace zepa::driver {

// The x86 I/O port space: IN and OUT of 8, 16 and 32 bits.
class PortSpace {
 public:
  virtual std::uint8_t InByte(std::uint16_t port) = 0;
  virtual std::uint16_t InWord(std::uint16_t port) = 0;
  virtual std::uint32_t InDword(std::uint16_t port) = 0;
  virtual void OutByte(std::uint16_t port, std::uint8_t value) = 0;
  virtual void OutWord(std::uint16_t port, std::uint16_t value) = 0;
  virtual void OutDword(std::uint16_t port, std::uint32_t value) = 0;

 protected:
  ~PortSpace() = default;
};

// The ports the driver reads and writes: the data, status and control registers of the three printer
// ports. A request that would touch any other port (a word or double word touches every byte it spans)
// is refused whole with kStatusAccessDenied before any port is read or written, so that whoever opens the
// device cannot reach the interrupt controller, the PCI configuration space or a DMA engine through it.
struct PortRange {
  std::uint16_t first;
  std::uint16_t last;
};
inline constexpr PortRange kServedPorts[] = {{0x278, 0x27A}, {0x378, 0x37A}, {0x3BC, 0x3BE}};

// True when ports port .. port + width - 1 are all served.
constexpr bool Served(std::uint16_t port, std::uint32_t width) {
  const std::uint32_t last = port + width - 1;
  for (const PortRange& range : kServedPorts) {
    if (port >= range.first && last <= range.last) return true;
  }
  return false;
}

// How a request completes: its status and the byte count handed back to the caller.
struct Completion {
  std::uint32_t status;
  std::uint32_t information;
};

class PortIoDispatcher {
 public:
  explicit constexpr PortIoDispatcher(PortSpace& ports) : ports_(ports) {}

  // One buffered device-control request. `buffer` is the request's one system buffer, `buffer_size` bytes
  // long (at least the larger of the two lengths); it holds `input_length` bytes of input, and on success
  // its first `information` bytes go back to the caller. A request whose buffers are too short for what
  // its function reads or writes completes with kStatusInvalidParameter, and one that names a port
  // outside kServedPorts with kStatusAccessDenied; either touches neither the buffer nor any port.
  // Functions 31 and 32, which would open the whole port space to user mode through the I/O permission
  // map of whichever processor ran the request, complete with kStatusInvalidDeviceRequest. Nothing is
  // ever handed back that the request did not put there: the byte count never exceeds `output_length`, and
  // bytes past the input that were not written are returned as zeros.
  Completion Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t buffer_size,
                     std::uint32_t input_length, std::uint32_t output_length);

 private:
  PortSpace& ports_;
};

}  // namespace zepa::driver
