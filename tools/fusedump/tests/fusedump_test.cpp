#include "fusedump/fusedump.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "fusemap/jedec_reader.h"
#include "fusemap/jedec_writer.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa3_isp.h"
#include "fusemap/zepa3_readback.h"
#include "testsupport/files.h"

namespace zepa::fusedump {
namespace {

namespace fs = std::filesystem;
using fusemap::FuseArray;

class FixedClock : public Clock {
 public:
  std::time_t Now() const override { return 741476948; }
};

using zepa::testing::ReadFile;
using zepa::testing::WriteFile;

FuseArray RandomDesign(int id, unsigned seed) {
  return fusemap::testing::RandomFuses(fusemap::load_ZEPA3_jed_struct(id)->FuseCount(), seed);
}

std::string ImageOf(int id, const FuseArray& design) {
  return fusemap::build_zepa3_image(fusemap::Zepa3Map(id), design, "UES\n").isp_text;
}

class Fusedump : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_.emplace().path(); }
  void TearDown() override { temp_.reset(); }

  int RunWith(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    Environment env{out_, err_, clock_, (dir_ / "chksum.chk").string()};
    return zepa::fusedump::Run(args, env);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::optional<zepa::testing::TempDir> temp_;

  fs::path dir_;
  FixedClock clock_;
  std::ostringstream out_, err_;
};

// A readback image of a VTL3256XL design gives the design's JEDEC file: every fuse, read by the JEDEC reader,
// as the design had it, and the checksum in the checksum line and in chksum.chk.
TEST_F(Fusedump, ReadbackGivesTheDesignBack) {
  const FuseArray design = RandomDesign(148, 11);
  WriteFile(dir_ / "design.isp", ImageOf(148, design));
  ASSERT_EQ(RunWith({Path("design.isp"), "VTL3256XL"}), 0) << err_.str();
  EXPECT_EQ(Files(), (std::vector<std::string>{"chksum.chk", "design.isp", "design.jed"}));

  const std::string jed = ReadFile(dir_ / "design.jed");
  EXPECT_EQ(jed.rfind("\x02 Chip readback JEDECFILE:design.jed Created on:Wed Jun 30 ", 0), 0u);
  EXPECT_NE(jed.find("\nNOTE DEVICE VTL3256XL*\nQF115869* F0*\nQV0* X0*\n\nNote Block 0 ZIA *\nL000000 "),
            std::string::npos);
  const std::string digits = fusemap::ChecksumDigits(design.Checksum());
  EXPECT_EQ(jed.substr(jed.size() - 8), "\nC" + digits + "*\n");
  EXPECT_EQ(ReadFile(dir_ / "chksum.chk"), digits);

  FuseArray back(design.TotalFuseNum(), FuseArray::Fill::kOnes);
  std::istringstream in(jed);
  ASSERT_EQ(fusemap::read_jedec(in, "design.jed", 148, back), 148);
  long wrong = 0;
  for (long n = 0; n < design.TotalFuseNum(); ++n) wrong += back.read_fuse(n) != design.read_fuse(n);
  EXPECT_EQ(wrong, 0);
}

TEST_F(Fusedump, ChipFlagNamesTheChipFile) {
  WriteFile(dir_ / "design.rd", ImageOf(144, RandomDesign(144, 3)));
  ASSERT_EQ(RunWith({Path("design.rd"), "VTL3032XL", "1"}), 0) << err_.str();
  EXPECT_EQ(Files(), (std::vector<std::string>{"chksum.chk", "design.rd", "design_chip.jed"}));
  EXPECT_NE(ReadFile(dir_ / "design_chip.jed").find("JEDECFILE:design_chip.jed "), std::string::npos);
}

// Command lines that end at once: the exit status, what the error output says, and that nothing is written.
TEST_F(Fusedump, CommandLineErrorsAndOtherFamilies) {
  WriteFile(dir_ / "design.isp", ImageOf(145, RandomDesign(145, 5)));
  WriteFile(dir_ / "design.bin", "3\x01\x02");
  WriteFile(dir_ / "readback", ImageOf(145, RandomDesign(145, 5)));
  fs::create_directory(dir_ / "folder.isp");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {"no arguments", {}, 1, "Usage:fusedump bin/isp_file device_name: "},
      {"one argument", {Path("design.isp")}, 1, "example:fusedump vtl256.isp VTL3256XL: "},
      {"missing image", {Path("nothing.isp"), "VTL3064XL"}, 1, "nothing.isp: No such file or directory"},
      {"folder for an image", {Path("folder.isp"), "VTL3064XL"}, 1, "folder.isp: Is a directory"},
      {"ZEPA1 part", {Path("design.bin"), "VTL3064A"}, 1, "not a ZEPA3 part"},
      {"ZEPA2 part", {Path("design.isp"), "VTL3960"}, 1, "not a ZEPA3 part"},
      {"unknown part", {Path("design.isp"), "VTL9999"}, 1, "not a ZEPA3 part"},
      {"128C is not searched in the name", {Path("design.isp"), "VTL3128CX"}, 1, "not a ZEPA3 part"},
      {"chip flag not a number", {Path("design.isp"), "VTL3064XL", "yes"}, 1, "not a decimal number"},
      {"image without extension", {Path("readback"), "VTL3064XL"}, 1, "FUSEDUMP error # 304"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunWith(c.args), c.status);
    EXPECT_NE(err_.str().find(c.err), std::string::npos) << err_.str();
    EXPECT_EQ(Files(), (std::vector<std::string>{"design.bin", "design.isp", "folder.isp", "readback"}));
  }
}

TEST_F(Fusedump, HelpPrintsUsageAndSucceeds) {
  for (const char* help : {"--help", "-h"}) {
    SCOPED_TRACE(help);
    err_.str("");
    EXPECT_EQ(RunWith({help}), 0);
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(out_.str().rfind("Usage:fusedump bin/isp_file device_name", 0), 0u) << out_.str();
    EXPECT_TRUE(Files().empty());
  }
}

TEST_F(Fusedump, PartNameInLowerCase) {
  WriteFile(dir_ / "design.isp", ImageOf(146, RandomDesign(146, 9)));
  EXPECT_EQ(RunWith({Path("design.isp"), "vtl3128xl"}), 0) << err_.str();
  EXPECT_TRUE(fs::exists(dir_ / "design.jed"));
}

// An image that ends before the part's last frame cannot give a JEDEC file: exit 1 and no output, the
// checksum file included.
TEST_F(Fusedump, ShortImageWritesNothing) {
  std::string image = ImageOf(149, RandomDesign(149, 1));
  image.resize(image.size() / 2);
  WriteFile(dir_ / "design.isp", image);
  EXPECT_EQ(RunWith({Path("design.isp"), "VTL3384XL"}), 1);
  EXPECT_NE(err_.str().find("FUSEDUMP error # 501"), std::string::npos);
  EXPECT_NE(err_.str().find("420 frames"), std::string::npos) << err_.str();
  EXPECT_EQ(Files(), std::vector<std::string>{"design.isp"});
}

// The JEDEC file would replace the image it is read from: refused.
TEST_F(Fusedump, ImageNamedLikeItsJedecIsKept) {
  const std::string image = ImageOf(144, RandomDesign(144, 2));
  WriteFile(dir_ / "design.jed", image);
  EXPECT_EQ(RunWith({Path("design.jed"), "VTL3032XL"}), 1);
  EXPECT_EQ(ReadFile(dir_ / "design.jed"), image);
  EXPECT_EQ(Files(), std::vector<std::string>{"design.jed"});
}

// A character that is not a hex digit is reported and its bits read 0; the files are still written (the
// programmer shows the chip checksum), but the exit status says the JEDEC is not a faithful copy.
TEST_F(Fusedump, InvalidHexDigitIsReportedAndReadAsZero) {
  const FuseArray design = RandomDesign(144, 4);
  std::string image = ImageOf(144, design);
  image[0] = 'g';
  WriteFile(dir_ / "design.isp", image);
  EXPECT_EQ(RunWith({Path("design.isp"), "VTL3032XL"}), 1);
  EXPECT_EQ(out_.str().rfind("Non-valid hex number g in bit stream.\n", 0), 0u);
  EXPECT_NE(err_.str().find("read as 0"), std::string::npos);
  ASSERT_TRUE(fs::exists(dir_ / "design.jed"));
  ASSERT_TRUE(fs::exists(dir_ / "chksum.chk"));

  FuseArray back(design.TotalFuseNum(), FuseArray::Fill::kOnes);
  std::ifstream in(dir_ / "design.jed");
  ASSERT_EQ(fusemap::read_jedec(in, "design.jed", 144, back), 144);
  const fusemap::Zepa3Map map(144);
  const auto frame = map.bits(0);
  for (int bit = 110; bit < 114; ++bit) EXPECT_EQ(back.read_fuse(frame[bit].fuse), 0) << bit;
}

// An image full of characters that are not hex digits tells the first ten where they are and counts the
// rest in one line, instead of two lines for each.
TEST_F(Fusedump, ManyInvalidDigitsAreToldTenAndCounted) {
  struct Case {
    int bad;              // characters replaced, from the start of the first line
    int told;             // "Non-valid hex number" lines
    const char* summary;  // the closing line, or nothing
  };
  const Case cases[] = {{1, 1, nullptr},
                        {10, 10, nullptr},
                        {11, 10, "  ... and 1 more non-valid hex numbers"},
                        {20, 10, "  ... and 10 more non-valid hex numbers"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bad);
    std::string image = ImageOf(144, RandomDesign(144, 4));
    for (int i = 0; i < c.bad; ++i) image[static_cast<std::size_t>(i)] = 'x';
    WriteFile(dir_ / "design.isp", image);
    EXPECT_EQ(RunWith({Path("design.isp"), "VTL3032XL"}), 1);
    const std::string out = out_.str();
    int told = 0;
    for (auto at = out.find("Non-valid hex number"); at != std::string::npos;
         at = out.find("Non-valid hex number", at + 1))
      ++told;
    EXPECT_EQ(told, c.told) << out;
    EXPECT_EQ(out.find("more non-valid") != std::string::npos, c.summary != nullptr) << out;
    if (c.summary != nullptr) {
      EXPECT_NE(out.find(c.summary), std::string::npos) << out;
    }
  }
}

// The program itself, as the programmer starts it: chksum.chk lands in the current folder.
TEST_F(Fusedump, ProgramWritesChecksumIntoTheCurrentFolder) {
  const FuseArray design = RandomDesign(144, 6);
  WriteFile(dir_ / "chip.rd", ImageOf(144, design));
  const std::string cmd = "cd '" + dir_.string() + "' && '" + ZEPA_BIN_DIR + "/fusedump' chip.rd VTL3032XL 1";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(dir_ / "chksum.chk"), fusemap::ChecksumDigits(design.Checksum()));
  EXPECT_TRUE(fs::exists(dir_ / "chip_chip.jed"));

  const int usage = std::system(("'" + std::string(ZEPA_BIN_DIR) + "/fusedump' 2>/dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(usage));
  EXPECT_EQ(WEXITSTATUS(usage), 1);
}

}  // namespace
}  // namespace zepa::fusedump
