#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/chain_probe.h"
#include "engine/chain_scan.h"
#include "engine/tests/engine_rig.h"

namespace zepa::engine {
namespace {

using testing::EngineRig;

TEST(CutInstructionCaptures, CutsAtEachOneAfterItsZeros) {
  struct Case {
    const char* captured;
    std::vector<int> lengths;
  };
  const Case cases[] = {
      {"10", {2}},
      {"1000", {4}},
      {"100010000100001000000", {4, 5, 5, 7}},
      {"1010", {2, 2}},
      {"", {}},
      // Not "10" where a device must start: a device capturing ones above its "01", or a broken chain.
      {"11", {}},
      {"0100", {}},
      {"1", {}},
      {"10001", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.captured);
    EXPECT_EQ(CutInstructionCaptures(c.captured), c.lengths);
  }
}

struct ProbeCase {
  const char* name;
  std::string board;
  std::vector<std::optional<std::uint32_t>> idcodes;  // TDI to TDO
  std::vector<int> ir_lengths;
};

TEST(ProbeChain, ReadsIdcodesAndMeasuresInstructionRegisters) {
  const ProbeCase cases[] = {
      {"one ZEPA1 part", "device VTL3064A idcode=0x0015A093\n", {0x0015A093u}, {4}},
      {"mixed chain with a part without IDCODE",
       "device VTL3064A idcode=0x0015A093\ndevice VTL3960 idcode=0x02250093\n"
       "device VTL3256XL idcode=0x04128093\ndevice Others irlen=7 idcode=0x1234567F\n"
       "device Others irlen=2 idcode=none\n",
       {0x0015A093u, 0x02250093u, 0x04128093u, 0x1234567Fu, std::nullopt},
       {4, 5, 5, 7, 2}},
      {"IDCODE-less parts at both ends",
       "device Others irlen=3 idcode=none\ndevice VTL3256XL idcode=0x04128093\n"
       "device Others irlen=16 idcode=none\n",
       {std::nullopt, 0x04128093u, std::nullopt},
       {3, 5, 16}},
  };
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EngineRig rig(c.board);
    const int count = ScanChain(rig.jtag);
    ASSERT_EQ(count, static_cast<int>(c.idcodes.size()));
    const ChainProbe probe = ProbeChain(rig.jtag, count);
    ASSERT_EQ(probe.devices.size(), c.idcodes.size());
    EXPECT_FALSE(probe.ir_ambiguous) << probe.ir_captured;
    int total = 0;
    for (std::size_t i = 0; i < c.idcodes.size(); ++i) {
      SCOPED_TRACE("device " + std::to_string(i + 1));
      EXPECT_EQ(probe.devices[i].idcode, c.idcodes[i]);
      EXPECT_EQ(probe.devices[i].ir_length, c.ir_lengths[i]);
      total += c.ir_lengths[i];
    }
    EXPECT_EQ(probe.ir_total, total);
    // The probe leaves the chain where the scan does: in Test-Logic-Reset.
    for (std::size_t d = 1; d <= rig.board->device_count(); ++d)
      EXPECT_EQ(rig.board->device(d).state(), sim::TapState::kTestLogicReset) << "device " << d;
  }
}

TEST(ProbeChain, NoChainGivesNoDevicesAndNoLength) {
  EngineRig rig("cable none\ndevice VTL3064A\n");
  EXPECT_TRUE(ProbeChain(rig.jtag, 0).devices.empty());
  // A count the cable cannot back (nothing behind it reads as a constant): the 0 never comes out.
  const ChainProbe probe = ProbeChain(rig.jtag, 2);
  EXPECT_EQ(probe.ir_total, 0);
  EXPECT_TRUE(probe.ir_ambiguous);
}

}  // namespace
}  // namespace zepa::engine
