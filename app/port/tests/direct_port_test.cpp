#include "port/direct_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zepa::port {
namespace {

using Log = std::vector<std::string>;

// ioperm, IN and OUT of a process that may use only the ranges it was permitted; an instruction outside
// them is logged as the fault it would be. Every port reads 3Ch (the control register: interrupt on, data
// lines as inputs, select-in and init set).
class FakeInstructions : public IoInstructions {
 public:
  FakeInstructions(Log* log, std::map<std::uint16_t, int> refused, std::string lockdown = "")
      : log_(log), refused_(std::move(refused)), lockdown_(std::move(lockdown)) {}

  int Permit(std::uint16_t from, std::uint16_t count, bool on) override {
    Add(on ? "permit %X+%u" : "revoke %X+%u", from, count);
    if (auto refusal = refused_.find(from); on && refusal != refused_.end()) return refusal->second;
    for (unsigned p = from; p < from + count; ++p) {
      if (on) {
        allowed_.insert(p);
      } else {
        allowed_.erase(p);
      }
    }
    return 0;
  }
  std::uint8_t In(std::uint16_t port) override {
    Add(allowed_.count(port) ? "in %X" : "FAULT in %X", port, 0);
    return 0x3C;
  }
  void Out(std::uint16_t port, std::uint8_t value) override {
    Add(allowed_.count(port) ? "out %X %02X" : "FAULT out %X", port, value);
  }
  std::string Lockdown() override { return lockdown_; }

 private:
  void Add(const char* format, unsigned a, unsigned b) {
    char text[40];
    std::snprintf(text, sizeof text, format, a, b);
    log_->push_back(text);
  }
  Log* log_;
  std::map<std::uint16_t, int> refused_;  // base -> error number
  std::string lockdown_;
  std::set<unsigned> allowed_;
};

// Each granted port's control register is read once and written back with the data lines driven and the
// interrupt off (bits 5 and 4 clear), its other lines as they were; after that only the three registers
// of a granted port are touched.
TEST(DirectPort, OnlyTheThreeRegistersOfEachPermittedPortAreTouched) {
  Log log, notes;
  {
    DirectPort port(std::make_unique<FakeInstructions>(&log, std::map<std::uint16_t, int>{{0x278, EPERM}}),
                    {0x278, 0x378, 0x3BC}, [&](const std::string& n) { notes.push_back(n); });
    EXPECT_TRUE(port.Active());
    EXPECT_EQ(port.ReadPortByte(0x379), 0x3C);
    port.WritePortByte(0x3BE, 0x04);
    EXPECT_EQ(port.ReadPortByte(0x278), 0xFF);  // refused
    port.WritePortByte(0x37B, 0x01);            // past the control register
    EXPECT_EQ(port.ReadPortByte(0x377), 0xFF);
  }
  EXPECT_EQ(log, (Log{"permit 278+3", "permit 378+3", "in 37A", "out 37A 0C", "permit 3BC+3", "in 3BE",
                      "out 3BE 0C", "in 379", "out 3BE 04", "revoke 378+3", "revoke 3BC+3"}));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0],
            "no direct access to the port at 278h: Operation not permitted (direct port I/O needs root)");
}

// Ports refused for one reason are named in one note.
TEST(DirectPort, EachReasonIsToldOnce) {
  Log log, notes;
  DirectPort port(std::make_unique<FakeInstructions>(
                      &log, std::map<std::uint16_t, int>{{0x278, ENOSYS}, {0x378, EINVAL}, {0x3BC, ENOSYS}}),
                  {0x278, 0x378, 0x3BC}, [&](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(port.Active());
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].rfind("no direct access to the ports at 278h and 3BCh: Function not implemented (", 0),
            0u)
      << notes[0];
  EXPECT_EQ(notes[1], "no direct access to the port at 378h: Invalid argument");
  DirectPort all(std::make_unique<FakeInstructions>(
                     &log, std::map<std::uint16_t, int>{{0x278, EPERM}, {0x378, EPERM}, {0x3BC, EPERM}}),
                 {0x278, 0x378, 0x3BC}, [&](const std::string& n) { notes.push_back(n); });
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[2],
            "no direct access to the ports at 278h, 378h and 3BCh: Operation not permitted (direct port I/O "
            "needs root)");
}

TEST(DirectPort, WithNoPermissionOrNoInstructionsItIsInactive) {
  Log log, notes;
  DirectPort refused(std::make_unique<FakeInstructions>(&log, std::map<std::uint16_t, int>{{0x378, EPERM}}),
                     {0x378}, [&](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(refused.Active());
  EXPECT_EQ(refused.ReadPortByte(0x378), 0xFF);
  DirectPort none(nullptr, {0x378}, [&](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(none.Active());
  none.WritePortByte(0x378, 0);
  EXPECT_EQ(log, (Log{"permit 378+3"}));
  EXPECT_EQ(notes.size(), 2u);
}

// A refusal says what would help: root for a plain EPERM, but not under a kernel lockdown, which refuses
// port I/O to root too; the ppdev backend where the kernel offers no ioperm at all.
TEST(DirectPort, ARefusalSaysWhatWouldHelp) {
  const struct {
    int error;
    const char* lockdown;
    const char* note;
  } kCases[] = {
      {EPERM, "", "Operation not permitted (direct port I/O needs root)"},
      {EPERM, "[none] integrity confidentiality", "Operation not permitted (direct port I/O needs root)"},
      {EPERM, "none [integrity] confidentiality",
       "Operation not permitted (the kernel is locked down (integrity) and refuses direct port I/O even to "
       "root; use the ppdev backend)"},
      {EPERM, "none integrity [confidentiality]",
       "Operation not permitted (the kernel is locked down (confidentiality) and refuses direct port I/O "
       "even to root; use the ppdev backend)"},
      {ENOSYS, "none [integrity] confidentiality",
       "Function not implemented (this kernel offers no ioperm: it is built without x86 port I/O, or a "
       "sandbox withholds it; use the ppdev backend)"},
      {EINVAL, "", "Invalid argument"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.note);
    Log log, notes;
    DirectPort port(
        std::make_unique<FakeInstructions>(&log, std::map<std::uint16_t, int>{{0x3BC, c.error}}, c.lockdown),
        {0x3BC}, [&](const std::string& n) { notes.push_back(n); });
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(notes, Log{"no direct access to the port at 3BCh: " + std::string(c.note)});
  }
}

}  // namespace
}  // namespace zepa::port
