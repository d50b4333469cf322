#include "port/tvicport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zepa::port {
namespace {

using Log = std::vector<std::string>;

std::string Entry(const char* what, std::uint16_t port, int value = -1) {
  char text[40];
  if (value < 0) {
    std::snprintf(text, sizeof text, "%s %X", what, port);
  } else {
    std::snprintf(text, sizeof text, "%s %X %02X", what, port, value);
  }
  return text;
}

// A driver that answers every read with the low byte of the address and logs all it is asked, including
// its own end, into a log that outlives it.
class FakeDriver : public PortIo {
 public:
  FakeDriver(std::shared_ptr<Log> log, bool active) : log_(std::move(log)), active_(active) {}
  ~FakeDriver() override { log_->push_back("driver closed"); }
  bool Active() const override { return active_; }
  std::uint8_t ReadPortByte(std::uint16_t port) override {
    log_->push_back(Entry("request read", port));
    return static_cast<std::uint8_t>(port);
  }
  void WritePortByte(std::uint16_t port, std::uint8_t value) override {
    log_->push_back(Entry("request write", port, value));
  }
  void Flush() override { log_->push_back("flush"); }
  void RequestRead(std::uint16_t port) override {
    log_->push_back(Entry("request read ahead", port));
    ahead_.push_back(static_cast<std::uint8_t>(port));
  }
  std::vector<std::uint8_t> CollectReads() override {
    log_->push_back("collect");
    return std::exchange(ahead_, {});
  }
  void UseWiring(const CableWiring& wiring) override { log_->push_back(Entry("wiring", wiring.data_port)); }

 protected:
  std::vector<std::uint8_t> ahead_;
  std::shared_ptr<Log> log_;
  bool active_;
};

// A driver that can also open the ports to the component's own instructions.
class FakeUserPortDriver : public FakeDriver, public UserPortAccess {
 public:
  using FakeDriver::FakeDriver;
  void SetUserPorts(bool open) override { log_->push_back(open ? "open user ports" : "close user ports"); }
  std::uint8_t In(std::uint16_t port) override {
    log_->push_back(Entry("in", port));
    return 0x5A;
  }
  void Out(std::uint16_t port, std::uint8_t value) override { log_->push_back(Entry("out", port, value)); }
};

// A backend that tells why it cannot open as it fails, and so leaves a run nothing to warn of.
class SelfReportingDriver : public FakeDriver {
 public:
  using FakeDriver::FakeDriver;
  std::string InactiveWarning() const override { return {}; }
};

enum class Offer { kNothing, kInactive, kInactiveToldWhy, kRequests, kUserPorts };

class TVicPortTest : public ::testing::Test {
 protected:
  PortOpener Opener(Offer offer) {
    return [this, offer]() -> std::unique_ptr<PortIo> {
      ++opens_;
      switch (offer) {
        case Offer::kNothing:
          return nullptr;
        case Offer::kInactive:
          return std::make_unique<FakeDriver>(log_, false);
        case Offer::kInactiveToldWhy:
          return std::make_unique<SelfReportingDriver>(log_, false);
        case Offer::kRequests:
          return std::make_unique<FakeDriver>(log_, true);
        case Offer::kUserPorts:
          return std::make_unique<FakeUserPortDriver>(log_, true);
      }
      return nullptr;
    };
  }

  std::shared_ptr<Log> log_ = std::make_shared<Log>();
  int opens_ = 0;
};

TEST_F(TVicPortTest, TheFirstComponentOpensTheDriverForAll) {
  PortDriverHandle handle(Opener(Offer::kRequests));
  TVicPort hw(handle);
  EXPECT_TRUE(hw.ActiveHW());
  TVicLPT lpt(handle);
  EXPECT_TRUE(lpt.ActiveHW());
  EXPECT_TRUE(hw.ActiveHW());
  EXPECT_EQ(opens_, 1);
  EXPECT_EQ(lpt.ReadPortByte(0x379), 0x79);
  hw.WritePortByte(0x378, 0x55);
  hw.Flush();
  EXPECT_EQ(*log_, (Log{"request read 379", "request write 378 55", "flush"}));
}

TEST_F(TVicPortTest, WithoutADriverReadsGiveFFhAndWritesAreDropped) {
  for (Offer offer : {Offer::kNothing, Offer::kInactive}) {
    SCOPED_TRACE(static_cast<int>(offer));
    log_->clear();
    PortDriverHandle handle(Opener(offer));
    TVicLPT lpt(handle);
    EXPECT_FALSE(lpt.ActiveHW());
    for (std::uint16_t port : {0x0000, 0x0278, 0x0379, 0x03BE, 0xFFFF})
      EXPECT_EQ(lpt.ReadPortByte(port), 0xFF);
    lpt.WritePortByte(0x378, 0x00);
    lpt.SetHardAccess(false);
    EXPECT_EQ(lpt.ReadPortByte(0x378), 0xFF);
    lpt.Flush();
    // An inactive backend is given up at once; only its closing is seen.
    EXPECT_EQ(*log_, offer == Offer::kInactive ? Log{"driver closed"} : Log{});
  }
}

// What a run warns of when the component has no driver comes from the backend that failed to open.
TEST_F(TVicPortTest, TheMissingDriverWarningIsTheFailedBackendsOwn) {
  const struct {
    Offer offer;
    std::string_view warning;
  } kCases[] = {
      {Offer::kNothing, kDriverNotFound},
      {Offer::kInactive, kDriverNotFound},
      {Offer::kInactiveToldWhy, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.offer));
    PortDriverHandle handle(Opener(c.offer));
    TVicLPT lpt(handle);
    EXPECT_FALSE(lpt.ActiveHW());
    EXPECT_EQ(lpt.InactiveWarning(), c.warning);
    // Through a borrowed port, as the simulated board is lent, too.
    PortDriverHandle borrowing(OpenerFor(lpt));
    EXPECT_FALSE(borrowing.Open());
    EXPECT_EQ(borrowing.InactiveWarning(), c.warning);
  }
}

TEST_F(TVicPortTest, AComponentMadeWhileTheDriverIsMissingTriesAgain) {
  bool present = false;
  PortDriverHandle handle([&]() -> std::unique_ptr<PortIo> {
    ++opens_;
    return present ? std::make_unique<FakeDriver>(log_, true) : nullptr;
  });
  TVicPort first(handle);
  EXPECT_FALSE(first.ActiveHW());
  present = true;
  TVicPort second(handle);
  EXPECT_TRUE(second.ActiveHW());
  EXPECT_TRUE(first.ActiveHW());  // the state is shared
  EXPECT_EQ(opens_, 2);
}

// Destroying any component closes the driver for all; the others then read FFh instead of talking to a
// closed driver, and a component made afterwards opens it anew.
TEST_F(TVicPortTest, DestroyingAnyComponentClosesTheSharedDriver) {
  PortDriverHandle handle(Opener(Offer::kUserPorts));
  TVicPort hw(handle);
  { TVicLPT lpt(handle); }
  EXPECT_EQ(*log_, (Log{"close user ports", "driver closed"}));
  EXPECT_FALSE(hw.ActiveHW());
  EXPECT_EQ(hw.ReadPortByte(0x379), 0xFF);
  hw.WritePortByte(0x378, 1);
  EXPECT_EQ(log_->size(), 2u);

  TVicPort again(handle);
  EXPECT_TRUE(hw.ActiveHW());
  EXPECT_EQ(opens_, 2);
}

TEST_F(TVicPortTest, HardAccessOffUsesThePortInstructionsUntilItIsBackOn) {
  PortDriverHandle handle(Opener(Offer::kUserPorts));
  TVicPort hw(handle);
  EXPECT_TRUE(hw.HardAccess());
  hw.SetHardAccess(false);
  EXPECT_FALSE(hw.HardAccess());
  EXPECT_EQ(hw.ReadPortByte(0x379), 0x5A);
  hw.WritePortByte(0x378, 0x0F);
  hw.SetHardAccess(true);
  EXPECT_EQ(hw.ReadPortByte(0x379), 0x79);
  EXPECT_EQ(*log_, (Log{"open user ports", "in 379", "out 378 0F", "close user ports", "request read 379"}));
}

TEST_F(TVicPortTest, HardAccessOffOnADriverWithoutUserPortsKeepsUsingRequests) {
  PortDriverHandle handle(Opener(Offer::kRequests));
  TVicPort hw(handle);
  hw.SetHardAccess(false);
  EXPECT_FALSE(hw.HardAccess());
  EXPECT_EQ(hw.ReadPortByte(0x37A), 0x7A);
  hw.WritePortByte(0x37A, 0x02);
  EXPECT_EQ(*log_, (Log{"request read 37A", "request write 37A 02"}));
}

TEST_F(TVicPortTest, ClosingTheHandleStartsAgainFromNoDriver) {
  PortDriverHandle handle(Opener(Offer::kRequests));
  TVicPort hw(handle);
  handle.Close();
  EXPECT_FALSE(hw.ActiveHW());
  EXPECT_EQ(hw.ReadPortByte(0x379), 0xFF);
  EXPECT_TRUE(handle.Open());
  EXPECT_TRUE(hw.ActiveHW());
  EXPECT_EQ(opens_, 2);
}

TEST_F(TVicPortTest, ABorrowedPortIsUsedButNotOwned) {
  FakeDriver board(log_, true);
  {
    PortDriverHandle handle(OpenerFor(board));
    TVicLPT lpt(handle);
    EXPECT_TRUE(lpt.ActiveHW());
    lpt.WritePortByte(0x3BC, 0x09);
    lpt.Flush();
  }
  EXPECT_EQ(board.ReadPortByte(0x3BD), 0xBD);
  EXPECT_EQ(*log_, (Log{"request write 3BC 09", "flush", "request read 3BD"}));
}

// Reads asked ahead and the cable's wiring reach the driver (a remote link needs both); through the port
// instructions the reads are made at once. The wiring also reaches a driver opened again.
TEST_F(TVicPortTest, ReadsAheadAndTheWiringReachTheDriver) {
  PortDriverHandle handle(Opener(Offer::kUserPorts));
  TVicPort hw(handle);
  hw.UseWiring({.data_port = 0x278});
  hw.RequestRead(0x279);
  hw.RequestRead(0x27A);
  EXPECT_EQ(hw.CollectReads(), (std::vector<std::uint8_t>{0x79, 0x7A}));
  hw.SetHardAccess(false);
  hw.RequestRead(0x279);
  EXPECT_EQ(hw.CollectReads(), (std::vector<std::uint8_t>{0x5A}));
  EXPECT_EQ(*log_, (Log{"wiring 278", "request read ahead 279", "request read ahead 27A", "collect",
                        "open user ports", "in 279", "collect"}));
  handle.Close();
  log_->clear();
  EXPECT_TRUE(handle.Open());
  EXPECT_EQ(*log_, (Log{"wiring 278"}));
}

TEST(TVicLPT, BasePortSelectsOneOfTheThreePrinterPorts) {
  PortDriverHandle handle(nullptr);
  TVicLPT lpt(handle);
  EXPECT_EQ(lpt.BasePort(), TLPTNumber::_378);
  EXPECT_EQ(lpt.BaseAddress(), 0x378);
  const struct {
    TLPTNumber number;
    std::uint16_t address;
  } kPorts[] = {{TLPTNumber::_3BC, 0x3BC}, {TLPTNumber::_278, 0x278}, {TLPTNumber::_378, 0x378}};
  for (const auto& p : kPorts) {
    lpt.SetBasePort(p.number);
    EXPECT_EQ(lpt.BasePort(), p.number);
    EXPECT_EQ(lpt.BaseAddress(), p.address);
  }
}

}  // namespace
}  // namespace zepa::port
