#include "engine/zepa1_ops.h"

#include "engine/checks.h"
#include "engine/records.h"
#include "engine/workdir.h"

namespace zepa::engine {
namespace {

// Instruction codes of the 4-bit ZEPA1 instruction register.
enum Zepa1Instruction : int {
  kIdcode = 1,
  kPreload = 2,
  kResetToIdle = 6,
  kLeaveThroughReset = 7,
  kEnableActiveIo = 8,
  kEnable = 9,
  kErase = 10,
  kProgram = 11,
  kVerify = 12,
  kInit = 13,
};

constexpr int kRowsPerSide = 43;
constexpr int kDesignRows = 41;  // rows 0..40 of a side hold the design
constexpr int kUesRow = 41;
constexpr int kSecurityRow = 83;
constexpr int kSecurityAddressRow = 99;  // the fixed address 3Eh
constexpr int kBoundaryLength = 280;

// Waits, in Delay units.
constexpr int kEraseWait = 100;
constexpr int kProgramWait = 11;
constexpr int kShortWait = 1;

const char* const kSideNames[2] = {"Left", "Right"};

// One operation on one part: the position, its record and the sequences the operations share.
class Zepa1Device {
 public:
  Zepa1Device(EngineContext& context, int position)
      : c_(context), j_(context.jtag), pos_(position), rec_(context.rec(position)), L_(rec_.DR_len) {}

  void BulkErase(bool quiet);
  void BlankCheck();
  void Program();
  void Verify();
  void ProgramAndVerify();
  void ReadDeviceId();
  void Secure();
  void ProgramSignature();
  void ReadSignature();
  void Upload();
  void Bypass();
  // The security test alone; true when the part is secured. Writes "dev__N.sec".
  bool SecurityTest();

 private:
  void Line(const std::string& text) { c_.messages().add_message(text); }
  void OperationLine(const std::string& text) { Line(text + std::to_string(pos_) + ")"); }
  void SideLine(const char* verb, int side) {
    Line(std::string(verb) + " " + kSideNames[side] + " side...");
    Line("");
  }
  void Progress() { c_.messages().append_to_last_message(" *"); }
  void Mark(bool passed) { c_.host.marks.MarkResult(pos_, passed); }
  [[noreturn]] void Abort(const std::string& message) { AbortDevice(c_.host, pos_, message); }
  std::string ResultFile(const char* extension) const {
    return c_.WorkFile("dev__" + std::to_string(pos_) + extension);
  }

  long RowStart(int row) const { return static_cast<long>(row) * L_; }
  long RowEnd(int row) const { return RowStart(row + 1) - 1; }

  void Load(int code) { j_.LoadInstructionZ1(code); }
  void Steps(std::initializer_list<int> states) {
    for (int s : states) j_.TapStep(s);
  }
  void Enable() { Load(c_.ActiveIoVerify ? kEnableActiveIo : kEnable); }
  void AddressRow(int row) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftAddressZ1(row);
    Steps({UpdateDr, RunTestIdle});
    j_.Delay(kShortWait);
    Steps({SelectDrScan, CaptureDr});
  }
  void FinishRowRead() { Steps({Exit1Dr, UpdateDr}); }
  void WriteRow(int row) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftImageBits(RowStart(row), RowEnd(row));
    j_.ShiftAddressZ1(row);
    Steps({UpdateDr, RunTestIdle});
    j_.Delay(kProgramWait);
  }
  // The 128-macrocell parts 119 and 120 get their boundary register cleared before the array is touched.
  void BoundaryPreload() {
    Load(kResetToIdle);
    if (rec_.id != 119 && rec_.id != 120) return;
    Load(kPreload);
    Steps({RunTestIdle, SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftBitString(std::string(kBoundaryLength, '0'), 0, kBoundaryLength);
    j_.TapStep(UpdateDr);
  }
  void Close(bool enter_shift) {
    if (enter_shift) Steps({SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftTargetZeros7();
    j_.TapStep(UpdateDr);
    Load(kInit);
    j_.TapStep(RunTestIdle);
    j_.Delay(kShortWait);
    Load(kLeaveThroughReset);
  }
  void AbortIfSecured() {
    if (SecurityTest()) Abort("Device is secured. (Device #" + std::to_string(pos_) + ")");
  }
  bool VerifyCompare();

  EngineContext& c_;
  Jtag& j_;
  int pos_;
  JcdRec& rec_;
  int L_;
};

void Zepa1Device::BulkErase(bool quiet) {
  IdentifyTarget(c_, pos_);
  BoundaryPreload();
  OperationLine("Bulk erase... (Device #");
  Enable();
  Load(kErase);
  j_.TapStep(RunTestIdle);
  j_.Delay(kEraseWait);
  if (!(quiet && c_.ActiveIoVerify)) Load(kInit);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Load(kLeaveThroughReset);
  if (!quiet) {
    Mark(true);
    Line("Erase completed!");
  }
}

void Zepa1Device::BlankCheck() {
  IdentifyTarget(c_, pos_);
  OperationLine("Blank Check... (Device #");
  Load(kResetToIdle);
  Enable();
  Load(kVerify);
  bool blank = true;
  for (int side = 0; side < 2 && blank; ++side) {
    SideLine("Checking", side);
    for (int row = kRowsPerSide * side; row < kRowsPerSide * side + kDesignRows; ++row) {
      Progress();
      AddressRow(row);
      if (!j_.ExpectOnes(RowStart(row), RowEnd(row))) {
        blank = false;
        break;
      }
      FinishRowRead();
    }
  }
  Load(kLeaveThroughReset);
  Line(blank ? "Blank Check succeeded!" : "Blank Check failed!");
  Line("");
  Mark(blank);
}

void Zepa1Device::Program() {
  CheckJedec(c_, pos_, rec_.jed);
  IdentifyTarget(c_, pos_);
  BulkErase(true);
  OperationLine("Program... (Device #");
  Load(kResetToIdle);
  Enable();
  Load(kProgram);
  for (int side = 0; side < 2; ++side) {
    SideLine("Programming", side);
    for (int row = kRowsPerSide * side; row < kRowsPerSide * side + kDesignRows; ++row) {
      Progress();
      WriteRow(row);
    }
  }
  Close(false);
  Line("Program completed!");
  Line("");
  Mark(true);
}

void Zepa1Device::Verify() {
  CheckJedec(c_, pos_, rec_.jed);
  IdentifyTarget(c_, pos_);
  AbortIfSecured();
  OperationLine("Verify... (Device #");
  Load(kResetToIdle);
  Enable();
  Load(kVerify);
  for (int side = 0; side < 2; ++side) {
    SideLine("Verifying", side);
    for (int row = kRowsPerSide * side; row < kRowsPerSide * side + kDesignRows; ++row) {
      Progress();
      AddressRow(row);
      j_.ReadBitsToBuffer(RowStart(row), RowEnd(row));
      FinishRowRead();
    }
  }
  Load(kLeaveThroughReset);
  const bool passed = VerifyCompare();
  Line(passed ? "Verify succeeded!" : "Verify failed!");
  Mark(passed);
  Line("");
}

bool Zepa1Device::VerifyCompare() {
  if (!(c_.options & kOptVerifyLog)) {
    for (int side = 0; side < 2; ++side) {
      const int first = kRowsPerSide * side;
      if (!j_.CompareBits(RowStart(first), RowEnd(first + kDesignRows - 1))) return false;
    }
    return true;
  }
  const VerifyReport report = BuildVerifyReport(j_, L_, c_.timestamp ? c_.timestamp() : std::string());
  std::string text;
  for (const std::string& line : report.lines) text += line + "\n";
  ReplaceFile(WithExtension(rec_.jed, "vrf"), text);
  if (report.failures > 0) Line(report.lines.back());
  return report.failures == 0;
}

void Zepa1Device::ProgramAndVerify() {
  CheckJedec(c_, pos_, rec_.jed);
  j_.ResetReadbackBuffer();
  bool passed = true;
  IdentifyTarget(c_, pos_);
  BulkErase(true);
  OperationLine("Program and Verify... (Device #");
  for (int side = 0; side < 2 && passed; ++side) {
    SideLine("Prog/Verifying", side);
    Load(kResetToIdle);
    Enable();
    const int r0 = kRowsPerSide * side;
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftImageBits(RowStart(r0), RowEnd(r0));
    j_.ShiftAddressZ1(r0);
    j_.TapStep(UpdateDr);
    // Each pass programs row r, then reads it back while the data of row r + 1 goes in.
    for (int row = r0; row < r0 + kDesignRows; ++row) {
      Progress();
      Load(kProgram);
      j_.TapStep(RunTestIdle);
      j_.Delay(kProgramWait);
      Load(kVerify);
      j_.TapStep(RunTestIdle);
      j_.Delay(kShortWait);
      Steps({SelectDrScan, CaptureDr, ShiftDr});
      j_.ShiftAndCapture(RowStart(row + 1), RowEnd(row + 1));
      j_.ShiftAddressZ1(row + 1);
      passed = j_.CompareBits(RowStart(row), RowEnd(row));
      j_.TapStep(UpdateDr);
      if (!passed) break;
    }
  }
  Close(true);
  if (passed) {
    Line("Program and Verify succeeded!");
    Mark(true);
  } else {
    Line("Program and Verify failed!");
    Mark(false);
    Line("Erase device!");
    BulkErase(false);
  }
  Line("");
}

void Zepa1Device::ReadDeviceId() {
  // The old results go first, so a part that fails its identification never leaves them looking new.
  const std::string id_file = ResultFile(".id");
  const std::string sec_file = ResultFile(".sec");
  RemoveFile(id_file);
  RemoveFile(sec_file);
  IdentifyTarget(c_, pos_);
  OperationLine("Read Device IDcode... (Device #");
  Load(kResetToIdle);
  Load(kIdcode);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Steps({SelectDrScan, CaptureDr});
  const IdcodeRead read = ReadIdcode(j_);
  ReplaceFile(id_file, read.bits + "\n");
  const bool skip_comparison = c_.cable().OffLine || (c_.cable().IspOptions & kOptBif);
  if (!skip_comparison) {
    if (auto problem = IdentityProblem(rec_, pos_, read)) {
      RemoveFile(id_file);
      RemoveFile(sec_file);
      Abort(*problem);
    }
  }
  Steps({Exit1Dr, UpdateDr});
  Load(kInit);
  Load(kLeaveThroughReset);
  if (read.type_code == rec_.id) SecurityTest();
  Line("Read IDcode completed.");
  Line("");
  Mark(true);
}

bool Zepa1Device::SecurityTest() {
  Load(kResetToIdle);
  Enable();
  Load(kVerify);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftZeros(L_);
  j_.ShiftAddressZ1(kSecurityAddressRow);
  Steps({UpdateDr, RunTestIdle});
  j_.Delay(kShortWait);
  Steps({SelectDrScan, CaptureDr});
  for (int i = c_.chain().DeviceCount - c_.chain().TargetDevice; i > 0; --i) j_.TapStep(ShiftDr);
  j_.TapStep(ShiftDr);
  const int not_secured = c_.cable().ReadTdo();
  ReplaceFile(ResultFile(".sec"), not_secured ? "1\n" : "0\n");
  Steps({Exit1Dr, UpdateDr});
  Load(kLeaveThroughReset);
  return not_secured == 0;
}

void Zepa1Device::Secure() {
  IdentifyTarget(c_, pos_);
  OperationLine("Secure device... (Device #");
  Load(kResetToIdle);
  Enable();
  Load(kProgram);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftOnesButOne(L_, rec_.sec_pos);
  j_.ShiftAddressZ1(kSecurityRow);
  Steps({UpdateDr, RunTestIdle});
  j_.Delay(kProgramWait);
  Steps({SelectDrScan, CaptureDr});
  j_.ShiftTargetZeros7();
  j_.TapStep(UpdateDr);
  Load(kInit);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Load(kLeaveThroughReset);
  Line("Secure device completed.");
  Line("");
  Mark(true);
}

void Zepa1Device::ProgramSignature() {
  IdentifyTarget(c_, pos_);
  OperationLine("Program User Signature... (Device #");
  BoundaryPreload();
  Enable();
  Load(kVerify);
  bool blank = true;
  for (int side = 0; side < 2 && blank; ++side) {
    const int row = kRowsPerSide * side + kUesRow;
    AddressRow(row);
    blank = j_.ExpectOnes(RowStart(row), RowEnd(row));
    if (blank) FinishRowRead();
  }
  Load(kLeaveThroughReset);
  if (!blank) {
    Line("User space is not blank, can not overwrite UES!");
    Mark(false);
    return;
  }
  BoundaryPreload();
  Enable();
  Load(kProgram);
  for (int side = 0; side < 2; ++side) WriteRow(kRowsPerSide * side + kUesRow);
  Load(kLeaveThroughReset);
  Line("Program User Signature completed.");
  Mark(true);
}

void Zepa1Device::ReadSignature() {
  IdentifyTarget(c_, pos_);
  OperationLine("Read User Signature... (Device #");
  for (int side = 0; side < 2; ++side) {
    const int row = kRowsPerSide * side + kUesRow;
    Load(kResetToIdle);
    Enable();
    Load(kVerify);
    AddressRow(row);
    j_.ReadBitsDescending(RowStart(row), RowEnd(row));
    FinishRowRead();
    Load(kLeaveThroughReset);
  }
  ReplaceFile(ResultFile(".ues"), DecodeSignature(j_, rec_) + "\n");
  Line("Read User Signature completed.");
  Line("");
  Mark(true);
}

void Zepa1Device::Upload() {
  IdentifyTarget(c_, pos_);
  AbortIfSecured();
  if (rec_.jed.empty()) throw std::runtime_error("no upload file is named for the device");
  OperationLine("Upload... (Device #");
  // Rows that are not read (42 of each side) stay ones, as in an image.
  j_.ResetReadbackBuffer();
  Load(kResetToIdle);
  Enable();
  Load(kVerify);
  for (int side = 0; side < 2; ++side) {
    SideLine("Uploading", side);
    for (int row = kRowsPerSide * side; row <= kRowsPerSide * side + kUesRow; ++row) {
      Progress();
      AddressRow(row);
      j_.ReadBitsToBuffer(RowStart(row), RowEnd(row));
      FinishRowRead();
    }
  }
  Load(kLeaveThroughReset);
  Line("Upload device completed!");
  Line("");
  // The image layout: the type code, then the stream bits, the bits past the stream's end zero.
  std::string bytes(1, static_cast<char>(rec_.id));
  const auto& buffer = j_.ReadbackBuffer.bytes();
  const long stream_bits = 2L * kRowsPerSide * L_;
  for (long i = 0; i + 1 < rec_.bin_size && i < static_cast<long>(buffer.size()); ++i) {
    std::uint8_t byte = buffer[static_cast<std::size_t>(i)];
    const long used = stream_bits - i * 8;
    if (used < 8) byte = used <= 0 ? 0 : static_cast<std::uint8_t>(byte & (0xFF << (8 - used)));
    bytes += static_cast<char>(byte);
  }
  ReplaceFile(WithExtension(rec_.jed, "bin"), bytes);
  Mark(true);
}

void Zepa1Device::Bypass() {
  OperationLine("Bypass... (Device #");
  Line("");
  Mark(true);
}

std::string PadTo(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

VerifyReport BuildVerifyReport(const Jtag& jtag, int dr_len, const std::string& timestamp) {
  VerifyReport report;
  report.lines.push_back("File generated: " + timestamp);
  report.lines.push_back("Verify data (See last line for failure information)");
  for (int side = 0; side < 2; ++side) {
    for (int row = kRowsPerSide * side; row < kRowsPerSide * side + kDesignRows; ++row) {
      report.lines.push_back("");
      report.lines.push_back(std::string(side == 0 ? "LEFT" : "RIGHT") + " SIDE, Address " +
                             std::to_string(row));
      report.lines.push_back("Addr ShftReg bit    Prog-value     Read-value   failure bit(s)");
      report.lines.push_back("---- -----------    ----------     ----------   --------------");
      const long row_start = static_cast<long>(row) * dr_len;
      const long row_end = row_start + dr_len;  // exclusive
      for (long first = row_start; first < row_end; first += 8) {
        const long last = std::min(first + 7, row_end - 1);
        const bool last_group = last == row_end - 1;
        auto shift_number = [&](long b) { return row_end - 1 - b; };
        std::string line = PadTo("L " + std::to_string(row), 4);
        line = PadTo(line + "  " + std::to_string(shift_number(first)), 10);
        line = PadTo(line + "->" + std::to_string(shift_number(last)), 16);
        std::string programmed;
        std::string read;
        std::string failures;
        for (long b = first; b <= last; ++b) {
          const bool p = jtag.ImageBuffer.Bit(b);
          const bool r = jtag.ReadbackBuffer.Bit(b);
          programmed += p ? '1' : '0';
          read += r ? '1' : '0';
          if (p != r) {
            failures += std::to_string(shift_number(b)) + ",";
            ++report.failures;
          }
        }
        line += "    " + programmed + (last_group ? "           " : "       ") + read;
        if (!failures.empty()) line += "     *" + failures;
        report.lines.push_back(line);
      }
    }
  }
  report.lines.push_back("Total failure bit(s) = " + std::to_string(report.failures));
  return report;
}

std::string DecodeSignature(const Jtag& jtag, const JcdRec& rec) {
  constexpr int kFieldBits = 120;
  constexpr int kFieldBytes = 15;
  std::string text(static_cast<std::size_t>(30 * rec.lb), '\0');
  for (int side = 0; side < 2; ++side) {
    const long row_start = static_cast<long>(kRowsPerSide * side + kUesRow) * rec.DR_len;
    for (int k = 0; k < rec.lb; ++k) {
      const long field = rec.first_ues_bit + static_cast<long>(k) * rec.ues_offset;
      for (int t = 0; t < kFieldBits; ++t) {
        // A field reaching past its row holds nothing: those bits read as ones.
        const bool bit = field + t >= rec.DR_len || jtag.ReadbackBuffer.BitLow(row_start + field + t);
        if (!bit) continue;
        char& byte = text[static_cast<std::size_t>((side * rec.lb + k) * kFieldBytes + t / 8)];
        byte = static_cast<char>(static_cast<unsigned char>(byte) | (1u << (t % 8)));
      }
    }
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 32) return text.substr(0, i);
  }
  return text;
}

void Zepa1Operations::Run(EngineContext& context, int op, int position, const std::string& /*file*/) {
  Zepa1Device device(context, position);
  switch (op) {
    case 0:
      device.BulkErase(false);
      break;
    case 1:
      device.BlankCheck();
      break;
    case 2:
      device.Program();
      break;
    case 3:
      device.Verify();
      break;
    case 4:
      device.ProgramAndVerify();
      break;
    case 5:
      device.ReadDeviceId();
      break;
    case 6:
      device.Secure();
      break;
    case 7:
      device.ProgramSignature();
      break;
    case 8:
      device.ReadSignature();
      break;
    case 9:
      device.Upload();
      break;
    case 10:
      device.Bypass();
      break;
    case 11:
    case 12:
    case 13:
      device.SecurityTest();
      break;
    case 14:
      ScanChain(context.jtag);
      break;
    default:
      break;
  }
}

}  // namespace zepa::engine
