// Windows: the port I/O driver KPORTIO1 opened by name ("\\.\KPORTIO1" on Windows NT, the virtual device
// driver "\\.\KPORTIO1.VXD" on the Windows 95 line) and driven with DeviceIoControl.
#pragma once

#include <memory>

#include "port/port_io.h"

namespace zepa::port {

// The opened driver, or null (told to `notes`) when it cannot be opened.
std::unique_ptr<PortIo> OpenWindowsPortDriver(const PortNotes& notes);

}  // namespace zepa::port
