// What the ZEPA1 and ZEPA3 operations share on one part: the position and its record, the message lines
// and result marks, the per-device result files, the walk over the rows of both sides, the IDCODE and
// security-bit reads, and the dispatch of an operation code to the part's sequence.
#pragma once

#include <initializer_list>
#include <string>

#include "engine/checks.h"
#include "engine/context.h"

namespace zepa::engine {

class FamilyDevice {
 public:
  virtual ~FamilyDevice() = default;

  // A chain::Operation code; codes the part has no sequence for do nothing. `file` is the image the runner
  // chose for the operations that write or compare rows.
  void Run(int op, const std::string& file);

 protected:
  // `side_names` name the two sides in the side lines; side s starts at row s * `side_stride`; a progress
  // mark goes to every row r with r mod `progress_period` = `progress_period` - 1.
  FamilyDevice(EngineContext& context, int position, const char* const (&side_names)[2], int side_stride,
               int progress_period)
      : c_(context),
        j_(context.jtag),
        pos_(position),
        rec_(context.rec(position)),
        L_(rec_.DR_len),
        side_names_(side_names),
        side_stride_(side_stride),
        progress_period_(progress_period) {}

  virtual void BulkErase(bool quiet) = 0;
  virtual void BlankCheck() = 0;
  virtual void Program(const std::string& file) = 0;
  virtual void Verify(const std::string& file) = 0;
  virtual void ProgramAndVerify(const std::string& file) = 0;
  virtual void ReadDeviceId() = 0;
  virtual void Secure() = 0;
  virtual void ProgramSignature(const std::string& file) = 0;
  virtual void ReadSignature() = 0;
  virtual void Upload() = 0;
  // The part's security test alone; true when the part is secured. Writes "dev__N.sec".
  virtual bool SecurityTest() = 0;
  void Bypass();

  void Line(const std::string& text) { c_.messages().add_message(text); }
  void OperationLine(const std::string& text) { Line(text + std::to_string(pos_) + ")"); }
  void SideLine(const char* verb, int side) {
    Line(std::string(verb) + " " + side_names_[side] + " side...");
    Line("");
  }
  void Progress(int row) {
    if (row % progress_period_ == progress_period_ - 1) c_.messages().append_to_last_message(" *");
  }
  // Row `index` (from 0) of `per_side` rows of `side` is about to be worked on: both sides make the whole.
  void Advance(int side, int index, int per_side) {
    c_.messages().progress(static_cast<long>(side) * per_side + index, 2L * per_side);
  }
  void Mark(bool passed) { c_.host.marks.MarkResult(pos_, passed); }
  // The closing line of an operation that passed, an empty line and the "pass" mark.
  void Completed(const std::string& text) {
    Line(text);
    Line("");
    Mark(true);
  }
  [[noreturn]] void Abort(const std::string& message) { AbortDevice(c_.host, pos_, message); }
  [[noreturn]] void AbortSecured() { Abort("Device is secured. " + Tag()); }
  std::string Tag() const { return "(Device #" + std::to_string(pos_) + ")"; }
  std::string ResultFile(const char* extension) const {
    return c_.WorkFile("dev__" + std::to_string(pos_) + extension);
  }
  int FirstRow(int side) const { return side * side_stride_; }

  void Steps(std::initializer_list<int> states) {
    for (int s : states) j_.TapStep(s);
  }
  // From Capture-DR: past the devices behind the target, so the next Shift-DR step shows the target's bit.
  void Skip() {
    for (int i = c_.chain().DeviceCount - c_.chain().TargetDevice; i > 0; --i) j_.TapStep(ShiftDr);
  }

  // Rows FirstRow(side) .. FirstRow(side) + rows - 1 of both sides, each side announced with `verb` and each
  // row marked for progress before `step` runs on it. Stops at the first row whose step gives false and
  // returns false then.
  template <class RowStep>
  bool EachRow(const char* verb, int rows, RowStep step) {
    for (int side = 0; side < 2; ++side) {
      SideLine(verb, side);
      for (int row = FirstRow(side); row < FirstRow(side) + rows; ++row) {
        Progress(row);
        Advance(side, row - FirstRow(side), rows);
        if (!step(row)) return false;
      }
    }
    return true;
  }

  // From Capture-DR of the IDCODE register: the code, into `id_file`. Unless the run is off-line or records
  // pin vectors, a code that is not the part's removes `id_file` and `sec_file` and aborts.
  IdcodeRead RecordIdcode(const std::string& id_file, const std::string& sec_file);
  // From Capture-DR of the security scan: the target's security bit (1 not secured) into "dev__N.sec".
  int RecordSecurityBit();

  EngineContext& c_;
  Jtag& j_;
  int pos_;
  JcdRec& rec_;
  int L_;

 private:
  const char* const* side_names_;
  int side_stride_;
  int progress_period_;
};

}  // namespace zepa::engine
