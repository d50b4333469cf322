#include "port/direct_port.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace zepa::port {
namespace {

using Log = std::vector<std::string>;

// ioperm, IN and OUT of a process that may use only the ranges it was permitted; an instruction outside
// them is logged as the fault it would be.
class FakeInstructions : public IoInstructions {
 public:
  FakeInstructions(Log* log, std::set<std::uint16_t> refused) : log_(log), refused_(std::move(refused)) {}

  bool Permit(std::uint16_t from, std::uint16_t count, bool on, std::string* why) override {
    Add(on ? "permit %X+%u" : "revoke %X+%u", from, count);
    if (on && refused_.count(from)) {
      if (why) *why = "Operation not permitted";
      return false;
    }
    for (unsigned p = from; p < from + count; ++p) {
      if (on) {
        allowed_.insert(p);
      } else {
        allowed_.erase(p);
      }
    }
    return true;
  }
  std::uint8_t In(std::uint16_t port) override {
    Add(allowed_.count(port) ? "in %X" : "FAULT in %X", port, 0);
    return 0x3C;
  }
  void Out(std::uint16_t port, std::uint8_t value) override {
    Add(allowed_.count(port) ? "out %X %02X" : "FAULT out %X", port, value);
  }

 private:
  void Add(const char* format, unsigned a, unsigned b) {
    char text[40];
    std::snprintf(text, sizeof text, format, a, b);
    log_->push_back(text);
  }
  Log* log_;
  std::set<std::uint16_t> refused_;
  std::set<unsigned> allowed_;
};

TEST(DirectPort, OnlyTheThreeRegistersOfEachPermittedPortAreTouched) {
  Log log, notes;
  {
    DirectPort port(std::make_unique<FakeInstructions>(&log, std::set<std::uint16_t>{0x278}),
                    {0x278, 0x378, 0x3BC}, [&](const std::string& n) { notes.push_back(n); });
    EXPECT_TRUE(port.Active());
    EXPECT_EQ(port.ReadPortByte(0x379), 0x3C);
    port.WritePortByte(0x3BE, 0x04);
    EXPECT_EQ(port.ReadPortByte(0x278), 0xFF);  // refused
    port.WritePortByte(0x37B, 0x01);            // past the control register
    EXPECT_EQ(port.ReadPortByte(0x377), 0xFF);
  }
  EXPECT_EQ(log, (Log{"permit 278+3", "permit 378+3", "permit 3BC+3", "in 379", "out 3BE 04", "revoke 378+3",
                      "revoke 3BC+3"}));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "no direct access to the port at 278h: Operation not permitted");
}

TEST(DirectPort, WithNoPermissionOrNoInstructionsItIsInactive) {
  Log log, notes;
  DirectPort refused(std::make_unique<FakeInstructions>(&log, std::set<std::uint16_t>{0x378}), {0x378},
                     [&](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(refused.Active());
  EXPECT_EQ(refused.ReadPortByte(0x378), 0xFF);
  DirectPort none(nullptr, {0x378}, [&](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(none.Active());
  none.WritePortByte(0x378, 0);
  EXPECT_EQ(log, (Log{"permit 378+3"}));
  EXPECT_EQ(notes.size(), 2u);
}

}  // namespace
}  // namespace zepa::port
