// What zepaisp-cli tells without running: version, cables, the machine's parallel ports, and the port and
// backend tried when no cable answered.
#include "ui/cli/info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testsupport/files.h"

namespace zepa::cli {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(InfoTest, VersionNamesProgramVersionAndCommit) {
  EXPECT_EQ(VersionLine("1a2b3c4"), "zepaisp-cli 4.14 (commit 1a2b3c4)");
  EXPECT_EQ(VersionLine(""), "zepaisp-cli 4.14 (commit unknown)");
}

TEST(InfoTest, CablesShowEachCablesPins) {
  const std::string text = CablesText();
  // The lines that tell the cables apart: TCK/TDI swapped on the Corvane cable, TDI on bit 6 and TMS on
  // bit 1 on the ByteBlaster, TDO on status bit 4 and not inverted on the Corvane cable.
  for (
      const char* part :
      {"relay: the maker's RelayCable\n    TCK data bit 0 (01h), TDI data bit 1 (02h), TMS data bit 2 (04h), "
       "TDO status bit 7 (80h) (inverted)",
       "corvane: Corvane's Parallel download cable\n    TCK data bit 1 (02h), TDI data bit 0 (01h), TMS data "
       "bit 2 (04h), TDO status bit 4 (10h) (as read)",
       "byteblaster: Altera's ByteBlaster\n    TCK data bit 0 (01h), TDI data bit 6 (40h), TMS data bit 1 "
       "(02h), TDO status bit 7 (80h) (inverted)",
       "presence test: none", "data 20h loops back to status bit 6 (40h)",
       "data 40h loops back to status bit 5 (20h)"}) {
    EXPECT_TRUE(Contains(text, part)) << part << "\n" << text;
  }
}

class PortsTest : public ::testing::Test {
 protected:
  void AddParport(int number, const std::string& base_addr) {
    const fs::path dir = temp_.path() / "proc/sys/dev/parport" / ("parport" + std::to_string(number));
    fs::create_directories(dir);
    zepa::testing::WriteFile(dir / "base-addr", base_addr);
  }
  port::PpdevConfig Config() const {
    port::PpdevConfig config;
    config.proc_root = (temp_.path() / "proc").string();
    config.dev_root = "/dev";
    return config;
  }
  zepa::testing::TempDir temp_;
};

TEST_F(PortsTest, ListsKernelPortsAndWhichAddressEachServes) {
  AddParport(0, "888\t1912\n");     // 378h
  AddParport(1, "59392\t59400\n");  // E800h: a PCI card, none of the list's
  port::PpdevConfig config = Config();
  std::string text = PortsText(config);
  EXPECT_TRUE(Contains(text, "  /dev/parport0  base 378h\n  /dev/parport1  base E800h\n")) << text;
  EXPECT_TRUE(
      Contains(text, "  278h  no device serves it\n  378h  /dev/parport0\n  3BCh  no device serves it\n"))
      << text;

  // The user's mapping puts the PCI card's device at 278h.
  port::AddPortMapping(config, "278=/dev/parport1");
  text = PortsText(config);
  EXPECT_TRUE(Contains(text, "  278h  /dev/parport1\n  378h  /dev/parport0\n")) << text;
}

TEST_F(PortsTest, NoKernelPortsIsSaid) {
  const std::string text = PortsText(Config());
  EXPECT_TRUE(Contains(text, "none (is the parport_pc module loaded?)")) << text;
  EXPECT_TRUE(Contains(text, "  378h  no device serves it\n")) << text;
}

TEST_F(PortsTest, TriedLineNamesPortAndBackend) {
  AddParport(0, "888\t1912\n");
  const port::PpdevConfig config = Config();
  struct Case {
    const char* what;
    ui::PortChoice io;
    std::uint16_t data_port;
    int port_index;
    const char* line;
  };
  using Kind = ui::PortChoice::Kind;
  const Case cases[] = {
      {"ppdev by base address",
       {Kind::kBackend, "ppdev", ""},
       0x378,
       1,
       "Tried port 378h through /dev/parport0 (ppdev)"},
      {"ppdev, address nobody serves",
       {Kind::kBackend, "ppdev", ""},
       0x278,
       0,
       "Tried port 278h through ppdev (no /dev/parportN serves it; see --list-ports)"},
      {"automatic selection found no port",
       {Kind::kBackend, "ppdev", ""},
       0,
       3,
       "Tried ports 278h, 378h and 3BCh through ppdev (no /dev/parportN serves it; see --list-ports)"},
      {"direct I/O", {Kind::kBackend, "direct", ""}, 0x3BC, 2, "Tried port 3BCh through the direct backend"},
      {"simulated board",
       {Kind::kSim, "", "b.sim"},
       0x378,
       1,
       "Tried port 378h on the simulated board b.sim"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TriedLine(c.io, config, c.data_port, c.port_index), c.line);
  }
}

}  // namespace
}  // namespace zepa::cli
