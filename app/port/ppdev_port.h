// Parallel-port access through the Linux kernel's own parallel-port driver: /dev/parportN, claimed with
// PPCLAIM (for this process alone where the kernel can grant that), its data, status and control registers
// read and written with the ppdev requests. The I/O addresses the programmer knows (278h, 378h, 3BCh) are
// mapped to the parportN whose base address the kernel reports in /proc/sys/dev/parport/parportN/base-addr,
// unless the user names the device.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "port/port_io.h"

namespace zepa::port {

// The ppdev requests this backend uses.
enum class PpdevRequest {
  kExclusive,  // ask for the next claim to be exclusive (PPEXCL, before PPCLAIM)
  kClaim,
  kRelease,
  kDataForward,  // drive the data lines (a previous user may have left them as inputs)
  kReadData,
  kWriteData,
  kReadStatus,
  kReadControl,
  kWriteControl
};

// The system calls behind the backend, so that tests run without a parallel port.
class PpdevSys {
 public:
  virtual ~PpdevSys() = default;
  // A file descriptor, or -errno.
  virtual int Open(const std::string& path) = 0;
  // 0, or -errno. `value` is the register byte read or to be written (unused by claim and release).
  virtual int Control(int fd, PpdevRequest request, std::uint8_t* value) = 0;
  virtual void Close(int fd) = 0;
};

// The real calls; null where this system has no ppdev.
std::unique_ptr<PpdevSys> SystemPpdev();

struct PpdevConfig {
  // Roots of the kernel's /proc and /dev trees (a test points them at a tree of its own).
  std::string proc_root = "/proc";
  std::string dev_root = "/dev";
  // Devices the user named, by base address; key 0 names the device for every address.
  std::map<std::uint16_t, std::string> devices;
};

// Adds one user setting to `config`: "PATH" (the device for every port address) or "ADDR=PATH" with ADDR
// one of 278, 378, 3BC (hexadecimal, "0x" prefix or "h" suffix allowed). Throws std::invalid_argument
// with a message naming the setting and what is wrong.
void AddPortMapping(PpdevConfig& config, std::string_view setting);

struct ParportBinding {
  std::uint16_t base;
  std::string device;
};

// Which device serves each of the three printer-port addresses: the user's device for that address, else
// the user's device for every address, else the /dev/parportN whose base-addr matches. Addresses that no
// device serves are left out and told to `notes`.
std::vector<ParportBinding> BindParports(const PpdevConfig& config, const PortNotes& notes);

class PpdevPort : public PortIo {
 public:
  // Opens and claims every bound device and sets its data lines to output; a device that cannot be opened or
  // claimed is told to `notes` and its addresses read FFh. A device is claimed exclusively, so that a
  // second program on the same port is refused at once instead of waiting for it; when the kernel cannot
  // grant that (another driver, such as lp, has the port registered) it is opened again and claimed
  // shared.
  PpdevPort(const std::vector<ParportBinding>& bindings, std::unique_ptr<PpdevSys> sys,
            const PortNotes& notes);
  ~PpdevPort() override;
  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  // True when at least one address is served.
  bool Active() const override { return !windows_.empty(); }
  // The notes have said why no device could be opened or claimed.
  std::string InactiveWarning() const override { return {}; }
  // base: data register; base + 1: status (writes dropped); base + 2: control. Any other address, and a
  // request the kernel fails, reads FFh; writes to it are dropped.
  std::uint8_t ReadPortByte(std::uint16_t port) override;
  void WritePortByte(std::uint16_t port, std::uint8_t value) override;

 private:
  struct Window {
    std::uint16_t base;
    int fd;
  };
  const Window* Find(std::uint16_t port) const;
  // A claimed descriptor of `device`, or -1 when it cannot be opened or claimed (told to `note`).
  int OpenAndClaim(const std::string& device, const PortNotes& note);

  std::unique_ptr<PpdevSys> sys_;
  std::vector<int> claimed_;  // one descriptor per claimed device
  std::vector<Window> windows_;
};

}  // namespace zepa::port
