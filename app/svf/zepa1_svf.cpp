#include "svf/zepa1_svf.h"

#include "codes/type_codes.h"
#include "engine/zepa1_protocol.h"
#include "svf/svf_block.h"

namespace zepa::svf {
namespace {

using namespace engine::zepa1;

constexpr StatementLine kEnable4{IrScan{kInstructionBits, kEnable}, "!Load ENABLE instruction"};
constexpr StatementLine kErase4{IrScan{kInstructionBits, kErase}, "!Load ERASE instruction"};
constexpr StatementLine kProgram4{IrScan{kInstructionBits, kProgram}, "!Load PROGRAM instruction"};
constexpr StatementLine kVerify4{IrScan{kInstructionBits, kVerify}, "!Load VERIFY instruction"};
constexpr StatementLine kInit4{IrScan{kInstructionBits, kInit}, "!Load INIT instruction"};
constexpr StatementLine kIdcode4{IrScan{kInstructionBits, kIdcode}, "!Load IDCODE instruction"};
constexpr StatementLine kPreload4{IrScan{kInstructionBits, kPreload}, "!Load PRELOAD instruction"};

// The signature rows of the two sides.
constexpr int kUesRows[2] = {kUesRow, kRowsPerSide + kUesRow};

// Address statement tails: blank check, verify left side, verify right side and read UES.
constexpr std::string_view kTailBlank = ") SMASK(7F);               !Load address ";
constexpr std::string_view kTailLeft = ") SMASK(7F);             !Load address ";
constexpr std::string_view kTailRight = ") SMASK(7F);            !Load address ";

constexpr FamilyStatements kStatements{
    .enable = kEnable4, .idcode = kIdcode4, .idcodes = kSvfIdcodes, .unknown_idcode = "IDCODE error"};

// The signature mask lines that close a read-UES statement; each follows 14 blanks.
void WriteUesMask(SvfText& out, int id) {
  std::vector<std::string_view> mask;
  switch (id) {
    case codes::kZepa1_32:
      mask = {" MASK (0000000000000000000000000000000000FFFFFFFFFF",
              "FFFFFFFFFFFFFFFFFFFF); !Verify UES data in address 41"};
      break;
    case codes::kZepa1_64:
      mask = {" MASK (0000000000000000000000000000000000FFFFFFFFFFFFFF",
              "FFFFFFFFFFFFFFFF0000000000000000000000000000000000FFFFFFFFFF",
              "FFFFFFFFFFFFFFFFFFFF); !Verify UES data in address 41"};
      break;
    case codes::kZepa1_128:
    case codes::kZepa1_128C:
    case codes::kZepa1_128A:
      mask = {"  MASK (00000000000000000000000000000000007FFFFFFFFFFFFFFFFFFFFFF",
              "FFFFFFF80000000000000000000000000000000003FFFFFFFFFFFFFFFFFF",
              "FFFFFFFFFFFC0000000000000000000000000000000001FFFFFFFFFFFFFF",
              "FFFFFFFFFFFFFFFE0000000000000000000000000000000000FFFFFFFFFF",
              "FFFFFFFFFFFFFFFFFFFF);  !Verify UES data in address 41"};
      break;
    default:
      out.Put("No such device!!!");
      return;
  }
  for (std::string_view line : mask) {
    out.EndLine();
    out.Put("              ");
    out.Put(line);
  }
}

std::string Hex2(int value) {
  const char* digits = "0123456789ABCDEF";
  return {digits[(value >> 4) & 15], digits[value & 15]};
}

// The 7-bit address reversed: bit 0 of the scan, shifted first, is address bit 6.
int AddressScanValue(int row) {
  const int address = RowAddress(row);
  int value = 0;
  for (int i = 0; i < kAddressBits; ++i) value |= ((address >> (kAddressBits - 1 - i)) & 1) << i;
  return value;
}

void AddressStatement(SvfText& out, int row, std::string_view tail, bool grey) {
  std::string line = "SDR 7 TDI (" + Hex2(AddressScanValue(row)) + std::string(tail) + std::to_string(row);
  if (grey) line += " (Grey code=" + std::to_string(RowAddress(row)) + ")";
  out.Line(line);
}

class Zepa1Block final : public SvfBlock {
 public:
  Zepa1Block(SvfJob& job, SvfText& out) : SvfBlock(job, out, kStatements) {}

 private:
  // VTLx128 and VTL5128C get their boundary-scan register loaded with zeros first.
  void Preload() override {
    if (rec_.id != codes::kZepa1_128 && rec_.id != codes::kZepa1_128C) return;
    out_.Line("!Tristate CR128 BSC (Device #" + n_ + ")");
    out_.Line(lines::kEndIrIdle);
    out_.Line(lines::kEndDrIdle);
    out_.Line(lines::kResetTap);
    out_.Line(kPreload4);
    const std::string bits = std::to_string(kBoundaryLength);
    std::string scan = "SDR " + bits + " TDI (0);";
    scan.resize(37, ' ');
    out_.Line(scan + "!Shift in " + bits + " BSC bits");
  }
  void EraseAndInit() override {
    out_.Line(kErase4);
    out_.Line(lines::kWaitErase);
    out_.Line(kInit4);
    out_.Line(lines::kWaitInit);
  }
  void LeaveIdcode() override { out_.Line(lines::kResetTap); }

  void BlankCheck() override {
    Announce("Blank Check...");
    Begin("Blank Check");
    Header(true);
    Body(kVerify4);
    for (int side = 0; side < 2; ++side) {
      if (side == 0) {
        Message("Checking Left side...");
        out_.Line("!Blank Check-Left Side.");
      } else {
        Message("Checking Right side...");
        out_.EmptyLines(1);
        out_.Line("!Blank Check-Right Side.");
      }
      for (int r = kRowsPerSide * side; r < kRowsPerSide * side + kDesignRows; ++r) {
        Mark();
        AddressStatement(out_, r, kTailBlank, true);
        out_.Line(lines::kWaitVerify);
        out_.Put("SDR " + std::to_string(L_) + " TDI(0) TDO (");
        WriteOnesTdo(out_, L_);
        out_.Line(") SMASK(0);         !Expect all ones");
      }
    }
    out_.Line(lines::kResetTAP39);
    End("Blank Check", 2);
    Message("SVF Blank Check completed.");
  }

  void Program(bool before_verify) override {
    Announce(before_verify ? "Program and Verify..." : "Program Device...");
    Header(false);
    Body(kProgram4);
    for (int side = 0; side < 2; ++side) {
      Message(side == 0 ? "Programing Left side... " : "Programing Right side...");
      out_.EmptyLines(1);
      out_.Line(side == 0 ? "!Program-Left Side." : "!Program-Right Side.");
      for (int r = kRowsPerSide * side; r < kRowsPerSide * side + kDesignRows; ++r) {
        Mark();
        ProgramRow(r, lines::kWaitProgRow);
      }
    }
    out_.EmptyLines(1);
    InitAndReset();
    End("Program", before_verify ? 1 : 2);
    if (!before_verify) Message("SVF Program completed!");
  }

  void Verify(bool stand_alone) override {
    if (stand_alone) Announce("Verify...");
    Begin("Verify");
    Header(stand_alone);
    Body(kVerify4);
    for (int side = 0; side < 2; ++side) {
      Message(side == 0 ? "Verifying Left side... " : "Verifying Right side...");
      out_.EmptyLines(1);
      out_.Line(side == 0 ? "!Verify-Left Side." : "!Verify-Right Side.");
      for (int r = kRowsPerSide * side; r < kRowsPerSide * side + kDesignRows; ++r) {
        Mark();
        AddressStatement(out_, r, side == 0 ? kTailLeft : kTailRight, true);
        out_.Line(side == 0 ? lines::kWaitVerify : lines::kWaitVerify37);
        out_.Put("SDR " + std::to_string(L_) + (side == 0 ? " TDI(0) TDO (" : " TDI (0) TDO ("));
        WriteZ1RowHex(out_, Zepa1RowValue(image(), r, L_, false), L_);
        out_.Line(") SMASK(0); !Verify data in address " + std::to_string(r));
      }
    }
    out_.EmptyLines(1);
    out_.Line(lines::kResetTap);
    End("Verify", 2);
    Message(stand_alone ? "SVF Verify completed!" : "SVF Program and Verify completed!");
  }

  void Secure() override {
    Announce("Secure device...");
    Begin("Program Security Bit");
    Header(true);
    Preload();
    Body(kProgram4);
    out_.Put("SDR " + std::to_string(L_ + kAddressBits) + " TDI (");
    WriteZ1RowHex(out_, Zepa1SecurityValue(L_, rec_.sec_pos), L_);
    out_.Line("); !Load PROGRAM data and address " + std::to_string(kSecurityRow));
    out_.EmptyLines(1);
    out_.Line(lines::kWaitProgSec);
    InitAndReset();
    End("Program Security Bit", 2);
    Message("SVF Secure device completed!");
  }

  void ProgramUes() override {
    Announce("Program User Signature...");
    Begin("Program User Signature");
    Header(true);
    Preload();
    Body(kProgram4);
    for (int r : kUesRows) ProgramRow(r, lines::kWaitProgUes);
    out_.EmptyLines(1);
    out_.Line(lines::kResetTap);
    End("Program UES", 2);
    Message("SVF Program User Signature completed!");
  }

  void ReadUes() override {
    Announce("Read User Signature...");
    Begin("Read User Signature", ").  Time:");
    Header(true);
    Body(kVerify4);
    for (int r : kUesRows) {
      AddressStatement(out_, r, kTailRight, false);
      out_.Line(lines::kWaitRead);
      out_.Put("SDR " + std::to_string(L_) + " TDI (0) TDO (");
      WriteZ1RowHex(out_, Zepa1RowValue(image(), r, L_, false), L_);
      out_.Put(") SMASK(0) ");
      WriteUesMask(out_, rec_.id);
      out_.EndLine();
    }
    out_.EmptyLines(1);
    out_.Line(lines::kResetTap);
    End("Read User Signature", 2);
    Message("SVF Read User Signature completed!");
  }

  const engine::BitBuffer& image() { return job_.context.jtag.ImageBuffer; }
  // Row `r` of the image with its address, then `wait`.
  void ProgramRow(int r, std::string_view wait) {
    out_.Put("SDR " + std::to_string(L_ + kAddressBits) + " TDI (");
    WriteZ1RowHex(out_, Zepa1RowValue(image(), r, L_, true), L_);
    out_.Line(");     !Load PROGRAM data and address " + std::to_string(r));
    out_.Line(wait);
  }
  // ENDIR IDLE, INIT and its wait, reset.
  void InitAndReset() {
    out_.Line(lines::kEndIrIdle);
    out_.Line(kInit4);
    out_.Line(lines::kWaitInit);
    out_.Line(lines::kResetTap);
  }
};

// The address of `row` in bits `length` .. `length` + 6 of a scan value, bit 6 first.
void AppendAddress(ScanBits& bits, int length, int row) {
  const int address = RowAddress(row);
  for (int k = 0; k < kAddressBits; ++k)
    bits[static_cast<std::size_t>(length + k)] = (address >> (kAddressBits - 1 - k)) & 1;
}

}  // namespace

ScanBits Zepa1RowValue(const engine::BitBuffer& image, int row, int length, bool with_address) {
  ScanBits bits(static_cast<std::size_t>(length + (with_address ? kAddressBits : 0)));
  const long base = static_cast<long>(row) * length;
  for (int p = 0; p < length; ++p) bits[static_cast<std::size_t>(p)] = image.Bit(base + p);
  if (with_address) AppendAddress(bits, length, row);
  return bits;
}

ScanBits Zepa1SecurityValue(int length, int sec_pos) {
  ScanBits bits(static_cast<std::size_t>(length + kAddressBits), true);
  const int cleared = length - 1 - sec_pos;
  if (cleared >= 0 && cleared < length) bits[static_cast<std::size_t>(cleared)] = false;
  AppendAddress(bits, length, kSecurityRow);
  return bits;
}

void WriteZ1RowHex(SvfText& out, const ScanBits& value, int length) {
  if (length != 255 && length != 512 && length != 1028) return;
  const std::string digits = HexDigits(value);
  // Count lines from the least significant end: 20 digits last, 60 on each line before.
  std::size_t first = digits.size() >= 20 ? (digits.size() - 20) % 60 : digits.size();
  out.Put(std::string_view(digits).substr(0, first));
  for (std::size_t at = first; at < digits.size();) {
    const std::size_t take = digits.size() - at > 20 ? 60 : digits.size() - at;
    out.EndLine();
    out.Put("              ");
    out.Put(std::string_view(digits).substr(at, take));
    at += take;
  }
}

void Zepa1Svf(SvfJob& job, SvfText& out, int op) {
  Zepa1Block(job, out).Run(op);
}

}  // namespace zepa::svf
