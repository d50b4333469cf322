// Byte access to the x86 I/O port space in which the parallel port's data (base), status (base + 1) and
// control (base + 2) registers live. One implementation per backend: the kernel's parallel-port driver
// (ppdev), direct port I/O, the Windows port I/O driver, the simulated board.
#pragma once

#include <cstdint>

namespace zepa::port {

class PortIo {
 public:
  virtual ~PortIo() = default;

  // False when the backend could not be opened: reads then give FFh and writes are dropped.
  virtual bool Active() const = 0;
  virtual std::uint8_t ReadPortByte(std::uint16_t port) = 0;
  virtual void WritePortByte(std::uint16_t port, std::uint8_t value) = 0;
};

}  // namespace zepa::port
