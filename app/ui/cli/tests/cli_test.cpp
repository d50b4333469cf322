// zepaisp-cli end to end on the simulated board (virtual clock, the real engine and fusebuild): the example
// chain programmed and verified, exit statuses, batch files, the answers of --yes, and the program itself for
// --help and usage errors.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "chain/jcd_file.h"
#include "engine/clock.h"
#include "engine/process.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_writer.h"
#include "sim/board.h"
#include "sim/families.h"
#include "sim/remote_bitbang.h"
#include "sim/tests/support/child_process.h"
#include "testsupport/files.h"
#include "ui/cli/cli_app.h"
#include "ui/core/tests/test_support.h"
#include "util/file_lock.h"

namespace zepa::cli {
namespace {

namespace fs = std::filesystem;
using ui::testing::crlf;

constexpr const char* kThreeZepa1 =
    "port 378\ncable relay\ndevice VTL3032C\ndevice VTL5064C\ndevice VTL5128C\n";

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

class CliTest : public ui::testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    cwd_ = fs::current_path();
    fs::create_directories(dir_ / "work");
  }
  void TearDown() override {
    fs::current_path(cwd_);
    ScratchDir::TearDown();
  }

  engine::WorkDirWait wait_;
  engine::IspEngine* engine_ = nullptr;  // the engine a stop signal would reach
  std::function<void()> on_launch_;

  // `shared`: the clock of a board served elsewhere, so its parts' dwells see the run's waits.
  CliRun Cli(const std::vector<std::string>& args, engine::VirtualClock* shared = nullptr) {
    std::ostringstream out;
    std::ostringstream err;
    engine::VirtualClock own;
    engine::VirtualClock& clock = shared != nullptr ? *shared : own;
    engine::SystemProcessLauncher system_launcher;
    // Every start of a converter is told (stop_on_launch_) before it runs.
    struct Launcher final : engine::ProcessLauncher {
      engine::ProcessLauncher& real;
      std::function<void()>& before;
      Launcher(engine::ProcessLauncher& r, std::function<void()>& b) : real(r), before(b) {}
      engine::ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                                const std::vector<std::string>& environment) override {
        if (before) before();
        return real.Run(program, args, environment);
      }
    } launcher(system_launcher, on_launch_);
    CliSystem system{.out = out,
                     .err = err,
                     .clock = clock,
                     .launcher = launcher,
                     .program_dir = ZEPA_BIN_DIR,
                     .work_dir = (dir_ / "work").string(),
                     .timestamp = [] { return std::string("12:00:00 01/02/03"); },
                     .work_dir_wait = wait_,
                     .stoppable = [this](engine::IspEngine* engine) { engine_ = engine; }};
    const int status = RunCli(ParseCommandLine(args), system);
    fs::current_path(cwd_);  // a run moves into the chain file's folder
    return {status, out.str(), err.str()};
  }

  // A chain of ZEPA1 parts, all doing `op`, written as a chain file.
  std::string Chain(const std::string& name, const std::vector<int>& parts, int op) {
    chain::ChainTable table;
    table.DeviceCount = static_cast<int>(parts.size());
    for (int n = 1; n <= table.DeviceCount; ++n) {
      table[n].part = parts[static_cast<std::size_t>(n - 1)];
      table[n].IR_len = chain::ir_code_from_length(4);
      table[n].cmnd = op;
    }
    chain::write_jcd(table, path(name));
    return path(name);
  }

  void CopyExamples() {
    for (const char* name : {"chain.jcd", "design32.jed", "design64.jed", "design128.jed", "board.sim"})
      fs::copy_file(fs::path(ZEPA_SOURCE_DIR) / "examples" / name, dir_ / name);
  }

  fs::path cwd_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(CliTest, ExampleChainIsProgrammedAndVerifiedAndKeptOnTheBoard) {
  CopyExamples();
  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path("chain.jcd")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "ISP RelayCable/Board found!\n"));
  EXPECT_TRUE(Contains(run.out, "Executing " + path("chain.jcd") + "  12:00:00 01/02/03\n"));
  EXPECT_TRUE(Contains(run.out, "\n * * * * *")) << "progress marks share one line";
  EXPECT_TRUE(Contains(run.out, "----------------End operation----------------\n"));
  EXPECT_TRUE(Contains(run.out,
                       "Device  Part        Operation         Result  Design file\n"
                       "     1  VTL3032C    Prog & Verify     pass    design32.jed\n"
                       "     2  VTL5064C    Prog & Verify     pass    design64.jed\n"
                       "     3  VTL5128C    Prog & Verify     pass    design128.jed\n"
                       "PASS\n"))
      << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::exists(path("board.sim.state")));

  // What the parts now hold verifies against the designs in a later run.
  std::string verify = read("chain.jcd");
  for (std::size_t at; (at = verify.find("PV  ")) != std::string::npos;) verify.replace(at, 2, "VE");
  write("verify.jcd", verify);
  const CliRun again = Cli({"--io", "sim:" + path("board.sim"), "--vrf", path("verify.jcd")});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_TRUE(Contains(again.out, "     3  VTL5128C    Verify            pass    design128.jed\n"))
      << again.out;
}

// A board that needs half clocks of 500 ns misreads bits at the port's own pace, so no cable answers and
// nothing runs (status 3); with
// --tck-delay 500 every half clock lasts long enough (on the run's clock) and the chain programs and
// verifies.
TEST_F(CliTest, SlowBoardNeedsTheTckDelay) {
  CopyExamples();
  write("board.sim", "tck 500ns\n" + read("board.sim"));
  struct Case {
    std::vector<std::string> delay;
    int status;
  };
  for (const Case& c : {Case{{}, 3}, Case{{"--tck-delay", "200"}, 3}, Case{{"--tck-delay", "500"}, 0}}) {
    SCOPED_TRACE(::testing::PrintToString(c.delay));
    fs::remove(path("board.sim.state"));
    std::vector<std::string> args = c.delay;
    args.insert(args.end(), {"--io", "sim:" + path("board.sim"), path("chain.jcd")});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    if (c.status == 0) {
      EXPECT_TRUE(Contains(run.out, "     3  VTL5128C    Prog & Verify     pass    design128.jed\n"))
          << run.out;
    }
  }
}

// The example chain over --io remote:HOST:PORT, zepa-sim's remote_bitbang server playing the pins to the
// example board on a loopback port: programmed and verified, and what the parts hold is on that board.
TEST_F(CliTest, ExampleChainOverARemoteBitbangLink) {
  CopyExamples();
  engine::VirtualClock board_clock;
  auto board =
      sim::Board::Open(path("board.sim"), sim::AllFamilies([&board_clock] { return board_clock.NowNs(); }));
  std::unique_ptr<sim::RemoteBitbangServer> server;
  try {
    server = std::make_unique<sim::RemoteBitbangServer>(*board, 0);
  } catch (const std::exception& e) {
    GTEST_SKIP() << "no loopback sockets on this system: " << e.what();
  }
  std::atomic<bool> stop{false};
  std::thread serving([&] { server->Serve(stop, false, [] {}); });
  const CliRun run =
      Cli({"--io", "remote:127.0.0.1:" + std::to_string(server->port()), path("chain.jcd")}, &board_clock);
  stop = true;
  serving.join();
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "     3  VTL5128C    Prog & Verify     pass    design128.jed\n")) << run.out;
  EXPECT_FALSE(board->device(3).memory().rows.empty()) << "the served board's part was programmed";
  // The programmer never opened the board file itself: the served board holds its lock, so an open would
  // have been refused and the run would have ended with status 2.
}

// --quiet keeps errors, the table and the verdict; --verbose adds the port backend and the converters'
// command lines to the usual output.
TEST_F(CliTest, QuietAndVerboseChangeWhatIsPrinted) {
  CopyExamples();
  const std::string board = "sim:" + path("board.sim");
  const CliRun usual = Cli({"--io", board, path("chain.jcd")});
  ASSERT_EQ(usual.status, 0) << usual.out << usual.err;

  const CliRun quiet = Cli({"--io", board, "--quiet", path("chain.jcd")});
  EXPECT_EQ(quiet.status, 0) << quiet.out << quiet.err;
  const std::string table = usual.out.substr(usual.out.find("Device  Part"));
  EXPECT_EQ(quiet.out, table);
  EXPECT_TRUE(Contains(table, "\nPASS\n")) << table;

  const CliRun verbose = Cli({"--io", board, "--verbose", path("chain.jcd")});
  EXPECT_EQ(verbose.status, 0) << verbose.out << verbose.err;
  EXPECT_EQ(verbose.out.rfind("Port backend: simulated board " + path("board.sim") + "\n", 0), 0u)
      << verbose.out;
  EXPECT_TRUE(Contains(verbose.out, "\n+ " + std::string(ZEPA_BIN_DIR) + "/fusebuild ")) << verbose.out;
  EXPECT_TRUE(Contains(verbose.out, "ISP RelayCable/Board found!\n")) << verbose.out;

  // Errors still reach a quiet run.
  const CliRun missing = Cli({"--io", board, "--quiet", path("nothing.jcd")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(Contains(missing.err, "nothing.jcd: file not found")) << missing.err;
}

// Design files whose paths hold blanks: the chain file carries them in double quotes, the programmer's
// check finds them and fusebuild converts them, so the chain programs and verifies as any other.
TEST_F(CliTest, DesignPathsWithBlanksAreProgrammed) {
  CopyExamples();
  fs::create_directories(dir_ / "my designs");
  chain::ChainTable table;
  ASSERT_TRUE(chain::load_jcd(table, path("chain.jcd")));
  for (int n = 1; n <= 3; ++n) {
    const std::string design = table[n].jed.str();
    fs::copy_file(dir_ / design, dir_ / "my designs" / ("my " + design));
    table[n].jed = "my designs/my " + design;
  }
  chain::write_jcd(table, path("blank chain.jcd"));
  EXPECT_TRUE(Contains(read("blank chain.jcd"), "PV      \"my designs/my design32.jed\"\r\n"));

  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path("blank chain.jcd")});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  for (const char* line :
       {"     1  VTL3032C    Prog & Verify     pass", "     2  VTL5064C    Prog & Verify     pass",
        "     3  VTL5128C    Prog & Verify     pass"})
    EXPECT_TRUE(Contains(run.out, line)) << run.out;
  EXPECT_TRUE(fs::exists(dir_ / "my designs" / "my design128.bin"));
}

// --svf writes the operations of the whole chain into one SVF file named after the chain file, and leaves
// what the parts hold alone: program and verify would have erased the row the board keeps here.
TEST_F(CliTest, SvfRunWritesTheFileNamedAfterTheChainAndTouchesNoDevice) {
  CopyExamples();
  fs::create_directories(dir_ / "bench 2");
  fs::copy_file(dir_ / "chain.jcd", dir_ / "bench 2" / "line-7.jcd");
  for (const char* design : {"design32.jed", "design64.jed", "design128.jed"})
    fs::copy_file(dir_ / design, dir_ / "bench 2" / design);
  const std::string board_file = path("board.sim");
  {
    auto board = sim::Board::Open(board_file, sim::AllFamilies());
    board->device(2).memory().rows[7] = sim::Bits(512, false);
    board->SaveState(sim::Board::StatePath(board_file));
  }
  auto held = [&] {
    auto board = sim::Board::Open(board_file, sim::AllFamilies());
    std::vector<sim::DeviceMemory> memories;
    for (std::size_t n = 1; n <= board->device_count(); ++n) memories.push_back(board->device(n).memory());
    return memories;
  };
  const std::vector<sim::DeviceMemory> before = held();

  const CliRun run = Cli({"--io", "sim:" + board_file, "--svf", path("bench 2/line-7.jcd")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(held() == before) << "a part's array changed";
  EXPECT_TRUE(Contains(run.out, "     3  VTL5128C    Prog & Verify     -       design128.jed\n")) << run.out;

  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir_ / "bench 2")) files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"design128.bin", "design128.jed", "design32.bin", "design32.jed",
                                             "design64.bin", "design64.jed", "line-7.jcd", "line-7.svf"}));
  const std::string svf = read("bench 2/line-7.svf");
  EXPECT_EQ(svf.rfind("!Begin Bulk Erase (Device #1).", 0), 0u) << svf.substr(0, 200);
  for (const char* device : {"(Device #1).", "(Device #2).", "(Device #3)."}) {
    EXPECT_TRUE(Contains(svf, std::string("\r\n!Begin Verify ") + device)) << device;
    EXPECT_TRUE(Contains(svf, std::string("!Begin Bulk Erase ") + device)) << device;
  }
  std::size_t bare = 0;
  for (std::size_t i = 0; i < svf.size(); ++i) bare += svf[i] == '\n' && (i == 0 || svf[i - 1] != '\r');
  EXPECT_EQ(bare, 0u) << "every line ends in CR LF";
  EXPECT_EQ(svf.substr(svf.size() - 2), "\r\n");
}

// SVF output drives no port: a run without a port device (whose reason is told) or without a cable on the
// port still writes the whole chain's SVF file.
TEST_F(CliTest, SvfIsWrittenWithoutAPortDeviceOrACable) {
  CopyExamples();
  write("no-cable.sim", "cable none\ndevice VTL3032C\ndevice VTL5064C\ndevice VTL5128C\n");
  struct Case {
    const char* name;
    std::string io;
    const char* told;
  };
  const Case cases[] = {
      {"no port device", "ppdev:" + path("parport9"), "No such file or directory"},
      {"no cable", "sim:" + path("no-cable.sim"), "can not find Relaycable/Board"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(path("chain.svf"));
    const CliRun run = Cli({"--io", c.io, "--svf", path("chain.jcd")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out + run.err, c.told)) << run.out << run.err;
    ASSERT_TRUE(fs::exists(path("chain.svf"))) << run.out << run.err;
    const std::string svf = read("chain.svf");
    for (const char* device : {"(Device #1).", "(Device #2).", "(Device #3)."})
      EXPECT_TRUE(Contains(svf, std::string("\r\n!Begin Verify ") + device)) << device;
  }
}

// A hand-written chain file runs from the programmer's temporary copy of it (without --yes it is not
// rewritten); the SVF file is named after the user's file, written beside it and told.
TEST_F(CliTest, SvfOfAHandWrittenChainGoesBesideIt) {
  CopyExamples();
  fs::create_directories(dir_ / "bench");
  for (const char* design : {"design32.jed", "design64.jed"})
    fs::copy_file(dir_ / design, dir_ / "bench" / design);
  write("bench/hand.jcd", crlf({"#Corvane PLD device JTAG chain description", "TOTAL_DEVICE 3",
                                "DEVICE 1 VTL3032C 4 VE design32.jed", "DEVICE 2 VTL5064C 4 PV design64.jed",
                                "DEVICE 3 VTL5128C 4 NO"}));
  const std::string by_hand = read("bench/hand.jcd");
  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), "--svf", path("bench/hand.jcd")});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(read("bench/hand.jcd"), by_hand) << "the user's file is left as written";
  ASSERT_TRUE(fs::exists(path("bench/hand.svf"))) << run.out;
  EXPECT_TRUE(Contains(read("bench/hand.svf"), "!Begin Verify (Device #1)."));
  EXPECT_TRUE(Contains(run.out, "SVF file: " + path("bench/hand.svf") + "\n")) << run.out;
  EXPECT_FALSE(fs::exists(dir_ / "work" / "tempjcd.svf"));
}

TEST_F(CliTest, ExitStatusSaysWhetherADeviceFailedOrNothingCouldRun) {
  using chain::kPartVtl3032C;
  using chain::kPartVtl5064C;
  struct Case {
    const char* name;
    const char* board;
    std::vector<std::string> args;  // "CHAIN" stands for the chain file
    int status;
    const char* out_part;
    const char* err_part;
  };
  const Case cases[] = {
      {"ids read",
       "device VTL3032C\ndevice VTL5064C\n",
       {"CHAIN"},
       0,
       "     2  VTL5064C    Read device ID    pass",
       ""},
      {"wrong part in the socket",
       "device VTL3032C\ndevice VTL5064C idcode=0x12345679\n",
       {"CHAIN"},
       1,
       "     2  VTL5064C    Read device ID    fail\n"
       "        IDCODE (not read), security unknown\n"
       "FAIL (devices 2)\n",
       ""},
      {"no cable",
       "cable none\ndevice VTL3032C\ndevice VTL5064C\n",
       {"CHAIN"},
       3,
       "Tried port 378h on the simulated board BOARD\nFAIL (nothing was run)\n",
       "warning: No RelayCable found!"},
      {"chain of another length",
       "device VTL3032C\n",
       {"CHAIN"},
       1,
       "\nFAIL\n",
       "warning: The number of device is inconsistent"},
      {"scan",
       "device VTL3032C\ndevice VTL5064C\n",
       {"--scan"},
       0,
       "There are 2 JTAG devices daisy chainning in the system.",
       ""},
      {"scan without cable",
       "cable none\ndevice VTL3032C\n",
       {"--scan", "--cable", "relay"},
       3,
       "*** Warning: can not find Relaycable/Board or loose connect!\n\nTried port 378h on the simulated "
       "board BOARD\n",
       ""},
      {"board on another port",
       "port 278\ndevice VTL3032C\n",
       {"--scan", "--cable", "relay", "--port", "378"},
       3,
       "Tried port 378h on the simulated board BOARD\n",
       ""},
      {"missing chain file", "device VTL3032C\n", {"nowhere.jcd"}, 2, "", "nowhere.jcd: file not found"},
      {"not a chain file", "device VTL3032C\n", {"BOARD"}, 2, "", "not a chain description"},
      {"bad board file", "device VTL9999\n", {"CHAIN"}, 2, "", "board.sim:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write("board.sim", c.board);
    fs::remove(path("board.sim.state"));
    const std::string chain =
        Chain("chain.jcd", {chain::kPartVtl3032C, chain::kPartVtl5064C}, chain::kOpReadId);
    std::vector<std::string> args = {"--io", "sim:" + path("board.sim")};
    for (const std::string& a : c.args)
      args.push_back(a == "CHAIN" ? chain : a == "BOARD" ? path("board.sim") : a);

    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    std::string out_part = c.out_part;
    if (const auto at = out_part.find("BOARD"); at != std::string::npos)
      out_part.replace(at, 5, path("board.sim"));
    EXPECT_TRUE(Contains(run.out, out_part)) << run.out;
    EXPECT_TRUE(Contains(run.err, c.err_part)) << run.err;
  }
}

// A board of every family and two other parts, one without IDCODE; instruction lengths 4, 5, 5, 7, 2.
constexpr const char* kMixedBoard =
    "port 378\ncable relay\ndevice VTL3064A\ndevice VTL3960\ndevice VTL3256XL\n"
    "device Others irlen=7 idcode=0x1234567F\ndevice Others irlen=2 idcode=none\n";

TEST_F(CliTest, ScanListsEachDeviceAndWritesTheChainFound) {
  write("board.sim", kMixedBoard);
  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), "--scan", "--write-jcd", path("found.jcd")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // The check's own lines first, unchanged; then one line per device from TDI to TDO.
  EXPECT_TRUE(Contains(
      run.out,
      "ISP RelayCable/Board found!\nThere are 5 JTAG devices daisy chainning in the system.\n\n"
      "Device 1: IDCODE 0x0004902B, bit 0 is 1, VTL3064A/VTL5064C (ZEPA1, 64 MC, 3.3 volt, PC 44), IR length "
      "4\n"
      "Device 2: IDCODE 0x0869802B, bit 0 is 1, VTL3960 (Future use, Future use, 3.3 volt), IR length 5\n"
      "Device 3: IDCODE 0x0494B02B, bit 0 is 1, VTL3256XL (ZEPA3, 256 MC, 3.3 volt, TQ 144), IR length 5\n"
      "Device 4: IDCODE 0x1234567F, bit 0 is 1, unknown part (ZEPA2, Future use, 5 volt), IR length 7\n"
      "Device 5: no IDCODE (BYPASS at reset), IR length 2\n"
      "Chain file written: " +
          path("found.jcd") + "\n"))
      << run.out;

  // The chain file names the known parts, fills the lengths, runs nothing, and runs as it is.
  const std::string jcd = read("found.jcd");
  for (const char* line : {"TOTAL_DEVICE 5", "DEVICE 1           VTL3064A         4         NO",
                           "DEVICE 2           VTL3960          5         NO",
                           "DEVICE 3           VTL3256XL        5         NO",
                           "DEVICE 4           Others           7         NO",
                           "DEVICE 5           Others           2         NO"}) {
    EXPECT_TRUE(Contains(jcd, line)) << line << "\n" << jcd;
  }
  const CliRun again = Cli({"--io", "sim:" + path("board.sim"), path("found.jcd")});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_TRUE(Contains(again.out, "\nPASS\n")) << again.out;
}

TEST_F(CliTest, ScanThatCannotWriteItsChainFileSaysSoAndWritesNothing) {
  write("board.sim", kMixedBoard);
  const CliRun run =
      Cli({"--io", "sim:" + path("board.sim"), "--scan", "--write-jcd", path("no/such/folder/found.jcd")});
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_TRUE(Contains(run.err, "error: " + path("no/such/folder/found.jcd") + ": ")) << run.err;
  EXPECT_FALSE(Contains(run.out, "Chain file written")) << run.out;
}

// A part that captures ones above its "01" makes the cut of the instruction bits ambiguous: the scan says so
// and shows the parts' own lengths where it knows the part; one part left unknown gets the rest of the
// measured total, two stay unknown. The chain file keeps what is known.
TEST_F(CliTest, AmbiguousInstructionCapturesFallBackToThePartsLengths) {
  write("board.sim", "device VTL3064A\ndevice Others irlen=6 idcode=none ircapture=0x2D\ndevice VTL3256XL\n");
  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), "--scan", "--write-jcd", path("found.jcd")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // Nearest TDO first: VTL3256XL 10000, the other part 101101, VTL3064A 1000.
  EXPECT_TRUE(
      Contains(run.out,
               "Instruction registers: 15 bits captured as 100001011011000, which do not cut into one "
               "10...0 per device; the parts' own lengths are shown.\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "Device 1: IDCODE 0x0004902B, bit 0 is 1, VTL3064A/VTL5064C (ZEPA1, 64 MC, 3.3 volt, "
                       "PC 44), IR length 4 (the part's)\n"
                       "Device 2: no IDCODE (BYPASS at reset), IR length 6 (the chain's measured total less "
                       "the others)\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, ", IR length 5 (the part's)\n")) << run.out;
  const std::string jcd = read("found.jcd");
  EXPECT_TRUE(Contains(jcd, "DEVICE 1           VTL3064A         4         NO")) << jcd;
  EXPECT_TRUE(Contains(jcd, "DEVICE 2           Others           6         NO")) << jcd;
  EXPECT_TRUE(Contains(jcd, "DEVICE 3           VTL3256XL        5         NO")) << jcd;

  // Two parts of no known length: neither can be told.
  write("board.sim", "device Others irlen=6 idcode=none ircapture=0x2D\ndevice Others irlen=3 idcode=none\n");
  const CliRun two = Cli({"--io", "sim:" + path("board.sim"), "--scan"});
  ASSERT_EQ(two.status, 0) << two.out << two.err;
  EXPECT_TRUE(Contains(two.out,
                       "Device 1: no IDCODE (BYPASS at reset), IR length unknown\n"
                       "Device 2: no IDCODE (BYPASS at reset), IR length unknown\n"))
      << two.out;
}

// OpenOCD's auto-probe of the same board, served by zepa-sim, finds the same IDCODEs and instruction
// lengths. OpenOCD lists the devices from TDO, the scan from TDI.
TEST_F(CliTest, ScanAgreesWithOpenOcdsAutoProbe) {
  const std::string openocd = sim::testing::FindProgram("openocd");
  if (openocd.empty()) GTEST_SKIP() << "openocd is not installed";
  write("board.sim", kMixedBoard);
  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), "--scan"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::vector<std::string> ours;
  const std::regex our_line(R"(Device \d+: (?:IDCODE 0x([0-9A-F]{8})|no IDCODE)[^\n]*, IR length (\d+)\n)");
  for (std::sregex_iterator it(run.out.begin(), run.out.end(), our_line), end; it != end; ++it) {
    std::string id = (*it)[1].matched ? (*it)[1].str() : "00000000";
    ours.push_back(id + " " + (*it)[2].str());
  }

  std::string log;
  {
    sim::testing::ZepaSim served(sim::testing::ZepaSimProgram(), path("board.sim"), true);
    sim::testing::Child host(sim::testing::OpenOcdArgs(openocd, served.port(), {}));
    log = host.ReadToEnd(std::chrono::seconds(60));
    host.Wait();
    served.child().ReadToEnd(std::chrono::seconds(30));
    served.child().Wait();
  }
  std::vector<std::string> theirs;
  const std::regex their_line(
      R"re(AUTO auto\d+\.tap - use "jtag newtap auto\d+ tap -irlen (\d+) -expected-id 0x([0-9a-f]{8})")re");
  for (std::sregex_iterator it(log.begin(), log.end(), their_line), end; it != end; ++it) {
    std::string id = (*it)[2].str();
    for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    theirs.insert(theirs.begin(), id + " " + (*it)[1].str());
  }
  ASSERT_EQ(ours.size(), 5u) << run.out;
  EXPECT_EQ(ours, theirs) << log;
}

// Chain files written by hand: every fault in them is refused with a message that names what is wrong and
// a failing exit status; nothing of such a chain runs.
TEST_F(CliTest, FaultyChainFilesAreRefusedWithTheirReason) {
  struct Case {
    const char* name;
    std::vector<std::string> devices;  // the device lines between the header and the signature section
    int status;
    const char* out_part;
    const char* err_part;
  };
  const Case cases[] = {
      {"lower-case words are read",
       {"DEVICE 1 VTL3032C 4 id", "DEVICE 2 VTL5064C 4 Id"},
       0,
       "     2  VTL5064C    Read device ID    pass",
       ""},
      {"misspelt word",
       {"DEVICE 1 VTL3032C 4 ID", "DEVICE 2 VTL5064C 4 XX"},
       1,
       "",
       "error: Unknown operation \"XX\" for device #2!"},
      {"missing word",
       {"DEVICE 1 VTL3032C 4", "DEVICE 2 VTL5064C 4 ID"},
       1,
       "",
       "error: No operation specified for device #1!"},
      {"device beyond the table",
       {"DEVICE 1 VTL3032C 4 ID", "DEVICE 2 VTL5064C 4 ID", "DEVICE 61 VTL5064C 4 ID"},
       2,
       "",
       "line 5: DEVICE 61: positions are 1..60"},
      {"IR length 1000",
       {"DEVICE 1 VTL3032C 1000 ID", "DEVICE 2 VTL5064C 4 ID"},
       2,
       "",
       "line 3: IR length 1000 of device #1 is not one of 2..10 or 16"},
      {"negative IR length",
       {"DEVICE 1 VTL3032C 4 ID", "DEVICE 2 VTL5064C -4 ID"},
       2,
       "",
       "line 4: IR length -4 of device #2 is not one of 2..10 or 16"},
      {"negative device",
       {"DEVICE 1 VTL3032C 4 ID", "DEVICE -1 VTL5064C 4 ID"},
       2,
       "",
       "line 4: DEVICE -1: positions are 1..60"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write("board.sim", "device VTL3032C\ndevice VTL5064C\n");
    fs::remove(path("board.sim.state"));
    std::string text = crlf({"#Corvane PLD device JTAG chain description", "TOTAL_DEVICE 2"});
    for (const std::string& line : c.devices) text += line + "\r\n";
    text += crlf({"#User Electronic Signature", "UES 1 $", "UES 2 $"});
    write("chain.jcd", text);

    const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path("chain.jcd")});
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, c.out_part)) << run.out;
    EXPECT_TRUE(Contains(run.err, c.err_part)) << run.err;
    if (c.status != 0) {
      EXPECT_FALSE(Contains(run.out, "Begin operation")) << run.out;
    }
  }
}

// A parallel-port device that cannot be opened is told once, with its reason; the Windows driver's
// "Driver "KPortIo1" not found" has no place on Linux, least of all once per cable of the fall-back.
TEST_F(CliTest, AMissingPortDeviceIsToldOnceWithItsReason) {
  CopyExamples();
  const std::string device = path("parport9");  // no such device
  const std::string reason = "cannot open " + device + ": No such file or directory";
  for (const std::string& what : {std::string("--scan"), path("chain.jcd")}) {
    SCOPED_TRACE(what);
    const CliRun run = Cli({"--io", "ppdev:" + device, what});
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "through " + device + " (ppdev)")) << run.out;
    const std::string all = run.out + run.err;
    std::size_t told = 0;
    for (auto at = all.find(reason); at != std::string::npos; at = all.find(reason, at + 1)) ++told;
    EXPECT_EQ(told, 1u) << all;
    EXPECT_FALSE(Contains(all, "KPortIo1")) << all;
  }
}

TEST_F(CliTest, BatchFileRunsItsChainsUntilOneFails) {
  write("board.sim", "device VTL3032C\ndevice VTL5064C\n");
  Chain("ids.jcd", {chain::kPartVtl3032C, chain::kPartVtl5064C}, chain::kOpReadId);
  Chain("short.jcd", {chain::kPartVtl3032C},
        chain::kOpReadId);  // one device: the cable check's count differs
  write("steps.jbf", crlf({"ids.jcd", "missing.jcd", "short.jcd", "ids.jcd"}));

  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path("steps.jbf")});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out,
                       "Step  Result   Chain file\n"
                       "   1  pass     ids.jcd\n"
                       "   2  skip     missing.jcd\n"
                       "   3  fail     short.jcd\n"
                       "   4  -        ids.jcd\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "Batch step 1: running\n"));
  EXPECT_EQ(read("work/zepaisp.log"), crlf({"Executing ids.jcd  12:00:00 01/02/03 ...", "pass",
                                            "Executing short.jcd  12:00:00 01/02/03 ...", "fail"}));
}

// A batch passes only when every step it lists ran and passed; a batch that ran nothing fails, and a line
// that is no path is told as such rather than echoed.
TEST_F(CliTest, BatchThatRanNothingFails) {
  write("board.sim", "device VTL3032C\ndevice VTL5064C\n");
  Chain("ids.jcd", {chain::kPartVtl3032C, chain::kPartVtl5064C}, chain::kOpReadId);
  struct Case {
    const char* name;
    std::string batch;
    int status;
    const char* out_part;
    const char* err_part;
  };
  const Case cases[] = {
      {"every step passes", crlf({"ids.jcd", "ids.jcd"}), 0, "   2  pass     ids.jcd\n", ""},
      {"every file missing", crlf({"a.jcd", "b.jcd"}), 1, "   2  skip     b.jcd\n", ""},
      {"a missing step among passing ones", crlf({"ids.jcd", "b.jcd"}), 1, "   2  skip     b.jcd\n", ""},
      {"empty batch file", "", 1, "", "/steps.jbf: no chain file listed"},
      {"only empty lines", crlf({"", ""}), 1, "", "/steps.jbf: no chain file listed"},
      {"binary file",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0\0\0\n\x01\x02\x03",
                   15),
       1, "   1  skip     (not a usable path)\n", "/steps.jbf line 1: not a usable chain file path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write("steps.jbf", c.batch);
    fs::remove(path("board.sim.state"));
    const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path("steps.jbf")});
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, c.out_part)) << run.out;
    EXPECT_TRUE(Contains(run.err, c.err_part)) << run.err;
    EXPECT_FALSE(Contains(run.out, "ELF")) << "a binary line is never echoed";
  }
}

// A file that cannot be read is told with the system's reason, not as a missing file or a file of the wrong
// kind.
TEST_F(CliTest, UnreadableFilesAreToldWithTheSystemsReason) {
  write("board.sim", "device VTL3032C\n");
  fs::create_directory(path("chain.jcd"));
  fs::create_directory(path("steps.jbf"));
  for (const char* name : {"chain.jcd", "steps.jbf"}) {
    SCOPED_TRACE(name);
    const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path(name)});
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, path(name) + ": Is a directory")) << run.err;
    EXPECT_FALSE(Contains(run.err, "not found")) << run.err;
    EXPECT_FALSE(Contains(run.err, "not a chain description")) << run.err;
  }
}

// The command line never edits the chain table, so it has nothing to save: a hand-written chain file is
// neither asked about nor rewritten, with or without --yes, writable or not; the run goes from the copy.
TEST_F(CliTest, HandWrittenChainFileIsNeverRewritten) {
  write("board.sim", "device VTL3032C\n");
  // A chain written by hand, with other spacing than the programmer's: its copy differs from it.
  const std::string by_hand = crlf({"#Corvane PLD device JTAG chain description", "TOTAL_DEVICE 1",
                                    "DEVICE 1 VTL3032C 4 ID", "#User Electronic Signature", "UES 1 $"});
  struct Case {
    const char* name;
    bool yes;
    bool read_only;
  };
  const Case cases[] = {
      {"no --yes", false, false},
      {"--yes", true, false},
      {"--yes, read-only file", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (fs::exists(path("chain.jcd"))) fs::permissions(path("chain.jcd"), fs::perms::owner_all);
    write("chain.jcd", by_hand);
    if (c.read_only)
      fs::permissions(path("chain.jcd"),
                      fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::vector<std::string> args = {"--io", "sim:" + path("board.sim"), path("chain.jcd")};
    if (c.yes) args.insert(args.begin(), "--yes");
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_FALSE(Contains(run.err, "do you wish to save")) << run.err;
    EXPECT_EQ(read("chain.jcd"), by_hand);
    EXPECT_TRUE(Contains(run.out, "Executing " + path("work/tempjcd.tmp") + "  ")) << run.out;
  }
}

// Two runs from one installation never share the working folder: while another run holds it, a run waits
// its while, then stops naming the folder and ZEPA_WORK_DIR before it touches the board or the folder's
// files; a run that is let go of during its wait goes on.
TEST_F(CliTest, ARunWaitsForTheWorkingFolderAnotherRunHolds) {
  write("board.sim", "device VTL3032C\n");
  const std::string jcd = Chain("chain.jcd", {chain::kPartVtl3032C}, chain::kOpReadId);
  auto other = util::FileLock::TryAcquire(path("work/zepaisp.lock"));
  ASSERT_TRUE(other.has_value());
  std::int64_t slept = 0;
  wait_ = {
      .wait_ns = 3'000'000'000, .interval_ns = 200'000'000, .sleep = [&](std::int64_t ns) { slept += ns; }};

  const CliRun held = Cli({"--io", "sim:" + path("board.sim"), jcd});
  EXPECT_EQ(held.status, 2) << held.out << held.err;
  EXPECT_EQ(slept, 3'000'000'000);
  EXPECT_TRUE(Contains(held.err, "the working folder " + path("work") + " is in use by another run"))
      << held.err;
  EXPECT_TRUE(Contains(held.err, "ZEPA_WORK_DIR")) << held.err;
  EXPECT_FALSE(fs::exists(path("work/tempjcd.tmp")));
  EXPECT_FALSE(fs::exists(path("work/zepaisp.log")));

  slept = 0;
  wait_.sleep = [&](std::int64_t ns) {
    slept += ns;
    if (slept >= 1'000'000'000) other.reset();  // the other run ends a second into the wait
  };
  const CliRun freed = Cli({"--io", "sim:" + path("board.sim"), jcd});
  EXPECT_EQ(freed.status, 0) << freed.out << freed.err;
  EXPECT_EQ(slept, 1'000'000'000);
  EXPECT_TRUE(fs::exists(path("work/zepaisp.log")));
}

// A stop signal reaches the run's engine: the device being worked on finishes, the ones after it are not
// started, the run fails, and the board keeps what was done. Once the run is over no engine is reachable.
TEST_F(CliTest, AStopSignalEndsTheRunAfterTheDeviceBeingWorkedOn) {
  CopyExamples();
  on_launch_ = [this] {
    ASSERT_NE(engine_, nullptr);
    engine_->RequestStop();  // as the signal handler does, while device 1's design is converted
  };
  const CliRun run = Cli({"--io", "sim:" + path("board.sim"), path("chain.jcd")});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(engine_, nullptr);
  EXPECT_TRUE(Contains(run.out, "Stopped by the user: device #2 to #3 not started.")) << run.out;
  EXPECT_TRUE(Contains(run.err, "stopped by a signal")) << run.err;
  EXPECT_TRUE(Contains(run.out, "     1  VTL3032C    Prog & Verify     pass")) << run.out;
  // The devices that ran passed, but the chain was not done: the verdict is no pass.
  EXPECT_TRUE(Contains(run.out, "\nFAIL\n")) << run.out;
  EXPECT_FALSE(Contains(run.out, "PASS")) << run.out;
  auto board = sim::Board::Open(path("board.sim"), sim::AllFamilies());
  EXPECT_FALSE(board->device(1).memory().rows.empty()) << "device 1 was programmed";
  EXPECT_TRUE(board->device(2).memory().rows.empty()) << "device 2 was not started";
}

// The program itself: what the library cannot show (the process's exit status, --help before any run).
// ZEPA2 slave-serial configuration from the files fusebuild writes: DONE goes high, and once the part is
// wired for JTAG again a Verify of the same design passes and of another design fails. An MCS file whose
// bytes hold the first bit in bit 7 (fusebuild's debug bit 10) sends every byte backwards on a load that
// sends bit 0 first, so that part never sees a stream it can read.
TEST_F(CliTest, SlaveSerialConfigurationIsWhatAJtagVerifyReadsBack) {
  struct Case {
    const char* part;
    int code;
    long fuses;
    const char* file;  // d.bit, d.mcs, or m.mcs (first bit in bit 7)
    bool done;
  };
  const Case cases[] = {
      {"VTL3960", 132, 520476, "d.bit", true},  {"VTL3960", 132, 520476, "d.mcs", true},
      {"VTL3960", 132, 520476, "m.mcs", false}, {"VTL3320", 130, 173492, "d.bit", true},
      {"VTL3320", 130, 173492, "d.mcs", true},  {"VTL3320", 130, 173492, "m.mcs", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.part) + " " + c.file);
    const fusemap::FuseArray design = fusemap::testing::RandomFuses(c.fuses, 11);
    write("d.jed", fusemap::testing::JedecText(design));
    write("e.jed", fusemap::testing::JedecText(fusemap::testing::RandomFuses(c.fuses, 12)));
    fusemap::zepa2::assemble_std_frame(design, c.code, path("d.jed"));
    fusemap::zepa2::assemble_std_frame(design, c.code, path("m.jed"),
                                       {.dbg_level = fusemap::zepa2::kDbgMcsMsbFirst});
    write("board.sim", "cable corvane\ndevice " + std::string(c.part) + " slave-serial\n");
    const CliRun load =
        Cli({"--io", "sim:" + path("board.sim"), "--port", "378", "--slave-serial", path(c.file)});
    if (!c.done) {
      EXPECT_EQ(load.status, 1) << load.out << load.err;
      EXPECT_TRUE(
          Contains(load.err + load.out, "Error:Completed configuration while no 'DONE pin=High' detected!"))
          << load.out << load.err;
      EXPECT_TRUE(Contains(load.out, "FAIL (DONE stayed low)\n")) << load.out;
      continue;
    }
    ASSERT_EQ(load.status, 0) << load.out << load.err;
    EXPECT_TRUE(Contains(load.err + load.out, "Configure VTL320/960 done !")) << load.out << load.err;
    EXPECT_TRUE(Contains(load.out, "PASS\n")) << load.out;

    write("board.sim", "cable corvane\ndevice " + std::string(c.part) + "\n");
    for (const char* jed : {"d.jed", "e.jed"}) {
      chain::ChainTable table;
      table.DeviceCount = 1;
      table[1].part = c.code == 132 ? chain::kPartVtl3960 : chain::kPartVtl3320;
      table[1].IR_len = chain::ir_code_from_length(5);
      table[1].cmnd = chain::kOpVerify;
      table[1].jed = path(jed);
      chain::write_jcd(table, path("verify.jcd"));
      const CliRun verify =
          Cli({"--io", "sim:" + path("board.sim"), "--cable", "corvane", path("verify.jcd")});
      EXPECT_EQ(verify.status, std::string(jed) == "d.jed" ? 0 : 1) << jed << verify.out << verify.err;
    }
  }
}

TEST_F(CliTest, SlaveSerialUsageAndRefusedFiles) {
  write("board.sim", "cable corvane\ndevice VTL3320 slave-serial\n");
  write("bad.mcs", ":0200000081C0BC\n");
  const std::string io = "sim:" + path("board.sim");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* said;
  };
  const Case cases[] = {
      {{"--io", io, "--slave-serial", path("design.jed")}, 2, "Not a legal configuration file!"},
      {{"--io", io, "--slave-serial", path("bad.mcs"), path("chain.jcd")}, 2, "runs no chain"},
      {{"--io", io, "--slave-serial", path("bad.mcs")}, 1, "bad.mcs line 1: wrong checksum BC"},
      {{"--io", io, "--slave-serial", path("none.bit")}, 1, "none.bit: "},
      {{"--io", io, "--offline", "--slave-serial", path("bad.mcs")}, 1, "FAIL (nothing was sent)"},
  };
  for (const Case& c : cases) {
    CliRun run;
    try {
      run = Cli(c.args);
    } catch (const UsageError& e) {
      run = {2, "", e.what()};
    }
    EXPECT_EQ(run.status, c.status) << c.args.back() << run.out << run.err;
    EXPECT_TRUE(Contains(run.out + run.err, c.said)) << run.out << run.err;
  }
  // Off-line, a good file reports success without a port.
  write("ok.bit", "1111111111\n");
  const CliRun offline = Cli({"--io", io, "--offline", "--slave-serial", path("ok.bit")});
  EXPECT_EQ(offline.status, 0) << offline.out << offline.err;
}

TEST(CliProgramTest, HelpAndUsageErrors) {
  struct Case {
    const char* args;
    int status;
    const char* output_part;
  };
  const Case cases[] = {
      {"--help", 0, "Usage: zepaisp-cli [options] FILE.jcd | FILE.jbf"},
      {"", 2, "zepaisp-cli: name a chain file (.jcd) or batch file (.jbf)"},
      {"--port 999 x.jcd", 2, "Try 'zepaisp-cli --help'."},
      {"--io sim:/nonexistent/board.sim x.jcd", 2, "/nonexistent/board.sim"},
      {"--version", 0, "zepaisp-cli 4.14 (commit "},
      {"--list-cables", 0, "byteblaster: Altera's ByteBlaster"},
      {"--list-ports", 0, "Port list (--port) through ppdev:\n  278h  "},
      {"--version x.jcd", 2, "run nothing"},
      {"--help", 0, "  3  no port, no cable or no chain found: nothing was run"},
  };
  const zepa::testing::TempDir temp;
  const fs::path output = temp.path() / "output.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string command =
        std::string(ZEPA_BIN_DIR) + "/zepaisp-cli " + c.args + " >" + output.string() + " 2>&1 </dev/null";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    const std::string text = zepa::testing::ReadFile(output);
    EXPECT_TRUE(Contains(text, c.output_part)) << text;
  }
}

}  // namespace
}  // namespace zepa::cli
