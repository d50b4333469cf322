#include "fusemap/zepa2_mcs.h"

#include <algorithm>
#include <span>

#include "fusemap/zepa2_bits.h"

namespace zepa::fusemap::zepa2 {
namespace {

constexpr std::size_t kRecordBytes = 16;
constexpr std::size_t kRecordsPerSegment = 4096;  // 64 KB
constexpr char kHex[] = "0123456789ABCDEF";

// One Intel HEX record: ':', count, address, type, data, and the two's complement of the sum of all of
// these bytes.
void AppendRecord(std::string& out, std::uint16_t address, std::uint8_t type,
                  std::span<const std::uint8_t> data) {
  data = data.first(std::min<std::size_t>(data.size(), 255));
  const std::size_t first = out.size();
  out.resize(first + 1 + 2 * (4 + data.size() + 1) + 1);
  char* p = out.data() + first;
  unsigned sum = 0;
  auto put = [&p, &sum](std::uint8_t byte) {
    p[0] = kHex[byte >> 4];
    p[1] = kHex[byte & 0xF];
    p += 2;
    sum += byte;
  };
  *p++ = ':';
  put(static_cast<std::uint8_t>(data.size()));
  put(static_cast<std::uint8_t>(address >> 8));
  put(static_cast<std::uint8_t>(address & 0xFF));
  put(type);
  for (std::uint8_t byte : data) put(byte);
  put(static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
  *p = '\n';
}

void AppendSegmentRecord(std::string& out, std::size_t segment) {
  const auto base = static_cast<std::uint16_t>(segment * 0x1000);  // paragraph of the segment's byte 0
  const std::uint8_t data[2] = {static_cast<std::uint8_t>(base >> 8), static_cast<std::uint8_t>(base & 0xFF)};
  AppendRecord(out, 0, 0x02, data);
}

}  // namespace

void BitPacker::Append(std::string_view bits) {
  std::size_t i = 0;
  if (filled_ == 0) {  // whole bytes straight from the text
    const std::size_t whole = bits.size() / 8;
    const std::size_t first = bytes_.size();
    bytes_.resize(first + whole);
    std::uint8_t* out = bytes_.data() + first;
    if (lsb_first_) {
      for (std::size_t k = 0; k < whole; ++k)
        out[k] = static_cast<std::uint8_t>(PackLsbFirst(bits.data() + 8 * k));
    } else {
      for (std::size_t k = 0; k < whole; ++k)
        out[k] = static_cast<std::uint8_t>(PackMsbFirst(bits.data() + 8 * k));
    }
    i = whole * 8;
  }
  for (; i < bits.size(); ++i) {
    value_ |= static_cast<unsigned>(bits[i] == '1') << (lsb_first_ ? filled_ : 7 - filled_);
    if (++filled_ == 8) {
      bytes_.push_back(static_cast<std::uint8_t>(value_));
      value_ = 0;
      filled_ = 0;
    }
  }
}

std::vector<std::uint8_t> BitPacker::Finish() {
  if (filled_ > 0) bytes_.push_back(static_cast<std::uint8_t>(value_));
  value_ = 0;
  filled_ = 0;
  return std::move(bytes_);
}

std::vector<std::uint8_t> PackBitStream(std::string_view bit_text, McsBitOrder order) {
  BitPacker packer(order);
  const auto is_line_end = [](char c) { return c == '\n' || c == '\r'; };
  auto start = bit_text.begin();
  while (true) {
    const auto end = std::find_if(start, bit_text.end(), is_line_end);
    packer.Append(std::string_view(start, end));
    if (end == bit_text.end()) break;
    start = end + 1;
  }
  return packer.Finish();
}

std::string generate_mcs_format(std::string_view bit_text, McsBitOrder order) {
  return McsRecords(PackBitStream(bit_text, order));
}

std::string McsRecords(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / kRecordBytes * 44 + 64);
  AppendSegmentRecord(out, 0);
  std::size_t index = 0;  // record index within the current segment
  std::size_t segment = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += kRecordBytes) {
    const std::size_t count = std::min(kRecordBytes, bytes.size() - pos);
    AppendRecord(out, static_cast<std::uint16_t>(index * kRecordBytes), 0x00, bytes.subspan(pos, count));
    if (++index == kRecordsPerSegment) {
      index = 0;
      AppendSegmentRecord(out, ++segment);
    }
  }
  AppendRecord(out, 0, 0x01, {});
  return out;
}

}  // namespace zepa::fusemap::zepa2
