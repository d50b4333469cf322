#include "port/ppdev_port.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#if defined(__linux__)
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace zepa::port {
namespace {

namespace fs = std::filesystem;

std::string ErrorText(int error) {
  std::string text = std::system_category().message(error);
  if (error == EACCES || error == EPERM) text += " (the user needs to be in the device's group, usually lp)";
  if (error == ENXIO) text += " (another program holds the port, or no port is behind the device)";
  return text;
}

// "378", "0x378", "378h" -> 0x378; 0 when it is not a hexadecimal number.
std::uint32_t ParseHexAddress(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  } else if (!text.empty() && (text.back() == 'h' || text.back() == 'H')) {
    text.remove_suffix(1);
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

struct KernelParport {
  unsigned number;
  std::uint32_t base;
};

// The parports the kernel knows, from <proc>/sys/dev/parport/parportN/base-addr ("888\t1912": the base
// address first, in decimal), in the order of N.
std::vector<KernelParport> KernelParports(const PpdevConfig& config, const PortNotes& notes) {
  std::vector<KernelParport> found;
  const fs::path dir = fs::path(config.proc_root) / "sys" / "dev" / "parport";
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    unsigned number = 0;
    if (name.rfind("parport", 0) != 0) continue;
    const char* digits = name.data() + 7;
    const auto [stop, bad] = std::from_chars(digits, name.data() + name.size(), number);
    if (bad != std::errc() || stop != name.data() + name.size()) continue;

    const fs::path file = it->path() / "base-addr";
    std::ifstream in(file);
    std::uint32_t base = 0;
    if (!(in >> base)) {
      if (notes)
        notes(file.string() + ": no base address in it; parport" + std::to_string(number) + " skipped");
      continue;
    }
    found.push_back({number, base});
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
  return found;
}

}  // namespace

void AddPortMapping(PpdevConfig& config, std::string_view setting) {
  const std::string quoted = "port mapping \"" + std::string(setting) + "\": ";
  std::uint16_t key = 0;
  std::string_view path = setting;
  if (const auto equals = setting.find('='); equals != std::string_view::npos) {
    const std::string_view address = setting.substr(0, equals);
    path = setting.substr(equals + 1);
    const std::uint32_t value = ParseHexAddress(address);
    if (std::find(kLptBases.begin(), kLptBases.end(), value) == kLptBases.end()) {
      throw std::invalid_argument(quoted + "\"" + std::string(address) +
                                  "\" is not a printer port address (278, 378 or 3BC)");
    }
    key = static_cast<std::uint16_t>(value);
  }
  if (path.empty()) throw std::invalid_argument(quoted + "no device path");
  if (!config.devices.emplace(key, std::string(path)).second) {
    throw std::invalid_argument(quoted +
                                (key ? PortAddressText(key) + " is" : std::string("every address is")) +
                                " already mapped to " + config.devices[key]);
  }
}

std::vector<ParportBinding> BindParports(const PpdevConfig& config, const PortNotes& notes) {
  const std::vector<KernelParport> kernel = KernelParports(config, notes);
  std::vector<ParportBinding> bindings;
  for (std::uint16_t base : kLptBases) {
    if (auto named = config.devices.find(base); named != config.devices.end()) {
      bindings.push_back({base, named->second});
    } else if (auto every = config.devices.find(0); every != config.devices.end()) {
      bindings.push_back({base, every->second});
    } else {
      const auto match =
          std::find_if(kernel.begin(), kernel.end(), [&](const auto& p) { return p.base == base; });
      if (match != kernel.end()) {
        bindings.push_back(
            {base, (fs::path(config.dev_root) / ("parport" + std::to_string(match->number))).string()});
      }
    }
  }
  if (bindings.empty() && notes) {
    notes("no parallel port at 278h, 378h or 3BCh: no " +
          (fs::path(config.proc_root) / "sys/dev/parport/parport*/base-addr").string() +
          " reports one (is the parport_pc module loaded?); name the device, e.g. 378=/dev/parport0");
  }
  return bindings;
}

PpdevPort::PpdevPort(const std::vector<ParportBinding>& bindings, std::unique_ptr<PpdevSys> sys,
                     const PortNotes& notes)
    : sys_(std::move(sys)) {
  auto note = [&](const std::string& text) {
    if (notes) notes(text);
  };
  if (!sys_) {
    if (!bindings.empty()) note("the kernel's parallel-port driver (ppdev) is not available on this system");
    return;
  }
  std::map<std::string, int> opened;  // device -> descriptor, or -1 when it failed
  for (const ParportBinding& binding : bindings) {
    auto [it, first] = opened.emplace(binding.device, -1);
    if (first) {
      const int fd = OpenAndClaim(binding.device, note);
      if (fd < 0) continue;
      if (const int rc = sys_->Control(fd, PpdevRequest::kDataForward, nullptr); rc < 0) {
        note("cannot set the data lines of " + binding.device + " to output: " + ErrorText(-rc));
      }
      claimed_.push_back(fd);
      it->second = fd;
    }
    if (it->second >= 0) windows_.push_back({binding.base, it->second});
  }
}

int PpdevPort::OpenAndClaim(const std::string& device, const PortNotes& note) {
  int fd = sys_->Open(device);
  if (fd < 0) {
    note("cannot open " + device + ": " + ErrorText(-fd));
    return -1;
  }
  // A kernel without PPEXCL claims shared on the same descriptor.
  const bool exclusive = sys_->Control(fd, PpdevRequest::kExclusive, nullptr) == 0;
  int rc = sys_->Control(fd, PpdevRequest::kClaim, nullptr);
  if (rc == -ENXIO && exclusive) {
    // Exclusivity refused; the wish for it stays with the descriptor, so a shared claim needs a new one.
    sys_->Close(fd);
    fd = sys_->Open(device);
    if (fd < 0) {
      note("cannot open " + device + ": " + ErrorText(-fd));
      return -1;
    }
    rc = sys_->Control(fd, PpdevRequest::kClaim, nullptr);
  }
  if (rc < 0) {
    note("cannot claim " + device + ": " + ErrorText(-rc));
    sys_->Close(fd);
    return -1;
  }
  return fd;
}

PpdevPort::~PpdevPort() {
  for (int fd : claimed_) {
    sys_->Control(fd, PpdevRequest::kRelease, nullptr);
    sys_->Close(fd);
  }
}

const PpdevPort::Window* PpdevPort::Find(std::uint16_t port) const {
  for (const Window& window : windows_) {
    if (port >= window.base && port - window.base < 3) return &window;
  }
  return nullptr;
}

std::uint8_t PpdevPort::ReadPortByte(std::uint16_t port) {
  const Window* window = Find(port);
  if (!window) return 0xFF;
  static constexpr PpdevRequest kReads[] = {PpdevRequest::kReadData, PpdevRequest::kReadStatus,
                                            PpdevRequest::kReadControl};
  std::uint8_t value = 0xFF;
  if (sys_->Control(window->fd, kReads[port - window->base], &value) < 0) return 0xFF;
  return value;
}

void PpdevPort::WritePortByte(std::uint16_t port, std::uint8_t value) {
  const Window* window = Find(port);
  if (!window) return;
  const int offset = port - window->base;
  if (offset == 1) return;  // the status register is read-only
  sys_->Control(window->fd, offset == 0 ? PpdevRequest::kWriteData : PpdevRequest::kWriteControl, &value);
}

#if defined(__linux__)
namespace {

class LinuxPpdev : public PpdevSys {
 public:
  int Open(const std::string& path) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd < 0 ? -errno : fd;
  }

  int Control(int fd, PpdevRequest request, std::uint8_t* value) override {
    int rc = -1;
    switch (request) {
      case PpdevRequest::kExclusive:
        rc = ::ioctl(fd, PPEXCL);
        break;
      case PpdevRequest::kClaim:
        rc = ::ioctl(fd, PPCLAIM);
        break;
      case PpdevRequest::kRelease:
        rc = ::ioctl(fd, PPRELEASE);
        break;
      case PpdevRequest::kDataForward: {
        int reverse = 0;
        rc = ::ioctl(fd, PPDATADIR, &reverse);
        break;
      }
      case PpdevRequest::kReadData:
        rc = ::ioctl(fd, PPRDATA, value);
        break;
      case PpdevRequest::kWriteData:
        rc = ::ioctl(fd, PPWDATA, value);
        break;
      case PpdevRequest::kReadStatus:
        rc = ::ioctl(fd, PPRSTATUS, value);
        break;
      case PpdevRequest::kReadControl:
        rc = ::ioctl(fd, PPRCONTROL, value);
        break;
      case PpdevRequest::kWriteControl:
        rc = ::ioctl(fd, PPWCONTROL, value);
        break;
    }
    return rc < 0 ? -errno : 0;
  }

  void Close(int fd) override { ::close(fd); }
};

}  // namespace

std::unique_ptr<PpdevSys> SystemPpdev() {
  return std::make_unique<LinuxPpdev>();
}
#else
std::unique_ptr<PpdevSys> SystemPpdev() {
  return nullptr;
}
#endif

}  // namespace zepa::port
