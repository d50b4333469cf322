#include "driver/portio_dispatch.h"

namespace zepa::driver {
namespace {

// The request buffers are little-endian byte arrays with no alignment promise: fields are assembled
// byte by byte.
std::uint16_t Load16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Store16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Store32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr Completion kInvalid{kStatusInvalidParameter, 0};
constexpr Completion kDenied{kStatusAccessDenied, 0};
constexpr Completion kNotOffered{kStatusInvalidDeviceRequest, 0};

// A list is n records of `size` bytes, n = input length div size (a trailing partial record is ignored).
// The output must reach at least to the end of the last record that reads, so that no value read from a
// port is lost; returns that end, or 0 when the list does not read at all.
std::uint32_t ListReadEnd(const std::uint8_t* buffer, std::uint32_t input_length, std::uint32_t size,
                          std::uint32_t direction_offset) {
  std::uint32_t end = 0;
  for (std::uint32_t at = 0; at + size <= input_length; at += size) {
    if (buffer[at + direction_offset] == 0) end = at + size;
  }
  return end;
}

// True when the port of every record of a list is served for an access of `width` bytes.
bool ListServed(const std::uint8_t* buffer, std::uint32_t input_length, std::uint32_t size,
                std::uint32_t width) {
  for (std::uint32_t at = 0; at + size <= input_length; at += size) {
    if (!Served(Load16(buffer + at), width)) return false;
  }
  return true;
}

// Bytes an access of a single-transfer or string function spans at its port.
std::uint32_t Width(std::uint32_t function) {
  switch (function) {
    case kReadWord:
    case kWriteWord:
    case kReadWordString:
    case kWriteWordString:
      return 2;
    case kReadDword:
    case kWriteDword:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

Completion PortIoDispatcher::Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t buffer_size,
                                     std::uint32_t input_length, std::uint32_t output_length) {
  const std::uint32_t larger = input_length > output_length ? input_length : output_length;
  if (buffer_size < larger || (buffer == nullptr && larger != 0)) return kInvalid;

  const std::uint32_t function = FunctionOf(code);
  std::uint32_t written_end = 0;  // end of what this request stores into the buffer
  std::uint32_t information = 0;

  switch (function) {
    case kByteList:
    case kWordList: {
      const bool bytes = function == kByteList;
      const std::uint32_t size = bytes ? 4 : 6;
      const std::uint32_t direction = bytes ? 3 : 4;
      written_end = ListReadEnd(buffer, input_length, size, direction);
      if (output_length < written_end) return kInvalid;
      if (!ListServed(buffer, input_length, size, bytes ? 1 : 2)) return kDenied;
      for (std::uint32_t at = 0; at + size <= input_length; at += size) {
        std::uint8_t* record = buffer + at;
        const std::uint16_t port = Load16(record);
        const bool write = record[direction] != 0;
        if (bytes) {
          if (write) {
            ports_.OutByte(port, record[2]);
          } else {
            record[2] = ports_.InByte(port);
          }
        } else {
          if (write) {
            ports_.OutWord(port, Load16(record + 2));
          } else {
            Store16(record + 2, ports_.InWord(port));
          }
        }
      }
      information = output_length;
      break;
    }
    case kReadByte:
    case kReadWord:
    case kReadDword: {
      if (input_length < 4 || output_length < 4) return kInvalid;
      const auto port = static_cast<std::uint16_t>(Load32(buffer));
      if (!Served(port, Width(function))) return kDenied;
      std::uint32_t value = 0;
      if (function == kReadByte) {
        value = ports_.InByte(port);
      } else if (function == kReadWord) {
        value = ports_.InWord(port);
      } else {
        value = ports_.InDword(port);
      }
      Store32(buffer, value);
      written_end = 4;
      information = 4;
      break;
    }
    case kWriteByte:
    case kWriteWord:
    case kWriteDword: {
      if (input_length < 8) return kInvalid;
      const auto port = static_cast<std::uint16_t>(Load32(buffer));
      if (!Served(port, Width(function))) return kDenied;
      const std::uint32_t value = Load32(buffer + 4);
      if (function == kWriteByte) {
        ports_.OutByte(port, static_cast<std::uint8_t>(value));
      } else if (function == kWriteWord) {
        ports_.OutWord(port, static_cast<std::uint16_t>(value));
      } else {
        ports_.OutDword(port, value);
      }
      information = output_length < 4 ? output_length : 4;
      break;
    }
    case kReadByteString:
    case kReadWordString:
    case kWriteByteString:
    case kWriteWordString: {
      if (input_length < 4) return kInvalid;
      const std::uint16_t port = Load16(buffer);
      const std::uint32_t count = Load16(buffer + 2);
      const std::uint32_t width = Width(function);
      const bool words = width == 2;
      const std::uint32_t end = 4 + count * width;
      const bool read = function == kReadByteString || function == kReadWordString;
      if ((read ? output_length : input_length) < end) return kInvalid;
      if (!Served(port, width)) return kDenied;
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t* item = buffer + 4 + i * width;
        if (read) {
          if (words) {
            Store16(item, ports_.InWord(port));
          } else {
            *item = ports_.InByte(port);
          }
        } else if (words) {
          ports_.OutWord(port, Load16(item));
        } else {
          ports_.OutByte(port, *item);
        }
      }
      if (read) written_end = end;
      information = output_length;
      break;
    }
    case kOpenUserPorts:
    case kCloseUserPorts:
      return kNotOffered;
    default:
      return kInvalid;
  }

  // Whatever goes back beyond the caller's own input and the values stored here would be stale memory.
  const std::uint32_t defined = input_length > written_end ? input_length : written_end;
  for (std::uint32_t at = defined; at < information; ++at) buffer[at] = 0;
  return {kStatusSuccess, information};
}

}  // namespace zepa::driver
