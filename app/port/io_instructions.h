// The processor's own port instructions, IN and OUT, and the permission a process needs to execute them.
#pragma once

#include <cstdint>
#include <string>

namespace zepa::port {

class IoInstructions {
 public:
  virtual ~IoInstructions() = default;

  // Lets this process execute IN and OUT on ports [from, from + count) (on = true), or takes that back.
  // 0, or the error number of the system's refusal.
  virtual int Permit(std::uint16_t from, std::uint16_t count, bool on) = 0;
  virtual std::uint8_t In(std::uint16_t port) = 0;
  virtual void Out(std::uint16_t port, std::uint8_t value) = 0;
  // The kernel's lockdown setting as the kernel shows it, the mode in force in brackets
  // ("none [integrity] confidentiality"); empty where there is none.
  virtual std::string Lockdown() { return {}; }
};

}  // namespace zepa::port
