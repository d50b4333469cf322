#include "svf/zepa3_svf.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "codes/type_codes.h"
#include "engine/jtag.h"
#include "engine/zepa3_ops.h"
#include "engine/zepa3_protocol.h"
#include "svf/svf_block.h"
#include "util/lines.h"

namespace zepa::svf {
namespace {

using namespace engine::zepa3;

constexpr StatementLine kEnable5{IrScan{kInstructionBits, kEnable}, "!Load ENABLE instruction"};
constexpr StatementLine kErase5{IrScan{kInstructionBits, kErase}, "!Load ERASE instruction"};
constexpr StatementLine kProgram5{IrScan{kInstructionBits, kProgram}, "!Load PROGRAM instruction"};
constexpr StatementLine kVerify5{IrScan{kInstructionBits, kVerify}, "!Load VERIFY instruction"};
constexpr StatementLine kInit5{IrScan{kInstructionBits, kInit}, "!Load INIT instruction"};
constexpr StatementLine kInit5b{IrScan{kInstructionBits, kInit}, "!Load INIT instruction", 38};
constexpr StatementLine kDisable5{IrScan{kInstructionBits, kDisable}, "!Load DISABLE instruction"};
constexpr StatementLine kIdcode5{IrScan{kInstructionBits, kIdcode}, "!Load IDCODE instruction"};

constexpr FamilyStatements kStatements{.enable = kEnable5,
                                       .idcode = kIdcode5,
                                       .idcodes = kSvfIdcodes,
                                       .unknown_idcode = "IDCODE error-no such device"};

// The signature mask that closes a read-UES statement, after ") SMASK(0) ".
void WriteUesMask(SvfText& out, int id) {
  const std::string b14(14, ' ');
  switch (id) {
    case codes::kVtl3032XL:
      out.Line("");
      out.Put(b14 + " MASK (01F00000000000000FFFFFFFFFFFF);    !Verify UES data");
      break;
    case codes::kVtl3064XL:
      out.Line("");
      out.Put(b14 + " MASK (03E0000000000000000FFFFFFFFFFFF);    !Verify UES data");
      break;
    case codes::kVtl3128XL:
      out.Line("");
      out.Line(b14 + " MASK (01FFFC0000001FFFFFFC00000000000000000000000FFFFFF");
      out.Put(std::string(13, ' ') + "FFFFFFFFFFFFFFFFFF);          !Verify UES data");
      break;
    case codes::kVtl3256XL:
      out.Line("");
      out.Line(b14 + " MASK (01FFFC000000007FFFFFFFF000000000000000000000000FFFFFFFFFFF");
      out.Put("                     FFFFFFFFFFFFF);    !Verify UES data");
      break;
    case codes::kVtl3384XL:
      out.Line("");
      out.Line(b14 + " MASK (07C0000000000000001FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
      out.Put("                     FFFFFFFFFFFFFFFFFF);    !Verify UES data");
      break;
    default:
      out.Put("No such device!!!");
      break;
  }
}

// The .isp image, line by line; reading past its end gives empty lines.
class IspReader {
 public:
  explicit IspReader(const std::string& path) : in_(path) {
    if (!in_) throw std::runtime_error("cannot open the ISP image " + path);
  }
  std::string Next() {
    std::string line;
    if (!util::ReadLine(in_, line)) return "";
    return line;
  }

 private:
  std::ifstream in_;
};

class Zepa3Block final : public SvfBlock {
 public:
  Zepa3Block(SvfJob& job, SvfText& out, std::string isp_file)
      : SvfBlock(job, out, kStatements),
        R_(rec_.side_rows),
        A_(AddressWidth(rec_.id)),
        isp_file_(std::move(isp_file)) {}

 private:
  void EraseAndInit() override {
    out_.Line(kErase5);
    out_.Line(lines::kWaitErase);
    out_.Line(kInit5);
    out_.Line(lines::kWaitInit);
    out_.Line(kDisable5);
    out_.Line(lines::kWaitDisable);
  }
  void LeaveIdcode() override { Exit(kInit5); }

  void BlankCheck() override {
    Announce("Blank Check...");
    Begin("Blank Check");
    Header(true);
    Body(kVerify5);
    for (int s = 0; s < 2; ++s) {
      Message(s == 0 ? "Checking Lower side..." : "Checking Upper side...");
      out_.Line(s == 0 ? "!Check-Lower Side" : "!Check-Upper Side");
      Message("");
      for (int a = FirstRow(s, R_); a < FirstRow(s, R_) + DesignRows(R_); ++a) {
        if (a % 8 == 7) Mark();
        AddressStatement(a, true, a, true);
        out_.Line(lines::kWaitVerify);
        out_.Put("SDR " + std::to_string(L_) + " TDI(0) TDO (");
        WriteOnesTdo(out_, L_);
        out_.Line(") SMASK(0);         !Expect all ones");
      }
    }
    out_.Line(lines::kResetTAP);
    Exit(kInit5);
    End("Blank Check", 2);
    Message("SVF Blank Check completed.");
  }

  void Program(bool before_verify) override {
    Announce("Program Device...");
    out_.Line("!Begin program...");
    if (!before_verify) Header(false);
    Body(kProgram5);
    IspReader isp(isp_file_);
    for (int s = 0; s < 2; ++s) {
      Message(s == 0 ? "Programming Lower side..." : "Programming Upper side...");
      out_.Line(s == 0 ? "!Program-Lower Side" : "!Program-Upper Side");
      Message("");
      if (s == 1) isp.Next();  // the lower side's signature row
      for (int a = FirstRow(s, R_); a < FirstRow(s, R_) + DesignRows(R_); ++a) {
        if (a % 8 == 7) Mark();
        ProgramRow(isp.Next(), a, a - FirstRow(s, R_), lines::kWaitProgRow);
      }
    }
    out_.EmptyLines(1);
    Exit(kInit5b);
    End("Program", 2);
    Message("SVF Program completed!");
  }

  void Verify(bool stand_alone) override {
    if (stand_alone) Announce("Verify...");
    Begin("Verify");
    if (stand_alone) Header(true);
    Body(kVerify5);
    IspReader isp(isp_file_);
    for (int s = 0; s < 2; ++s) {
      if (s == 0) {
        Message("Verifying Lower side...");
        out_.Line("!Verifying-Lower Side");
      } else {
        Message("Verifying Upper side...");
        out_.EmptyLines(1);
        out_.Line("!Verifying-Upper Side");
      }
      Message("");
      if (s == 1) isp.Next();
      for (int a = FirstRow(s, R_); a < FirstRow(s, R_) + DesignRows(R_); ++a) {
        if (a % 8 == 7) Mark();
        const int within = a - FirstRow(s, R_);
        const std::string line = isp.Next();
        AddressStatement(a, false, within, true);
        out_.Line(lines::kWaitVerify);
        out_.Put("SDR " + std::to_string(L_) + " TDI(0) TDO (");
        WriteZ3RowHex(out_, RowValue(line, a, false), L_);
        out_.Line(") SMASK(0); !Verify data in address " + std::to_string(within));
        out_.Line(lines::kWaitVerify);
      }
    }
    out_.EmptyLines(1);
    Exit(kInit5);
    End("Program", 2);
    Message("SVF Verify completed!");
  }

  void Secure() override {
    Announce("Secure device...");
    Begin("Program Security Bit");
    Header(true);
    Body(kProgram5);
    ScanBits value(static_cast<std::size_t>(L_), true);
    value[static_cast<std::size_t>(L_ - 1)] = false;
    AppendAddress(value, SecurityRow(R_));
    out_.Put("SDR " + std::to_string(L_ + A_) + " TDI (");
    WriteZ3RowHex(out_, value, L_);
    out_.Line(");    !Load PROGRAM data and address " + std::to_string(R_));
    out_.EmptyLines(1);
    out_.Line(lines::kWaitProgSec);
    Exit(kInit5b);
    End("Program Security Bit", 2);
    Message("SVF Secure device completed!");
  }

  void ProgramUes() override {
    Announce("Program User Signature...");
    Begin("Program User Signature");
    Header(true);
    Body(kProgram5);
    IspReader isp(isp_file_);
    for (int s = 0; s < 2; ++s) {
      const std::string line = SignatureLine(isp);
      const int a = SignatureRow(s, R_);
      ProgramRow(line, a, a, lines::kWaitProgUes);
    }
    out_.EmptyLines(1);
    Exit(kInit5);
    End("Program UES", 2);
    Message("SVF Program User Signature completed!");
  }

  void ReadUes() override {
    Announce("Read User Signature...");
    Begin("Read User Signature", ").  Time:");
    Header(true);
    Body(kVerify5);
    IspReader isp(isp_file_);
    for (int s = 0; s < 2; ++s) {
      const std::string line = SignatureLine(isp);
      const int a = SignatureRow(s, R_);
      AddressStatement(a, false, SignatureRow(0, R_), false);
      out_.Line(lines::kWaitRead);
      out_.Put("SDR " + std::to_string(L_) + " TDI (0) TDO (");
      WriteZ3RowHex(out_, RowValue(line, a, false), L_);
      out_.Put(") SMASK(0) ");
      WriteUesMask(out_, rec_.id);
      out_.EndLine();
    }
    out_.EmptyLines(1);
    Exit(kInit5);
    End("Read User Signature", 2);
    Message("SVF Read User Signature completed!");
  }

  // The row of an .isp line with the address of row `row` (the comment names `shown`), then `wait`.
  void ProgramRow(const std::string& line, int row, int shown, std::string_view wait) {
    out_.Put("SDR " + std::to_string(L_ + A_) + " TDI (");
    WriteZ3RowHex(out_, RowValue(line, row, true), L_);
    out_.Line(");     !Load PROGRAM data and address " + std::to_string(shown));
    out_.Line(wait);
  }
  void Exit(std::string_view init) {
    out_.Line(lines::kEndIrIdle);
    out_.Line(init);
    out_.Line(lines::kWaitInit);
    out_.Line(kDisable5);
    out_.Line(lines::kWaitDisable);
    out_.Line(lines::kResetTap);
  }
  // The signature row of the next side: a side's rows further on.
  std::string SignatureLine(IspReader& isp) {
    std::string line;
    for (int i = 0; i < SideStride(R_); ++i) line = isp.Next();
    return line;
  }

  int Address(int row) const { return RowAddress(row, rec_.id, R_); }
  void AppendAddress(ScanBits& value, int row) const {
    const int address = Address(row);
    for (int k = 0; k < A_; ++k) value.push_back((address >> (A_ - 1 - k)) & 1);
  }
  // An address-only scan of row `row`; the comment names `shown` and, with `grey`, the address.
  void AddressStatement(int row, bool blank_check, int shown, bool grey) {
    const int address = Address(row);
    ScanBits value;
    for (int i = 0; i < A_; ++i) value.push_back((address >> (A_ - 1 - i)) & 1);
    std::string line = "SDR " + std::to_string(A_) + " TDI (" + HexDigits(value) + ") SMASK(" + OnesHex(A_) +
                       ");" + std::string(blank_check ? 15 : 10, ' ') + "!Load address " +
                       std::to_string(shown);
    if (grey) line += " (Grey code=" + std::to_string(address) + ")";
    out_.Line(line);
  }
  // The row of an .isp line, the first digit's top bit first; with the address after it.
  ScanBits RowValue(const std::string& line, int row, bool with_address) {
    const std::string bits = engine::Zepa3RowBits(line, L_);
    for (char ch : line.substr(0, static_cast<std::size_t>((L_ + 3) / 4))) {
      if (!std::isxdigit(static_cast<unsigned char>(ch))) Message("Non-valid hex number in bit stram.");
    }
    ScanBits value(static_cast<std::size_t>(L_), false);
    bool previous = false;
    bool reported = false;
    for (int p = 0; p < L_; ++p) {
      const char bit = static_cast<std::size_t>(p) < bits.size() ? bits[static_cast<std::size_t>(p)] : '?';
      if (bit == '0' || bit == '1') {
        previous = bit == '1';
      } else if (!reported) {
        Message("Error bit value found!");
        reported = true;
      }
      value[static_cast<std::size_t>(p)] = previous;
    }
    if (with_address) AppendAddress(value, row);
    return value;
  }

  int R_;
  int A_;
  std::string isp_file_;
};

}  // namespace

void WriteZ3RowHex(SvfText& out, const ScanBits& value, int length) {
  int blanks = 0;
  switch (length) {
    case 507:
    case 304:
      blanks = 21;
      break;
    case 266:
      blanks = 13;
      break;
    case 123:
    case 114:
      break;
    default:
      return;
  }
  const std::string digits = HexDigits(value);
  if (blanks == 0) {
    out.Put(digits);
    return;
  }
  out.Put(std::string_view(digits).substr(0, digits.size() - 18));
  out.EndLine();
  out.Put(std::string(static_cast<std::size_t>(blanks), ' '));
  out.Put(std::string_view(digits).substr(digits.size() - 18));
}

void Zepa3Svf(SvfJob& job, SvfText& out, int op, const std::string& isp_file) {
  Zepa3Block(job, out, isp_file).Run(op);
}

}  // namespace zepa::svf
