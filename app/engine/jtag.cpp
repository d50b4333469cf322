#include "engine/jtag.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace zepa::engine {

std::size_t BitBuffer::Index(long n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= kBits)
    throw std::out_of_range(std::string(name_) + ": bit " + std::to_string(n) + " is outside 0.." +
                            std::to_string(kBits - 1));
  return static_cast<std::size_t>(n / 8);
}

// ---- vector recorder ----

VectorRecorder::~VectorRecorder() = default;

void VectorRecorder::Reset() {
  previous_tck_ = false;
  samples_ = 0;
  accumulator_ = 0;
  bytes_written_ = 0;
}

void VectorRecorder::Record(std::uint8_t data, const CableMap& pins) {
  const bool tck = (data & pins.PinTCK) != 0;
  if (!tck && previous_tck_) {
    const int sample = ((data & pins.PinTDI) ? 1 : 0) | ((data & pins.PinTMS) ? 2 : 0);
    accumulator_ = static_cast<std::uint8_t>(accumulator_ | (sample << (2 * samples_)));
    if (++samples_ == 4) {
      ++bytes_written_;
      if (file_) file_->stream().put(static_cast<char>(accumulator_));
      if (observer_) observer_(accumulator_);
      accumulator_ = 0;
      samples_ = 0;
    }
  }
  previous_tck_ = tck;
}

void VectorRecorder::Open(const std::string& path) {
  if (file_) throw std::logic_error("a vector file is already open: " + file_->path());
  try {
    file_ = std::make_unique<util::PendingFile>(path);
  } catch (const util::FileError&) {
    throw std::runtime_error("cannot create the vector file " + path);
  }
}

void VectorRecorder::Close() {
  if (!file_) return;
  const std::unique_ptr<util::PendingFile> file = std::move(file_);
  try {
    file->Commit();
  } catch (const util::FileError& e) {
    throw std::runtime_error((e.step() == util::FileError::Step::kPlace
                                  ? "cannot put the vector file in place: "
                                  : "cannot write the vector file ") +
                             file->path());
  }
}

// ---- waits ----

void DelayTimer::CalibrateDelay() {
  constexpr int kMaxRounds = 1000;
  DelayUnitWeight = 1;
  for (int round = 0; round < kMaxRounds; ++round) {
    const std::int64_t start = clock_.NowNs();
    clock_.RunDelayUnits(100001, DelayUnitWeight);
    const std::int64_t elapsed = (clock_.NowNs() - start) / 1'000'000;
    if (elapsed == 0) {
      DelayUnitWeight += 50;
    } else if (elapsed >= 100000) {
      DelayUnitWeight = std::max(1, DelayUnitWeight - 5);
    } else {
      const std::int64_t speed = 100000 / (elapsed * 10) + 100000 / elapsed;
      LoopSpeed = static_cast<int>(std::max<std::int64_t>(0, speed));
      if (LoopSpeed != 0) return;
    }
  }
  throw std::runtime_error("delay calibration: 100001 delay units never took a measurable time below 100 s");
}

void DelayTimer::Delay(int n) {
  if (n <= 0) {
    clock_.EmptyLoop(100001);
    return;
  }
  const std::int64_t deadline = clock_.NowNs() + static_cast<std::int64_t>(n) * 1'000'000;
  // About 22 microseconds of delay units between two clock readings once calibrated.
  const std::int64_t slice = std::max(1, LoopSpeed / 50);
  while (clock_.NowNs() < deadline) clock_.RunDelayUnits(slice, DelayUnitWeight);
}

// ---- TAP primitives ----

Jtag::Jtag(Cable& cable, ChainState& chain, engine::Clock& clock, MessageSink& messages)
    : cable_(cable), chain_(chain), messages_(messages), timer_(clock) {
  cable_.AttachRecorder(&recorder);
  cable_.AttachClock(&clock);
}

Jtag::~Jtag() {
  cable_.AttachRecorder(nullptr);
  cable_.AttachClock(nullptr);
}

void Jtag::Pulse(int tms) {
  cable_.SetPin(cable_.PinTMS(), tms);
  cable_.SetPin(cable_.PinTCK(), 1);
  cable_.SetPin(cable_.PinTCK(), 0);
}

void Jtag::DataBit(int tdi) {
  cable_.SetPin(cable_.PinTDI(), tdi);
  Pulse(0);
}

void Jtag::TapStep(int state) {
  const bool bif = (cable_.IspOptions & kOptBif) != 0;
  switch (state) {
    case TestLogicReset:
      cable_.SetPin(cable_.PinTMS(), 1);
      cable_.SetPin(cable_.PinTCK(), 0);
      for (int i = 0; i < 6; ++i) Pulse(1);
      break;
    case RunTestIdle:
      if (bif) cable_.SetPin(cable_.PinTDI(), 1);
      Pulse(0);
      if (bif) cable_.SetPin(cable_.PinTDI(), 0);
      break;
    case CaptureDr:
    case ShiftDr:
    case PauseDr:
    case CaptureIr:
    case ShiftIr:
    case PauseIr:
      Pulse(0);
      break;
    case SelectDrScan:
    case Exit1Dr:
    case Exit2Dr:
    case UpdateDr:
    case SelectIrScan:
    case Exit1Ir:
    case Exit2Ir:
      Pulse(1);
      break;
    case UpdateIr:
      if (bif) cable_.SetPin(cable_.PinTDI(), 0);
      Pulse(1);
      break;
    default:
      throw std::invalid_argument("TapStep: no TAP state " + std::to_string(state));
  }
}

void Jtag::LoadInstruction(const InstructionLoader& loader, int code) {
  if (code < 0 || code > loader.highest) return;
  if (code == loader.reset_to_idle) {
    ResetToIdle();
  } else if (code == loader.leave_through_reset) {
    LeaveThroughReset();
  } else if (std::find(loader.shifted.begin(), loader.shifted.end(), code) != loader.shifted.end()) {
    LoadInstruction(code);
  }
}

void Jtag::LoadInstruction(int code) {
  TapStep(SelectDrScan);
  TapStep(SelectIrScan);
  TapStep(CaptureIr);
  TapStep(ShiftIr);
  ShiftInstruction(code);
  TapStep(UpdateIr);
}

void Jtag::ResetToIdle() {
  TapStep(TestLogicReset);
  if (cable_.IspOptions & kOptBif) Pulse(0);
  TapStep(RunTestIdle);
}

void Jtag::LeaveThroughReset() {
  TapStep(SelectDrScan);
  TapStep(SelectIrScan);
  TapStep(TestLogicReset);
}

void Jtag::ShiftInstruction(int code) {
  for (int d = chain_.DeviceCount; d >= 1; --d) {
    const int length = chain_.Rec(d).IR_len;
    for (int i = 0; i < length; ++i) {
      const int bit = d == chain_.TargetDevice ? (i < 31 ? (code >> i) & 1 : 0) : 1;
      if (d == 1 && i == length - 1) cable_.SetPin(cable_.PinTMS(), 1);
      cable_.SetPin(cable_.PinTDI(), bit);
      cable_.SetPin(cable_.PinTCK(), 1);
      cable_.SetPin(cable_.PinTCK(), 0);
    }
  }
}

void Jtag::Skip() {
  for (int i = chain_.DeviceCount - chain_.TargetDevice; i > 0; --i) TapStep(ShiftDr);
}

void Jtag::Tail() {
  for (int i = chain_.TargetDevice - 1; i > 0; --i) TapStep(ShiftDr);
  TapStep(Exit1Dr);
}

void Jtag::ShiftImageBits(long first, long last) {
  for (long n = first; n <= last; ++n) DataBit(ImageBuffer.Bit(n));
}

// The reads of a shift are requested as the bits go by and taken together at its end.
void Jtag::ReadBitsToBuffer(long first, long last) {
  Skip();
  for (long n = first; n <= last; ++n) {
    TapStep(ShiftDr);
    cable_.RequestTdo();
  }
  const std::vector<std::uint8_t> bits = cable_.TakeTdo();
  for (long n = first; n <= last; ++n) ReadbackBuffer.SetBit(n, bits[static_cast<std::size_t>(n - first)]);
}

void Jtag::ReadBitsDescending(long first, long last) {
  Skip();
  for (long n = last; n >= first; --n) {
    TapStep(ShiftDr);
    cable_.RequestTdo();
  }
  const std::vector<std::uint8_t> bits = cable_.TakeTdo();
  for (long n = last; n >= first; --n) ReadbackBuffer.SetBitLow(n, bits[static_cast<std::size_t>(last - n)]);
}

void Jtag::ShiftAndCapture(long first, long last) {
  const long length = TargetDrLength();
  Skip();
  for (long n = first; n <= last; ++n) {
    // TDI takes the next bit before TDO, which it cannot change, is sampled: one write for both.
    cable_.SetPin(cable_.PinTDI(), ImageBuffer.Bit(n));
    cable_.RequestTdo();
    Pulse(0);
  }
  const std::vector<std::uint8_t> bits = cable_.TakeTdo();
  for (long n = first; n <= last; ++n)
    ReadbackBuffer.SetBit(n - length, bits[static_cast<std::size_t>(n - first)]);
}

bool Jtag::ExpectOnes(long first, long last) {
  Skip();
  for (long n = first; n <= last; ++n) {
    TapStep(ShiftDr);
    if (cable_.ReadTdo() == 0) return false;
  }
  return true;
}

bool Jtag::CompareBits(long first, long last) const {
  for (long n = first; n <= last; ++n) {
    if (ImageBuffer.Bit(n) != ReadbackBuffer.Bit(n)) return false;
  }
  return true;
}

void Jtag::ShiftZeros(long count) {
  for (long i = 0; i < count; ++i) DataBit(0);
}

void Jtag::ShiftOnesButLast() {
  const int length = TargetDrLength();
  for (int i = 0; i < length; ++i) DataBit(i == length - 1 ? 0 : 1);
}

void Jtag::ShiftOnesButOne(int length, int position) {
  for (int i = length - 1; i >= 0; --i) DataBit(i == position ? 0 : 1);
}

void Jtag::ShiftTargetZeros7() {
  for (int d = chain_.DeviceCount; d >= 1; --d) {
    const int clocks = d == chain_.TargetDevice ? 7 : 1;
    for (int c = 0; c < clocks; ++c) {
      cable_.SetPin(cable_.PinTDI(), 0);
      TapStep(d == 1 && c == clocks - 1 ? Exit1Dr : ShiftDr);
    }
  }
}

void Jtag::ShiftAddress(int address, int width) {
  for (int b = width - 1; b >= 0; --b) {
    cable_.SetPin(cable_.PinTDI(), (address >> b) & 1);
    if (b == 0) {
      Tail();
    } else {
      TapStep(ShiftDr);
    }
  }
}

void Jtag::ShiftBitString(std::string_view text, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) {
    const char c = i < text.size() ? text[i] : '\0';
    if (c == '0' || c == '1') {
      cable_.SetPin(cable_.PinTDI(), c - '0');
    } else {
      messages_.add_message("Error bit value found!");  // TDI keeps its previous level
    }
    if (i + 1 == to) {
      Tail();
    } else {
      TapStep(ShiftDr);
    }
  }
}

void Jtag::LoadImageFile(const std::string& name) {
  std::string data;
  try {
    data = util::ReadFileOrThrow(name);
  } catch (const util::FileError& e) {
    throw std::runtime_error((e.step() == util::FileError::Step::kOpen ? "cannot open the image file "
                                                                       : "cannot read the image file ") +
                             name);
  }
  if (data.empty()) throw std::runtime_error("the image file " + name + " is empty");
  if (data.size() - 1 > BitBuffer::kBytes)
    throw std::runtime_error("the image file " + name + " holds " + std::to_string(data.size() - 1) +
                             " image bytes, more than the " + std::to_string(BitBuffer::kBytes) +
                             " of the image buffer");
  ImageBuffer.Byte(0) = static_cast<std::uint8_t>(data[0]);
  for (std::size_t i = 1; i < data.size(); ++i) ImageBuffer.Byte(i - 1) = static_cast<std::uint8_t>(data[i]);
}

}  // namespace zepa::engine
