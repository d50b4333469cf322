// What the port I/O driver (KPORTIO1) and its user-mode clients agree on: names, control codes and
// completion status values. Freestanding: included by the kernel image too.
#pragma once

#include <cstdint>

namespace zepa::driver {

// Function numbers of the device-control requests.
enum Function : std::uint32_t {
  kByteList = 10,
  kReadByte = 11,
  kWriteByte = 12,
  kReadWord = 13,
  kWriteWord = 14,
  kReadDword = 15,
  kWriteDword = 16,
  kReadByteString = 18,
  kWriteByteString = 19,
  kReadWordString = 20,
  kWriteWordString = 21,
  kWordList = 22,
  // Opening and closing the I/O ports to user mode: defined for the clients that send them, refused by
  // the driver.
  kOpenUserPorts = 31,
  kCloseUserPorts = 32,
};

inline constexpr std::uint32_t kDeviceType = 0x8000;
inline constexpr std::uint32_t kFunctionBase = 0x800;
inline constexpr std::uint32_t kMethodBuffered = 0;
inline constexpr std::uint32_t kFileAnyAccess = 0;

// CTL_CODE (8000h, 800h + f, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr std::uint32_t NtControlCode(std::uint32_t function) {
  return (kDeviceType << 16) | (kFileAnyAccess << 14) | ((kFunctionBase + function) << 2) | kMethodBuffered;
}

// The function a control code asks for, or 0 when the code is not one of this device's buffered codes.
constexpr std::uint32_t FunctionOf(std::uint32_t code) {
  if ((code >> 16) != kDeviceType || (code & 3) != kMethodBuffered || ((code >> 14) & 3) != kFileAnyAccess) {
    return 0;
  }
  const std::uint32_t number = (code >> 2) & 0xFFF;
  return number >= kFunctionBase ? number - kFunctionBase : 0;
}

inline constexpr std::uint32_t kStatusSuccess = 0x00000000;
inline constexpr std::uint32_t kStatusInvalidParameter = 0xC000000D;
inline constexpr std::uint32_t kStatusAccessDenied = 0xC0000022;
inline constexpr std::uint32_t kStatusInvalidDeviceRequest = 0xC0000010;

// Bytes of the device extension; its first 32-bit word points back at the device object.
inline constexpr std::uint32_t kDeviceExtensionSize = 56;

}  // namespace zepa::driver
