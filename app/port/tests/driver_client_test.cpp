#include "port/driver_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "driver/portio_dispatch.h"
#include "port/tvicport.h"

namespace zepa::port {
namespace {

class FakePortSpace : public driver::PortSpace {
 public:
  std::map<std::uint16_t, std::uint8_t> regs;
  std::uint8_t InByte(std::uint16_t port) override { return regs[port]; }
  std::uint16_t InWord(std::uint16_t port) override { return regs[port]; }
  std::uint32_t InDword(std::uint16_t port) override { return regs[port]; }
  void OutByte(std::uint16_t port, std::uint8_t v) override { regs[port] = v; }
  void OutWord(std::uint16_t port, std::uint16_t v) override { regs[port] = static_cast<std::uint8_t>(v); }
  void OutDword(std::uint16_t port, std::uint32_t v) override { regs[port] = static_cast<std::uint8_t>(v); }
};

// The driver as a test sees it: the real request dispatcher behind the I/O manager's buffered-request
// handling (one system buffer, input copied in, `information` bytes copied out).
struct Machine {
  FakePortSpace ports;
  driver::PortIoDispatcher dispatcher{ports};
  std::vector<std::uint32_t> codes;
  bool fail = false;               // the request fails as a whole
  bool zero_back = false;          // the request succeeds but hands nothing back
  bool grants_user_ports = false;  // another driver, which lets functions 31 and 32 through
};

class DispatcherChannel : public DriverChannel {
 public:
  explicit DispatcherChannel(Machine& machine) : machine_(machine) {}

  bool Control(std::uint32_t code, const void* input, std::uint32_t input_length, void* output,
               std::uint32_t output_length, std::uint32_t* returned) override {
    machine_.codes.push_back(code);
    *returned = 0;
    if (machine_.fail) return false;
    if (machine_.grants_user_ports && (code == driver::NtControlCode(driver::kOpenUserPorts) ||
                                       code == driver::NtControlCode(driver::kCloseUserPorts))) {
      return true;
    }
    std::vector<std::uint8_t> system(std::max(input_length, output_length));
    if (input_length) std::memcpy(system.data(), input, input_length);
    const driver::Completion done = machine_.dispatcher.Control(
        code, system.data(), static_cast<std::uint32_t>(system.size()), input_length, output_length);
    if (done.status != driver::kStatusSuccess) return false;
    *returned = machine_.zero_back ? 0 : done.information;
    if (*returned) std::memcpy(output, system.data(), *returned);
    return true;
  }

 private:
  Machine& machine_;
};

class FakeInstructions : public IoInstructions {
 public:
  explicit FakeInstructions(std::vector<std::string>* log) : log_(log) {}
  int Permit(std::uint16_t, std::uint16_t, bool) override { return 0; }
  std::uint8_t In(std::uint16_t) override {
    log_->push_back("IN");
    return 0xA5;
  }
  void Out(std::uint16_t, std::uint8_t) override { log_->push_back("OUT"); }

 private:
  std::vector<std::string>* log_;
};

class DriverClientTest : public ::testing::Test {
 protected:
  std::unique_ptr<DriverClientPort> Client(bool with_instructions = true, bool win9x = false) {
    return std::make_unique<DriverClientPort>(
        std::make_unique<DispatcherChannel>(machine_),
        with_instructions ? std::make_unique<FakeInstructions>(&instructions_) : nullptr, win9x);
  }

  Machine machine_;
  std::vector<std::string> instructions_;
};

TEST_F(DriverClientTest, BytesTravelAsFunctions11And12) {
  auto client = Client();
  machine_.ports.regs[0x379] = 0xC7;
  client->WritePortByte(0x378, 0x55);
  EXPECT_EQ(client->ReadPortByte(0x379), 0xC7);
  EXPECT_EQ(client->ReadPortByte(0x378), 0x55);
  EXPECT_EQ(machine_.ports.regs[0x378], 0x55);
  EXPECT_EQ(machine_.codes, (std::vector<std::uint32_t>{0x80002030, 0x8000202C, 0x8000202C}));
}

TEST_F(DriverClientTest, AReadTheDriverDoesNotAnswerGivesFFh) {
  auto client = Client();
  machine_.ports.regs[0x379] = 0x00;
  machine_.fail = true;
  EXPECT_EQ(client->ReadPortByte(0x379), 0xFF);
  machine_.fail = false;
  machine_.zero_back = true;
  EXPECT_EQ(client->ReadPortByte(0x379), 0xFF);
}

// The instructions run only once the driver has confirmed opening the ports; any other time, and after
// closing, the component's IN and OUT stay requests. This system's driver never confirms.
TEST_F(DriverClientTest, UserPortsOpenOnlyWhenTheDriverConfirms) {
  auto client = Client();
  machine_.ports.regs[0x379] = 0x3C;
  client->SetUserPorts(true);
  EXPECT_FALSE(client->UserPortsOpen());
  EXPECT_EQ(client->In(0x379), 0x3C);
  client->Out(0x378, 1);
  EXPECT_EQ(machine_.ports.regs[0x378], 1);
  EXPECT_TRUE(instructions_.empty());

  machine_.grants_user_ports = true;
  client->SetUserPorts(true);
  EXPECT_EQ(client->In(0x379), 0xA5);
  client->Out(0x378, 2);
  client->SetUserPorts(false);
  EXPECT_EQ(client->In(0x379), 0x3C);
  EXPECT_EQ(instructions_, (std::vector<std::string>{"IN", "OUT"}));

  machine_.fail = true;
  client->SetUserPorts(true);
  EXPECT_FALSE(client->UserPortsOpen());
  machine_.fail = false;
  auto without = Client(false);
  without->SetUserPorts(true);
  EXPECT_FALSE(without->UserPortsOpen());
  EXPECT_EQ(without->In(0x379), 0x3C);
  EXPECT_EQ(instructions_.size(), 2u);
}

TEST_F(DriverClientTest, TheWindows95LineUsesPlainFunctionNumbersAndNoUserPorts) {
  EXPECT_EQ(ControlCode(11, true), 11u);
  EXPECT_EQ(ControlCode(11, false), 0x8000202Cu);
  auto client = Client(true, true);
  client->WritePortByte(0x378, 1);
  client->SetUserPorts(true);
  EXPECT_EQ(machine_.codes, (std::vector<std::uint32_t>{12}));
  EXPECT_FALSE(client->UserPortsOpen());
}

// The whole way from the engine's component to the driver: with hard access off the component asks for
// the ports, is refused, and goes on with requests; its end asks to close them and is refused too.
TEST_F(DriverClientTest, AComponentOverTheDriverKeepsToRequests) {
  {
    PortDriverHandle handle([this]() -> std::unique_ptr<PortIo> { return Client(); });
    TVicLPT lpt(handle);
    lpt.SetHardAccess(false);
    lpt.WritePortByte(lpt.BaseAddress(), 0x33);
  }
  EXPECT_EQ(machine_.ports.regs[0x378], 0x33);
  EXPECT_EQ(machine_.codes, (std::vector<std::uint32_t>{0x8000207C, 0x80002030, 0x80002080}));
  EXPECT_TRUE(instructions_.empty());
}

}  // namespace
}  // namespace zepa::port
