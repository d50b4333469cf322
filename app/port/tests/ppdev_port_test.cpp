#include "port/ppdev_port.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "testsupport/files.h"

namespace zepa::port {
namespace {

namespace fs = std::filesystem;
using Log = std::vector<std::string>;

// A /proc tree of its own for each test.
class ProcTree {
 public:
  ProcTree() : root_(temp_.path()) { fs::create_directories(root_ / "proc/sys/dev/parport"); }

  void Parport(const std::string& name, const std::string& base_addr) {
    const fs::path dir = root_ / "proc/sys/dev/parport" / name;
    fs::create_directories(dir);
    if (!base_addr.empty()) std::ofstream(dir / "base-addr") << base_addr;
  }
  PpdevConfig Config() const { return {(root_ / "proc").string(), "/fake/dev", {}}; }

 private:
  zepa::testing::TempDir temp_;
  fs::path root_;
};

// Parallel-port devices by path, with their three registers; every request is logged. A claim on a
// descriptor that asked for exclusivity fails with `exclusive_claim_error` when that is set (another
// driver has the port registered), as the kernel keeps the wish with the descriptor.
class FakePpdev : public PpdevSys {
 public:
  struct Device {
    int open_error = 0;
    int exclusive_error = 0;
    int exclusive_claim_error = 0;
    int claim_error = 0;
    int read_error = 0;
    std::uint8_t data = 0, status = 0x78, control = 0x0C;
  };
  std::map<std::string, Device> devices;
  Log* log;

  explicit FakePpdev(Log* log_to) : log(log_to) {}

  int Open(const std::string& path) override {
    log->push_back("open " + path);
    auto it = devices.find(path);
    if (it == devices.end()) return -ENOENT;
    if (it->second.open_error) return -it->second.open_error;
    fds_.push_back(path);
    exclusive_.push_back(false);
    return static_cast<int>(fds_.size()) + 2;
  }

  int Control(int fd, PpdevRequest request, std::uint8_t* value) override {
    const std::string& path = fds_.at(fd - 3);
    Device& d = devices[path];
    char text[64];
    const char* names[] = {"exclusive", "claim",   "release",  "forward", "rdata",
                           "wdata",     "rstatus", "rcontrol", "wcontrol"};
    const bool writes = request == PpdevRequest::kWriteData || request == PpdevRequest::kWriteControl;
    std::snprintf(text, sizeof text, writes ? "%s %s %02X" : "%s %s", names[static_cast<int>(request)],
                  path.c_str(), writes ? *value : 0);
    log->push_back(text);
    switch (request) {
      case PpdevRequest::kExclusive:
        if (d.exclusive_error) return -d.exclusive_error;
        exclusive_.at(fd - 3) = true;
        return 0;
      case PpdevRequest::kClaim:
        if (exclusive_.at(fd - 3) && d.exclusive_claim_error) return -d.exclusive_claim_error;
        return -d.claim_error;
      case PpdevRequest::kRelease:
      case PpdevRequest::kDataForward:
        return 0;
      case PpdevRequest::kReadData:
        *value = d.data;
        break;
      case PpdevRequest::kWriteData:
        d.data = *value;
        break;
      case PpdevRequest::kReadStatus:
        *value = d.status;
        break;
      case PpdevRequest::kReadControl:
        *value = d.control;
        break;
      case PpdevRequest::kWriteControl:
        d.control = *value;
        break;
    }
    return writes ? 0 : -d.read_error;
  }

  void Close(int fd) override { log->push_back("close " + fds_.at(fd - 3)); }

 private:
  std::vector<std::string> fds_;
  std::vector<bool> exclusive_;
};

struct Binding {
  std::uint16_t base;
  const char* device;
  bool operator==(const ParportBinding& b) const { return base == b.base && device == b.device; }
};

TEST(BindParports, EachPrinterPortGoesToTheUsersDeviceOrTheKernelsMatchingParport) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> kernel;  // parport directory, base-addr content
    std::vector<const char*> settings;
    std::vector<Binding> expected;
    const char* note;  // a part of the one note expected, or null for none
  } kCases[] = {
      {"one on-board port", {{"parport0", "888\t1912\n"}}, {}, {{0x378, "/fake/dev/parport0"}}, nullptr},
      {"two ports, in address order",
       {{"parport1", "956\n"}, {"parport0", "632\t1656\n"}, {"default", ""}},
       {},
       {{0x278, "/fake/dev/parport0"}, {0x3BC, "/fake/dev/parport1"}},
       nullptr},
      {"a card at D010h mapped by hand",
       {{"parport0", "888\t1912\n"}, {"parport1", "53264\t53248\n"}},
       {"378=/dev/parport1"},
       {{0x378, "/dev/parport1"}},
       nullptr},
      {"one device for every address",
       {},
       {"/dev/parport3"},
       {{0x278, "/dev/parport3"}, {0x378, "/dev/parport3"}, {0x3BC, "/dev/parport3"}},
       nullptr},
      {"a named address before the device for every address",
       {},
       {"/dev/a", "3BCh=/dev/b"},
       {{0x278, "/dev/a"}, {0x378, "/dev/a"}, {0x3BC, "/dev/b"}},
       nullptr},
      {"an unreadable base address is skipped",
       {{"parport0", "unknown\n"}, {"parport2", "888\n"}},
       {},
       {{0x378, "/fake/dev/parport2"}},
       "parport0/base-addr: no base address in it"},
      {"no port at all", {{"parport0", "53264\n"}}, {}, {}, "no parallel port at 278h, 378h or 3BCh"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ProcTree tree;
    for (const auto& [dir, content] : c.kernel) tree.Parport(dir, content);
    PpdevConfig config = tree.Config();
    for (const char* setting : c.settings) AddPortMapping(config, setting);
    Log notes;
    const auto bindings = BindParports(config, [&](const std::string& n) { notes.push_back(n); });
    ASSERT_EQ(bindings.size(), c.expected.size());
    for (std::size_t i = 0; i < bindings.size(); ++i) EXPECT_TRUE(c.expected[i] == bindings[i]) << i;
    if (c.note) {
      ASSERT_EQ(notes.size(), 1u);
      EXPECT_NE(notes[0].find(c.note), std::string::npos) << notes[0];
    } else {
      EXPECT_TRUE(notes.empty()) << notes[0];
    }
  }
}

TEST(AddPortMapping, ReadsTheAddressInHexadecimalAndRefusesWhatIsNoPrinterPort) {
  PpdevConfig config;
  for (const char* ok : {"278=/dev/parport0", "0x378=/dev/parport1", "3bch=/dev/parport2", "/dev/parport9"}) {
    AddPortMapping(config, ok);
  }
  EXPECT_EQ(config.devices, (std::map<std::uint16_t, std::string>{{0, "/dev/parport9"},
                                                                  {0x278, "/dev/parport0"},
                                                                  {0x378, "/dev/parport1"},
                                                                  {0x3BC, "/dev/parport2"}}));
  const struct {
    const char* setting;
    const char* message;
  } kBad[] = {
      {"387=/dev/parport0", "\"387\" is not a printer port address"},
      {"LPT1=/dev/parport0", "\"LPT1\" is not a printer port address"},
      {"=/dev/parport0", "\"\" is not a printer port address"},
      {"378=", "no device path"},
      {"", "no device path"},
      {"378h=/dev/parport4", "378h is already mapped to /dev/parport1"},
      {"/dev/parport5", "every address is already mapped to /dev/parport9"},
  };
  for (const auto& bad : kBad) {
    try {
      AddPortMapping(config, bad.setting);
      ADD_FAILURE() << bad.setting << " accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(bad.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + bad.setting + "\""), std::string::npos)
          << e.what();
    }
  }
}

class PpdevPortTest : public ::testing::Test {
 protected:
  std::unique_ptr<PpdevPort> Open(const std::vector<ParportBinding>& bindings) {
    auto sys = std::make_unique<FakePpdev>(&log_);
    sys->devices = devices_;
    fake_ = sys.get();
    return std::make_unique<PpdevPort>(bindings, std::move(sys),
                                       [&](const std::string& n) { notes_.push_back(n); });
  }

  std::map<std::string, FakePpdev::Device> devices_ = {{"/dev/parport0", {}}, {"/dev/parport1", {}}};
  FakePpdev* fake_ = nullptr;
  Log log_, notes_;
};

TEST_F(PpdevPortTest, RegistersOfTheBoundAddressReachTheirRequests) {
  auto port = Open({{0x378, "/dev/parport0"}});
  ASSERT_TRUE(port->Active());
  log_.clear();
  const struct {
    std::uint16_t address;
    int write;  // -1: a read
    int expect_read;
    const char* request;  // null: nothing reaches the device
  } kAccesses[] = {
      {0x378, 0x55, 0, "wdata /dev/parport0 55"},
      {0x378, -1, 0x55, "rdata /dev/parport0"},
      {0x379, -1, 0x78, "rstatus /dev/parport0"},
      {0x379, 0x00, 0, nullptr},
      {0x37A, 0x0E, 0, "wcontrol /dev/parport0 0E"},
      {0x37A, -1, 0x0E, "rcontrol /dev/parport0"},
      {0x37B, -1, 0xFF, nullptr},
      {0x377, 0x01, 0, nullptr},
      {0x278, -1, 0xFF, nullptr},
      {0x3BC, 0x01, 0, nullptr},
  };
  for (const auto& a : kAccesses) {
    SCOPED_TRACE(a.address);
    log_.clear();
    if (a.write < 0) {
      EXPECT_EQ(port->ReadPortByte(a.address), a.expect_read);
    } else {
      port->WritePortByte(a.address, static_cast<std::uint8_t>(a.write));
    }
    EXPECT_EQ(log_, a.request ? Log{a.request} : Log{});
  }
}

TEST_F(PpdevPortTest, AFailingReadGivesFFh) {
  devices_["/dev/parport0"].read_error = EIO;
  auto port = Open({{0x378, "/dev/parport0"}});
  EXPECT_EQ(port->ReadPortByte(0x379), 0xFF);
}

TEST_F(PpdevPortTest, ADeviceThatCannotBeOpenedOrClaimedIsToldAndLeftOut) {
  devices_["/dev/parport0"].open_error = EACCES;
  devices_["/dev/parport1"].claim_error = EBUSY;
  auto port = Open({{0x278, "/dev/parport0"}, {0x378, "/dev/parport1"}, {0x3BC, "/dev/parport7"}});
  EXPECT_FALSE(port->Active());
  EXPECT_EQ(port->ReadPortByte(0x379), 0xFF);
  ASSERT_EQ(notes_.size(), 3u);
  EXPECT_NE(notes_[0].find("cannot open /dev/parport0: "), std::string::npos) << notes_[0];
  EXPECT_NE(notes_[0].find("group, usually lp"), std::string::npos) << notes_[0];
  EXPECT_NE(notes_[1].find("cannot claim /dev/parport1: "), std::string::npos) << notes_[1];
  EXPECT_NE(notes_[2].find("cannot open /dev/parport7: "), std::string::npos) << notes_[2];
  port.reset();
  // The unclaimed device was closed at once and is not released again.
  EXPECT_EQ(log_, (Log{"open /dev/parport0", "open /dev/parport1", "exclusive /dev/parport1",
                       "claim /dev/parport1", "close /dev/parport1", "open /dev/parport7"}));
}

// The port is claimed for this program alone, so that a second program on it fails at once instead of
// waiting for the port. Where the kernel cannot grant that (lp has the port registered) the device is
// opened again and claimed shared; where another program holds the port, that claim fails too.
TEST_F(PpdevPortTest, APortIsClaimedExclusivelyOrElseShared) {
  const struct {
    const char* name;
    int exclusive_error;        // of PPEXCL itself
    int exclusive_claim_error;  // of a claim after PPEXCL
    int claim_error;            // of a shared claim
    Log log;
    const char* note;  // part of the one note expected, or null for none
  } kCases[] = {
      {"exclusive",
       0,
       0,
       0,
       {"open /dev/parport0", "exclusive /dev/parport0", "claim /dev/parport0", "forward /dev/parport0"},
       nullptr},
      {"lp has the port: shared, on a new descriptor",
       0,
       ENXIO,
       0,
       {"open /dev/parport0", "exclusive /dev/parport0", "claim /dev/parport0", "close /dev/parport0",
        "open /dev/parport0", "claim /dev/parport0", "forward /dev/parport0"},
       nullptr},
      {"another program holds the port",
       0,
       ENXIO,
       ENXIO,
       {"open /dev/parport0", "exclusive /dev/parport0", "claim /dev/parport0", "close /dev/parport0",
        "open /dev/parport0", "claim /dev/parport0", "close /dev/parport0"},
       "cannot claim /dev/parport0: No such device or address (another program holds the port"},
      {"busy exclusive claim is not retried",
       0,
       EBUSY,
       0,
       {"open /dev/parport0", "exclusive /dev/parport0", "claim /dev/parport0", "close /dev/parport0"},
       "cannot claim /dev/parport0: Device or resource busy"},
      {"a kernel without PPEXCL: shared on the same descriptor",
       ENOTTY,
       0,
       0,
       {"open /dev/parport0", "exclusive /dev/parport0", "claim /dev/parport0", "forward /dev/parport0"},
       nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    log_.clear();
    notes_.clear();
    FakePpdev::Device& device = devices_["/dev/parport0"];
    device.exclusive_error = c.exclusive_error;
    device.exclusive_claim_error = c.exclusive_claim_error;
    device.claim_error = c.claim_error;
    auto port = Open({{0x378, "/dev/parport0"}});
    EXPECT_EQ(log_, c.log);
    EXPECT_EQ(port->Active(), c.note == nullptr);
    if (c.note) {
      ASSERT_EQ(notes_.size(), 1u);
      EXPECT_NE(notes_[0].find(c.note), std::string::npos) << notes_[0];
    } else {
      EXPECT_TRUE(notes_.empty()) << notes_[0];
      // The claimed descriptor is the one that serves and the one released.
      log_.clear();
      port->WritePortByte(0x378, 0x5A);
      port.reset();
      EXPECT_EQ(log_, (Log{"wdata /dev/parport0 5A", "release /dev/parport0", "close /dev/parport0"}));
    }
  }
}

TEST_F(PpdevPortTest, OneDeviceServingEveryAddressIsOpenedAndClaimedOnce) {
  auto port = Open({{0x278, "/dev/parport1"}, {0x378, "/dev/parport1"}, {0x3BC, "/dev/parport1"}});
  EXPECT_TRUE(port->Active());
  port->WritePortByte(0x3BC, 0xAA);
  EXPECT_EQ(port->ReadPortByte(0x278), 0xAA);
  port.reset();
  EXPECT_EQ(log_, (Log{"open /dev/parport1", "exclusive /dev/parport1", "claim /dev/parport1",
                       "forward /dev/parport1", "wdata /dev/parport1 AA", "rdata /dev/parport1",
                       "release /dev/parport1", "close /dev/parport1"}));
  EXPECT_TRUE(notes_.empty());
}

TEST_F(PpdevPortTest, WithoutTheSystemsPpdevNothingIsServed) {
  Log notes;
  PpdevPort port({{0x378, "/dev/parport0"}}, nullptr, [&](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(port.ReadPortByte(0x378), 0xFF);
  EXPECT_EQ(notes.size(), 1u);
}

}  // namespace
}  // namespace zepa::port
