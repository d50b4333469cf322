// The main window's commands without the window: the run of a chain (pre-run check, temporary chain file
// and the "JCD file has changed" question, cable check, "Executing " line, the engine run, reading the
// result files back), the cable check with its fall-back over the three cables, the chain scan, and the
// batch run over the same path. The GUI and the command-line programmer both drive these; what either
// shows of a run goes through RunView, Prompts and the message sink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "engine/cable.h"
#include "engine/host.h"
#include "engine/messages.h"
#include "engine/runner.h"
#include "ui/core/batch.h"

namespace zepa::ui {

// The files a run keeps in the working folder.
inline constexpr const char* kTempJcdName = "tempjcd.tmp";
inline constexpr const char* kRunLogName = "zepaisp.log";

// "dev__" + n + extension (".id", ".sec", ".ues"): the result files of position n.
std::string result_file_name(int n, std::string_view extension);

// What the windows around a run show. Every call has a default that shows nothing, so a front end
// overrides only what it has.
class RunView {
 public:
  virtual ~RunView() = default;

  // The chain drawing and the configuration grids are redrawn from the chain table.
  virtual void refresh_views() {}
  // The "Check connection" menu item while a cable check runs.
  virtual void enable_check_connection(bool /*enabled*/) {}
  // The configuration window's "Operation Failed!" label.
  virtual void show_operation_failed(bool /*shown*/) {}
  // The result cell of a position (the engine's pass/fail mark; position 0: no device, only the label).
  virtual void mark_result(int /*position*/, bool /*passed*/) {}
  // A signature read back into row n of the UES grid, and the grid's page brought to the front.
  virtual void show_ues(int /*n*/, std::string_view /*ues*/) {}
  virtual void show_ues_page() {}
  // The device ID dialog, after IDCODEs or security states were read back.
  virtual void show_device_id() {}
  // A batch row's new result.
  virtual void show_batch_result(int /*row*/, std::string_view /*result*/) {}
};

// The engine's host: the programmer's own Prompts for its boxes and beep, and the RunView for its result
// marks (a failed mark also shows "Operation Failed!").
class EngineHostAdapter final : public engine::ResultMarks {
 public:
  EngineHostAdapter(chain::Prompts& prompts, RunView& view) : prompts_(prompts), view_(view) {}

  void MarkResult(int position, bool passed) override;

  engine::EngineHost host(engine::MessageSink& messages) { return {messages, prompts_, *this}; }

 private:
  chain::Prompts& prompts_;
  RunView& view_;
};

// The port setup dialog: the port list index, the ticked cable and the device-count box.
struct PortSetup {
  int port_index = engine::kAutoPortSelection;
  engine::CableKind cable = engine::CableKind::RelayCable;
  int device_count_box = 0;
};

// The run settings the dialogs and menus set, in one place: every run hands them to the engine with its
// request.
struct RunSettings {
  PortSetup port;
  // Whether the cable check tries the three cables in turn (the menu's behaviour) or only the port setup's.
  bool cable_fallback = true;
  int IspOptions = 0;  // engine::IspOption bits
  bool OffLine = false;
  bool ActiveIoVerify = false;
  // Whether a run whose chain table differs from the file it came from asks "JCD file has changed, do you
  // wish to save?" and, on Yes, writes the table over that file. A front end that edits the table (the
  // desktop programmer) asks; one that never edits it (the command line) has nothing to save: its run goes
  // from the temporary copy and the user's file is left as written.
  bool offer_chain_save = true;
  std::int64_t tck_delay_ns = 0;  // each half TCK period lasts at least this long (0: the port's pace)
};

// How a run ended.
enum class RunOutcome {
  kRan,          // the engine ran every device (look at the results and RunFailed)
  kCheckFailed,  // the pre-run check refused the chain; nothing ran
  kNoCable,      // no cable answered and no SVF output was asked for; nothing ran
  kAborted,      // the engine stopped before its device loop (no port found, an illegal design file name)
};

class Programmer {
 public:
  // `work_dir` is the working folder (engine/workdir.h): the temporary chain file, the run log, the
  // result files and the chain scan's file live there. The table, engine, sinks and view must outlive this.
  Programmer(chain::ChainTable& table, engine::IspEngine& engine, engine::MessageSink& messages,
             chain::Prompts& prompts, RunView& view, std::string work_dir);

  RunSettings settings;
  bool StartupPending = true;  // until the start-up work has run
  bool LoadFailed = false;     // a batch step's chain file did not load, or the device count changed
  std::string LastFile;        // the last file chosen
  std::string LastDir;         // its folder

  // "<time> <date>" of the "Executing " line; the local time in the locale's formats by default.
  std::function<std::string()> timestamp;

  chain::ChainTable& table() { return table_; }
  engine::IspEngine& engine() { return engine_; }
  const std::string& work_dir() const { return work_dir_; }
  std::string work_file(std::string_view name) const;
  std::string log_path() const { return work_file(kRunLogName); }
  bool RunFailed() const { return engine_.RunFailed; }

  // LastFile := path, LastDir := its folder, and the current folder moves there (relative design file
  // names in a chain file are read from the chain file's folder). Warns when the folder cannot be entered.
  void set_last_file(const std::string& path);

  // The menu's "Load JCD file...": set_last_file, then the chain file is checked and read (open_jcd).
  bool load_jcd_file(const std::string& path);

  // The batch editor's look at a step: the chain file is loaded with the batch loader's checks and boxes
  // ("<path>\rfile not found!", "Not a valid Corvane' JCD file") and becomes the current chain file, its
  // folder the current one (as "Load JCD file..." does); every result is cleared and the views redrawn.
  // False when the file is missing or refused (the table keeps its chain file then).
  bool load_batch_chain(const std::string& path);

  // The port setup's OK: the ticked cable's pin map and the device count of the box. False, with the
  // warning "Max 60 devices allowed!", when the box holds more than the table can.
  bool apply_port_setup();

  // One chain detection run of the engine; the count lands in the table and the port setup's box.
  int scan_chain();

  // "Check connection": scans with the relay cable, then the Corvane and ByteBlaster cables while none
  // answers; with none at all the Corvane cable stays chosen. A changed device count resets the table
  // (and outside start-up warns and sets LoadFailed). With `keep_chain_without_cable`, a check where no
  // cable answered leaves the device count and the chain as they were (a run that needs no cable).
  void check_connection(bool keep_chain_without_cable = false);

  // The first work after start: delay calibration, cable check, failure flags cleared.
  void startup();

  // The Execute path. The engine's abort from before its device loop is caught here (kAborted); any other
  // exception of the engine propagates.
  RunOutcome run_chain();

  // Runs the rows of a batch table through run_chain; every step's result goes to the view and to the run
  // log. A step that ran nothing (refused by the check, no cable) fails like a step whose device failed.
  BatchSummary run_batch(BatchTable& batch);

  // A batch file named on the command line: loaded into `batch` and run. False, with the error
  // "<path>\rfile not found!" when it is missing or "<path>\r<the system's reason>" when it cannot be read.
  bool run_batch_file(BatchTable& batch, const std::string& path);

 private:
  class BatchSteps;

  engine::IspRequest request(const std::string& jcd_file) const;
  void save_changed_jcd();
  void clear_read_back();
  void read_back();

  chain::ChainTable& table_;
  engine::IspEngine& engine_;
  engine::MessageSink& messages_;
  chain::Prompts& prompts_;
  RunView& view_;
  std::string work_dir_;
  std::string user_chain_file_;  // the chain file the table last came from (never the temporary copy)
};

// "<time> <date>" of the local time, in the locale's long time and short date formats.
std::string local_timestamp();

// True when two chain files differ in a line they both have, compared without regard to case (a file that
// is only shorter or longer does not differ). A file that cannot be read differs.
bool jcd_files_differ(const std::string& a, const std::string& b);

}  // namespace zepa::ui
