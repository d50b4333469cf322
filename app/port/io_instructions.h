// The processor's own port instructions, IN and OUT, and the permission a process needs to execute them.
#pragma once

#include <cstdint>
#include <string>

namespace zepa::port {

class IoInstructions {
 public:
  virtual ~IoInstructions() = default;

  // Lets this process execute IN and OUT on ports [from, from + count) (on = true), or takes that back.
  // False when the system refuses, with the reason in `why`.
  virtual bool Permit(std::uint16_t from, std::uint16_t count, bool on, std::string* why) = 0;
  virtual std::uint8_t In(std::uint16_t port) = 0;
  virtual void Out(std::uint16_t port, std::uint8_t value) = 0;
};

}  // namespace zepa::port
