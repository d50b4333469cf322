// What every SVF block shares: the text being written (CR LF lines, continuation lines of long values),
// the file it goes to, the header and trailer statements that step over the other devices of the chain,
// the fixed statement lines and the hex helpers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/chain.h"

namespace zepa::svf {

// Bits of a scan value; bit 0 is the first bit shifted into the device.
using ScanBits = std::vector<bool>;

// ceil(n/4) upper-case hex digits of `bits`, most significant first.
std::string HexDigits(const ScanBits& bits);

// The hex text of n one-bits with the fewest digits: "1"/"3"/"7" for the n mod 4 top bits, then n div 4 "F".
std::string OnesHex(int n);

// One device's statements. They collect in memory and reach the file in one piece when the block is done
// (Commit): device 1 replaces the file (through a temporary file renamed into place), any other device
// appends to it, creating it when it is missing.
class SvfText {
 public:
  SvfText(std::string path, int device) : path_(std::move(path)), device_(device) {}

  // A whole line (an empty text gives an empty line).
  void Line(std::string_view text) {
    text_.append(text);
    text_.append("\r\n");
  }
  // Text without ending the line.
  void Put(std::string_view text) { text_.append(text); }
  void EndLine() { text_.append("\r\n"); }
  void EmptyLines(int n) {
    for (int i = 0; i < n; ++i) EndLine();
  }

  // Writes what has been collected. Throws std::runtime_error naming the file when it cannot be written.
  void Commit();

  const std::string& text() const { return text_; }

 private:
  std::string path_;
  int device_;
  std::string text_;
};

// The digits of OnesHex(n), starting a new line of 13 blanks after every 60th "F"; the line stays open.
void WriteOnesTdo(SvfText& out, int n);

// TRST (device 1, when allowed) and the HIR/HDR/TIR/TDR statements that hold every other device in BYPASS.
void WriteSvfHeader(SvfText& out, const engine::ChainState& chain, int device, bool allow_trst);

// An instruction scan, "SIR <bits> TDI (<code>);", the code in ceil(bits / 4) hexadecimal digits.
struct IrScan {
  int bits;
  int code;
};

// A statement line of the SVF text: the statement, blanks up to `column`, then its comment.
class StatementLine {
 public:
  consteval StatementLine(std::string_view statement, std::string_view comment, std::size_t column = 37)
      : size_(column + comment.size()) {
    if (statement.size() >= column || size_ > kCapacity) throw "a statement line that does not fit";
    for (std::size_t i = 0; i < column; ++i) text_[i] = i < statement.size() ? statement[i] : ' ';
    for (std::size_t i = 0; i < comment.size(); ++i) text_[column + i] = comment[i];
  }
  consteval StatementLine(IrScan scan, std::string_view comment, std::size_t column = 37)
      : StatementLine(IrScanText(scan).view(), comment, column) {}
  constexpr operator std::string_view() const { return {text_, size_}; }

 private:
  static constexpr std::size_t kCapacity = 80;

  struct ShortText {
    char text[32] = {};
    std::size_t size = 0;
    constexpr void Append(std::string_view s) {
      for (char c : s) text[size++] = c;
    }
    constexpr std::string_view view() const { return {text, size}; }
  };
  static consteval ShortText IrScanText(IrScan scan) {
    if (scan.bits < 1 || scan.bits > 30 || scan.code < 0 || scan.code >= (1 << scan.bits))
      throw "an instruction that does not fit its register";
    ShortText out;
    out.Append("SIR ");
    if (scan.bits >= 10) out.Append(std::string_view(&"0123456789"[scan.bits / 10], 1));
    out.Append(std::string_view(&"0123456789"[scan.bits % 10], 1));
    out.Append(" TDI (");
    for (int d = (scan.bits + 3) / 4 - 1; d >= 0; --d)
      out.Append(std::string_view(&"0123456789ABCDEF"[(scan.code >> (4 * d)) & 15], 1));
    out.Append(");");
    return out;
  }

  char text_[kCapacity] = {};
  std::size_t size_;
};

// Statement lines both families use; most comments start at column 37.
namespace lines {
inline constexpr StatementLine kTrst{"TRST ABSENT;", "!No TRSTn Signal"};
inline constexpr StatementLine kEndIrIdle{"ENDIR IDLE;", "!End IR scans in IDLE"};
inline constexpr StatementLine kEndDrIdle{"ENDDR IDLE;", "!End DR scans in IDLE"};
inline constexpr StatementLine kEndIrPause{"ENDIR IRPAUSE;", "!End IR scans in IRPAUSE"};
inline constexpr StatementLine kResetTap{"STATE RESET;", "!Force Tap Controller to Reset State"};
inline constexpr StatementLine kResetTAP{"STATE RESET;", "!Force TAP Controller to Reset State"};
inline constexpr StatementLine kResetTAP39{"STATE RESET;", "!Force TAP Controller to Reset State", 38};
inline constexpr StatementLine kWaitErase{"RUNTEST 100000 TCK;", "!Ensure 100 msec ERASE time"};
inline constexpr StatementLine kWaitInit{"RUNTEST 100 TCK;", "!Ensure 100 usec INIT time"};
inline constexpr StatementLine kWaitDisable{"RUNTEST 100 TCK;", "!Ensure 100 usec DISABLE time"};
inline constexpr StatementLine kWaitIdcode{"RUNTEST 100 TCK;", "!100 usec wait time"};
inline constexpr StatementLine kWaitRead{"RUNTEST 100 TCK;", "!Ensure 100 usec VERIFY time"};
inline constexpr StatementLine kWaitProgRow{"RUNTEST 10000 TCK;", "!Ensure 10 msec PROGRAM time", 41};
inline constexpr StatementLine kWaitProgSec{"RUNTEST 10000 TCK;", "!Ensure 10 msec PROGRAM time"};
inline constexpr StatementLine kWaitProgUes{"RUNTEST 10000 TCK;", "!Ensure 10 msec PROGRAM time", 36};
inline constexpr StatementLine kWaitVerify{"RUNTEST 20 TCK;", "!Ensure 10 usec VERIFT time"};
inline constexpr StatementLine kWaitVerify37{"RUNTEST 20 TCK;", "!Ensure 10 usec VERIFT time", 36};
}  // namespace lines

}  // namespace zepa::svf
