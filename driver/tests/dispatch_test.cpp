#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "driver/portio_dispatch.h"

namespace zepa::driver {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A register file: a write stores, a read gives the last value stored (or a queued value first, so that
// repeated reads of one port are told apart). Every access is logged in order.
class FakePorts : public PortSpace {
 public:
  std::map<std::uint16_t, std::uint32_t> regs;
  std::map<std::uint16_t, std::deque<std::uint32_t>> queued;
  std::vector<std::string> log;

  std::uint8_t InByte(std::uint16_t port) override { return static_cast<std::uint8_t>(In("in8", port)); }
  std::uint16_t InWord(std::uint16_t port) override { return static_cast<std::uint16_t>(In("in16", port)); }
  std::uint32_t InDword(std::uint16_t port) override { return In("in32", port); }
  void OutByte(std::uint16_t port, std::uint8_t v) override { Out("out8", port, v); }
  void OutWord(std::uint16_t port, std::uint16_t v) override { Out("out16", port, v); }
  void OutDword(std::uint16_t port, std::uint32_t v) override { Out("out32", port, v); }

 private:
  std::uint32_t In(const char* what, std::uint16_t port) {
    std::uint32_t v = regs[port];
    if (auto& q = queued[port]; !q.empty()) {
      v = q.front();
      q.pop_front();
    }
    log.push_back(Entry(what, port, v));
    return v;
  }
  void Out(const char* what, std::uint16_t port, std::uint32_t v) {
    regs[port] = v;
    log.push_back(Entry(what, port, v));
  }
  static std::string Entry(const char* what, std::uint16_t port, std::uint32_t v) {
    char text[48];
    std::snprintf(text, sizeof text, "%s %X %X", what, port, v);
    return text;
  }
};

class DispatchTest : public ::testing::Test {
 protected:
  // Runs one request as the I/O manager would: one system buffer of the larger length, the input copied
  // in, the rest of it holding stale bytes (EEh). Returns the bytes that go back to the caller.
  Bytes Run(std::uint32_t function, const Bytes& input, std::uint32_t output_length) {
    const std::uint32_t size = std::max<std::uint32_t>(input.size(), output_length);
    buffer_.assign(size, 0xEE);
    std::copy(input.begin(), input.end(), buffer_.begin());
    completion_ = dispatcher_.Control(NtControlCode(function), buffer_.data(), size,
                                      static_cast<std::uint32_t>(input.size()), output_length);
    return Bytes(buffer_.begin(), buffer_.begin() + completion_.information);
  }

  FakePorts ports_;
  PortIoDispatcher dispatcher_{ports_};
  Bytes buffer_;
  Completion completion_{};
};

// Little-endian helpers for building requests.
Bytes U32(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes U16(std::uint16_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8)};
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(ControlCodes, EveryFunctionHasItsBufferedCodeAndBack) {
  const struct {
    std::uint32_t function, code;
  } kCodes[] = {{10, 0x80002028}, {11, 0x8000202C}, {12, 0x80002030}, {13, 0x80002034}, {14, 0x80002038},
                {15, 0x8000203C}, {16, 0x80002040}, {18, 0x80002048}, {19, 0x8000204C}, {20, 0x80002050},
                {21, 0x80002054}, {22, 0x80002058}, {31, 0x8000207C}, {32, 0x80002080}};
  for (const auto& c : kCodes) {
    EXPECT_EQ(NtControlCode(c.function), c.code) << c.function;
    EXPECT_EQ(FunctionOf(c.code), c.function) << std::hex << c.code;
  }
  EXPECT_EQ(FunctionOf(0x8000202D), 0u);  // METHOD_IN_DIRECT variant of function 11
  EXPECT_EQ(FunctionOf(0x8000602C), 0u);  // FILE_READ_ACCESS variant
  EXPECT_EQ(FunctionOf(0x0022202C), 0u);  // another device type
}

// Single reads and writes: the port is the low 16 bits of the first double word, a read result is
// zero-extended to 32 bits, and a write takes the low bits of the second double word.
TEST_F(DispatchTest, SingleTransfers) {
  const struct {
    const char* name;
    std::uint32_t function;
    Bytes input;
    std::uint32_t output_length;
    std::uint32_t preset;  // value of the addressed register before the request
    Bytes returned;
    std::vector<std::string> log;
  } kCases[] = {
      {"read byte", kReadByte, U32(0xABCD0379), 4, 0xC7, U32(0xC7), {"in8 379 C7"}},
      {"read word", kReadWord, U32(0x378), 4, 0xBEEF, U32(0xBEEF), {"in16 378 BEEF"}},
      {"write byte", kWriteByte, Cat({U32(0x378), U32(0x1FF)}), 4, 0, U32(0x378), {"out8 378 FF"}},
      {"write byte, no output", kWriteByte, Cat({U32(0x37A), U32(0x04)}), 0, 0, {}, {"out8 37A 4"}},
      {"write word", kWriteWord, Cat({U32(0x378), U32(0xABCD1234)}), 4, 0, U32(0x378), {"out16 378 1234"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ports_ = FakePorts();
    ports_.regs[0x378] = ports_.regs[0x379] = c.preset;
    const Bytes got = Run(c.function, c.input, c.output_length);
    EXPECT_EQ(completion_.status, kStatusSuccess);
    EXPECT_EQ(got, c.returned);
    EXPECT_EQ(ports_.log, c.log);
  }
}

// Only the three registers of each printer port are served. Any other port (the interrupt controller,
// the keyboard controller that pulses the reset line, the reset and PCI configuration registers at CF8h
// and CF9h) is refused whole: nothing is read or written and the buffer keeps its input. A word or double
// word is served only when every port it spans is.
TEST_F(DispatchTest, OnlyThePrinterPortRegistersAreServed) {
  const struct {
    std::uint32_t function;
    std::uint16_t port;
    bool served;
  } kCases[] = {
      {kReadByte, 0x0000, false},        {kReadByte, 0x0277, false},        {kReadByte, 0x0278, true},
      {kReadByte, 0x027A, true},         {kReadByte, 0x027B, false},        {kReadByte, 0x0377, false},
      {kReadByte, 0x0378, true},         {kReadByte, 0x037A, true},         {kReadByte, 0x037B, false},
      {kReadByte, 0x03BB, false},        {kReadByte, 0x03BC, true},         {kReadByte, 0x03BE, true},
      {kReadByte, 0x03BF, false},        {kReadByte, 0xFFFF, false},        {kWriteByte, 0x0020, false},
      {kWriteByte, 0x0064, false},       {kWriteByte, 0x0CF9, false},       {kWriteByte, 0x0279, true},
      {kWriteByte, 0x03BE, true},        {kReadWord, 0x0279, true},         {kReadWord, 0x027A, false},
      {kReadWord, 0xFFFF, false},        {kWriteWord, 0x0378, true},        {kWriteWord, 0x03BE, false},
      {kWriteWord, 0x0277, false},       {kReadDword, 0x0378, false},       {kWriteDword, 0x0CF8, false},
      {kWriteDword, 0x03BC, false},      {kReadByteString, 0x037A, true},   {kReadByteString, 0x037B, false},
      {kWriteByteString, 0x03BC, true},  {kWriteByteString, 0x03BF, false}, {kReadWordString, 0x0279, true},
      {kWriteWordString, 0x027A, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << "function " << c.function << " at " << std::hex << c.port);
    ports_ = FakePorts();
    // One input serves every function: the port in the low half of the first double word (a string's
    // count of 1 in its high half), then the value to write or the string's data.
    const Bytes input = Cat({U16(c.port), U16(1), U32(0xA5)});
    Run(c.function, input, 8);
    if (c.served) {
      EXPECT_EQ(completion_.status, kStatusSuccess);
      char at[8];
      std::snprintf(at, sizeof at, " %X ", c.port);
      ASSERT_EQ(ports_.log.size(), 1u);
      EXPECT_NE(ports_.log[0].find(at), std::string::npos) << ports_.log[0];
    } else {
      EXPECT_EQ(completion_.status, kStatusAccessDenied);
      EXPECT_EQ(completion_.information, 0u);
      EXPECT_TRUE(ports_.log.empty()) << ports_.log[0];
      EXPECT_TRUE(std::equal(input.begin(), input.end(), buffer_.begin()));
    }
  }
}

// A list with one record of a port that is not served is refused before its first record runs: the
// writes ahead of that record do not happen either.
TEST_F(DispatchTest, AListWithARefusedRecordRunsNoneOfIt) {
  const struct {
    const char* name;
    std::uint32_t function;
    Bytes input;
  } kCases[] = {
      {"byte list, reset register in the middle",
       kByteList,
       {0x78, 0x03, 0x55, 1, 0xF9, 0x0C, 0x06, 1, 0x79, 0x03, 0x00, 0}},
      {"byte list, one past the control register last",
       kByteList,
       {0x78, 0x03, 0x55, 1, 0x79, 0x03, 0x00, 0, 0x7B, 0x03, 0x00, 0}},
      {"word list, a word that spans past the control register",
       kWordList,
       {0x78, 0x03, 0x34, 0x12, 1, 0, 0x7A, 0x03, 0, 0, 0, 0, 0x78, 0x02, 0, 0, 1, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Run(c.function, c.input, static_cast<std::uint32_t>(c.input.size()));
    EXPECT_EQ(completion_.status, kStatusAccessDenied);
    EXPECT_EQ(completion_.information, 0u);
    EXPECT_TRUE(std::equal(c.input.begin(), c.input.end(), buffer_.begin()));
  }
  EXPECT_TRUE(ports_.log.empty());
}

TEST_F(DispatchTest, ByteListRunsRecordsInOrderAndFillsInTheReads) {
  ports_.regs[0x379] = 0x7F;
  // write 378 := 55h, read 378 (sees the write), read 379, write 37A := 0Ch
  const Bytes input = {0x78, 0x03, 0x55, 1, 0x78, 0x03, 0x00, 0, 0x79, 0x03, 0x00, 0, 0x7A, 0x03, 0x0C, 1};
  const Bytes got = Run(kByteList, input, 16);
  EXPECT_EQ(completion_.status, kStatusSuccess);
  EXPECT_EQ(got, (Bytes{0x78, 0x03, 0x55, 1, 0x78, 0x03, 0x55, 0, 0x79, 0x03, 0x7F, 0, 0x7A, 0x03, 0x0C, 1}));
  EXPECT_EQ(ports_.log, (std::vector<std::string>{"out8 378 55", "in8 378 55", "in8 379 7F", "out8 37A C"}));
}

TEST_F(DispatchTest, WordListKeepsTheReservedByteAndIgnoresATrailingPartialRecord) {
  ports_.queued[0x378] = {0x1234};
  const Bytes input = {0x78, 0x03, 0xCD, 0xAB, 1, 0x99,  // write 378 := ABCDh
                       0x78, 0x03, 0x00, 0x00, 0, 0x77,  // read 378
                       0xF0, 0x01, 0x11};                // partial, and of a port not served: not a record
  const Bytes got = Run(kWordList, input, 12);
  EXPECT_EQ(completion_.status, kStatusSuccess);
  EXPECT_EQ(got, (Bytes{0x78, 0x03, 0xCD, 0xAB, 1, 0x99, 0x78, 0x03, 0x34, 0x12, 0, 0x77}));
  EXPECT_EQ(ports_.log, (std::vector<std::string>{"out16 378 ABCD", "in16 378 1234"}));
}

TEST_F(DispatchTest, AWriteOnlyListNeedsNoOutput) {
  const Bytes got = Run(kByteList, {0x78, 0x03, 0xAA, 1, 0x78, 0x03, 0x55, 1}, 0);
  EXPECT_EQ(completion_.status, kStatusSuccess);
  EXPECT_TRUE(got.empty());
  EXPECT_EQ(ports_.log, (std::vector<std::string>{"out8 378 AA", "out8 378 55"}));
}

TEST_F(DispatchTest, StringsTransferToOneAddressInOrder) {
  ports_.queued[0x379] = {0x11, 0x22, 0x33};
  EXPECT_EQ(Run(kReadByteString, Cat({U16(0x379), U16(3)}), 7), (Bytes{0x79, 0x03, 3, 0, 0x11, 0x22, 0x33}));
  ports_.queued[0x278] = {0xA1A2, 0xB1B2};
  EXPECT_EQ(Run(kReadWordString, Cat({U16(0x278), U16(2)}), 8),
            (Bytes{0x78, 0x02, 2, 0, 0xA2, 0xA1, 0xB2, 0xB1}));
  Run(kWriteByteString, Cat({U16(0x378), U16(2), Bytes{0x01, 0x02}}), 0);
  Run(kWriteWordString, Cat({U16(0x3BC), U16(2), U16(0x0102), U16(0x0304)}), 0);
  EXPECT_EQ(completion_.status, kStatusSuccess);
  EXPECT_EQ(ports_.log, (std::vector<std::string>{"in8 379 11", "in8 379 22", "in8 379 33", "in16 278 A1A2",
                                                  "in16 278 B1B2", "out8 378 1", "out8 378 2",
                                                  "out16 3BC 102", "out16 3BC 304"}));
}

TEST_F(DispatchTest, StringsOfCountZeroTransferNothing) {
  for (std::uint32_t function : {kReadByteString, kWriteByteString, kReadWordString, kWriteWordString}) {
    SCOPED_TRACE(function);
    const Bytes got = Run(function, Cat({U16(0x378), U16(0)}), 4);
    EXPECT_EQ(completion_.status, kStatusSuccess);
    EXPECT_EQ(got, (Bytes{0x78, 0x03, 0, 0}));
  }
  EXPECT_TRUE(ports_.log.empty());
}

// A request whose buffers cannot hold what its function reads or writes is refused whole: no port is
// touched and the buffer keeps its input.
TEST_F(DispatchTest, ShortBuffersAreRefusedUntouched) {
  const struct {
    const char* name;
    std::uint32_t function;
    Bytes input;
    std::uint32_t output_length;
  } kCases[] = {
      {"read byte, 3-byte input", kReadByte, {0x79, 0x03, 0x00}, 4},
      {"read byte, 3-byte output", kReadByte, U32(0x379), 3},
      {"read dword, no output", kReadDword, U32(0x379), 0},
      {"write byte, value missing", kWriteByte, U32(0x378), 4},
      {"write word, 7-byte input", kWriteWord, {0x78, 0x03, 0, 0, 0x34, 0x12, 0}, 4},
      {"write dword, 7-byte input", kWriteDword, {0x78, 0x03, 0, 0, 0x34, 0x12, 0}, 4},
      {"string header cut", kReadByteString, {0x79, 0x03, 0x03}, 16},
      {"read byte string, output one short", kReadByteString, Cat({U16(0x379), U16(3)}), 6},
      {"read word string, output one short", kReadWordString, Cat({U16(0x378), U16(2)}), 7},
      {"write byte string, data one short", kWriteByteString, Cat({U16(0x378), U16(3), Bytes{1, 2}}), 0},
      {"write word string, data one short", kWriteWordString, Cat({U16(0x378), U16(2), Bytes{1, 2, 3}}), 0},
      {"byte list, last read record beyond output", kByteList, {0x78, 0x03, 0x55, 1, 0x79, 0x03, 0x00, 0}, 7},
      {"word list, read record beyond output", kWordList, {0x78, 0x03, 0, 0, 0, 0}, 5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Run(c.function, c.input, c.output_length);
    EXPECT_EQ(completion_.status, kStatusInvalidParameter);
    EXPECT_EQ(completion_.information, 0u);
    EXPECT_TRUE(std::equal(c.input.begin(), c.input.end(), buffer_.begin()));
  }
  EXPECT_TRUE(ports_.log.empty());
}

TEST_F(DispatchTest, ABufferSmallerThanTheLengthsItClaimsIsRefused) {
  Bytes small = U32(0x379);
  EXPECT_EQ(dispatcher_.Control(NtControlCode(kReadByte), small.data(), 4, 4, 8).status,
            kStatusInvalidParameter);
  EXPECT_EQ(dispatcher_.Control(NtControlCode(kByteList), nullptr, 0, 0, 4).status, kStatusInvalidParameter);
  EXPECT_EQ(dispatcher_.Control(NtControlCode(kByteList), nullptr, 0, 0, 0).status, kStatusSuccess);
  EXPECT_EQ(small, U32(0x379));
  EXPECT_TRUE(ports_.log.empty());
}

TEST_F(DispatchTest, CodesOutsideTheTableAreRefused) {
  for (std::uint32_t function : {0u, 9u, 17u, 23u, 30u, 33u, 0xFFu}) {
    SCOPED_TRACE(function);
    Run(function, Cat({U32(0x378), U32(0x55)}), 8);
    EXPECT_EQ(completion_.status, kStatusInvalidParameter);
    EXPECT_EQ(completion_.information, 0u);
  }
  Bytes input = Cat({U32(0x378), U32(0x55)});
  EXPECT_EQ(dispatcher_.Control(NtControlCode(kWriteByte) | 1, input.data(), 8, 8, 0).status,
            kStatusInvalidParameter);
  EXPECT_TRUE(ports_.log.empty());
}

// Bytes that go back to the caller beyond its input and beyond what the request stored are zeros, never
// what the system buffer held before; the count never exceeds the caller's output length.
TEST_F(DispatchTest, NothingStaleGoesBack) {
  EXPECT_EQ(Run(kByteList, {}, 6), Bytes(6, 0));
  EXPECT_EQ(Run(kWriteByte, Cat({U32(0x378), U32(1)}), 2), (Bytes{0x78, 0x03}));
  EXPECT_EQ(Run(kWriteByte, Cat({U32(0x378), U32(1)}), 12), Cat({U32(0x378)}));
  ports_.queued[0x379] = {0x11};
  EXPECT_EQ(Run(kReadByteString, Cat({U16(0x379), U16(1)}), 8), (Bytes{0x79, 0x03, 1, 0, 0x11, 0, 0, 0}));
  EXPECT_EQ(Run(kByteList, {0x79, 0x03, 0xEE, 0}, 6), (Bytes{0x79, 0x03, 0x00, 0, 0, 0}));
}

// Opening the I/O ports to user mode would change the I/O permission map of whichever processor runs the
// request, for every process on it; the driver offers neither that nor its closing, whatever the buffers.
TEST_F(DispatchTest, UserPortFunctionsAreRefused) {
  for (std::uint32_t function : {kOpenUserPorts, kCloseUserPorts}) {
    SCOPED_TRACE(function);
    for (std::uint32_t output_length : {0u, 4u}) {
      const Bytes input = output_length ? U32(0x378) : Bytes{};
      Run(function, input, output_length);
      EXPECT_EQ(completion_.status, kStatusInvalidDeviceRequest);
      EXPECT_EQ(completion_.information, 0u);
      EXPECT_TRUE(std::equal(input.begin(), input.end(), buffer_.begin()));
    }
  }
  EXPECT_TRUE(ports_.log.empty());
}

}  // namespace
}  // namespace zepa::driver
