// Byte access to the x86 I/O port space in which the parallel port's data (base), status (base + 1) and
// control (base + 2) registers live. One implementation per backend: the kernel's parallel-port driver
// (ppdev), direct port I/O, the Windows port I/O driver, the simulated board.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zepa::port {

// What a run shows each time it finds the Windows port I/O driver missing.
inline constexpr std::string_view kDriverNotFound = "Driver \"KPortIo1\" not found";

// Where a cable's lines sit: JTAG outputs and the presence loop-back's drive are bits of the data register
// at `data_port`, TDO and the loop-back's answer bits of the status register (data_port + 1). A backend
// that speaks JTAG lines rather than register bytes (a remote bit-bang link) translates with it.
struct CableWiring {
  std::uint16_t data_port = 0;
  std::uint8_t tck = 0;
  std::uint8_t tms = 0;
  std::uint8_t tdi = 0;
  std::uint8_t tdo = 0;
  bool tdo_reads_low = false;  // the status bit reads 0 when TDO is 1
  std::uint8_t loop_drive = 0;
  std::uint8_t loop_sense = 0;
};

class PortIo {
 public:
  virtual ~PortIo() = default;

  // False when the backend could not be opened: reads then give FFh and writes are dropped.
  virtual bool Active() const = 0;
  virtual std::uint8_t ReadPortByte(std::uint16_t port) = 0;
  virtual void WritePortByte(std::uint16_t port, std::uint8_t value) = 0;

  // A backend that queues writes delivers them now; the others have nothing to do.
  virtual void Flush() {}

  // A read whose value is wanted later, from CollectReads(). A backend with a long way to its port sends
  // the requests ahead and waits once for all the answers; the others read at once.
  virtual void RequestRead(std::uint16_t port) { answered_.push_back(ReadPortByte(port)); }
  // The values of the reads requested since the last call, oldest first.
  virtual std::vector<std::uint8_t> CollectReads() { return std::exchange(answered_, {}); }

  // The cable's wiring, told whenever the cable or its port changes; register backends ignore it.
  virtual void UseWiring(const CableWiring& /*wiring*/) {}

  // What a run shows the user each time it finds this port inactive. Empty for a backend that told its
  // PortNotes why, once, as it failed to open: the run has nothing to add.
  virtual std::string InactiveWarning() const { return std::string(kDriverNotFound); }

 private:
  std::vector<std::uint8_t> answered_;
};

// The printer ports a cable can sit on, in the order the port setup lists them.
inline constexpr std::array<std::uint16_t, 3> kLptBases = {0x278, 0x378, 0x3BC};

// A port address as the user reads it: 378h.
inline std::string PortAddressText(std::uint16_t port) {
  char text[16];
  std::snprintf(text, sizeof text, "%Xh", static_cast<unsigned>(port));
  return text;
}

// Where a backend tells why it could not open a port (a missing device, a refused permission).
using PortNotes = std::function<void(const std::string&)>;

}  // namespace zepa::port
