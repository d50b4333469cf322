#include "engine/zepa2_ops.h"

#include <fstream>
#include <initializer_list>

#include "chain/chain_names.h"
#include "engine/checks.h"
#include "engine/records.h"
#include "engine/workdir.h"
#include "util/files.h"
#include "util/hex.h"
#include "util/lines.h"
#include "util/path.h"

namespace zepa::engine {
namespace {

using namespace zepa2;

constexpr int kLineBits = kZepa2LineDigits * 4;  // 560
// Longest lines the engine takes: a frame line to write, a line of either file to compare.
constexpr std::size_t kMaxWriteLine = 150;
constexpr std::size_t kMaxCompareLine = 145;

// Reads one line without its line end (LF, CR LF or a lone CR); false at the end of the file.
bool ReadLine(std::istream& in, std::string& line) {
  return util::ReadLine(in, line);
}

class Zepa2Device {
 public:
  Zepa2Device(EngineContext& context, int position, const Zepa2Geometry& geometry)
      : c_(context), j_(context.jtag), pos_(position), g_(geometry) {}

  void Write(const std::string& file);
  void Verify(const std::string& file);

 private:
  void Line(const std::string& text) { c_.messages().add_message(text); }
  std::string Tag() const { return "(Device #" + std::to_string(pos_) + ")"; }
  void Steps(std::initializer_list<int> states) {
    for (int s : states) j_.TapStep(s);
  }
  // The design file must be there before the part is touched; a missing one fails the device.
  bool DesignPresent(const std::string& file) {
    if (util::FileExists(file)) return true;
    c_.host.prompts.show(BoxIcon::kError, "Error", "Can not find " + file + " !");
    c_.host.marks.MarkResult(pos_, false);
    return false;
  }
  std::string ReadFrame();
  bool CompareFrameFiles(const std::string& in_file, const std::string& isp_file);

  EngineContext& c_;
  Jtag& j_;
  int pos_;
  const Zepa2Geometry& g_;
};

void Zepa2Device::Write(const std::string& file) {
  CheckJedec(c_, pos_, c_.rec(pos_).jed);
  if (!DesignPresent(file)) return;
  std::ifstream isp(file, std::ios::binary);
  if (!isp) throw std::runtime_error("cannot read the frame file " + file);

  Line("Write... " + Tag());
  LoadInstructionZ3(j_, kResetToIdle);
  LoadInstructionZ3(j_, kEnable);
  LoadInstructionZ3(j_, kFrameWrite);
  const std::string range = std::string(g_.name) + " address 0 to " + std::to_string(g_.last);
  Line("Writing " + range);

  // The preamble: a frame of zeros carrying the part's pattern where a frame has its address.
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftZeros(kZepa2FrameDataBits);
  j_.ShiftBitString(g_.preamble, 0, kZepa2AddressBits);
  Steps({UpdateDr, RunTestIdle});
  j_.Delay(kFrameWait);

  bool all_written = true;
  int n = 0;
  for (std::string line; n <= g_.last && ReadLine(isp, line); ++n) {
    c_.messages().progress(n, g_.last + 1);
    if (n % kZepa2FramesPerBlock == 0)
      Line("Writing " + std::string(g_.name) + " Super Fast Block #" +
           std::to_string(n / kZepa2FramesPerBlock));
    // A line that is not one frame is reported and skipped without touching the controller, which stays
    // in Run-Test/Idle for the next frame.
    const std::optional<std::string> bits =
        line.size() <= kMaxWriteLine ? HexLineToBits(line) : std::string(line.size() * 4, '0');
    if (!bits) {
      Line("Error frame data! frame=" + std::to_string(n) + " is not hexadecimal");
      all_written = false;
      continue;
    }
    if (bits->size() != kLineBits) {
      Line("Error frame length! frame=" + std::to_string(n) +
           ", length=" + std::to_string(static_cast<long>(bits->size()) - 3));
      all_written = false;
      continue;
    }
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftBitString(*bits, 0, kZepa2FrameBits);
    Steps({UpdateDr, RunTestIdle});
    j_.Delay(kFrameWait);
  }
  if (n <= g_.last) {
    Line("Error frame count! " + file + " ends before frame " + std::to_string(n) + " of 0 to " +
         std::to_string(g_.last));
    all_written = false;
  }

  LoadInstructionZ3(j_, kDisable);
  j_.TapStep(RunTestIdle);
  LoadInstructionZ3(j_, kLeaveThroughReset);
  Line("Write completed!");
  // A write reports no pass (only a verify can); frames left out fail the device.
  if (!all_written) c_.host.marks.MarkResult(pos_, false);
}

// From Capture-DR: the 557 frame bits, first out first, ending in Exit1-DR.
std::string Zepa2Device::ReadFrame() {
  Cable& cable = c_.cable();
  const ChainState& chain = c_.chain();
  for (int i = chain.DeviceCount - chain.TargetDevice; i > 0; --i) j_.TapStep(ShiftDr);
  j_.TapStep(ShiftDr);
  std::string bits;
  bits.reserve(kLineBits);
  cable.SetPin(cable.PinTCK(), 1);
  bits += cable.ReadTdo() ? '1' : '0';
  cable.SetPin(cable.PinTCK(), 0);
  for (int b = 1; b < kZepa2FrameBits - 1; ++b) {
    bits += cable.ReadTdo() ? '1' : '0';
    j_.TapStep(ShiftDr);
  }
  cable.SetPin(cable.PinTMS(), 1);
  cable.SetPin(cable.PinTCK(), 1);
  bits += cable.ReadTdo() ? '1' : '0';
  cable.SetPin(cable.PinTCK(), 0);
  return bits;
}

void Zepa2Device::Verify(const std::string& file) {
  CheckJedec(c_, pos_, c_.rec(pos_).jed);
  if (!DesignPresent(file)) return;
  Line("Read... " + Tag());
  const std::string in_file = util::ChangeExtension(file, "in");

  LoadInstructionZ3(j_, kResetToIdle);
  LoadInstructionZ3(j_, kEnable);
  LoadInstructionZ3(j_, kFrameRead);
  Line("Reading " + std::string(g_.name) + " address 0 to " + std::to_string(g_.last));
  std::string readback;
  for (int h = 0; h <= g_.last; ++h) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    if (h % kZepa2FramesPerBlock == 0)
      Line("Reading " + std::string(g_.name) + " Super Fast Block #" +
           std::to_string(h / kZepa2FramesPerBlock));
    j_.ShiftBitString(Zepa2FrameAddress(h), 0, kZepa2AddressBits);
    Steps({PauseDr, Exit2Dr, UpdateDr});
    Steps({SelectDrScan, CaptureDr});
    readback += BitsToHexLine(ReadFrame() + "000");
    readback += '\n';
    Steps({PauseDr, Exit2Dr, UpdateDr});
  }
  LoadInstructionZ3(j_, kDisable);
  j_.TapStep(RunTestIdle);
  j_.Delay(kFrameWait);
  LoadInstructionZ3(j_, kFrameWrite);
  util::ReplaceFile(in_file, readback);
  Line("Read completed!");

  const bool passed = CompareFrameFiles(in_file, util::ChangeExtension(in_file, "isp"));
  Line(passed ? "Verify succeeded!" : "Verify FAILED!");
  c_.host.marks.MarkResult(pos_, passed);
}

// Frame by frame, the read-back file against the design image; the three padding bits are not compared.
bool Zepa2Device::CompareFrameFiles(const std::string& in_file, const std::string& isp_file) {
  std::ifstream in(in_file, std::ios::binary);
  std::ifstream isp(isp_file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the read-back file " + in_file);
  if (!isp) throw std::runtime_error("cannot read the frame file " + isp_file);
  std::string read_line, expect_line;
  for (int n = 0; n <= g_.last; ++n) {
    // Both files must cover every frame: a design that ends early has frames nobody compared.
    if (!ReadLine(in, read_line) || !ReadLine(isp, expect_line)) {
      Line("Files have different size error!");
      return false;
    }
    for (const auto* l : {&read_line, &expect_line}) {
      if (l->size() > kMaxCompareLine) {
        Line("Line too long! frame=" + std::to_string(n) + ", " + std::to_string(l->size()) +
             " characters in " + (l == &read_line ? in_file : isp_file));
        return false;
      }
    }
    const std::optional<std::string> read = HexLineToBits(read_line);
    const std::optional<std::string> expect = HexLineToBits(expect_line);
    if (!read || !expect || read->size() != expect->size()) {
      Line("Files have different size error!");
      return false;
    }
    if (n % kZepa2FramesPerBlock == 0)
      Line("Verifying " + std::string(g_.short_name) + " Super Fast Block #" +
           std::to_string(n / kZepa2FramesPerBlock));
    const std::size_t compared = read->size() >= 3 ? read->size() - 3 : 0;
    if (read->compare(0, compared, *expect, 0, compared) != 0) {
      Line("Verify error on address " + std::to_string(n));
      Line("Data read back is:" + read_line);
      Line("Data expect is:     " + expect_line);
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> HexLineToBits(const std::string& line) {
  return util::HexToBitText(line);
}

std::string BitsToHexLine(const std::string& bits) {
  return util::BitTextToHex(bits);
}

void Zepa2Operations::Run(EngineContext& context, int op, int position, const std::string& file) {
  const JcdRec& rec = context.rec(position);
  const Zepa2Geometry* geometry = Zepa2GeometryOf(rec.id);
  if (geometry == nullptr)
    AbortDevice(context.host, position,
                "Type code " + std::to_string(rec.id) + " is not a ZEPA2 part. (Device #" +
                    std::to_string(position) + ")");
  context.zepa2_last_address = geometry->last;
  Zepa2Device device(context, position, *geometry);
  switch (op) {
    case chain::kOpProgram:
      device.Write(file);
      return;
    case chain::kOpVerify:
      device.Verify(file);
      return;
    case chain::kOpNoOperation:
      return;  // a bypassed part has nothing to do
    default:
      break;
  }
  if (op < chain::kOpBulkErase || op > chain::kOpRs) return;
  const std::string_view item = chain::operation_list_item(op);
  const std::string what = item.empty() ? "Operation " + std::to_string(op) : "\"" + std::string(item) + "\"";
  context.messages().add_message(what + " is not available for " + geometry->name +
                                 " parts, only Program and Verify are. (Device #" + std::to_string(position) +
                                 ")");
}

}  // namespace zepa::engine
