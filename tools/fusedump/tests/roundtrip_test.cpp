// The whole ZEPA3 path through both programs: a JEDEC design -> fusebuild -> .isp -> fusedump -> JEDEC.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "fusebuild/fusebuild.h"
#include "fusemap/jedec_reader.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa3_isp.h"
#include "fusemap/zepa3_map.h"
#include "testsupport/files.h"

namespace zepa::fusedump {
namespace {

namespace fs = std::filesystem;
using fusemap::FuseArray;

int Shell(const std::string& cmd) {
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using zepa::testing::ReadFile;

class RoundTrip : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { dir_ = temp_.emplace().path(); }
  void TearDown() override { temp_.reset(); }

  // Runs a program of the build in the test folder; its output goes to run.log.
  int Program(const std::string& name, const std::string& args) {
    return Shell("cd '" + dir_.string() + "' && '" + ZEPA_BIN_DIR + "/" + name + "' " + args +
                 " >run.log 2>&1");
  }

  std::optional<zepa::testing::TempDir> temp_;

  fs::path dir_;
};

// Random fuses come back exactly where a frame bit carries them; a fuse that no frame bit carries reads 0.
TEST_P(RoundTrip, JedecThroughFusebuildAndFusedumpGivesTheFusesBack) {
  const fusemap::Zepa3Map map(GetParam());
  const auto& g = map.geometry();
  FuseArray design(g.FuseCount(), FuseArray::Fill::kZeros);
  std::mt19937 rng(static_cast<unsigned>(GetParam()) * 7919u);
  for (long n = 0; n < g.FuseCount(); ++n) design.write_fuse(n, static_cast<int>(rng() & 1u));

  fusemap::testing::WriteFile((dir_ / "design.jed").string(), fusemap::testing::JedecText(design, {}));
  fusemap::testing::WriteFile((dir_ / "chain.jcd").string(),
                              "TOTAL_DEVICE 1\nDEVICE 1 " + std::string(g.PART_NAME) + " 5 PV design.jed\n");

  ASSERT_EQ(Program("fusebuild", "chain.jcd 1"), 0) << ReadFile(dir_ / "run.log");
  ASSERT_TRUE(fs::exists(dir_ / "design.bit"));
  fs::copy_file(dir_ / "design.isp", dir_ / "chip.rd");
  ASSERT_EQ(Program("fusedump", "chip.rd " + std::string(g.PART_NAME) + " 1"), 0)
      << ReadFile(dir_ / "run.log");

  FuseArray back(g.FuseCount(), FuseArray::Fill::kOnes);
  const std::string jed = ReadFile(dir_ / "chip_chip.jed");
  std::istringstream in(jed);
  ASSERT_EQ(fusemap::read_jedec(in, "chip_chip.jed", GetParam(), back), GetParam());

  std::vector<bool> carried(static_cast<std::size_t>(g.FuseCount()), false);
  for (int f = 0; f < map.frame_count(); ++f) {
    for (const auto& b : map.bits(f)) {
      if (b.ReadsBack()) carried[static_cast<std::size_t>(b.fuse)] = true;
    }
  }
  long wrong = 0;
  for (long n = 0; n < g.FuseCount(); ++n) {
    wrong += back.read_fuse(n) != (carried[static_cast<std::size_t>(n)] ? design.read_fuse(n) : 0);
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(ReadFile(dir_ / "chksum.chk"), jed.substr(jed.size() - 6, 4));
}

INSTANTIATE_TEST_SUITE_P(AllZepa3Parts, RoundTrip, ::testing::Values(144, 145, 146, 148, 149));

// A ZEPA3 device without a design: "PU" and "RU" write the signature-only image tempues.* in the program's
// folder; any other operation has nothing to convert, writes nothing and fails.
TEST(Zepa3Fusebuild, SignatureOnlyDevice) {
  const zepa::testing::TempDir temp;
  const fs::path& dir = temp.path();
  const fs::path prog = dir / "prog";
  struct Case {
    const char* op;
    bool writes;
  };
  for (const Case c : {Case{"PU", true}, Case{"ru", true}, Case{"PR", false}}) {
    SCOPED_TRACE(c.op);
    fs::remove_all(dir);
    fs::create_directories(prog);
    fusemap::testing::WriteFile((dir / "chain.jcd").string(),
                                std::string("DEVICE 1 VTL3032XL 5 ") + c.op + "\nUES 1 $AB\n");
    std::ostringstream out, err;
    ASSERT_EQ(
        fusebuild::RunFusebuild({"chain.jcd", "1"}, (prog / "fusebuild").string(), dir.string(), out, err),
        c.writes ? 0 : 1)
        << err.str();
    EXPECT_EQ(fs::exists(prog / "tempues.isp"), c.writes);
    EXPECT_EQ(fs::exists(prog / "tempues.bit"), c.writes);
    if (!c.writes) continue;

    std::vector<std::string> lines;
    std::istringstream isp(ReadFile(prog / "tempues.isp"));
    for (std::string l; std::getline(isp, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 108u);
    // Half 0's signature frame: 'A' 'B' most significant bit first in bits 5..9 and 66..76, all else 1.
    std::string bits(114, '1');
    const std::string ab = "0100000101000010";
    for (int i = 0; i < 16; ++i)
      bits[static_cast<std::size_t>(i < 5 ? 5 + i : 61 + i)] = ab[static_cast<std::size_t>(i)];
    EXPECT_EQ(lines[53], fusemap::convert_bit_2_isp_line(bits, 114));
    EXPECT_EQ(lines[107], std::string(28, 'F') + "C");
  }
}

}  // namespace
}  // namespace zepa::fusedump
