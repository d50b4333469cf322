// What the ZEPA1 and ZEPA3 SVF blocks share: the device's job and text, the message lines, the opening and
// closing comments, the header over the other devices, the common opening statements, and the dispatch of
// an operation code to the family's blocks.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/idcode_fields.h"
#include "svf/svf_output.h"
#include "svf/svf_writer.h"

namespace zepa::svf {

// What the IDCODE scan expects of a part: each family's protocol header lists its parts.
using engine::IdcodeExpectation;

// The statements that tell the families' blocks apart where their layout is the same.
struct FamilyStatements {
  std::string_view enable;                     // loads ENABLE
  std::string_view idcode;                     // loads IDCODE
  std::span<const IdcodeExpectation> idcodes;  // the parts whose IDCODE the scan checks
  std::string_view unknown_idcode;             // the scan's comment for any other part, which checks nothing
};

// "SDR 32 TDI (0) TDO (<tdo>) MASK(<mask>) SMASK(0); !<name> IDCODE" for the part of type code `id`, or the
// scan that checks nothing, with the family's comment for unknown parts.
std::string IdcodeScan(const FamilyStatements& statements, int id);

class SvfBlock {
 public:
  virtual ~SvfBlock() = default;

  // Writes operation `op` (Bulk Erase .. Read User Signature); the others write nothing. Program, verify and
  // program and verify check the design's JEDEC file first; program and program and verify start with the
  // erase block.
  void Run(int op);

 protected:
  SvfBlock(SvfJob& job, SvfText& out, const FamilyStatements& statements)
      : job_(job), out_(out), rec_(job.rec()), L_(rec_.DR_len), n_(job.Dev()), statements_(statements) {}

  // The erase block; `time_prefix` ends the device number in its opening comment.
  void BulkErase(const char* time_prefix, bool stand_alone);
  void ReadIdcode();

  // What a part needs before its array is touched (the boundary preload of some ZEPA1 parts).
  virtual void Preload() {}
  // The statements of the erase block after the opening, up to the reset.
  virtual void EraseAndInit() = 0;
  // What closes the IDCODE block after the scan.
  virtual void LeaveIdcode() = 0;
  virtual void BlankCheck() = 0;
  // The program block after the erase block; `before_verify` when the verify block follows it.
  virtual void Program(bool before_verify) = 0;
  // The verify block; a stand-alone verify announces itself and may write TRST.
  virtual void Verify(bool stand_alone) = 0;
  virtual void Secure() = 0;
  virtual void ProgramUes() = 0;
  virtual void ReadUes() = 0;

  void Message(const std::string& text) { job_.messages().add_message(text); }
  void Mark() { job_.messages().append_to_last_message(" *"); }
  // "SVF <what> (Device #n)" in the message window.
  void Announce(std::string_view what) { Message("SVF " + std::string(what) + " (Device #" + n_ + ")"); }
  // "!Begin <title> (Device #n)" and the time of day after `time_prefix`.
  void Begin(std::string_view title, std::string_view time_prefix = ").   Time:") {
    out_.Line("!Begin " + std::string(title) + " (Device #" + n_ + std::string(time_prefix) + job_.time);
  }
  // "!End <title>" and `empty_lines` empty lines.
  void End(std::string_view title, int empty_lines) {
    out_.Line("!End " + std::string(title));
    out_.EmptyLines(empty_lines);
  }
  void Header(bool allow_trst) { WriteSvfHeader(out_, job_.context.chain(), job_.device, allow_trst); }
  // ENDIR/ENDDR IDLE, reset and ENABLE.
  void Opening() {
    out_.Line(lines::kEndIrIdle);
    out_.Line(lines::kEndDrIdle);
    out_.Line(lines::kResetTap);
    out_.Line(statements_.enable);
  }
  // The opening, then `instruction` with the IR scans ending in IRPAUSE.
  void Body(std::string_view instruction) {
    Opening();
    out_.Line(lines::kEndIrPause);
    out_.Line(instruction);
  }

  SvfJob& job_;
  SvfText& out_;
  const engine::JcdRec& rec_;
  int L_;
  std::string n_;

 private:
  FamilyStatements statements_;
};

}  // namespace zepa::svf
