// Download cables on the parallel port: which register bits carry the JTAG lines for each cable, the
// pin-level I/O every JTAG operation rests on, the choice of port and the cable's presence test.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/clock.h"
#include "engine/host.h"
#include "engine/isp_options.h"
#include "port/port_io.h"

namespace zepa::engine {

enum class CableKind { RelayCable, CorvaneParallelCable, AlteraByteBlaster };

// One cable's wiring. JTAG outputs and the auxiliary lines are data-register bits, TDO a status bit.
struct CableMap {
  CableKind kind;
  std::uint8_t PinTCK;
  std::uint8_t PinTDI;
  std::uint8_t PinTMS;
  std::uint8_t PinTDO;
  bool tdo_reads_low;  // TDO is 1 when its status bit reads 0
  std::uint8_t PinCtl1;
  std::uint8_t PinCtl2;
  bool ctl1_level;  // levels the auxiliary lines get at the start of a run
  bool ctl2_level;
  bool sets_control_bit1;   // the start of a run also sets bit 1 (02h) of the control register
  std::uint8_t loop_drive;  // data byte that drives the presence loop-back (0: no loop-back)
  std::uint8_t loop_sense;  // status bit on which the loop-back answers
  const char* found_line;
  const char* warning_line;
};

inline constexpr std::array<CableMap, 3> kCableMaps{{
    {.kind = CableKind::RelayCable,
     .PinTCK = 0x01,
     .PinTDI = 0x02,
     .PinTMS = 0x04,
     .PinTDO = 0x80,
     .tdo_reads_low = true,
     .PinCtl1 = 0x08,
     .PinCtl2 = 0x10,
     .ctl1_level = true,
     .ctl2_level = false,
     .sets_control_bit1 = false,
     .loop_drive = 0x00,
     .loop_sense = 0x00,
     .found_line = "ISP RelayCable/Board found!",
     .warning_line = "*** Warning: can not find Relaycable/Board or loose connect!"},
    {.kind = CableKind::CorvaneParallelCable,
     .PinTCK = 0x02,
     .PinTDI = 0x01,
     .PinTMS = 0x04,
     .PinTDO = 0x10,
     .tdo_reads_low = false,
     .PinCtl1 = 0x08,
     .PinCtl2 = 0x10,
     .ctl1_level = false,
     .ctl2_level = true,
     .sets_control_bit1 = false,
     .loop_drive = 0x40,
     .loop_sense = 0x20,
     .found_line = "Corvane Parallel Cable/Board found!",
     .warning_line = "*** Warning:Can not find Corvane Parallel Cable/Board or loose connect!"},
    {.kind = CableKind::AlteraByteBlaster,
     .PinTCK = 0x01,
     .PinTDI = 0x40,
     .PinTMS = 0x02,
     .PinTDO = 0x80,
     .tdo_reads_low = true,
     .PinCtl1 = 0x08,
     .PinCtl2 = 0x10,
     .ctl1_level = true,
     .ctl2_level = false,
     .sets_control_bit1 = true,
     .loop_drive = 0x20,
     .loop_sense = 0x40,
     .found_line = "Altera ByteBlaster Cable/Board found!",
     .warning_line = "*** Warning:Can not find Altera ByteBlaster Cable/Board or loose connect!"},
}};

const CableMap& CableMapFor(CableKind kind);

// Port addresses of the port list: 0 = 278h, 1 = 378h, 2 = 3BCh, 3 = automatic selection.
inline constexpr std::array<std::uint16_t, 3> kPortCandidates{0x278, 0x378, 0x3BC};
inline constexpr int kAutoPortSelection = 3;

class VectorRecorder;

// How pin changes become port writes.
enum class PortWrites {
  kFewest,  // only the writes the clock needs: TMS and TDI go out with TCK low in the write that lowers
            // TCK (or in one write of their own), then one write raises TCK; nothing unchanged is written
  kEveryChange,  // every pin change is a write of its own (the check the fewest writes are measured against)
};

class Cable {
 public:
  Cable(port::PortIo& HwCtrl, const EngineHost& host);

  // Engine settings the programmer changes between runs.
  int IspOptions = 0;    // IspOption bits; kOptVerifyLog and kOptBif are read here and by the primitives
  bool OffLine = false;  // no port is read or written; TDO reads 1
  // Results of the last chain scan (engine/chain_scan.h).
  bool CableFound = false;
  bool CableMissing = false;

  // Puts a cable's pin map in force and clears DataShadow (what the port setup's OK does).
  void ApplyCable(CableKind kind);
  const CableMap& Map() const { return *map_; }
  CableKind Kind() const { return map_->kind; }
  bool ByteBlasterMode() const { return map_->kind == CableKind::AlteraByteBlaster; }
  bool CorvaneCableMode() const { return map_->kind == CableKind::CorvaneParallelCable; }
  std::uint8_t PinTCK() const { return map_->PinTCK; }
  std::uint8_t PinTDI() const { return map_->PinTDI; }
  std::uint8_t PinTMS() const { return map_->PinTMS; }
  std::uint8_t PinTDO() const { return map_->PinTDO; }
  std::uint8_t PinCtl1() const { return map_->PinCtl1; }
  std::uint8_t PinCtl2() const { return map_->PinCtl2; }

  std::uint8_t DataShadow() const { return data_shadow_; }
  std::uint16_t DataPort() const { return data_port_; }
  std::uint16_t StatusPort() const { return status_port_; }

  PortWrites port_writes = PortWrites::kFewest;
  // Each half TCK period lasts at least this long, timed on the attached clock (long cables, slow
  // boards); 0: the port's own pace.
  std::int64_t tck_delay_ns = 0;

  // Sets or clears `mask` in DataShadow. The vector recorder sees every new value while the .bif option is
  // on, in off-line mode too. The data register follows as `port_writes` says: with the fewest writes, a
  // value with TCK low waits for the next rising edge, read, wait or Flush(); the rising edge is one write,
  // or two when TMS, TDI or the other lines change (first with TCK low).
  void SetPin(std::uint8_t mask, int level);
  // TDO as 0 or 1 after the cable's polarity, read once the data register holds DataShadow (so after TCK
  // went low); 1 without reading in off-line mode.
  int ReadTdo();
  // A TDO sample taken now whose value comes later from TakeTdo(): a backend on a network sends the
  // request at once and the answers travel back together.
  void RequestTdo();
  // The samples requested since the last call, oldest first, as 0 or 1 after the cable's polarity.
  std::vector<std::uint8_t> TakeTdo();
  // Brings the data register to DataShadow and delivers what the backend queued: before a wait, and at the
  // end of a run.
  void Flush();

  // Chooses the port addresses for a selection 0..3. Returns false, changing nothing, when the port driver
  // is missing (outside off-line mode) after a beep and a box with the port's warning (none when the port
  // has told why already); the caller then ends its start-up, and a run goes on without port access.
  bool SelectPort(int selection);
  // Probes 278h, 378h, 3BCh for a data register that echoes six test bytes and takes the first that does.
  // None does: engine abort. Off-line, no port is probed and the addresses stay.
  void AutoSelectPort();
  // Lines at the start of a run: data register 0 (DataShadow kept), then the auxiliary lines.
  void InitCableLines();
  // The cable's loop-back test; the RelayCable has none and is always taken as present.
  bool CheckCablePresent();
  // A byte written to the data register directly, without DataShadow (the run's .bif start marker).
  void WriteDataDirect(std::uint8_t value);

  void AttachRecorder(VectorRecorder* recorder) { recorder_ = recorder; }
  void AttachClock(Clock* clock) { clock_ = clock; }
  const EngineHost& host() const { return host_; }

 private:
  port::PortIo& port_;
  EngineHost host_;
  const CableMap* map_ = &kCableMaps[0];
  std::uint8_t data_shadow_ = 0;
  std::uint16_t data_port_ = 0x378;
  std::uint16_t status_port_ = 0x379;
  VectorRecorder* recorder_ = nullptr;
  Clock* clock_ = nullptr;
  std::int64_t tck_edge_ns_ = 0;  // when the data register's TCK last changed

  void WriteData(std::uint8_t value);
  void SyncData();  // writes DataShadow unless the data register holds it
  void TellWiring();

  bool data_known_ = false;    // what the data register holds is known (data_)
  std::uint8_t data_ = 0;      // the data register's value when data_known_
  bool tck_fell_ = false;      // DataShadow's TCK went low after the data register's last rising edge
  std::size_t requested_ = 0;  // TDO samples requested and not yet taken
};

}  // namespace zepa::engine
