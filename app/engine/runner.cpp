#include "engine/runner.h"

#include <array>
#include <chrono>
#include <ctime>
#include <stdexcept>

#include "engine/chain_scan.h"
#include "engine/checks.h"
#include "engine/records.h"
#include "engine/workdir.h"
#include "engine/zepa1_ops.h"
#include "engine/zepa2_ops.h"
#include "engine/zepa3_ops.h"
#include "util/files.h"
#include "util/local_time.h"
#include "util/path.h"

namespace zepa::engine {

std::string EngineContext::WorkFile(const std::string& name) const {
  return util::JoinPath(work_dir, name);
}

namespace {

Zepa1Operations kZepa1Operations;  // no state of its own
Zepa3Operations kZepa3Operations;
Zepa2Operations kZepa2Operations;  // Program and Verify; every other operation says it does not apply

// A part of no family (type 0, "Others") takes the ZEPA1 sequences, of which it is only ever given the
// bypass.
bool TakesZepa1Sequences(int type_code) {
  return !codes::IsZepa2Type(type_code) && !codes::IsZepa3Type(type_code);
}

FamilyOperations& OperationsFor(int type_code) {
  if (codes::IsZepa2Type(type_code)) return kZepa2Operations;
  if (codes::IsZepa3Type(type_code)) return kZepa3Operations;
  return kZepa1Operations;
}

std::string LocalTimestamp() {
  const std::tm local = util::LocalTimeNow();
  char text[64];
  std::strftime(text, sizeof text, "%X %x", &local);
  return text;
}

}  // namespace

// The chain grid's result column as the engine keeps it: the chain table's `result`, the run's failure
// flag, and whatever the programmer shows for a mark.
class IspEngine::Marks final : public ResultMarks {
 public:
  Marks(IspEngine& engine, ResultMarks& outer) : engine_(engine), outer_(outer) {}
  void MarkResult(int position, bool passed) override {
    // A device fails when any step of its operation failed: the pass mark of a later step (the erase that
    // follows a failed verify) never turns a failure of this run back into a pass.
    const bool valid = chain::ChainTable::valid_position(position);
    if (valid && failed_[static_cast<std::size_t>(position)]) passed = false;
    if (valid && !passed) failed_[static_cast<std::size_t>(position)] = true;
    if (table_ != nullptr && valid)
      (*table_)[position].result = passed ? chain::kResultPass : chain::kResultFail;
    if (!passed) engine_.RunFailed = true;
    outer_.MarkResult(position, passed);
  }
  // Starts a run's marks (or ends them, with no table).
  void set_table(chain::ChainTable* table) {
    table_ = table;
    failed_.fill(false);
  }

 private:
  IspEngine& engine_;
  ResultMarks& outer_;
  chain::ChainTable* table_ = nullptr;
  std::array<bool, chain::ChainTable::MaxDevices + 1> failed_{};  // by position, in the current run
};

IspEngine::IspEngine(port::PortIo& port, Clock& clock, const EngineHost& host, ProcessLauncher& launcher,
                     EnginePaths paths)
    : marks_(std::make_unique<Marks>(*this, host.marks)),
      host_{host.messages, host.prompts, *marks_},
      paths_(std::move(paths)),
      launcher_(launcher),
      cable_(port, host_),
      jtag_(cable_, chain_, clock, host.messages),
      timestamp_(LocalTimestamp) {}

IspEngine::~IspEngine() = default;

void IspEngine::set_timestamp(std::function<std::string()> timestamp) {
  timestamp_ = std::move(timestamp);
}

EngineContext IspEngine::MakeContext(const IspRequest& request) {
  return EngineContext{.jtag = jtag_,
                       .host = host_,
                       .launcher = launcher_,
                       .program_dir = paths_.program_dir,
                       .work_dir = paths_.work_dir,
                       .options = request.options,
                       .ActiveIoVerify = request.active_io_verify,
                       .timestamp = timestamp_};
}

void IspEngine::RunChain(const IspRequest& request, chain::ChainTable& table) {
  struct TableScope {
    Marks& marks;
    ~TableScope() { marks.set_table(nullptr); }
  } scope{*marks_};
  marks_->set_table(&table);

  cable_.IspOptions = request.options;
  cable_.OffLine = (request.options & kOptOffLine) != 0;
  cable_.tck_delay_ns = request.tck_delay_ns;
  EngineContext context = MakeContext(request);
  MessageSink& messages = host_.messages;

  // Without a port driver the box has been shown and the run goes on: the port then reads FFh and drops
  // writes, which SVF output, needing no cable, never notices; a hardware run fails its identification.
  cable_.SelectPort(request.port_index);
  jtag_.recorder.Reset();
  PortStep([this] { cable_.InitCableLines(); });

  if (request.jcd_file.find(kScanFileName) != std::string::npos) {
    util::ReplaceFile(context.WorkFile(kScanFileName),
                      "TOTAL_DEVICE 1\nDEVICE 1           VTL5128C           4         SC\n");
    chain_.DeviceCount = 1;
    chain_.TargetDevice = 1;
    PortStep([this] {
      ScanChain(jtag_);  // whatever family position 1 had before: a scan always scans
      cable_.Flush();
    });
    table.DeviceCount = chain_.DeviceCount;
    return;
  }

  if (!util::FileExists(request.jcd_file)) {
    host_.prompts.show(BoxIcon::kError, "Error", "File: " + request.jcd_file + " not found!");
    return;
  }
  // The output files go beside the user's chain file, never beside a temporary copy of it, which the next
  // run would overwrite.
  const std::string& named_after =
      request.output_chain_file.empty() ? request.jcd_file : request.output_chain_file;
  svf_file_ = util::ChangeExtension(named_after, "svf");
  LoadChainRecords(chain_, table, host_);
  messages.add_message("---------------Begin operation---------------");

  const bool bif = (request.options & kOptBif) != 0;
  const std::string bif_file = util::ChangeExtension(named_after, "bif");
  if (bif) {
    jtag_.recorder.Open(bif_file);
    cable_.WriteDataDirect(0xFD);
  }
  RunDevices(request, table, context);
  PortStep([this] { cable_.Flush(); });  // the last clock ends with TCK low on the port
  if (bif) {
    jtag_.recorder.Close();
    messages.add_message("BIF file: " + bif_file);
  }
  if ((request.options & kOptSvf) != 0 && util::FileExists(svf_file_))
    messages.add_message("SVF file: " + svf_file_);

  messages.add_message("----------------End operation----------------");
  messages.add_message("");
  util::RemoveFile(context.WorkFile(kScanFileName));
}

bool IspEngine::PortStep(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const EPyk&) {
    throw;
  } catch (const std::exception& e) {
    host_.messages.add_message(e.what());
    host_.marks.MarkResult(0, false);
    return false;
  }
}

void IspEngine::RunDevices(const IspRequest& request, chain::ChainTable& table, EngineContext& context) {
  std::string file;  // carried over to a device that needs none, whose operation ignores it
  for (int d = 1; d <= chain_.DeviceCount; ++d) {
    if (StopRequested()) {
      const std::string first = "device #" + std::to_string(d);
      host_.messages.add_message(
          "Stopped by the user: " + first +
          (d == chain_.DeviceCount ? "" : " to #" + std::to_string(chain_.DeviceCount)) + " not started.");
      break;
    }
    chain_.TargetDevice = d;
    const int op = table[d].cmnd;
    try {
      JcdRec& rec = chain_.Rec(d);
      if (util::HasExtension(rec.jed, ".bin") || util::HasExtension(rec.jed, ".isp")) {
        file = rec.jed;
        if (op == chain::kOpProgramUes && !rec.ues.empty()) {
          rec.jed.clear();
          file = RunFusebuild(context, d, op, request.options, request.jcd_file);
        }
      } else if (NeedsConversion(rec, request.options)) {
        file = RunFusebuild(context, d, op, request.options, request.jcd_file);
      }
      CheckImageFile(context, d, op, file);
      Dispatch(context, d, op, file);
    } catch (const EPyk&) {
      // The abort has written its lines and marked the device; on with the next one.
    } catch (const std::exception& e) {
      // A file that cannot be read or written, or any other failure inside the device's work: reported
      // like an abort, so the device never passes silently.
      try {
        AbortDevice(host_, d, e.what());
      } catch (const EPyk&) {
      }
    }
  }
}

void IspEngine::Dispatch(EngineContext& context, int position, int op, const std::string& file) {
  const int type = chain_.Rec(position).id;
  if (chain::IsProgramOrVerify(op) && TakesZepa1Sequences(type)) jtag_.LoadImageFile(file);
  if ((context.options & kOptSvf) && chain::IsGridOperation(op)) {
    if (svf_ == nullptr)
      AbortDevice(host_, position,
                  "SVF output is not available in this build. (Device #" + std::to_string(position) + ")");
    svf_->Generate(context, op, position, file, svf_file_);
    return;
  }
  if (op == chain::kOpScan) {
    ScanChain(jtag_);
    return;
  }
  if (op == chain::kOpProgramUes && TakesZepa1Sequences(type)) jtag_.LoadImageFile(file);
  OperationsFor(type).Run(context, op, position, file);
}

}  // namespace zepa::engine
