// KPORTIO1, the Windows NT kernel-mode port I/O driver: the I/O manager's entry points around the
// portable request handling of portio_dispatch.cpp, and the x86 port instructions. Built only as a 32-bit
// kernel image by scripts/cross-build-windows.sh (no C runtime, no exceptions, no static constructors).
// wdm.h brings its own bodies of these two; keep the compiler intrinsics header from defining them first,
// which a C++ compile rejects as a redefinition.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ddk/ntifs.h>

#include <cstdint>

#include "driver/portio_dispatch.h"

namespace {

using zepa::driver::Completion;
using zepa::driver::PortIoDispatcher;

class X86Ports final : public zepa::driver::PortSpace {
 public:
  constexpr X86Ports() = default;

  std::uint8_t InByte(std::uint16_t port) override {
    std::uint8_t v;
    asm volatile("inb %w1, %b0" : "=a"(v) : "Nd"(port));
    return v;
  }
  std::uint16_t InWord(std::uint16_t port) override {
    std::uint16_t v;
    asm volatile("inw %w1, %w0" : "=a"(v) : "Nd"(port));
    return v;
  }
  std::uint32_t InDword(std::uint16_t port) override {
    std::uint32_t v;
    asm volatile("inl %w1, %0" : "=a"(v) : "Nd"(port));
    return v;
  }
  void OutByte(std::uint16_t port, std::uint8_t v) override {
    asm volatile("outb %b0, %w1" : : "a"(v), "Nd"(port));
  }
  void OutWord(std::uint16_t port, std::uint16_t v) override {
    asm volatile("outw %w0, %w1" : : "a"(v), "Nd"(port));
  }
  void OutDword(std::uint16_t port, std::uint32_t v) override {
    asm volatile("outl %0, %w1" : : "a"(v), "Nd"(port));
  }
};

constinit X86Ports g_ports;
constinit PortIoDispatcher g_dispatcher{g_ports};

wchar_t g_device_name[] = L"\\Device\\KPORTIO1";
wchar_t g_link_name[] = L"\\DosDevices\\KPORTIO1";

UNICODE_STRING Name(wchar_t* text, USHORT bytes) {
  UNICODE_STRING s;
  s.Length = static_cast<USHORT>(bytes - sizeof(wchar_t));
  s.MaximumLength = bytes;
  s.Buffer = text;
  return s;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// Who may open the device: SYSTEM and the Administrators group, with all rights, and nobody else (the
// security descriptor D:P(A;;GA;;;SY)(A;;GA;;;BA); GA is FILE_ALL_ACCESS for a device). The I/O manager's
// own way to create a device with such a descriptor, IoCreateDeviceSecure, comes in a static library of
// the Windows driver kit, not from ntoskrnl.exe, and the cross toolchain has none; so the device is
// created plainly and its DACL replaced here, while it still refuses every open (it is initializing until
// DriverEntry returns) and before its symbolic link exists.
NTSTATUS AllowOnlySystemAndAdministrators(PDEVICE_OBJECT device) {
  // An ACL header and two access-allowed entries, each a header, a mask and a SID of at most 16 bytes.
  ULONG acl_space[32] = {};
  auto* acl = reinterpret_cast<PACL>(acl_space);
  NTSTATUS status = RtlCreateAcl(acl, sizeof acl_space, ACL_REVISION);
  if (NT_SUCCESS(status)) {
    status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, SeExports->SeLocalSystemSid);
  }
  if (NT_SUCCESS(status)) {
    status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, SeExports->SeAliasAdminsSid);
  }
  SECURITY_DESCRIPTOR descriptor;
  if (NT_SUCCESS(status)) status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
  if (!NT_SUCCESS(status)) return status;

  HANDLE handle = nullptr;
  status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, nullptr, WRITE_DAC, nullptr, KernelMode, &handle);
  if (!NT_SUCCESS(status)) return status;
  status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
  ZwClose(handle);
  return status;
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT, PIRP irp) {
  return Complete(irp, STATUS_SUCCESS, 0);
}

// Close and cleanup: the driver keeps nothing per handle.
NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT, PIRP irp) {
  return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->MajorFunction != IRP_MJ_DEVICE_CONTROL) return Complete(irp, STATUS_SUCCESS, 0);
  const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
  // Buffered I/O: one system buffer of the larger of the two lengths carries input and output.
  const Completion done = g_dispatcher.Control(stack->Parameters.DeviceIoControl.IoControlCode,
                                               static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer),
                                               in > out ? in : out, in, out);
  return Complete(irp, static_cast<NTSTATUS>(done.status), done.information);
}

VOID NTAPI DriverUnload(PDRIVER_OBJECT driver) {
  BOOLEAN conflict = FALSE;
  IoReportResourceUsage(nullptr, driver, nullptr, 0, nullptr, nullptr, 0, FALSE, &conflict);
  UNICODE_STRING link = Name(g_link_name, sizeof g_link_name);
  IoDeleteSymbolicLink(&link);
  IoDeleteDevice(driver->DeviceObject);
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  UNICODE_STRING device_name = Name(g_device_name, sizeof g_device_name);
  PDEVICE_OBJECT device = nullptr;
  // FILE_DEVICE_SECURE_OPEN: an open of a name below the device ("\\.\KPORTIO1\x") meets the same DACL.
  NTSTATUS status = IoCreateDevice(driver, zepa::driver::kDeviceExtensionSize, &device_name,
                                   zepa::driver::kDeviceType, FILE_DEVICE_SECURE_OPEN, TRUE, &device);
  if (!NT_SUCCESS(status)) return status;
  status = AllowOnlySystemAndAdministrators(device);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }

  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
  driver->DriverUnload = DriverUnload;

  UNICODE_STRING link = Name(g_link_name, sizeof g_link_name);
  status = IoCreateSymbolicLink(&link, &device_name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(device);
    return status;
  }
  device->Flags |= DO_BUFFERED_IO;
  *static_cast<PDEVICE_OBJECT*>(device->DeviceExtension) = device;
  return STATUS_SUCCESS;
}

// A call through an unfilled virtual slot cannot happen here; the symbol only has to exist in an image
// linked without the C++ runtime.
extern "C" void __cxa_pure_virtual() {
  KeBugCheck(0xE2);
}
