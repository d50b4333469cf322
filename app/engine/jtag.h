// JTAG TAP primitives over the cable's SetPin / ReadTdo: TAP steps, instruction loads with every other
// device in BYPASS, data-register shifts past the bypass bits, the two bit buffers, calibrated waits and the
// pin-vector (.bif) recorder. The families' instruction sets and row addresses are in their protocol headers
// (engine/zepa1_protocol.h, zepa2_protocol.h, zepa3_protocol.h).
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/cable.h"
#include "engine/chain.h"
#include "engine/clock.h"
#include "engine/isp_options.h"
#include "engine/messages.h"
#include "util/files.h"

namespace zepa::engine {

// The sixteen controller states in their customary numbering; TapStep takes these numbers.
enum TapState : int {
  TestLogicReset = 0,
  RunTestIdle = 1,
  SelectDrScan = 2,
  CaptureDr = 3,
  ShiftDr = 4,
  Exit1Dr = 5,
  PauseDr = 6,
  Exit2Dr = 7,
  UpdateDr = 8,
  SelectIrScan = 9,
  CaptureIr = 10,
  ShiftIr = 11,
  Exit1Ir = 12,
  PauseIr = 13,
  Exit2Ir = 14,
  UpdateIr = 15,
};

// How a family's instruction register is loaded: a code among `shifted` is shifted into the target with
// BYPASS elsewhere; the pseudo-code `reset_to_idle` resets the chain into Run-Test/Idle and
// `leave_through_reset` leaves through Test-Logic-Reset; any other code does nothing.
struct InstructionLoader {
  int highest;  // codes above do nothing
  std::span<const int> shifted;
  int reset_to_idle;
  int leave_through_reset;
};

// 11052 bytes of bits; bit n is bit 7 - n mod 8 of byte n div 8 (most significant first). The "low"
// accessors number bits from the least significant end of each byte instead. Every access is range checked.
class BitBuffer {
 public:
  static constexpr std::size_t kBytes = 11052;
  static constexpr std::size_t kBits = kBytes * 8;

  explicit BitBuffer(const char* name) : name_(name) { bytes_.fill(0); }

  bool Bit(long n) const { return (bytes_[Index(n)] >> (7 - n % 8)) & 1; }
  void SetBit(long n, bool value) { Put(n, static_cast<int>(7 - n % 8), value); }
  bool BitLow(long n) const { return (bytes_[Index(n)] >> (n % 8)) & 1; }
  void SetBitLow(long n, bool value) { Put(n, static_cast<int>(n % 8), value); }

  void Fill(std::uint8_t value) { bytes_.fill(value); }
  std::uint8_t& Byte(std::size_t i) { return bytes_.at(i); }
  const std::array<std::uint8_t, kBytes>& bytes() const { return bytes_; }

 private:
  std::size_t Index(long n) const;
  void Put(long n, int shift, bool value) {
    std::uint8_t& b = bytes_[Index(n)];
    b = static_cast<std::uint8_t>(value ? b | (1u << shift) : b & ~(1u << shift));
  }

  const char* name_;
  std::array<std::uint8_t, kBytes> bytes_;
};

// Turns the data-register values the cable writes into 2-bit samples (bit 0 TDI, bit 1 TMS) taken at each
// falling TCK edge, four to a byte from the low bits up. A byte is written when its fourth sample is in; an
// incomplete last byte is dropped.
class VectorRecorder {
 public:
  VectorRecorder() = default;
  VectorRecorder(const VectorRecorder&) = delete;
  VectorRecorder& operator=(const VectorRecorder&) = delete;
  ~VectorRecorder();

  // Clears the previous TCK level, the sample count and the accumulator.
  void Reset();
  void Record(std::uint8_t data, const CableMap& pins);

  // Starts a .bif file. It is written beside its final name and renamed into place by Close(), so a run
  // that ends abnormally never leaves a truncated file; without Close() the partial file is removed.
  void Open(const std::string& path);
  void Close();
  bool is_open() const { return file_ != nullptr; }

  // Bytes completed since the last Reset (whether or not a file is open).
  std::size_t bytes_written() const { return bytes_written_; }
  // Called with every completed byte, file or not (tools and tests watch the stream this way).
  void set_byte_observer(std::function<void(std::uint8_t)> observer) { observer_ = std::move(observer); }

 private:
  bool previous_tck_ = false;
  int samples_ = 0;
  std::uint8_t accumulator_ = 0;
  std::size_t bytes_written_ = 0;
  std::unique_ptr<util::PendingFile> file_;
  std::function<void(std::uint8_t)> observer_;
};

// Calibrated waits. Delay(n) busy-waits until n milliseconds have passed on the clock, burning delay units
// between clock readings in slices sized by the calibration, so it never returns early and overshoots by
// about one slice.
class DelayTimer {
 public:
  explicit DelayTimer(Clock& clock) : clock_(clock) {}

  int DelayUnitWeight = 1;  // inner steps per delay unit
  int LoopSpeed = 0;        // about 1.1 x delay units per millisecond; 0 until calibrated

  // Retunes DelayUnitWeight until 100001 delay units take a measurable time below 100 s, then sets
  // LoopSpeed. Throws if the clock never gives a usable measurement.
  void CalibrateDelay();
  // n = 0: a fixed empty loop of 100001 turns; n > 0: at least n milliseconds.
  void Delay(int n);

 private:
  Clock& clock_;
};

class Jtag {
 public:
  Jtag(Cable& cable, ChainState& chain, Clock& clock, MessageSink& messages);
  Jtag(const Jtag&) = delete;
  Jtag& operator=(const Jtag&) = delete;
  ~Jtag();

  Cable& cable() { return cable_; }
  ChainState& chain() { return chain_; }
  MessageSink& messages() { return messages_; }

  // One clock whose TMS level leads into `state` (0: six clocks with TMS high, from any state).
  void TapStep(int state);
  // What `code` stands for in `loader`: one of the three loads below, or nothing.
  void LoadInstruction(const InstructionLoader& loader, int code);
  // From Run-Test/Idle or Update-DR/IR: `code` into the target's instruction register and BYPASS into every
  // other one; ends in Update-IR.
  void LoadInstruction(int code);
  // Test-Logic-Reset, then Run-Test/Idle (with one clock more while pin vectors are recorded).
  void ResetToIdle();
  // From Run-Test/Idle or Update-DR/IR: out through Test-Logic-Reset.
  void LeaveThroughReset();
  // Shifts the whole chain's instruction registers in Shift-IR; ends in Exit1-IR.
  void ShiftInstruction(int code);

  // Data-register routines; see each definition for skip (bypass bits nearer TDO before the first read)
  // and tail (bypass bits nearer TDI after the last written bit, then Exit1-DR).
  void ShiftImageBits(long first, long last);
  void ReadBitsToBuffer(long first, long last);
  void ReadBitsDescending(long first, long last);
  void ShiftAndCapture(long first, long last);
  bool ExpectOnes(long first, long last);
  bool CompareBits(long first, long last) const;
  void ShiftZeros(long count);
  void ShiftOnesButLast();
  void ShiftOnesButOne(int length, int position);
  void ShiftTargetZeros7();
  // The low `width` bits of `address`, most significant first, then the tail.
  void ShiftAddress(int address, int width);
  void ShiftBitString(std::string_view text, std::size_t from, std::size_t to);

  // The pins reach the port before the wait starts.
  void Delay(int n) {
    cable_.Flush();
    timer_.Delay(n);
  }
  void CalibrateDelay() { timer_.CalibrateDelay(); }
  DelayTimer& timer() { return timer_; }

  // Loads a ZEPA1 image (.bin): its first byte (the type code) lands in byte 0 and is then overwritten by
  // the image bytes 0, 1, 2, ... Throws, leaving the buffer as it was, when the file cannot be read or is
  // longer than the buffer.
  void LoadImageFile(const std::string& name);
  void ResetReadbackBuffer() { ReadbackBuffer.Fill(0xFF); }

  BitBuffer ImageBuffer{"image buffer"};
  BitBuffer ReadbackBuffer{"readback buffer"};
  VectorRecorder recorder;

 private:
  void Pulse(int tms);    // set TMS, TCK high, TCK low
  void DataBit(int tdi);  // set TDI, one Shift-DR step
  void Skip();
  void Tail();
  int TargetDrLength() const { return chain_.Rec(chain_.TargetDevice).DR_len; }

  Cable& cable_;
  ChainState& chain_;
  MessageSink& messages_;
  DelayTimer timer_;
};

}  // namespace zepa::engine
