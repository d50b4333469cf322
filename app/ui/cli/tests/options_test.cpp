// zepaisp-cli's command line: what each option sets, and the command lines that are usage errors.
#include "ui/cli/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/context.h"
#include "testsupport/files.h"

namespace zepa::cli {
namespace {

using Args = std::vector<std::string>;

TEST(OptionsTest, OptionsSetWhatTheyName) {
  struct Case {
    Args args;
    void (*check)(const CliOptions&);
  };
  const Case cases[] = {
      {{"chain.jcd"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.file, "chain.jcd");
         EXPECT_EQ(o.io.kind, IoChoice::Kind::kBackend);
         EXPECT_EQ(o.io.backend, "ppdev");
         EXPECT_EQ(o.port_index, 3);
         EXPECT_FALSE(o.cable.has_value());
         EXPECT_EQ(o.options, 0);
         EXPECT_FALSE(o.offline || o.active_io || o.yes || o.scan || o.is_batch());
       }},
      {{"--io", "sim:boards/a.sim", "--port", "3BC", "--cable", "ByteBlaster", "steps.JBF"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.io.kind, IoChoice::Kind::kSim);
         EXPECT_EQ(o.io.argument, "boards/a.sim");
         EXPECT_EQ(o.port_index, 2);
         EXPECT_EQ(o.cable, engine::CableKind::AlteraByteBlaster);
         EXPECT_TRUE(o.is_batch());
       }},
      {{"--io=ppdev:378=/dev/parport1", "--port=278", "--cable=corvane", "x.jcd"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.io.backend, "ppdev");
         EXPECT_EQ(o.io.argument, "378=/dev/parport1");
         EXPECT_EQ(o.port_index, 0);
         EXPECT_EQ(o.cable, engine::CableKind::CorvaneParallelCable);
       }},
      {{"--io", "direct", "--port", "378", "--cable", "relay", "x.jcd"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.io.backend, "direct");
         EXPECT_EQ(o.port_index, 1);
         EXPECT_EQ(o.cable, engine::CableKind::RelayCable);
       }},
      {{"--offline", "--vrf", "--std-frames", "--listing", "--bif", "--active-io", "--yes", "x.jcd"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.options, engine::kOptOffLine | engine::kOptVerifyLog | engine::kOptStandardFrame |
                                  engine::kOptFuseListing | engine::kOptBif);
         EXPECT_TRUE(o.offline);
         EXPECT_TRUE(o.active_io);
         EXPECT_TRUE(o.yes);
       }},
      {{"--svf", "--cable", "auto", "x.jcd"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.options, engine::kOptSvf);
         EXPECT_FALSE(o.cable.has_value());
       }},
      {{"--scan", "--io", "sim:b.sim"}, [](const CliOptions& o) { EXPECT_TRUE(o.scan); }},
      {{"x.jcd"}, [](const CliOptions& o) { EXPECT_EQ(o.tck_delay_ns, 0); }},
      {{"--tck-delay", "500", "x.jcd"}, [](const CliOptions& o) { EXPECT_EQ(o.tck_delay_ns, 500); }},
      {{"--tck-delay=2500ns", "x.jcd"}, [](const CliOptions& o) { EXPECT_EQ(o.tck_delay_ns, 2500); }},
      {{"--tck-delay", "0", "x.jcd"}, [](const CliOptions& o) { EXPECT_EQ(o.tck_delay_ns, 0); }},
      {{"--", "--odd-name.jcd"}, [](const CliOptions& o) { EXPECT_EQ(o.file, "--odd-name.jcd"); }},
      {{"-h"}, [](const CliOptions& o) { EXPECT_TRUE(o.help); }},
      {{"--scan", "--write-jcd", "board.jcd", "--quiet"},
       [](const CliOptions& o) {
         EXPECT_EQ(o.write_jcd, "board.jcd");
         EXPECT_TRUE(o.quiet);
         EXPECT_FALSE(o.verbose);
       }},
      {{"--verbose", "x.jcd"}, [](const CliOptions& o) { EXPECT_TRUE(o.verbose); }},
      // Information only: no file needed, and nothing is run.
      {{"--version"}, [](const CliOptions& o) { EXPECT_TRUE(o.version && InformationOnly(o)); }},
      {{"--list-cables", "--list-ports"},
       [](const CliOptions& o) { EXPECT_TRUE(o.list_cables && o.list_ports && InformationOnly(o)); }},
      {{"--svf", "--bif", "--help"}, [](const CliOptions& o) { EXPECT_TRUE(o.help); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    c.check(ParseCommandLine(c.args));
  }
}

TEST(OptionsTest, UsageErrorsSayWhatIsWrong) {
  struct Case {
    Args args;
    const char* message_part;
  };
  const Case cases[] = {
      {{}, "name a chain file"},
      {{"a.jcd", "b.jcd"}, "one chain or batch file at a time"},
      {{"--frobnicate", "a.jcd"}, "unknown option --frobnicate"},
      {{"a.jcd", "--io"}, "--io needs a value"},
      {{"--io", "sim", "a.jcd"}, "name the board file"},
      {{"--io", "sim:", "a.jcd"}, "name the board file"},
      {{"--io", "parallel", "a.jcd"}, "unknown port backend \"parallel\""},
      {{"--io", "direct:/dev/port", "a.jcd"}, "--io direct takes no argument"},
      {{"--port", "379", "a.jcd"}, "\"379\" is not one of 278, 378, 3bc, auto"},
      {{"--cable", "usb", "a.jcd"}, "\"usb\" is not one of auto, relay, corvane, byteblaster"},
      {{"--yes=no", "a.jcd"}, "--yes takes no value"},
      {{"--svf", "--bif", "a.jcd"}, "--svf and --bif exclude each other"},
      {{"--scan", "a.jcd"}, "--scan detects the chain and runs no file"},
      {{"a.jcd", "--tck-delay"}, "--tck-delay needs a value"},
      {{"--tck-delay", "fast", "a.jcd"}, "--tck-delay: \"fast\" is not a number of nanoseconds"},
      {{"--tck-delay", "-5", "a.jcd"}, "--tck-delay: \"-5\" is not a number"},
      {{"--tck-delay", "5us", "a.jcd"}, "--tck-delay: \"5us\" is not a number"},
      {{"--tck-delay", "2000000000", "a.jcd"}, "from 0 to 1000000000"},
      {{"--tck-delay=", "a.jcd"}, "--tck-delay: \"\" is not a number"},
      {{"--write-jcd", "b.jcd", "a.jcd"}, "add --scan"},
      {{"--scan", "--write-jcd"}, "--write-jcd needs a value"},
      {{"--scan", "--write-jcd="}, "--write-jcd needs a file name"},
      {{"--quiet", "--verbose", "a.jcd"}, "--quiet and --verbose exclude each other"},
      {{"--version", "a.jcd"}, "run nothing"},
      {{"--list-ports", "--scan"}, "run nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    try {
      ParseCommandLine(c.args);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
  }
}

TEST(OptionsTest, HelpDocumentsEveryOption) {
  const std::string help = UsageText();
  for (const char* option :
       {"--io",          "sim:BOARD",        "ppdev[:DEVICE]", "direct",
        "--port",        "278|378|3bc|auto", "--cable",        "auto|relay|corvane|byteblaster",
        "--scan",        "--offline",        "--svf",          "--bif",
        "--vrf",         "--std-frames",     "--listing",      "--active-io",
        "--yes",         "--help",           "Exit status",    "--version",
        "--list-cables", "--list-ports",     "--quiet",        "--verbose",
        "--write-jcd",   "--tck-delay NS"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

// The manual documents the command line: every option --help prints is in it, as are the exit statuses.
TEST(OptionsTest, ManualDocumentsEveryOptionOfTheHelp) {
  const std::string manual =
      zepa::testing::ReadFile(std::filesystem::path(ZEPA_SOURCE_DIR) / "docs/manual.md");
  ASSERT_FALSE(manual.empty());
  const std::string help = UsageText();
  const std::regex option(R"((^|[\s\[|,])(--?[a-z][a-z-]*))");
  std::set<std::string> options;
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
    options.insert((*it)[2]);
  EXPECT_GE(options.size(), 20u);  // the scan above found the options, not a few words
  for (const std::string& name : options) {
    EXPECT_NE(manual.find("`" + name), std::string::npos) << name << " is not in docs/manual.md";
  }
  for (const char* status : {"| 0 | every device passed", "| 1 | a device failed", "| 2 | usage error",
                             "| 3 | no port, no cable or no chain was found"}) {
    EXPECT_NE(manual.find(status), std::string::npos) << status;
  }
}

}  // namespace
}  // namespace zepa::cli
