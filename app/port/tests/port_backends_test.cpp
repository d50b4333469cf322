#include "port/port_backends.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "testsupport/files.h"

namespace zepa::port {
namespace {

TEST(PortBackends, AnUnknownNameIsRefusedNamingTheKnownOnes) {
  PortBackendConfig config;
  config.backend = "lpt";
  try {
    MakePortOpener(config);
    FAIL() << "accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "unknown port backend \"lpt\" (known: ppdev, direct, remote)");
  }
}

// With no name the system's usual backend (ppdev) is opened; on a machine without a parallel port it is
// inactive and says why.
TEST(PortBackends, TheDefaultIsPpdevAndAMachineWithoutAPortGetsAnInactiveOne) {
  const zepa::testing::TempDir temp;
  const std::filesystem::path& root = temp.path();
  std::filesystem::create_directories(root / "sys/dev/parport");
  std::vector<std::string> notes;
  PortBackendConfig config;
  config.ppdev.proc_root = root.string();
  config.ppdev.dev_root = (root / "dev").string();
  config.notes = [&](const std::string& n) { notes.push_back(n); };
  PortDriverHandle handle(MakePortOpener(config));
  EXPECT_FALSE(handle.Open());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("no parallel port"), std::string::npos);
  EXPECT_EQ(PortBackends().front().name, "ppdev");
}

// A device that cannot be opened is told once, with the reason, by the backend; the components then have
// no warning of their own to add (the Windows driver's name would only mislead).
TEST(PortBackends, AMissingPpdevDeviceIsToldOnceWithItsReason) {
  const zepa::testing::TempDir temp;
  const std::filesystem::path& root = temp.path();
  std::filesystem::create_directories(root / "sys/dev/parport");
  std::vector<std::string> notes;
  PortBackendConfig config;
  config.backend = "ppdev";
  config.ppdev.proc_root = root.string();
  AddPortMapping(config.ppdev, (root / "parport9").string());
  config.notes = [&](const std::string& n) { notes.push_back(n); };
  {
    PortDriverHandle handle(MakePortOpener(config));
    TVicPort hw(handle);
    TVicLPT lpt(handle);
    EXPECT_FALSE(hw.ActiveHW());
    EXPECT_EQ(hw.InactiveWarning(), "");
  }
  EXPECT_EQ(notes, (std::vector<std::string>{"cannot open " + (root / "parport9").string() +
                                             ": No such file or directory"}));
}

}  // namespace
}  // namespace zepa::port

namespace zepa::port {
namespace {

TEST(PortBackends, RemoteAddressesAreHostColonPort) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    const char* port;
  };
  const Case cases[] = {
      {"127.0.0.1:3335", "127.0.0.1", "3335"}, {"board.lab:4444", "board.lab", "4444"},
      {"[::1]:3335", "::1", "3335"},           {"::1:3335", "::1", "3335"},
      {"localhost", nullptr, nullptr},         {":3335", nullptr, nullptr},
      {"localhost:", nullptr, nullptr},        {"", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.host == nullptr) {
      EXPECT_THROW(ParseRemoteAddress(c.text), std::invalid_argument);
      continue;
    }
    const RemoteAddress address = ParseRemoteAddress(c.text);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
  }
}

}  // namespace
}  // namespace zepa::port

namespace zepa::port {
namespace {

// A remote backend without a usable HOST:PORT opens nothing and says why.
TEST(PortBackends, ARemoteBackendWithoutHostAndPortIsToldWhy) {
  std::vector<std::string> notes;
  PortBackendConfig config;
  config.backend = "remote";
  config.remote = "lab-board";
  config.notes = [&](const std::string& n) { notes.push_back(n); };
  PortDriverHandle handle(MakePortOpener(config));
  EXPECT_FALSE(handle.Open());
  EXPECT_EQ(notes, (std::vector<std::string>{"remote_bitbang: \"lab-board\" is not HOST:PORT"}));
}

}  // namespace
}  // namespace zepa::port
