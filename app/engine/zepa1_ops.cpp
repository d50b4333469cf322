#include "engine/zepa1_ops.h"

#include "engine/checks.h"
#include "engine/family_device.h"
#include "engine/records.h"
#include "engine/workdir.h"
#include "engine/zepa1_protocol.h"
#include "util/files.h"
#include "util/path.h"

namespace zepa::engine {
namespace {

using namespace zepa1;

const char* const kSideNames[2] = {"Left", "Right"};

// One operation on one part: the row sequences of the 4-bit loader.
class Zepa1Device final : public FamilyDevice {
 public:
  Zepa1Device(EngineContext& context, int position)
      : FamilyDevice(context, position, kSideNames, kRowsPerSide, 1) {}

 private:
  void BulkErase(bool quiet) override;
  void BlankCheck() override;
  void Program(const std::string& file) override;
  void Verify(const std::string& file) override;
  void ProgramAndVerify(const std::string& file) override;
  void ReadDeviceId() override;
  void Secure() override;
  void ProgramSignature(const std::string& file) override;
  void ReadSignature() override;
  void Upload() override;
  bool SecurityTest() override;

  long RowStart(int row) const { return static_cast<long>(row) * L_; }
  long RowEnd(int row) const { return RowStart(row + 1) - 1; }

  void Load(int code) { LoadInstructionZ1(j_, code); }
  void Enable() { Load(c_.ActiveIoVerify ? kEnableActiveIo : kEnable); }
  // From Run-Test/Idle after reset: the part enabled and `instruction` loaded.
  void Open(int instruction) {
    Load(kResetToIdle);
    Enable();
    Load(instruction);
  }
  void AddressRow(int row) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    ShiftAddressZ1(j_, row);
    Steps({UpdateDr, RunTestIdle});
    j_.Delay(kShortWait);
    Steps({SelectDrScan, CaptureDr});
  }
  void FinishRowRead() { Steps({Exit1Dr, UpdateDr}); }
  // With VERIFY loaded: row `row` into the readback buffer.
  void ReadRow(int row) {
    AddressRow(row);
    j_.ReadBitsToBuffer(RowStart(row), RowEnd(row));
    FinishRowRead();
  }
  void WriteRow(int row) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftImageBits(RowStart(row), RowEnd(row));
    ShiftAddressZ1(j_, row);
    Steps({UpdateDr, RunTestIdle});
    j_.Delay(kProgramWait);
  }
  // VTLx128 and VTL5128C get their boundary register cleared before the array is touched.
  void BoundaryPreload() {
    Load(kResetToIdle);
    if (rec_.id != codes::kZepa1_128 && rec_.id != codes::kZepa1_128C) return;
    Load(kPreload);
    Steps({RunTestIdle, SelectDrScan, CaptureDr, ShiftDr});
    j_.ShiftBitString(std::string(kBoundaryLength, '0'), 0, kBoundaryLength);
    j_.TapStep(UpdateDr);
  }
  // INIT after a wait, then out through Test-Logic-Reset.
  void InitAndLeave() {
    Load(kInit);
    j_.TapStep(RunTestIdle);
    j_.Delay(kShortWait);
    Load(kLeaveThroughReset);
  }
  // From Run-Test/Idle or Update-DR: zeros through the chain (entering Shift-DR first where asked), INIT,
  // out.
  void Close(bool enter_shift) {
    Steps({SelectDrScan, CaptureDr});
    if (enter_shift) j_.TapStep(ShiftDr);
    j_.ShiftTargetZeros7();
    j_.TapStep(UpdateDr);
    InitAndLeave();
  }
  void AbortIfSecured() {
    if (SecurityTest()) AbortSecured();
  }
  bool VerifyCompare();
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
  Open(kVerify);
  const bool blank = EachRow("Checking", kDesignRows, [&](int row) {
    AddressRow(row);
    if (!j_.ExpectOnes(RowStart(row), RowEnd(row))) return false;
    FinishRowRead();
    return true;
  });
  Load(kLeaveThroughReset);
  Line(blank ? "Blank Check succeeded!" : "Blank Check failed!");
  Line("");
  Mark(blank);
}

void Zepa1Device::Program(const std::string& /*file*/) {
  CheckJedec(c_, pos_, rec_.jed);
  IdentifyTarget(c_, pos_);
  BulkErase(true);
  OperationLine("Program... (Device #");
  Open(kProgram);
  EachRow("Programming", kDesignRows, [&](int row) {
    WriteRow(row);
    return true;
  });
  Close(false);
  Completed("Program completed!");
}

void Zepa1Device::Verify(const std::string& /*file*/) {
  CheckJedec(c_, pos_, rec_.jed);
  IdentifyTarget(c_, pos_);
  AbortIfSecured();
  OperationLine("Verify... (Device #");
  Open(kVerify);
  EachRow("Verifying", kDesignRows, [&](int row) {
    ReadRow(row);
    return true;
  });
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
  util::ReplaceFile(util::ChangeExtension(rec_.jed, "vrf"), text);
  if (report.failures > 0) Line(report.lines.back());
  return report.failures == 0;
}

void Zepa1Device::ProgramAndVerify(const std::string& /*file*/) {
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
    ShiftAddressZ1(j_, r0);
    j_.TapStep(UpdateDr);
    // Each pass programs row r, then reads it back while the data of row r + 1 goes in.
    for (int row = r0; row < r0 + kDesignRows; ++row) {
      Progress(row);
      Advance(side, row - r0, kDesignRows);
      Load(kProgram);
      j_.TapStep(RunTestIdle);
      j_.Delay(kProgramWait);
      Load(kVerify);
      j_.TapStep(RunTestIdle);
      j_.Delay(kShortWait);
      Steps({SelectDrScan, CaptureDr, ShiftDr});
      j_.ShiftAndCapture(RowStart(row + 1), RowEnd(row + 1));
      ShiftAddressZ1(j_, row + 1);
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
  util::RemoveFile(id_file);
  util::RemoveFile(sec_file);
  IdentifyTarget(c_, pos_);
  OperationLine("Read Device IDcode... (Device #");
  Load(kResetToIdle);
  Load(kIdcode);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Steps({SelectDrScan, CaptureDr});
  const IdcodeRead read = RecordIdcode(id_file, sec_file);
  Steps({Exit1Dr, UpdateDr});
  Load(kInit);
  Load(kLeaveThroughReset);
  if (read.type_code == rec_.id) SecurityTest();
  Completed("Read IDcode completed.");
}

bool Zepa1Device::SecurityTest() {
  Open(kVerify);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftZeros(L_);
  ShiftAddressZ1(j_, kSecurityAddressRow);
  Steps({UpdateDr, RunTestIdle});
  j_.Delay(kShortWait);
  Steps({SelectDrScan, CaptureDr});
  const int not_secured = RecordSecurityBit();
  Steps({Exit1Dr, UpdateDr});
  Load(kLeaveThroughReset);
  return not_secured == 0;
}

void Zepa1Device::Secure() {
  IdentifyTarget(c_, pos_);
  OperationLine("Secure device... (Device #");
  Open(kProgram);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftOnesButOne(L_, rec_.sec_pos);
  ShiftAddressZ1(j_, kSecurityRow);
  Steps({UpdateDr, RunTestIdle});
  j_.Delay(kProgramWait);
  Close(false);
  Completed("Secure device completed.");
}

void Zepa1Device::ProgramSignature(const std::string& /*file*/) {
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
    const int row = FirstRow(side) + kUesRow;
    Open(kVerify);
    AddressRow(row);
    j_.ReadBitsDescending(RowStart(row), RowEnd(row));
    FinishRowRead();
    Load(kLeaveThroughReset);
  }
  util::ReplaceFile(ResultFile(".ues"), DecodeSignature(j_, rec_) + "\n");
  Completed("Read User Signature completed.");
}

void Zepa1Device::Upload() {
  IdentifyTarget(c_, pos_);
  AbortIfSecured();
  if (rec_.jed.empty()) throw std::runtime_error("no upload file is named for the device");
  OperationLine("Upload... (Device #");
  // Rows that are not read (42 of each side) stay ones, as in an image.
  j_.ResetReadbackBuffer();
  Open(kVerify);
  EachRow("Uploading", kUesRow + 1, [&](int row) {
    ReadRow(row);
    return true;
  });
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
  util::ReplaceFile(util::ChangeExtension(rec_.jed, "bin"), bytes);
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

void Zepa1Operations::Run(EngineContext& context, int op, int position, const std::string& file) {
  Zepa1Device(context, position).Run(op, file);
}

}  // namespace zepa::engine
