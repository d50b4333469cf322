// What the port carries for whole operations: the pin-vector (.bif) files and the message lines of erase,
// blank check, program and verify of a ZEPA1 and a ZEPA3 part behind each other, against files kept
// beside this test. ZEPA_WRITE_GOLDEN=1 in the environment writes those files instead of comparing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/cable.h"
#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "engine/tests/traffic_rig.h"
#include "engine/zepa3_ops.h"
#include "util/files.h"

namespace zepa::engine {
namespace {

using testing::IspRig;
using testing::kOps;
using testing::OpCase;
using testing::TrafficRig;

const std::string kGoldenDir = std::string(ZEPA_SOURCE_DIR) + "/app/engine/tests/golden/port_traffic/";

bool WritingGolden() {
  const char* value = std::getenv("ZEPA_WRITE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

// Compares `actual` with the kept file `name` (or writes it).
void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = kGoldenDir + name;
  if (WritingGolden()) {
    util::ReplaceFile(path, actual);
    return;
  }
  ASSERT_TRUE(util::FileExists(path)) << path;
  const std::string kept = util::ReadFileOrThrow(path);
  EXPECT_EQ(kept.size(), actual.size()) << name;
  EXPECT_TRUE(kept == actual) << name << " differs from the kept file";
}

// Pin vectors of every operation, and the lines of the whole sequence, as they have always been.
TEST(PortTraffic, RecordedVectorsAndLinesAsKept) {
  TrafficRig rig;
  for (const OpCase& c : kOps) {
    SCOPED_TRACE(c.name);
    rig.RunOn(c.target, c.op, kOptBif);
    ExpectGolden(std::string(c.name) + ".bif", rig.Read("chain.bif"));
  }
  ExpectGolden("bif_runs.txt", rig.Transcript());
}

TEST(PortTraffic, LinesOnTheBoardAsKept) {
  TrafficRig rig;
  for (const OpCase& c : kOps) rig.RunOn(c.target, c.op, 0);
  ExpectGolden("board_runs.txt", rig.Transcript());
}

// The pins as the parts see them: each rising TCK edge with TMS and TDI and the other lines, each falling
// edge, each read with the TCK level it sees, all with the time of the clock (which moves only in waits).
struct PinEvent {
  char kind;  // 'R' rising edge, 'F' falling edge, 'D' read
  std::int64_t ns;
  std::uint8_t data;  // the data register at a rising edge; the TCK level at a read
  bool operator==(const PinEvent&) const = default;
};
struct Traffic {
  std::vector<PinEvent> events;
  long long writes = 0;
  long long reads = 0;
  long long clocks = 0;
  long long over_floor = 0;  // clocks of more than two data writes, or three after a read or a wait
  long long unchanged = 0;   // writes of the value the data register holds
};

Traffic Watch(TrafficRig& rig, PortWrites mode, const std::function<void()>& run) {
  Traffic traffic;
  const std::uint8_t tck = rig.engine.cable().PinTCK();
  std::uint8_t data = 0;
  bool known = false;
  std::int64_t last_ns = rig.clock.NowNs();
  int clock_writes = 0;       // data writes since the last rising edge
  bool read_or_wait = false;  // since the last rising edge
  rig.engine.cable().port_writes = mode;
  rig.port.watch = [&](bool write, std::uint16_t port, std::uint8_t value) {
    const std::int64_t ns = rig.clock.NowNs();
    if (!write) {
      ++traffic.reads;
      read_or_wait = true;
      traffic.events.push_back({'D', ns, static_cast<std::uint8_t>(data & tck)});
      return;
    }
    ++traffic.writes;
    if (ns != last_ns) read_or_wait = true;
    last_ns = ns;
    if (port != rig.engine.cable().DataPort()) return;
    if (known && value == data) ++traffic.unchanged;
    known = true;
    ++clock_writes;
    if ((value & tck) && !(data & tck)) {
      ++traffic.clocks;
      // The first clock of a run also carries the run's start-up writes.
      if (traffic.clocks > 1 && clock_writes > (read_or_wait ? 3 : 2)) ++traffic.over_floor;
      clock_writes = 0;
      read_or_wait = false;
      traffic.events.push_back({'R', ns, value});
    } else if (!(value & tck) && (data & tck)) {
      traffic.events.push_back({'F', ns, 0});
    }
    data = value;
  };
  run();
  rig.port.watch = nullptr;
  return traffic;
}

// The fewest writes give the parts the same clocks as a write per pin change: the same TMS, TDI and
// auxiliary lines at every rising edge, every falling edge and read at the same point (none moved across
// a wait), with at most two writes per clock.
TEST(PortTraffic, FewestWritesDriveThePartsAsEveryChangeDoes) {
  struct Case {
    const char* name;
    int options;
  };
  for (const Case& c : {Case{"on the board", 0}, Case{"recording vectors", static_cast<int>(kOptBif)}}) {
    SCOPED_TRACE(c.name);
    std::vector<OpCase> ops(std::begin(kOps), std::end(kOps));
    ops.push_back({"zepa1_program_verify", 1, chain::kOpProgramVerify});
    ops.push_back({"zepa3_program_verify", 2, chain::kOpProgramVerify});
    ops.push_back({"zepa1_upload", 1, chain::kOpUpload});
    ops.push_back({"zepa3_security", 2, chain::kOpSecurityTest});
    TrafficRig every_change;
    TrafficRig fewest;
    for (const OpCase& op : ops) {
      SCOPED_TRACE(op.name);
      const Traffic before = Watch(every_change, PortWrites::kEveryChange,
                                   [&] { every_change.RunOn(op.target, op.op, c.options); });
      const Traffic after =
          Watch(fewest, PortWrites::kFewest, [&] { fewest.RunOn(op.target, op.op, c.options); });
      ASSERT_GT(before.clocks, 0);
      EXPECT_EQ(after.clocks, before.clocks);
      EXPECT_TRUE(after.events == before.events) << "the pins differ";
      EXPECT_EQ(after.reads, before.reads);
      // A clock is two writes; a read or a wait needs TCK low on the port first, which may cost one more.
      EXPECT_EQ(after.over_floor, 0) << "clocks above the fewest writes";
      EXPECT_EQ(after.unchanged, 0) << "writes that change nothing";
      EXPECT_EQ(fewest.Transcript(), every_change.Transcript());
      if (c.options & kOptBif) {
        EXPECT_TRUE(fewest.Read("chain.bif") == every_change.Read("chain.bif"));
      }
    }
  }
}

}  // namespace
}  // namespace zepa::engine
