#include "fusemap/zepa2_mcs.h"

#include <algorithm>
#include <span>

namespace zepa::fusemap::zepa2 {
namespace {

constexpr std::size_t kRecordBytes = 16;
constexpr std::size_t kRecordsPerSegment = 4096;  // 64 KB
constexpr char kHex[] = "0123456789ABCDEF";

// One Intel HEX record: ':', count, address, type, data, and the two's complement of the sum of all of
// these bytes.
void AppendRecord(std::string& out, std::uint16_t address, std::uint8_t type,
                  std::span<const std::uint8_t> data) {
  unsigned sum = 0;
  auto put = [&out, &sum](std::uint8_t byte) {
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
    sum += byte;
  };
  out.push_back(':');
  put(static_cast<std::uint8_t>(data.size()));
  put(static_cast<std::uint8_t>(address >> 8));
  put(static_cast<std::uint8_t>(address & 0xFF));
  put(type);
  for (std::uint8_t byte : data) put(byte);
  put(static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
  out.push_back('\n');
}

void AppendSegmentRecord(std::string& out, std::size_t segment) {
  const auto base = static_cast<std::uint16_t>(segment * 0x1000);  // paragraph of the segment's byte 0
  const std::uint8_t data[2] = {static_cast<std::uint8_t>(base >> 8), static_cast<std::uint8_t>(base & 0xFF)};
  AppendRecord(out, 0, 0x02, data);
}

}  // namespace

std::vector<std::uint8_t> PackBitStream(std::string_view bit_text, McsBitOrder order) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(bit_text.size() / 8 + 1);
  unsigned value = 0;
  int filled = 0;
  for (char c : bit_text) {
    if (c == '\n' || c == '\r') continue;
    const unsigned bit = c == '1' ? 1u : 0u;
    value |= order == McsBitOrder::kLsbFirst ? bit << filled : bit << (7 - filled);
    if (++filled == 8) {
      bytes.push_back(static_cast<std::uint8_t>(value));
      value = 0;
      filled = 0;
    }
  }
  if (filled > 0) bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

std::string generate_mcs_format(std::string_view bit_text, McsBitOrder order) {
  const std::vector<std::uint8_t> bytes = PackBitStream(bit_text, order);
  const std::span<const std::uint8_t> all(bytes);
  std::string out;
  out.reserve(bytes.size() / kRecordBytes * 44 + 64);
  AppendSegmentRecord(out, 0);
  std::size_t index = 0;  // record index within the current segment
  std::size_t segment = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += kRecordBytes) {
    const std::size_t count = std::min(kRecordBytes, bytes.size() - pos);
    AppendRecord(out, static_cast<std::uint16_t>(index * kRecordBytes), 0x00, all.subspan(pos, count));
    if (++index == kRecordsPerSegment) {
      index = 0;
      AppendSegmentRecord(out, ++segment);
    }
  }
  AppendRecord(out, 0, 0x01, {});
  return out;
}

}  // namespace zepa::fusemap::zepa2
