#include "port/port_backends.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace zepa::port {
namespace {

TEST(PortBackends, AnUnknownNameIsRefusedNamingTheKnownOnes) {
  PortBackendConfig config;
  config.backend = "lpt";
  try {
    MakePortOpener(config);
    FAIL() << "accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "unknown port backend \"lpt\" (known: ppdev, direct)");
  }
}

// With no name the system's usual backend (ppdev) is opened; on a machine without a parallel port it is
// inactive and says why.
TEST(PortBackends, TheDefaultIsPpdevAndAMachineWithoutAPortGetsAnInactiveOne) {
  const auto root = std::filesystem::temp_directory_path() / ("zepa-backends-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root / "sys/dev/parport");
  std::vector<std::string> notes;
  PortBackendConfig config;
  config.ppdev.proc_root = root.string();
  config.ppdev.dev_root = (root / "dev").string();
  config.notes = [&](const std::string& n) { notes.push_back(n); };
  PortDriverHandle handle(MakePortOpener(config));
  EXPECT_FALSE(handle.Open());
  std::filesystem::remove_all(root);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("no parallel port"), std::string::npos);
  EXPECT_EQ(PortBackends().front().name, "ppdev");
}

}  // namespace
}  // namespace zepa::port
