#include "sim/slave_serial.h"

#include "sim/zepa2_family.h"

namespace zepa::sim {
namespace {

constexpr int kDataBits = kZepa2FrameLength - kZepa2AddressBits;  // 546
constexpr int kFramesPerBlock = 168;
constexpr int kLeadingOnes = 8;          // the fewest ones before a preamble the part syncs on
constexpr std::size_t kHeaderBits = 22;  // CRC enable, 16 CRC bits, 2 compression bits, 3 align/stop bits
constexpr std::size_t kCrcAt = 1, kCompressionAt = 17, kAlignAt = 19;
// The end-of-configuration packet: preamble, then 33 ones, of which the part waits for 16 (the last bit
// of a stream may never see a clock edge).
constexpr int kEndOnes = 16;

// CRC-16, x^16 + x^15 + x^2 + 1, one bit at a time.
std::uint16_t CrcStep(std::uint16_t crc, bool bit) {
  const bool feedback = ((crc >> 15) & 1) != static_cast<unsigned>(bit);
  crc = static_cast<std::uint16_t>(crc << 1);
  return feedback ? static_cast<std::uint16_t>(crc ^ 0x8005) : crc;
}

}  // namespace

SlaveSerialPart::SlaveSerialPart(const PartInfo& part, DeviceMemory& memory)
    : memory_(memory),
      blocks_(part.type_code == 130 ? 2 : 6),
      written_(static_cast<std::size_t>(blocks_ * kFramesPerBlock), false) {}

void SlaveSerialPart::Clear() {
  memory_.Erase();
  done_ = false;
  ones_ = 0;
  bits_.clear();
  have_previous_ = false;
  previous_.clear();
  written_.assign(static_cast<std::size_t>(blocks_ * kFramesPerBlock), false);
  frames_written_ = 0;
  packets_ = 0;
  fault_.clear();
}

void SlaveSerialPart::Drive(bool cclk, bool din, bool prog) {
  if (!prog) {
    if (prog_ || stage_ != Stage::kHeld) Clear();
    stage_ = Stage::kHeld;
  } else if (!prog_) {
    stage_ = Stage::kSync;  // PROG released: the part waits for the stream
  }
  if (prog && cclk && !cclk_) Take(din);
  prog_ = prog;
  cclk_ = cclk;
}

void SlaveSerialPart::Stop(const std::string& why) {
  fault_ = "packet " + std::to_string(packets_ + 1) + ": " + why;
  stage_ = Stage::kStopped;
}

void SlaveSerialPart::Take(bool bit) {
  switch (stage_) {
    case Stage::kSync:
      // Ones until a zero after enough of them: the zero is the preamble's first bit. A zero after fewer
      // ones is noise (before the first packet, the level DIN had before the stream began).
      if (bit) {
        ++ones_;
      } else {
        if (ones_ >= kLeadingOnes) {
          stage_ = Stage::kPreamble;
          bits_.clear();
        }
        ones_ = 0;
      }
      return;
    case Stage::kPreamble: {
      // After the first 0: 1 0 0 opens a frame packet; 0 1 0 and ones end the configuration (the end
      // packet's preamble is not reversed).
      static const std::vector<bool> kFrame{true, false, false}, kEnd{false, true, false};
      bits_.push_back(bit);
      const std::vector<bool>& expected = bits_[0] ? kFrame : kEnd;
      if (bits_.back() != expected[bits_.size() - 1]) {
        stage_ = Stage::kSync;  // not a preamble: back to looking for one
        ones_ = bit ? 1 : 0;
        bits_.clear();
      } else if (bits_.size() == expected.size()) {
        stage_ = bits_[0] ? Stage::kHeader : Stage::kEnd;
        ones_ = 0;
        bits_.clear();
      }
      return;
    }
    case Stage::kEnd:
      if (!bit) return Stop("a 0 in the end-of-configuration packet");
      if (++ones_ == kEndOnes) Finish();
      return;
    case Stage::kHeader:
      bits_.push_back(bit);
      if (bits_.size() == kHeaderBits) Header();
      return;
    case Stage::kBody:
      bits_.push_back(bit);
      if (bits_.size() == kHeaderBits + body_length_) Body();
      return;
    case Stage::kFinished:  // the rest of the end packet, and whatever follows it, is not read
    case Stage::kStopped:
    case Stage::kHeld:
      return;
  }
}

void SlaveSerialPart::Finish() {
  stage_ = Stage::kFinished;
  ++packets_;
  const int frames = blocks_ * kFramesPerBlock;
  if (frames_written_ == frames) {
    done_ = true;
  } else {
    fault_ = "packet " + std::to_string(packets_) + ": end of configuration with " +
             std::to_string(frames_written_) + " of " + std::to_string(frames) + " frames written";
  }
}

void SlaveSerialPart::Header() {
  if (!bits_[kAlignAt] || !bits_[kAlignAt + 1] || bits_[kAlignAt + 2])
    return Stop("align/stop bits are not 110");
  const bool standard = bits_[0];
  const bool k0 = bits_[kCompressionAt], k1 = bits_[kCompressionAt + 1];
  if (!standard) {
    for (std::size_t i = 0; i < 16; ++i) {
      if (bits_[kCrcAt + i] != (i % 2 == 1)) return Stop("a compressed packet's CRC field is not 0101...01");
    }
    if (!k0 && !k1) return Stop("a compressed packet without a compression");
    if (!k0 && k1 && !have_previous_) return Stop("a hold packet with no frame before it");
  }
  body_length_ = (standard ? kDataBits : 0) + kZepa2AddressBits;
  stage_ = Stage::kBody;
}

void SlaveSerialPart::Body() {
  const bool standard = bits_[0];
  const auto body = bits_.begin() + static_cast<std::ptrdiff_t>(kHeaderBits);
  const std::vector<bool> address(body + (standard ? kDataBits : 0), bits_.end());
  std::vector<bool> data;
  if (standard) {
    std::uint16_t crc = 0;
    crc = CrcStep(crc, bits_[kAlignAt + 1]);
    crc = CrcStep(crc, bits_[kAlignAt + 2]);
    for (auto it = body; it != bits_.end(); ++it) crc = CrcStep(crc, *it);
    std::uint16_t sent = 0;
    for (std::size_t i = 0; i < 16; ++i) {
      if (bits_[kCrcAt + i]) sent = static_cast<std::uint16_t>(sent | 1u << i);
    }
    if (crc != sent) return Stop("CRC error");
    data.assign(body, body + kDataBits);
  } else {
    const bool k0 = bits_[kCompressionAt], k1 = bits_[kCompressionAt + 1];
    if (!k0 && k1) {
      data = previous_;
    } else {
      data.assign(kDataBits, k1);  // 1 0: all zeros, 1 1: all ones
    }
  }
  const int frame = Zepa2FrameOfAddress(address, blocks_);
  if (frame < 0) return Stop("the address names no frame");
  Bits row(data.begin(), data.end());
  row.insert(row.end(), address.begin(), address.end());
  memory_.rows[frame] = std::move(row);
  memory_.Programmed(frame);
  if (!written_[static_cast<std::size_t>(frame)]) {
    written_[static_cast<std::size_t>(frame)] = true;
    ++frames_written_;
  }
  previous_ = std::move(data);
  have_previous_ = true;
  ++packets_;
  ones_ = 0;
  bits_.clear();
  stage_ = Stage::kSync;
}

}  // namespace zepa::sim
