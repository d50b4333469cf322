// Parallel-port access with the processor's own IN and OUT instructions (x86 Linux, as root: the process
// asks the kernel with ioperm for the three registers of each printer port).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port/io_instructions.h"
#include "port/port_io.h"

namespace zepa::port {

// IN, OUT and ioperm of this process; null where the build has no x86 port instructions.
std::unique_ptr<IoInstructions> LinuxIoInstructions();

class DirectPort : public PortIo {
 public:
  // Asks for base .. base + 2 of every base address; a refusal is told to `notes`, with what would help,
  // and that port's addresses read FFh. A granted port's control register is set to drive the data lines
  // and to keep the port's interrupt off; its other control lines keep their levels.
  DirectPort(std::unique_ptr<IoInstructions> io, const std::vector<std::uint16_t>& bases,
             const PortNotes& notes);
  // Gives the permissions back.
  ~DirectPort() override;
  DirectPort(const DirectPort&) = delete;
  DirectPort& operator=(const DirectPort&) = delete;

  bool Active() const override { return !granted_.empty(); }
  // The notes have said why no port was granted.
  std::string InactiveWarning() const override { return {}; }
  // Addresses outside the granted registers read FFh and are not written: the instruction would fault.
  std::uint8_t ReadPortByte(std::uint16_t port) override;
  void WritePortByte(std::uint16_t port, std::uint8_t value) override;

 private:
  bool Granted(std::uint16_t port) const;
  std::string RefusalText(int error) const;

  std::unique_ptr<IoInstructions> io_;
  std::vector<std::uint16_t> granted_;
};

}  // namespace zepa::port
