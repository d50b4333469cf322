#include "engine/zepa3_ops.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <sstream>

#include "chain/chain_names.h"
#include "engine/checks.h"
#include "engine/family_device.h"
#include "engine/records.h"
#include "engine/workdir.h"
#include "engine/zepa1_ops.h"
#include "engine/zepa3_protocol.h"
#include "util/files.h"
#include "util/hex.h"
#include "util/lines.h"
#include "util/path.h"
#include "util/text.h"

namespace zepa::engine {
namespace {

using namespace zepa3;

const char* const kSideNames[2] = {"Lower", "Upper"};

struct SignatureLayout {
  int id;
  int ranges[3][2];
};
constexpr SignatureLayout kSignatureLayouts[] = {
    {144, {{5, 9}, {66, 105}, {106, 113}}},  {145, {{5, 9}, {75, 114}, {115, 122}}},
    {146, {{5, 19}, {47, 73}, {170, 265}}},  {147, {{5, 19}, {55, 89}, {186, 281}}},
    {148, {{5, 19}, {66, 111}, {208, 303}}}, {149, {{15, 29}, {156, 218}, {363, 506}}},
};

// The .isp image as the operations read it: the lines of the rows, checked before the part is touched.
class IspLines {
 public:
  IspLines(const std::string& file, std::vector<std::string> lines) : file_(file), lines_(std::move(lines)) {}
  const std::string& Next() { return lines_.at(next_++); }
  void SkipLine() { ++next_; }

 private:
  std::string file_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

// One operation on one part: the row sequences of the 5-bit loader and the .isp/.rd files.
class Zepa3Device final : public FamilyDevice {
 public:
  Zepa3Device(EngineContext& context, int position)
      : FamilyDevice(context, position, kSideNames, SideStride(context.rec(position).side_rows), 8),
        R_(rec_.side_rows),
        hex_len_(static_cast<std::size_t>((L_ + 3) / 4)) {}

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

  void Load(int code) { LoadInstructionZ3(j_, code); }
  void Steps(std::initializer_list<int> states) {
    for (int s : states) j_.TapStep(s);
  }
  void Open() {
    Load(kResetToIdle);
    Load(kEnable);
  }
  void Close() {
    Load(kInit);
    j_.TapStep(RunTestIdle);
    j_.Delay(kShortWait);
    Load(kDisable);
    j_.TapStep(RunTestIdle);
    Load(kLeaveThroughReset);
  }
  void Finish() { Steps({Exit1Dr, PauseDr, Exit2Dr, UpdateDr}); }
  // After the last row read: out of Shift-DR and the part closed.
  void FinishAndClose() {
    Finish();
    j_.TapStep(RunTestIdle);
    Close();
  }
  // From Shift-DR: the row address, latched, and back to Run-Test/Idle.
  void AddressRow(int row) {
    ShiftAddressZ3(j_, row);
    Steps({PauseDr, Exit2Dr, UpdateDr});
    j_.TapStep(RunTestIdle);
  }
  // From Shift-DR with `instruction` loaded: row `row` addressed, then back to Capture-DR to read it.
  void AddressForRead(int row) {
    AddressRow(row);
    j_.Delay(kShortWait);
    Steps({SelectDrScan, CaptureDr});
  }
  // From Capture-DR: the row, first bit first, as '0'/'1'; leaves the controller in Shift-DR.
  std::string ReadRow() {
    Skip();
    std::string bits;
    bits.reserve(static_cast<std::size_t>(L_));
    for (int i = 0; i < L_; ++i) {
      j_.TapStep(ShiftDr);
      c_.cable().RequestTdo();
    }
    for (std::uint8_t b : c_.cable().TakeTdo()) bits += b ? '1' : '0';
    return bits;
  }
  void SetTdi(char bit) {
    if (bit == '0' || bit == '1') {
      c_.cable().SetPin(c_.cable().PinTDI(), bit - '0');
    } else {
      Line("Error bit value found!");  // TDI keeps its previous level
    }
  }
  // The row of an .isp line as bits; reports the digits that are not hexadecimal.
  std::string RowBits(const std::string& line) {
    std::string bits = Zepa3RowBits(line, L_);
    for (std::size_t d = 0; d < hex_len_; ++d) {
      if (util::HexDigitValue(line[d]) < 0) Line("Non-valid hex number in bit stram.");
    }
    return bits;
  }
  // In Shift-DR: the bits of the row, one Shift-DR step each.
  void ShiftRow(const std::string& line) {
    for (char bit : RowBits(line)) {
      SetTdi(bit);
      j_.TapStep(ShiftDr);
    }
  }
  bool SameRow(const std::string& expected, const std::string& read) const {
    for (std::size_t i = 0; i < hex_len_; ++i) {
      if (std::toupper(static_cast<unsigned char>(expected[i])) != read[i]) return false;
    }
    return true;
  }
  // Equal over the row's digits and the character after them, so an expected line with more is a failure.
  bool SameLine(const std::string& expected, const std::string& read) const {
    return SameRow(expected, read) && expected.size() == hex_len_;
  }
  bool CompareAsVerify(int row, const std::string& expected, const std::string& read) {
    if (SameRow(expected, read)) return true;
    Line("Verify failed on address " + std::to_string(row));
    Line("expected:" + expected);
    Line("read:    " + read);
    Line("");
    return false;
  }

  IspLines OpenIsp(const std::string& file) const;
  std::string ReadbackName() const {
    if (rec_.jed.empty()) throw std::runtime_error("no design file is named for the readback of the device");
    return util::ChangeExtension(rec_.jed, "rd");
  }
  void AbortIfZepa1TestSecured();
  // Runs fusedump on the readback and reports the chip checksum; with `jedec_checksum` also compares.
  void ReadbackChecksum(const std::string& rd_file, int flag, std::optional<std::uint16_t> jedec_checksum);
  std::optional<std::uint16_t> DesignChecksum(std::uint16_t checksum) const {
    // Only a JEDEC design has a checksum to compare with; an .isp given as the design has none.
    if (util::HasExtension(rec_.jed, ".jed")) return checksum;
    return std::nullopt;
  }

  int R_;
  std::size_t hex_len_;
};

IspLines Zepa3Device::OpenIsp(const std::string& file) const {
  const std::string text = util::ReadFileOrThrow(file);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; util::ReadLine(in, line);) lines.push_back(line);
  const std::size_t rows = static_cast<std::size_t>(2 * SideStride(R_));
  if (lines.size() < rows) {
    AbortDevice(c_.host, pos_,
                file + " holds " + std::to_string(lines.size()) + " rows; the part has " +
                    std::to_string(rows) + ". " + Tag());
  }
  for (std::size_t n = 0; n < rows; ++n) {
    const std::string& line = lines[n];
    if (line.size() > kZepa3LineLimit || line.size() < hex_len_) {
      AbortDevice(c_.host, pos_,
                  "Line " + std::to_string(n + 1) + " of " + file + " has " + std::to_string(line.size()) +
                      " characters; a row of this part needs " + std::to_string(hex_len_) + " (at most " +
                      std::to_string(kZepa3LineLimit) + "). " + Tag());
    }
  }
  lines.resize(rows);
  return IspLines(file, std::move(lines));
}

void Zepa3Device::AbortIfZepa1TestSecured() {
  // The 4-bit loader's test, unchanged: its instruction codes 9 and 12 are the same in five bits.
  Zepa1Operations().Run(c_, chain::kOpSecurityTest, pos_, "");
  const std::string result = util::ReadFileOrThrow(ResultFile(".sec"));
  if (!result.empty() && result[0] == '0') AbortSecured();
}

void Zepa3Device::ReadbackChecksum(const std::string& rd_file, int flag,
                                   std::optional<std::uint16_t> jedec_checksum) {
  // fusedump leaves "chksum.chk" in the current folder, which it shares with the engine.
  const std::string checksum_file = "chksum.chk";
  util::RemoveFile(checksum_file);
  const std::string part = util::ToLowerAscii(rec_.part);
  c_.cable().Flush();  // TCK rests low on the port while the converter runs
  const ProcessResult result =
      c_.launcher.Run(ProgramBeside(c_.program_dir, "fusedump"), {rd_file, part, std::to_string(flag)},
                      {std::string(kWorkDirVariable) + "=" + c_.work_dir});
  if (!result.started) c_.host.prompts.show(BoxIcon::kError, "Error", "Error running FUSEDUMP!");
  if (!util::FileExists(checksum_file)) Abort("No JEDEC readback file generated!");
  std::string text = util::ReadFileOrThrow(checksum_file);
  text = text.substr(0, text.find_first_of("\r\n"));
  Line("Chip checksum=" + text);
  if (!jedec_checksum) return;
  unsigned chip = 0;
  bool digits = text.size() >= 4;
  for (std::size_t i = 0; i < 4 && digits; ++i) {
    const char ch = text[i];
    const int v = (ch >= '0' && ch <= '9') ? ch - '0' : (ch >= 'A' && ch <= 'F') ? ch - 'A' + 10 : -1;
    digits = v >= 0;
    chip = chip * 16 + static_cast<unsigned>(v);
  }
  if (!digits || chip != *jedec_checksum) Line("Chip checksum verify failed against JEDEC checksum");
}

void Zepa3Device::BulkErase(bool quiet) {
  IdentifyTarget(c_, pos_);
  OperationLine("Bulk erase... (Device #");
  Open();
  Load(kErase);
  Steps({SelectDrScan, CaptureDr, Exit1Dr, PauseDr});
  j_.Delay(kShortWait);
  Steps({Exit2Dr, UpdateDr, RunTestIdle});
  j_.Delay(kEraseWait);
  Close();
  if (!quiet) {
    Mark(true);
    Line("Erase completed!");
  }
}

void Zepa3Device::BlankCheck() {
  IdentifyTarget(c_, pos_);
  OperationLine("Blank Check... (Device #");
  Open();
  Load(kVerify);
  const bool blank = EachRow("Checking", DesignRows(R_), [&](int row) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    AddressForRead(row);
    const bool ones = j_.ExpectOnes(0, L_ - 1);
    // Also after a 0, so the controller leaves Shift-DR before the next instruction.
    Finish();
    return ones;
  });
  j_.TapStep(RunTestIdle);
  Close();
  Line(blank ? "Blank Check succeeded!" : "Blank Check failed!");
  Line("");
  Mark(blank);
}

void Zepa3Device::Program(const std::string& file) {
  CheckJedec(c_, pos_, rec_.jed);
  IspLines isp = OpenIsp(file);
  BulkErase(true);
  OperationLine("Program... (Device #");
  Open();
  Load(kProgram);
  EachRow("Programming", DesignRows(R_), [&](int row) {
    if (row == FirstRow(1)) isp.SkipLine();  // the lower side's signature row
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    ShiftRow(isp.Next());
    AddressRow(row);
    j_.Delay(kProgramWait);
    return true;
  });
  Close();
  Completed("Program completed!");
}

void Zepa3Device::Verify(const std::string& file) {
  const std::uint16_t checksum = CheckJedec(c_, pos_, rec_.jed);
  IdentifyTarget(c_, pos_);
  AbortIfZepa1TestSecured();
  const std::string rd_file = ReadbackName();
  IspLines isp = OpenIsp(file);
  std::string rd;
  OperationLine("Verify... (Device #");
  Open();
  Load(kVerify);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  bool passed = true;
  EachRow("Verifying", SideStride(R_), [&](int row) {
    const std::string expected = isp.Next();
    AddressForRead(row);
    const std::string read = Zepa3RowText(ReadRow());
    rd += read + "\n";
    const bool signature_row = (row + 1) % SideStride(R_) == 0;  // the last row of a side
    if (!signature_row && !CompareAsVerify(row, expected, read)) passed = false;
    return true;
  });
  FinishAndClose();
  util::ReplaceFile(rd_file, rd);
  Line(passed ? "Verify succeeded!" : "Verify failed!");
  Mark(passed);
  ReadbackChecksum(rd_file, 1, DesignChecksum(checksum));
  Line("");
}

void Zepa3Device::ProgramAndVerify(const std::string& file) {
  const std::uint16_t checksum = CheckJedec(c_, pos_, rec_.jed);
  IdentifyTarget(c_, pos_);
  const std::string rd_file = ReadbackName();
  IspLines isp = OpenIsp(file);
  std::string rd;
  IdentifyTarget(c_, pos_);
  BulkErase(true);
  OperationLine("Program and Verify... (Device #");
  bool passed = true;
  for (int side = 0; side < 2 && passed; ++side) {
    SideLine("Prog/Verifying", side);
    Open();
    const int j0 = FirstRow(side);
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    std::string expected = isp.Next();
    ShiftRow(expected);
    ShiftAddressZ3(j_, j0);
    j_.TapStep(UpdateDr);
    // Each pass programs row j, then reads it back while the data of row j + 1 goes in.
    for (int j = j0; j <= j0 + R_ && passed; ++j) {
      Progress(j);
      Advance(side, j - j0, R_ + 1);
      Load(kProgram);
      j_.TapStep(RunTestIdle);
      j_.Delay(kProgramWait);
      j_.Delay(kShortWait);
      Steps({SelectDrScan, CaptureDr, ShiftDr});
      std::string read;
      if (j < j0 + R_) {
        const std::string next = isp.Next();
        const std::string next_bits = RowBits(next);
        Skip();
        std::string bits;
        for (char bit : next_bits) {
          // TDI takes the next bit before TDO is sampled: one port write for both.
          SetTdi(bit);
          c_.cable().RequestTdo();
          j_.TapStep(ShiftDr);
        }
        for (std::uint8_t b : c_.cable().TakeTdo()) bits += b ? '1' : '0';
        read = Zepa3RowText(bits);
        rd += read + "\n";
        ShiftAddressZ3(j_, j + 1);
        Steps({PauseDr, Exit2Dr, UpdateDr});
        Load(kVerify);
        j_.TapStep(RunTestIdle);
        j_.Delay(kShortWait);
        j_.Delay(kShortWait);
        passed = SameLine(expected, read);
        if (passed) expected = next;
      } else {
        Skip();
        std::string bits;
        for (int i = 0; i < L_; ++i) {
          c_.cable().RequestTdo();
          j_.TapStep(ShiftDr);
        }
        for (std::uint8_t b : c_.cable().TakeTdo()) bits += b ? '1' : '0';
        read = Zepa3RowText(bits);
        rd += read + "\n";
        CompareAsVerify(j, expected, read);
        Finish();
        Load(kVerify);
        j_.TapStep(RunTestIdle);
        j_.Delay(kShortWait);
        j_.Delay(kShortWait);
        passed = SameLine(expected, read);
      }
      if (!passed) {
        Line(expected);
        Line(read);
      }
    }
    if (passed) rd += isp.Next() + "\n";  // the signature row goes to the readback unchanged
  }
  Load(kInit);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Load(kDisable);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Load(kLeaveThroughReset);
  util::ReplaceFile(rd_file, rd);
  if (passed) {
    Line("Program and Verify succeeded!");
    Mark(true);
    ReadbackChecksum(rd_file, 1, DesignChecksum(checksum));
  } else {
    // A failed part has a partial readback with no checksum to give; it is erased straight away.
    Line("Program and Verify failed!");
    Mark(false);
    BulkErase(false);
  }
  Line("");
}

bool Zepa3Device::SecurityTest() {
  Open();
  Load(kVerify);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftZeros(L_);
  ShiftAddressZ3(j_, kSecurityAddressRow);
  Steps({PauseDr, Exit2Dr, UpdateDr, RunTestIdle});
  j_.Delay(kShortWait);
  Steps({SelectDrScan, CaptureDr});
  const int not_secured = RecordSecurityBit();
  Finish();
  Close();
  return not_secured == 0;
}

void Zepa3Device::ReadDeviceId() {
  // The old results go first, so a part that fails its identification never leaves them looking new.
  const std::string id_file = ResultFile(".id");
  const std::string sec_file = ResultFile(".sec");
  IdentifyTarget(c_, pos_);
  util::RemoveFile(id_file);
  util::RemoveFile(sec_file);
  OperationLine("Read Device IDcode... (Device #");
  Open();
  Load(kIdcode);
  j_.TapStep(RunTestIdle);
  j_.Delay(kShortWait);
  Steps({SelectDrScan, CaptureDr});
  const IdcodeRead read = RecordIdcode(id_file, sec_file);
  Finish();
  Close();
  if (read.type_code == rec_.id) {
    IdentifyTarget(c_, pos_);
    SecurityTest();
  }
  Completed("Read IDcode completed.");
}

void Zepa3Device::Secure() {
  IdentifyTarget(c_, pos_);
  OperationLine("Secure device... (Device #");
  Open();
  Load(kProgram);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  j_.ShiftOnesButLast();
  ShiftAddressZ3(j_, SecurityRow(R_));
  j_.TapStep(PauseDr);
  j_.Delay(kShortWait);
  Steps({Exit2Dr, UpdateDr, RunTestIdle});
  j_.Delay(kProgramWait);
  Close();
  Completed("Secure device completed.");
}

void Zepa3Device::ProgramSignature(const std::string& file) {
  IdentifyTarget(c_, pos_);
  AbortIfZepa1TestSecured();
  IspLines isp = OpenIsp(file);
  Open();
  Load(kVerify);
  bool blank = true;
  for (int side = 0; side < 2 && blank; ++side) {
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    AddressForRead(SignatureRow(side, R_));
    blank = j_.ExpectOnes(0, L_ - 1);
    Finish();
  }
  j_.TapStep(RunTestIdle);
  Close();
  if (!blank) {
    Line("User space is not blank, can not overwrite UES!");
    Mark(false);
    return;
  }
  OperationLine("Program User Signature... (Device #");
  Open();
  Load(kProgram);
  for (int side = 0; side < 2; ++side) {
    for (int n = 0; n < DesignRows(R_); ++n) isp.SkipLine();
    const int row = SignatureRow(side, R_);
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    ShiftRow(isp.Next());
    AddressRow(row);
    j_.Delay(kProgramWait);
  }
  Close();
  Line("Program User Signature completed.");
  Mark(true);
}

void Zepa3Device::ReadSignature() {
  IdentifyTarget(c_, pos_);
  OperationLine("Read User Signature... (Device #");
  std::string rows[2];
  for (int side = 0; side < 2; ++side) {
    Open();
    Load(kVerify);
    Steps({SelectDrScan, CaptureDr, ShiftDr});
    AddressRow(SignatureRow(side, R_));
    Steps({SelectDrScan, CaptureDr});
    rows[side] = ReadRow();
  }
  FinishAndClose();
  util::ReplaceFile(ResultFile(".ues"), Zepa3SignatureBytes(rec_.id, rows[0], rows[1]) + "\n");
  Completed("Read User Signature completed.");
}

void Zepa3Device::Upload() {
  IdentifyTarget(c_, pos_);
  AbortIfZepa1TestSecured();
  const std::string rd_file = ReadbackName();
  std::string rd;
  OperationLine("Upload... (Device #");
  Open();
  Load(kVerify);
  Steps({SelectDrScan, CaptureDr, ShiftDr});
  EachRow("Uploading", SideStride(R_), [&](int row) {
    AddressForRead(row);
    rd += Zepa3RowText(ReadRow()) + "\n";
    return true;
  });
  FinishAndClose();
  util::ReplaceFile(rd_file, rd);
  Line("Upload completed!");
  ReadbackChecksum(rd_file, 0, std::nullopt);
  Line("");
}

}  // namespace

std::string Zepa3RowBits(std::string_view line, int bits) {
  std::string out;
  out.reserve(static_cast<std::size_t>(bits) + 3);
  for (std::size_t d = 0; d < line.size() && static_cast<int>(out.size()) < bits; ++d) {
    const int v = util::HexDigitValue(line[d]);
    for (int b = 3; b >= 0; --b) out += v < 0 ? '?' : ((v >> b) & 1) ? '1' : '0';
  }
  if (static_cast<int>(out.size()) > bits) out.resize(static_cast<std::size_t>(bits));
  return out;
}

std::string Zepa3RowText(std::string_view bits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    int v = 0;
    for (std::size_t b = 0; b < 4; ++b) v = v * 2 + (i + b < bits.size() && bits[i + b] == '1' ? 1 : 0);
    text += kDigits[v];
  }
  return text;
}

std::vector<int> Zepa3SignaturePositions(int type_code) {
  std::vector<int> positions;
  for (const SignatureLayout& layout : kSignatureLayouts) {
    if (layout.id != type_code) continue;
    for (const auto& range : layout.ranges) {
      for (int p = range[0]; p <= range[1]; ++p) positions.push_back(p);
    }
  }
  return positions;
}

std::string Zepa3SignatureBytes(int type_code, std::string_view lower_row, std::string_view upper_row) {
  std::string bits;
  for (std::string_view row : {lower_row, upper_row}) {
    const int length = static_cast<int>(row.size());
    // Position p is the bit read (length - 1 - p)th.
    for (int p : Zepa3SignaturePositions(type_code)) {
      const int index = length - 1 - p;
      bits += index >= 0 && index < length && row[static_cast<std::size_t>(index)] == '1' ? '1' : '0';
    }
  }
  std::string bytes;
  for (std::size_t i = 0; i + 8 <= bits.size(); i += 8) {
    unsigned v = 0;
    for (std::size_t b = 0; b < 8; ++b) v = v * 2 + (bits[i + b] == '1' ? 1u : 0u);
    bytes += static_cast<char>(v);
  }
  return bytes;
}

void Zepa3Operations::Run(EngineContext& context, int op, int position, const std::string& file) {
  Zepa3Device(context, position).Run(op, file);
}

}  // namespace zepa::engine
