// A JTAG target behind a remote_bitbang server (zepa-sim on another machine, an RTL simulation of a board):
// the cable's data-register writes become the protocol's pin characters, status reads its TDO answers.
// Writes are queued and sent in batches; reads requested ahead go out as 'R' at once and their answers
// are taken together, so a shift costs a handful of round trips however long it is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "port/port_backends.h"
#include "port/port_io.h"

namespace zepa::port {

class RemoteBitbangPort : public PortIo {
 public:
  // Connects; a failure is told to `notes` (with the address and the system's reason) and leaves the
  // port inactive. `answer_timeout_ms` bounds each wait for the server's answers.
  RemoteBitbangPort(const RemoteAddress& address, const PortNotes& notes, int answer_timeout_ms = 10000);
  // Sends what is queued and 'Q', then closes.
  ~RemoteBitbangPort() override;
  RemoteBitbangPort(const RemoteBitbangPort&) = delete;
  RemoteBitbangPort& operator=(const RemoteBitbangPort&) = delete;

  bool Active() const override { return fd_ >= 0; }
  // Empty when the link could not be made (the notes told why); why it was lost when it was.
  std::string InactiveWarning() const override;
  // The data register's pins are queued as a protocol character; other registers keep what was written.
  void WritePortByte(std::uint16_t port, std::uint8_t value) override;
  // The status register is TDO (one round trip) and the cable's loop-back; the others read back what was
  // written to them.
  std::uint8_t ReadPortByte(std::uint16_t port) override;
  // Sends the queue and waits until the server has played it (one round trip), so a wait after it is
  // a wait with the pins in place.
  void Flush() override;
  void RequestRead(std::uint16_t port) override;
  std::vector<std::uint8_t> CollectReads() override;
  void UseWiring(const CableWiring& wiring) override { wiring_ = wiring; }

  // Waits for answers so far: the figure the link's latency multiplies.
  long long round_trips() const { return round_trips_; }

 private:
  struct Pending {
    std::uint8_t data;  // the data register when the read was asked for (the loop-back's drive)
  };

  void Send();           // the queue, now
  bool ReceiveAnswer();  // one answer: TDO; throws on a closed link, a timeout or a bad answer
  std::uint8_t StatusFor(bool tdo, std::uint8_t data) const;
  [[noreturn]] void Fail(const std::string& what);

  std::string name_;  // "remote_bitbang HOST:PORT"
  int fd_ = -1;
  int timeout_ms_;
  std::string failure_;  // why the link is gone; every later access throws it
  bool connected_once_ = false;
  CableWiring wiring_;
  std::map<std::uint16_t, std::uint8_t> registers_;  // what was written, per address
  std::string queue_;                                // characters not yet sent
  char last_pins_ = 0;                               // the last pin character queued
  std::vector<Pending> pending_;                     // requested reads whose answers are still out
  std::vector<std::uint8_t> answered_;               // answers taken early, oldest first
  std::string received_;                             // answers read off the socket, not yet used
  long long round_trips_ = 0;
};

}  // namespace zepa::port
