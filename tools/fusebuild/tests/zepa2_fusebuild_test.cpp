// fusebuild on ZEPA2 devices: a chain file and JEDEC designs in, the ZEPA2 file set out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fusebuild/fusebuild.h"
#include "fusemap/part_table.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_frames.h"
#include "fusemap/zepa2_packet.h"
#include "fusemap/zepa2_writer.h"
#include "testsupport/files.h"
#include "util/lines.h"

namespace zepa::fusemap::zepa2 {
namespace {

namespace fs = std::filesystem;

using zepa::testing::ReadFile;

class FixedClock final : public Clock {
 public:
  std::string Now() const override { return "Thu Jan  1 00:00:00 1970"; }
};

// A scratch folder with a chain of a VTL3960, a VTL3320, a VTL3320 whose design is a VTL3960 file, and
// a VTL3960 without a design.
class Zepa2FusebuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.emplace().path();
    fs::create_directories(dir_ / "rev.2");
    testing::WriteFile((dir_ / "rev.2" / "big.jed").string(), testing::JedecText(fuses960_, {"VTL3960"}));
    testing::WriteFile((dir_ / "small.jed").string(), testing::JedecText(fuses320_, {"VTL3320"}));
    const std::string chain =
        "TOTAL_DEVICE 4\n"
        "DEVICE 1 VTL3960 5 PR rev.2\\big.jed\n"
        "DEVICE 2 VTL3320 5 PR " +
        (dir_ / "small.jed").string() +
        "\n"
        "DEVICE 3 VTL3320 5 PR rev.2/big.jed\n"
        "DEVICE 4 VTL3960 5 PR\n";
    testing::WriteFile((dir_ / "chain.jcd").string(), chain);
  }
  void TearDown() override { temp_.reset(); }

  struct Result {
    int status;
    std::string out, err;
  };
  Result Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = fusebuild::RunFusebuild(args, "/opt/zepa/bin/fusebuild", dir_.string(), out, err);
    return {status, out.str(), err.str()};
  }

  // Every file below the scratch folder, relative to it, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir_)) {
      if (e.is_regular_file()) names.push_back(fs::relative(e.path(), dir_).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static inline const FuseArray fuses960_ = testing::RandomFuses(520476, 1);
  static inline const FuseArray fuses320_ = testing::RandomFuses(173492, 2);
  std::optional<zepa::testing::TempDir> temp_;
  fs::path dir_;
};

// The file set of each ZEPA2 device holds exactly the frames of its JEDEC design.
TEST_F(Zepa2FusebuildTest, WritesTheFileSetOfTheDesign) {
  struct Case {
    const char* device;
    const char* dbg_level;
    const FuseArray& fuses;
    int part;
    std::string root;  // the outputs' path without extension, relative to the folder
  };
  const std::vector<Case> cases{
      {"1", "0", fuses960_, kVtl3960, "rev.2/big"},
      {"2", "0", fuses320_, kVtl3320, "small"},
      {"2", "512", fuses320_, kVtl3320, "small"},   // bit 9: every frame standard
      {"2", "1024", fuses320_, kVtl3320, "small"},  // bit 10: MCS bytes most significant bit first
  };
  const FixedClock clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("device ") + c.device + " debug " + c.dbg_level);
    const Result r = Run({"chain.jcd", c.device, c.dbg_level});
    ASSERT_EQ(r.status, 0) << r.err;
    const int dbg = std::atoi(c.dbg_level);
    const Outputs expected = BuildOutputs(c.fuses, Geometry::ForPart(c.part), dbg, clock);
    EXPECT_TRUE(ReadFile(dir_ / (c.root + ".isp")) == expected.isp);
    EXPECT_TRUE(ReadFile(dir_ / (c.root + ".bit")) == expected.bit);
    EXPECT_TRUE(ReadFile(dir_ / (c.root + ".mcs")) == expected.mcs);
    EXPECT_TRUE(fs::exists(dir_ / (c.root + ".dbg")));
    const std::vector<std::string> packets = util::SplitLines(expected.bit);
    if (dbg & kDbgAlwaysStandard) {
      for (std::size_t i = 0; i + 1 < packets.size(); ++i) {
        ASSERT_EQ(packets[i].size(), static_cast<std::size_t>(kStandardPacketBits)) << "packet " << i;
      }
    }
    for (const char* ext : {".isp", ".bit", ".mcs", ".dbg"}) fs::remove(dir_ / (c.root + ext));
  }
}

TEST_F(Zepa2FusebuildTest, FuseAddressListingsGoToTheWorkFolder) {
  const Result r = Run({"chain.jcd", "2", "256"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Files(),
            (std::vector<std::string>{"chain.jcd", "jedmap0.doc", "jedmap1.doc", "rev.2/big.jed", "small.bit",
                                      "small.dbg", "small.doc", "small.isp", "small.jed", "small.mcs"}));
}

TEST_F(Zepa2FusebuildTest, RunsThatWriteNothing) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string err;  // the start of the error output
  };
  const std::vector<Case> cases{
      {"a VTL3960 design for a VTL3320", {"chain.jcd", "3"}, 1, "FUSEBUILD error # 321\n"},
      {"a ZEPA2 device without a design", {"chain.jcd", "4"}, 1, "FUSEBUILD error # 306\n"},
  };
  const std::vector<std::string> before = Files();
  for (const Case& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.what;
    EXPECT_EQ(Files(), before) << c.what;
  }
}

TEST_F(Zepa2FusebuildTest, AnOutputThatCannotBeWrittenEndsWithStatus1) {
  fs::create_directory(dir_ / "small.mcs");
  const Result r = Run({"chain.jcd", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(0, 22), "FUSEBUILD error # 902\n");
  EXPECT_NE(r.out.find("small.mcs: File open failed.\n"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "small.isp"));
  EXPECT_FALSE(fs::exists(dir_ / "small.bit"));
}

// The built program itself, started as the programmer starts it.
TEST_F(Zepa2FusebuildTest, TheProgramConvertsAVtl3960) {
  const std::string cmd = "cd '" + dir_.string() + "' && '" + std::string(ZEPA_BIN_DIR) +
                          "/fusebuild' chain.jcd 1 > /dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  EXPECT_EQ(util::SplitLines(ReadFile(dir_ / "rev.2" / "big.isp")).size(), 1008u);
  EXPECT_TRUE(fs::exists(dir_ / "rev.2" / "big.mcs"));
}

}  // namespace
}  // namespace zepa::fusemap::zepa2
