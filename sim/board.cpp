#include "sim/board.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "util/files.h"
#include "util/hex.h"

namespace zepa::sim {

CableWiring WiringOf(CableType cable) {
  switch (cable) {
    case CableType::kRelay:
      return {.tck = 0x01, .tdi = 0x02, .tms = 0x04, .tdo = 0x80, .loop_drive = 0, .loop_sense = 0};
    case CableType::kCorvane:
      return {.tck = 0x02, .tdi = 0x01, .tms = 0x04, .tdo = 0x10, .loop_drive = 0x40, .loop_sense = 0x20};
    case CableType::kByteBlaster:
      return {.tck = 0x01, .tdi = 0x40, .tms = 0x02, .tdo = 0x80, .loop_drive = 0x20, .loop_sense = 0x40};
    case CableType::kNone:
      break;
  }
  return {};
}

Board::Board(BoardSpec spec, const FamilyRegistry& families)
    : spec_(std::move(spec)), wiring_(WiringOf(spec_.cable)) {
  for (const DeviceSpec& d : spec_.devices) {
    auto memory = std::make_unique<DeviceMemory>();
    memory->secured = d.secured;
    DeviceSetup setup{
        .part = d.part, .ir_length = d.ir_length, .idcode = d.idcode, .ir_capture = d.ir_capture};
    devices_.push_back(std::make_unique<Device>(setup, families.Create(*d.part, *memory), *memory));
    if (d.slave_serial) slave_serial_ = std::make_unique<SlaveSerialPart>(*d.part, *memory);
    memories_.push_back(std::move(memory));
  }
}

std::unique_ptr<Board> Board::Open(const std::string& board_file, const FamilyRegistry& families) {
  auto board = std::make_unique<Board>(ReadBoardFile(board_file), families);
  const std::string lock_path = LockPath(board_file);
  try {
    board->lock_ = util::FileLock::TryAcquire(lock_path);
  } catch (const util::FileError& e) {
    throw std::runtime_error(board_file + ": the board's lock file " + lock_path +
                             " cannot be made: " + e.reason().message());
  }
  if (!board->lock_)
    throw std::runtime_error(board_file +
                             ": the simulated board is in use by another program (zepaisp-cli, " +
                             "zepaisp or zepa-sim holds " + lock_path + ")");
  board->LoadState(StatePath(board_file));
  board->KeepState(StatePath(board_file));
  return board;
}

Device& Board::device(std::size_t position) {
  if (position < 1 || position > devices_.size())
    throw std::out_of_range("the board has no device " + std::to_string(position));
  return *devices_[position - 1];
}

// Undriven status lines are pulled high; the port inverts bit 7 (BUSY), so nothing attached reads 7Fh.
std::uint8_t Board::Status() const {
  std::uint8_t status = 0x7F;
  auto put = [&status](std::uint8_t bit, bool line) {
    const bool value = bit == 0x80 ? !line : line;
    status = static_cast<std::uint8_t>(value ? status | bit : status & ~bit);
  };
  if (wiring_.tdo != 0) put(wiring_.tdo, JtagTdo());
  if (wiring_.loop_sense != 0 && loopback_connected_)
    put(wiring_.loop_sense, (data_ & wiring_.loop_drive) != 0);
  return status;
}

std::uint8_t Board::ReadPortByte(std::uint16_t port) {
  if (port == spec_.port) return data_;
  if (port == spec_.port + 1) return Status();
  if (port == spec_.port + 2) return control_;
  return 0xFF;
}

void Board::WritePortByte(std::uint16_t port, std::uint8_t value) {
  if (port == spec_.port) {
    data_ = value;
    if (wiring_.tck != 0)
      DriveJtag((value & wiring_.tck) != 0, (value & wiring_.tms) != 0, (value & wiring_.tdi) != 0);
  } else if (port == spec_.port + 2) {
    control_ = value;
  }
}

void Board::DriveJtag(bool tck, bool tms, bool tdi) {
  if (slave_serial_) {
    slave_serial_->Drive(tck, tdi, tms);  // CCLK, DIN, PROG
    if (!keep_path_.empty()) WriteDownChanges();
    tck_ = tck;
    return;
  }
  // A board that needs slow clocks: a half clock shorter than it needs makes the first device misread the
  // TDI of the next rising edge.
  bool too_short = false;
  if (spec_.min_half_clock_ns > 0 && tck != tck_) {
    if (!now_ns_) {
      now_ns_ = [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
      };
    }
    const std::int64_t now = now_ns_();
    too_short = now - tck_edge_ns_ < spec_.min_half_clock_ns;
    tck_edge_ns_ = now;
  }
  if (tck && !tck_) {
    const bool misread = too_short || high_too_short_;
    high_too_short_ = false;
    if (misread) ++misread_bits_;
    // Every device samples its TDI on the same edge: the TDO its neighbour set on the last falling edge.
    bool in = misread ? !tdi : tdi;
    for (auto& device : devices_) {
      const bool out = device->tdo();
      device->Rising(tms, in);
      in = out;
    }
    if (!keep_path_.empty()) WriteDownChanges();
  } else if (!tck && tck_) {
    high_too_short_ = too_short;
    for (auto& device : devices_) device->Falling();
  }
  tck_ = tck;
}

void Board::SetTrst(bool asserted) {
  if (!asserted) return;
  for (auto& device : devices_) device->AsyncReset();
}

// ---- state file ----
//
//   # zepa-sim board state
//   device 2 VTL3256XL irlen=5 idcode=0x... secured     (the device's board line in normal form)
//   secured
//   row 17 304 FFFF...                                   (address, bit count, bits as hex, first bit first)
//
// and, appended while the board runs, the changes since: a device line again (which continues what the
// file said of the device), "erased" (no rows, not secured), "row ..." (the row as it now reads) and
// "blank ADDRESS" (the row reads all ones). An append is one write of whole lines; a last line without its
// line end is what an interrupted write left, and is not read.

namespace {

// The state file writes "-" for a row without bits.
std::string BitsToHex(const Bits& bits) {
  return bits.empty() ? "-" : util::BitsToHex(bits);
}

bool HexToBits(const std::string& hex, std::size_t count, Bits& bits) {
  if (count == 0) {
    bits.clear();
    return hex == "-";
  }
  return util::HexToBits(hex, count, bits);
}

}  // namespace

void Board::LoadState(const std::string& path) {
  std::ifstream in(path);
  if (!in) return;  // a board that has never run
  std::vector<DeviceMemory> loaded;
  std::vector<bool> present(devices_.size(), false);
  for (std::size_t i = 0; i < memories_.size(); ++i) loaded.push_back(*memories_[i]);

  DeviceMemory* current = nullptr;  // null while skipping a device that changed
  std::vector<bool> seen(devices_.size(), false);
  bool in_device = false;
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& what) {
    throw std::runtime_error(path + ":" + std::to_string(number) + ": " + what);
  };
  while (std::getline(in, line)) {
    ++number;
    if (in.eof()) break;  // no line end: an append that was cut short
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "device") {
      std::size_t position = 0;
      if (!(words >> position) || position < 1) fail("a device line starts with its position");
      std::string rest;
      std::getline(words, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      in_device = true;
      current = nullptr;
      if (position <= devices_.size() && spec_.devices[position - 1].Canonical() == rest) {
        current = &loaded[position - 1];
        if (!seen[position - 1]) *current = DeviceMemory{};  // later lines continue the device
        seen[position - 1] = true;
        present[position - 1] = true;
      }
    } else if (key == "secured") {
      if (!in_device) fail("'secured' before any device line");
      if (current) current->secured = true;
    } else if (key == "erased") {
      if (!in_device) fail("'erased' before any device line");
      if (current) current->Erase();
    } else if (key == "blank") {
      if (!in_device) fail("a blank row before any device line");
      int address = 0;
      std::string extra;
      if (!(words >> address) || (words >> extra)) fail("a blank row line is: blank ADDRESS");
      if (current) current->rows.erase(address);
    } else if (key == "row") {
      if (!in_device) fail("a row before any device line");
      int address = 0;
      std::size_t count = 0;
      std::string hex;
      std::string extra;
      if (!(words >> address >> count >> hex) || (words >> extra))
        fail("a row line is: row ADDRESS BITS HEX");
      Bits bits;
      if (!HexToBits(hex, count, bits))
        fail("the row's hexadecimal digits do not give " + std::to_string(count) + " bits");
      if (current) current->rows[address] = std::move(bits);
    } else {
      fail("unknown word '" + key + "'");
    }
  }
  for (std::size_t i = 0; i < memories_.size(); ++i) {
    if (present[i]) {
      *memories_[i] = loaded[i];
      memories_[i]->changes = {};
    }
  }
}

void Board::WriteDownChanges() {
  std::string record;
  for (std::size_t i = 0; i < memories_.size(); ++i) {
    DeviceMemory& memory = *memories_[i];
    if (!memory.changes.any()) continue;
    record += "device " + std::to_string(i + 1) + ' ' + spec_.devices[i].Canonical() + '\n';
    if (memory.changes.erased) record += "erased\n";
    for (const int row : memory.changes.rows) {
      const auto it = memory.rows.find(row);
      if (it == memory.rows.end()) {
        record += "blank " + std::to_string(row) + '\n';
      } else {
        record += "row " + std::to_string(row) + ' ' + std::to_string(it->second.size()) + ' ' +
                  BitsToHex(it->second) + '\n';
      }
    }
    memory.changes = {};
  }
  if (record.empty()) return;
  // The file stays open between changes; one flush writes a record's whole lines at once.
  if (keep_file_ == nullptr) {
    keep_file_ = std::fopen(keep_path_.c_str(), "ab");
    if (keep_file_ != nullptr) std::setvbuf(keep_file_, nullptr, _IOFBF, kKeepBuffer);
  }
  const bool written = keep_file_ != nullptr &&
                       std::fwrite(record.data(), 1, record.size(), keep_file_) == record.size() &&
                       std::fflush(keep_file_) == 0;
  if (!written && keep_error_.empty()) keep_error_ = "cannot add the board's changes to " + keep_path_;
}

void Board::CloseKept() const {
  if (keep_file_ != nullptr) std::fclose(keep_file_);
  keep_file_ = nullptr;
}

Board::~Board() {
  CloseKept();
}

void Board::SaveState(const std::string& path) const {
  // The whole state replaces the file the changes went to: the next change opens the new one.
  if (path == keep_path_) CloseKept();
  try {
    util::PendingFile file(path);
    std::ostream& out = file.stream();  // LF line ends on every system
    out << "# zepa-sim board state: what the devices keep with the power off\n";
    for (std::size_t i = 0; i < devices_.size(); ++i) {
      const DeviceMemory& memory = *memories_[i];
      out << "device " << i + 1 << ' ' << spec_.devices[i].Canonical() << '\n';
      if (memory.secured) out << "secured\n";
      for (const auto& [address, bits] : memory.rows)
        out << "row " << address << ' ' << bits.size() << ' ' << BitsToHex(bits) << '\n';
    }
    file.Commit();
  } catch (const util::FileError& e) {
    switch (e.step()) {
      case util::FileError::Step::kPlace:
        throw std::runtime_error("cannot put the board state file in place: " + path);
      case util::FileError::Step::kWrite:
        throw std::runtime_error("cannot write the board state file " + path);
      default:
        throw std::runtime_error("cannot create the board state file " + path);
    }
  }
}

}  // namespace zepa::sim
