#include "port/win_driver_port.h"

#include <windows.h>

#include <string>
#include <utility>

#include "port/driver_client.h"

namespace zepa::port {
namespace {

class WinDriverChannel : public DriverChannel {
 public:
  explicit WinDriverChannel(HANDLE handle) : handle_(handle) {}
  ~WinDriverChannel() override { CloseHandle(handle_); }
  WinDriverChannel(const WinDriverChannel&) = delete;
  WinDriverChannel& operator=(const WinDriverChannel&) = delete;

  bool Control(std::uint32_t code, const void* input, std::uint32_t input_length, void* output,
               std::uint32_t output_length, std::uint32_t* returned) override {
    DWORD count = 0;
    const BOOL done = DeviceIoControl(handle_, code, const_cast<void*>(input), input_length, output,
                                      output_length, &count, nullptr);
    if (returned) *returned = count;
    return done != FALSE;
  }

 private:
  HANDLE handle_;
};

// The processor's IN and OUT; the driver's function 31 is what lets them through, so Permit has nothing
// to ask for.
class WinInstructions : public IoInstructions {
 public:
  int Permit(std::uint16_t, std::uint16_t, bool) override { return 0; }
  std::uint8_t In(std::uint16_t port) override {
    std::uint8_t value;
    asm volatile("inb %w1, %b0" : "=a"(value) : "Nd"(port));
    return value;
  }
  void Out(std::uint16_t port, std::uint8_t value) override {
    asm volatile("outb %b0, %w1" : : "a"(value), "Nd"(port));
  }
};

// The Windows 95 line sets bit 31 of the version word.
bool IsWin9x() {
  return (GetVersion() & 0x80000000u) != 0;
}

HANDLE OpenPortDriver(bool win9x) {
  if (win9x) return CreateFileA("\\\\.\\KPORTIO1.VXD", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return CreateFileA("\\\\.\\KPORTIO1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ErrorText(DWORD error) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  if (message.empty()) message = "error " + std::to_string(error);
  // The driver lets only SYSTEM and the Administrators group open it.
  if (error == ERROR_ACCESS_DENIED) message += " (run the programmer as administrator)";
  return message;
}

}  // namespace

std::unique_ptr<PortIo> OpenWindowsPortDriver(const PortNotes& notes) {
  const bool win9x = IsWin9x();
  HANDLE handle = OpenPortDriver(win9x);
  // Windows NT: a driver that was just started on demand may need a second attempt.
  if (handle == INVALID_HANDLE_VALUE && !win9x) handle = OpenPortDriver(false);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (notes) notes("the port I/O driver KPORTIO1 cannot be opened: " + ErrorText(error));
    return nullptr;
  }
  return std::make_unique<DriverClientPort>(std::make_unique<WinDriverChannel>(handle),
                                            std::make_unique<WinInstructions>(), win9x);
}

}  // namespace zepa::port
