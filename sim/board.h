// The simulated board behind a parallel port: the port's data, status and control registers, the cable's
// wiring (which data bits drive TCK/TMS/TDI, where TDO and the presence loop-back show on the status
// register), and the chain of devices. What the devices keep with the power off is saved in a state file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/port_io.h"
#include "sim/board_file.h"
#include "sim/device.h"
#include "sim/slave_serial.h"
#include "util/file_lock.h"

namespace zepa::sim {

// How a cable joins the port to the chain. Output lines are data-register bits; TDO and the loop-back
// answer on status bits.
struct CableWiring {
  std::uint8_t tck = 0, tdi = 0, tms = 0;  // 0: not connected
  std::uint8_t tdo = 0;                    // status bit carrying TDO
  std::uint8_t loop_drive = 0;             // data bit looped back ...
  std::uint8_t loop_sense = 0;             // ... onto this status bit
};
CableWiring WiringOf(CableType cable);

class Board final : public port::PortIo {
 public:
  explicit Board(BoardSpec spec, const FamilyRegistry& families = DefaultFamilies());
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;
  ~Board() override;

  // The board of a board file, with what its devices kept from earlier runs (StatePath(board_file)). One
  // program at a time has a board open: the board holds an exclusive lock (LockPath) while it lives, and
  // Open throws std::runtime_error naming the board file when another holds it. Every erase and program is
  // written down in the state file as it happens (KeepState), so a run that is stopped or killed leaves
  // the parts as far as it got, like real parts.
  static std::unique_ptr<Board> Open(const std::string& board_file,
                                     const FamilyRegistry& families = DefaultFamilies());
  static std::string StatePath(const std::string& board_file) { return board_file + ".state"; }
  static std::string LockPath(const std::string& board_file) { return StatePath(board_file) + ".lock"; }

  // The port registers. Addresses other than the board's port read FFh and ignore writes.
  bool Active() const override { return true; }
  std::uint8_t ReadPortByte(std::uint16_t port) override;
  void WritePortByte(std::uint16_t port, std::uint8_t value) override;

  // The JTAG lines at the chain, for hosts that are not a parallel-port cable (remote_bitbang).
  void DriveJtag(bool tck, bool tms, bool tdi);
  // A part wired for slave-serial configuration answers with its DONE pin.
  bool JtagTdo() const {
    if (slave_serial_) return slave_serial_->done();
    return devices_.empty() ? true : devices_.back()->tdo();
  }
  // The part wired for slave-serial configuration; null when the board's parts are on JTAG.
  const SlaveSerialPart* slave_serial() const { return slave_serial_.get(); }
  void SetTrst(bool asserted);

  // The time a `tck` line of the board file measures half clocks with; without one the board takes the
  // steady clock.
  void set_clock(std::function<std::int64_t()> now_ns) { now_ns_ = std::move(now_ns); }
  // Rising edges whose TDI the first device misread because a half clock was too short.
  std::int64_t misread_bits() const { return misread_bits_; }

  // A cable whose loop-back wire is broken: its presence test fails while JTAG still works.
  void set_loopback_connected(bool connected) { loopback_connected_ = connected; }

  const BoardSpec& spec() const { return spec_; }
  std::size_t device_count() const { return devices_.size(); }
  Device& device(std::size_t position);  // 1-based, nearest the cable's TDI first

  // Loads what the devices kept; a missing file leaves every device as its board line describes. A
  // device whose board line changed since the state was saved starts afresh. Malformed files are errors.
  void LoadState(const std::string& path);
  // Writes the state through a temporary file renamed into place.
  void SaveState(const std::string& path) const;

  // From now on, the clock edge that ends an erase or program dwell appends what it changed to the state
  // file `path` (the device line, "erased", and each programmed row as "row" or "blank"), which LoadState
  // reads over what the file held before; SaveState writes the whole state afresh. A failure to append
  // does not stop the board: the first one is kept in keep_error().
  void KeepState(std::string path) {
    CloseKept();
    keep_path_ = std::move(path);
  }
  const std::string& keep_error() const { return keep_error_; }

 private:
  std::uint8_t Status() const;
  void WriteDownChanges();
  void CloseKept() const;
  static constexpr std::size_t kKeepBuffer = 1 << 20;  // larger than any record of one clock edge

  BoardSpec spec_;
  CableWiring wiring_;
  std::vector<std::unique_ptr<DeviceMemory>> memories_;
  std::vector<std::unique_ptr<Device>> devices_;
  std::unique_ptr<SlaveSerialPart> slave_serial_;
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;
  bool tck_ = false;
  bool loopback_connected_ = true;
  std::string keep_path_;
  mutable std::FILE* keep_file_ = nullptr;  // open for appending from the first change on
  std::string keep_error_;
  std::optional<util::FileLock> lock_;
  std::function<std::int64_t()> now_ns_;
  std::int64_t tck_edge_ns_ = std::numeric_limits<std::int64_t>::min() / 2;  // when TCK last changed
  bool high_too_short_ = false;  // the last high half clock was too short
  std::int64_t misread_bits_ = 0;
};

}  // namespace zepa::sim
