// fusebuild as a whole: RunFusebuild in-process against a scratch folder, and the built program itself for
// its exit status and files.
#include "fusebuild/fusebuild.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fusemap/jedec_reader.h"
#include "fusemap/tests/support/example_chain.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa1_image.h"
#include "testsupport/files.h"

namespace zepa::fusebuild {
namespace {

namespace fs = std::filesystem;
using fusemap::testing::FusesWithZeros;
using fusemap::testing::JedecText;

std::string Jedec(long fuse_count, const std::vector<long>& zeros = {}) {
  return JedecText(FusesWithZeros(fuse_count, zeros));
}

using zepa::testing::ReadFile;

class FusebuildRunTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_.emplace().path(); }
  void TearDown() override { temp_.reset(); }

  void Write(const std::string& name, const std::string& bytes) {
    fs::create_directories((dir_ / name).parent_path());
    fusemap::testing::WriteFile((dir_ / name).string(), bytes);
  }

  struct Result {
    int status;
    std::string out, err;
  };
  Result Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunFusebuild(args, "/opt/zepa/bin/fusebuild", dir_.string(), out, err);
    return {status, out.str(), err.str()};
  }

  std::optional<zepa::testing::TempDir> temp_;

  fs::path dir_;
};

struct RunCase {
  const char* what;
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  int status;
  std::string err;                                // expected standard error (prefix)
  std::map<std::string, std::uintmax_t> written;  // file -> size
  std::vector<std::string> absent;
};

TEST_F(FusebuildRunTest, ConvertsOneDeviceOrFailsWithItsCode) {
  const std::string chain3 =
      "TOTAL_DEVICE 3\nDEVICE 1 VTL3032C 4 PV d32.jed\nDEVICE 2 VTL5064C 4 PR d64.jed\n"
      "DEVICE 3 VTL5128C 4 VE d128.jed\n";
  const std::map<std::string, std::string> designs = {{"c.jcd", chain3},
                                                      {"d32.jed", Jedec(20542, {5})},
                                                      {"d64.jed", Jedec(41306)},
                                                      {"d128.jed", Jedec(82930)}};
  auto with = [&designs](std::map<std::string, std::string> more) {
    more.insert(designs.begin(), designs.end());
    return more;
  };
  const std::vector<RunCase> cases = {
      {"device 1 by default", designs, {"c.jcd"}, 0, "", {{"d32.bin", 2743}}, {"d64.bin", "d128.bin"}},
      {"device 2", designs, {"c.jcd", "2"}, 0, "", {{"d64.bin", 5505}}, {"d32.bin"}},
      {"device 3 with debug level 0",
       designs,
       {"c.jcd", "3", "0"},
       0,
       "",
       {{"d128.bin", 11052}},
       {"SRfuse.doc", "stream.hex"}},
      {"debug listings in the current folder",
       designs,
       {"c.jcd", "1", "1"},
       0,
       "",
       {{"d32.bin", 2743}, {"SRfuse.doc", 0}, {"stream.hex", 0}},
       {}},
      {"device number 0", designs, {"c.jcd", "0"}, 1, "FUSEBUILD error # 300\n", {}, {"d32.bin"}},
      {"device number past the chain",
       designs,
       {"c.jcd", "4"},
       1,
       "FUSEBUILD error # 300\nDevice #4 is not in the chain (3 devices).\n",
       {},
       {}},
      {"device number that is no number", designs, {"c.jcd", "two"}, 1, "FUSEBUILD error # 300\n", {}, {}},
      {"empty chain", {{"e.jcd", "TOTAL_DEVICE 0\n"}}, {"e.jcd"}, 1, "FUSEBUILD error # 300\n", {}, {}},
      {"bypassed device",
       with({{"b.jcd", "DEVICE 1 VTL3032C 4 no d32.jed\n"}}),
       {"b.jcd"},
       0,
       "",
       {},
       {"d32.bin"}},
      {"A/C design for the plain 128-macrocell part",
       with({{"w.jcd", "DEVICE 1 qdx128 4 PR d128.jed\n"}}),
       {"w.jcd"},
       1,
       "FUSEBUILD error # 321\nSpecified device does not match with target device... (Device #1)\n",
       {},
       {"d128.bin"}},
      {"design of no known part",
       with({{"n.jcd", "DEVICE 2 VTL3032C 4 PR x.jed\nDEVICE 1 VTL3032C 4 PR bad.jed\n"},
             {"bad.jed", "QF2054*\nL000000 0*\n"}}),
       {"n.jcd", "2"},
       1,
       "FUSEBUILD error # 322\nNot a legal device found in JEDEC file... (Device #2)\n",
       {},
       {"bad.bin"}},
      {"missing design",
       {{"m.jcd", "DEVICE 1 VTL3032C 4 PR missing.jed\n"}},
       {"m.jcd"},
       1,
       "FUSEBUILD error # 200\nmissing.jed: File open failed. (No such file or directory)\n",
       {},
       {"missing.bin"}},
      {"unknown part without design",
       {{"u.jcd", "DEVICE 1 Others 8 PR\n"}},
       {"u.jcd"},
       1,
       "FUSEBUILD error # 323\nPart Others is not a known part. (Device #1)\n",
       {},
       {"tempues.bin"}},
      {"not a chain file",
       {{"t.jcd", "just some text\nwith no device in it\n"}},
       {"t.jcd"},
       1,
       "FUSEBUILD error # 300\nt.jcd: not a chain file (it has no DEVICE lines).\n",
       {},
       {}},
      {"ZEPA1 device without a design",
       {{"d.jcd", "DEVICE 1 VTL3032C 4 PR\n"}},
       {"d.jcd"},
       1,
       "FUSEBUILD error # 306\nNo design file given. (Device #1)\n",
       {},
       {"tempues.bin"}},
      {"ZEPA3 device without a design",
       {{"d.jcd", "DEVICE 1 VTL3064XL 5 PV\n"}},
       {"d.jcd"},
       1,
       "FUSEBUILD error # 306\n",
       {},
       {}},
      {"ZEPA2 signature without a design",
       {{"d.jcd", "DEVICE 1 VTL3960 5 PU\nUES 1 $x\n"}},
       {"d.jcd"},
       1,
       "FUSEBUILD error # 306\n",
       {},
       {}},
      {"unknown part with a design",
       with({{"u.jcd", "DEVICE 1 Others 8 PR d32.jed\n"}}),
       {"u.jcd"},
       1,
       "FUSEBUILD error # 321\n",
       {},
       {"d32.bin"}},
      {"signature without design",
       {{"s.jcd", "DEVICE 1 VTL5128C 4 PU\nUES 1 $hello\n"}},
       {"s.jcd"},
       0,
       "",
       {{"tempues.bin", 11052}},
       {}},
      {"dots in folder names",
       {{"f.jcd", "DEVICE 1 VTL5064C 4 PR boards/v1.2/top.jed\n"}, {"boards/v1.2/top.jed", Jedec(41306)}},
       {"f.jcd"},
       0,
       "",
       {{"boards/v1.2/top.bin", 5505}},
       {"boards/v1.bin"}},
      {"backslash separators",
       {{"f.jcd", "DEVICE 1 VTL5064C 4 PR boards\\v1.2\\top.jed\n"}, {"boards/v1.2/top.jed", Jedec(41306)}},
       {"f.jcd"},
       0,
       "",
       {{"boards/v1.2/top.bin", 5505}},
       {}},
      {"design without extension",
       {{"f.jcd", "DEVICE 1 VTL5064C 4 PR boards/v1.2/top\n"}, {"boards/v1.2/top", Jedec(41306)}},
       {"f.jcd"},
       1,
       "FUSEBUILD error # 304\nboards/v1.2/top: design file name has no extension",
       {},
       {"boards/v1.bin"}},
      {"fuses beyond the part",
       with({{"big.jed", "QF20542*\nL020540 000*\n"}, {"o.jcd", "DEVICE 1 VTL3032C 4 PR big.jed\n"}}),
       {"o.jcd"},
       1,
       "FUSEBUILD error # 201\nbig.jed: line 2 names fuses beyond the part's 20542 fuses.\n",
       {},
       {"big.bin"}},
      {"ZEPA3 part: no ZEPA1 image",
       {{"z.jcd", "DEVICE 1 VTL3256XL 5 PR z.jed\n"}, {"z.jed", Jedec(115869)}},
       {"z.jcd"},
       0,
       "",
       {},
       {"z.bin"}},
  };
  for (const RunCase& c : cases) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const auto& [name, bytes] : c.files) Write(name, bytes);
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.what;
    if (c.status == 0) {
      EXPECT_EQ(r.err, "") << c.what;
    }
    for (const auto& [name, size] : c.written) {
      ASSERT_TRUE(fs::is_regular_file(dir_ / name)) << c.what << ": " << name << " missing";
      if (size != 0) {
        EXPECT_EQ(fs::file_size(dir_ / name), size) << c.what << ": " << name;
      }
    }
    for (const std::string& name : c.absent) EXPECT_FALSE(fs::exists(dir_ / name)) << c.what << ": " << name;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      EXPECT_NE(entry.path().extension(), ".tmp") << c.what << ": left " << entry.path();
    }
  }
}

TEST_F(FusebuildRunTest, UsageAndMissingChainFile) {
  Result r = Run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Usage:fusebuild jcd_file\nExample:fusebuild test.jcd\n");
  EXPECT_FALSE(r.err.empty());

  r = Run({"nothere.jcd"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error opening nothere.jcd: No such file or directory\n");

  fs::create_directories(dir_ / "folder.jcd");
  r = Run({"folder.jcd"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error opening folder.jcd: Is a directory\n");
}

TEST_F(FusebuildRunTest, AFailedRunKeepsTheOldImage) {
  Write("c.jcd", "DEVICE 1 VTL3032C 4 PR top.jed\n");
  Write("top.jed", Jedec(41306));  // a 64-macrocell design for a 32-macrocell part
  Write("top.bin", "old image");
  EXPECT_EQ(Run({"c.jcd"}).status, 1);
  EXPECT_EQ(ReadFile(dir_ / "top.bin"), "old image");

  Write("top.jed", Jedec(20542));
  EXPECT_EQ(Run({"c.jcd"}).status, 0);
  EXPECT_EQ(fs::file_size(dir_ / "top.bin"), 2743u);
}

TEST_F(FusebuildRunTest, AnImageThatCannotBeWrittenEndsWithStatus1) {
  Write("c.jcd", "DEVICE 1 VTL3032C 4 PR top.jed\nDEVICE 2 VTL3032C 4 PU\n");
  Write("top.jed", Jedec(20542));
  fs::create_directories(dir_ / "top.bin" / "in_the_way");
  fs::create_directories(dir_ / "tempues.bin" / "in_the_way");
  for (const char* device : {"1", "2"}) {
    const Result r = Run({"c.jcd", device});
    EXPECT_EQ(r.status, 1) << "device " << device;
    EXPECT_EQ(r.err.substr(0, 22), "FUSEBUILD error # 907\n") << "device " << device;
    EXPECT_NE(r.out.find(": File open failed.\n"), std::string::npos) << "device " << device;
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "top.bin" / "in_the_way"));
  EXPECT_FALSE(fs::exists(dir_ / "top.bin.tmp"));
}

TEST_F(FusebuildRunTest, SignatureOnlyImageReplacesAnOldOne) {
  Write("c.jcd", "DEVICE 1 VTL3032C 4 PU\nUES 1 $A\n");
  Write("tempues.bin", std::string(5000, 'x'));
  ASSERT_EQ(Run({"c.jcd"}).status, 0);
  const std::string image = ReadFile(dir_ / "tempues.bin");
  ASSERT_EQ(image.size(), 2743u);
  fusemap::jcd_type rec;
  fusemap::get_part(rec, "VTL3032C");
  rec.ues = "A\n";
  EXPECT_EQ(image, fusemap::BuildUesImage(rec).FileBytes());
}

TEST(ProgramFolderTest, KeepsTheTrailingSeparator) {
  EXPECT_EQ(ProgramFolder("/usr/lib/zepa/fusebuild"), "/usr/lib/zepa/");
  EXPECT_EQ(ProgramFolder("C:\\Zepa\\fusebuild.exe"), "C:\\Zepa\\");
  try {
    ProgramFolder("fusebuild");
    FAIL() << "accepted a path without folder";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.code(), fusemap::kErrProgramPath);
  }
}

// The built program on the example chain: exit status, image sizes and contents.
class FusebuildProgramTest : public FusebuildRunTest {
 protected:
  int Program(const std::string& args, const std::string& environment = "") {
    const std::string command = "cd '" + dir_.string() + "' && " + environment +
                                "'" ZEPA_BIN_DIR "/fusebuild' " + args + " >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
};

// The tools that write a folder of files take the folder as their only argument: an option is never taken for
// a folder name (no folder "--frobnicate" appears); --help prints the usage and succeeds.
TEST_F(FusebuildProgramTest, FolderWritingToolsRefuseOptions) {
  struct Case {
    const char* tool;
    const char* args;
    int status;
  };
  const Case cases[] = {
      {"zepa_make_examples", "--frobnicate", 2}, {"zepa_make_examples", "-x", 2},
      {"zepa_make_examples", "--help", 0},       {"zepa_make_bench_designs", "--frobnicate", 2},
      {"zepa_make_bench_designs", "-h", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.args);
    const std::string command = "cd '" + dir_.string() + "' && '" ZEPA_BIN_DIR "/" + std::string(c.tool) +
                                "' " + c.args + " >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    EXPECT_NE(ReadFile(dir_ / (c.status == 0 ? "out.txt" : "err.txt")).find("sage: " + std::string(c.tool)),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / c.args)) << "a folder was made for the option";
  }
}

TEST_F(FusebuildProgramTest, ConvertsTheExampleChain) {
  for (const auto& file : fusemap::testing::ExampleChainFiles()) Write(file.name, file.bytes);
  struct Case {
    const char* device;
    const char* design;
    const char* part;
    std::uintmax_t size;
  };
  const std::vector<Case> cases = {{"1", "design32", "VTL3032C", 2743},
                                   {"2", "design64", "VTL5064C", 5505},
                                   {"3", "design128", "VTL5128C", 11052}};
  for (const Case& c : cases) {
    ASSERT_EQ(Program(std::string("chain.jcd ") + c.device), 0) << ReadFile(dir_ / "err.txt");
    const std::string image = ReadFile(dir_ / (std::string(c.design) + ".bin"));
    ASSERT_EQ(image.size(), c.size) << c.design;

    // The same conversion through the library gives the same bytes.
    fusemap::jcd_type rec;
    fusemap::get_part(rec, c.part);
    rec.ues = c.device == std::string("3") ? "Zepa example chain, device 3\n" : "\n";
    fusemap::FuseArray fuse(rec.jed_fuse, fusemap::FuseArray::Fill::kOnes);
    ASSERT_EQ(fusemap::read_jedec((dir_ / (std::string(c.design) + ".jed")).string(), rec.id, fuse), rec.id);
    EXPECT_TRUE(image == fusemap::BuildZepa1Image(rec, fuse).FileBytes()) << c.design;
  }
  // The third device carries its signature: 'Z' (0x5A) least significant bit first from row 41 bit 890 down.
  const std::string image = ReadFile(dir_ / "design128.bin");
  std::string bits;
  for (long b = 41L * 1028 + 890; b > 41L * 1028 + 882; --b) {
    bits += static_cast<char>('0' + ((static_cast<unsigned char>(image[1 + b / 8]) >> (7 - b % 8)) & 1));
  }
  EXPECT_EQ(bits, "01011010");
}

TEST_F(FusebuildProgramTest, ExitStatusAndMessages) {
  Write("c.jcd", "DEVICE 1 qdx128 4 PR d.jed\nDEVICE 2 VTL3128 4 no d.jed\n");
  Write("d.jed", Jedec(82930));
  EXPECT_EQ(Program(""), 1);
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "Usage:fusebuild jcd_file\nExample:fusebuild test.jcd\n");
  // Help is asked for, not a chain file named "--help": usage on standard output, status 0, nothing written.
  for (const char* help : {"--help", "-h"}) {
    SCOPED_TRACE(help);
    EXPECT_EQ(Program(help), 0);
    EXPECT_EQ(ReadFile(dir_ / "out.txt").rfind("Usage:fusebuild jcd_file\n", 0), 0u);
    EXPECT_EQ(ReadFile(dir_ / "err.txt"), "");
  }
  EXPECT_EQ(Program("c.jcd 1"), 1);
  EXPECT_EQ(ReadFile(dir_ / "err.txt"),
            "FUSEBUILD error # 321\nSpecified device does not match with target device... (Device #1)\n");
  EXPECT_EQ(Program("c.jcd 2"), 0);
  EXPECT_FALSE(fs::exists(dir_ / "d.bin"));
}

// The programmer names its working folder in ZEPA_WORK_DIR; the signature-only images of both families must
// appear there (where the programmer looks for them), not in the current or the program's folder.
TEST_F(FusebuildProgramTest, SignatureOnlyImagesGoToTheProgrammersWorkingFolder) {
  const fs::path work = dir_ / "work";
  fs::create_directories(work);
  Write("s.jcd", "DEVICE 1 VTL5128C 4 PU\nDEVICE 2 VTL3256XL 5 RU\nUES 1 $hi\nUES 2 $AB\n");
  for (const char* device : {"1", "2"}) {
    ASSERT_EQ(Program("s.jcd " + std::string(device) + " 0", "ZEPA_WORK_DIR='" + work.string() + "' "), 0)
        << ReadFile(dir_ / "err.txt");
  }
  EXPECT_EQ(fs::file_size(work / "tempues.bin"), 11052u);
  EXPECT_TRUE(fs::exists(work / "tempues.isp"));
  EXPECT_FALSE(fs::exists(dir_ / "tempues.bin"));
}

}  // namespace
}  // namespace zepa::fusebuild
