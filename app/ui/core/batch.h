// Batch runs: an ordered list of up to 20 chain files, run one after the other. A batch file (".jbf") holds
// one chain file path per line and nothing else.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chain/prompts.h"

namespace zepa::ui {

inline constexpr int kBatchRows = 20;

// The columns of the batch grid and their headers.
inline constexpr int kBatchColSequence = 0;
inline constexpr int kBatchColJcd = 1;
inline constexpr int kBatchColResult = 2;
inline constexpr std::array<std::string_view, 3> kBatchHeaders = {"Sequences", "JCD file name", "Result"};

// Step results as the batch table shows them.
inline constexpr std::string_view kStepRunning = "running";
inline constexpr std::string_view kStepPass = "pass";
inline constexpr std::string_view kStepFail = "fail";
inline constexpr std::string_view kStepSkip = "skip";

struct BatchStep {
  std::string jcd;     // chain file path; empty for an unused row
  std::string result;  // one of the texts above, or blank
};

class BatchTable {
 public:
  BatchTable();

  // Row i, 1..kBatchRows; throws std::out_of_range for any other i.
  BatchStep& row(int i);
  const BatchStep& row(int i) const;

  // Empties the file and result of every row.
  void clear();

  std::string path;  // the batch file last loaded or saved
  // Lines 21 on of the last loaded file: kept, but never run or saved.
  std::vector<std::string> hidden_lines;

 private:
  std::array<BatchStep, kBatchRows> rows_;
};

// Loads a batch file: line k into row k (an empty line leaves its row empty), lines past the 20th into
// hidden_lines, path := `path`. False (table untouched) when the file cannot be read.
bool load_batch(BatchTable& table, const std::string& path);

// The editor's "Load batch file...": load_batch, or the error "<path>\rfile not found!" when the file is
// missing and "<path>\r<the system's reason>" when it cannot be read (the table is then left as it was).
bool open_batch(BatchTable& table, const std::string& path, chain::Prompts& prompts);

// Writes the non-empty rows, one per line (so gaps close up on the next load), replacing the file through a
// temporary one; path := `path`. Throws std::runtime_error naming the file when it cannot be written.
void save_batch(BatchTable& table, const std::string& path);

// The editor's choice of a chain file for row i: an existing file that lacks the batch marker is refused with
// the error "Not a valid Corvane' JCD file" and the row is left as it was; otherwise the row takes the path.
// True when the row took it (the caller then loads the file into the chain table).
bool choose_batch_jcd(BatchTable& table, int i, const std::string& jcd_path, chain::Prompts& prompts);

// What a mouse gesture on a cell of the batch grid does. Rows are 1..kBatchRows (0: the header or no row).
enum class BatchGesture {
  kRelease,      // a left-button release after a single click
  kDoubleClick,  // a left-button release that completes a double-click
  kRightPress,   // a right-button press
};
enum class BatchCellAction {
  kNone,
  kViewChain,    // load the row's chain file into the chain table, so the user sees the step's chain
  kChooseChain,  // choose a chain file for the row
  kDeleteMenu,   // open the "&Delete" menu for the row
};
BatchCellAction batch_cell_action(const BatchTable& table, int row, int column, BatchGesture gesture);

// "&Delete": empties row i's chain file.
void delete_batch_jcd(BatchTable& table, int i);

// The current batch file as the editor shows it: lower-cased. The table keeps the name with its case, which
// is what loading needs on a file system that tells case apart.
std::string batch_file_caption(const BatchTable& table);

// Row i's chain file as a path to open: a relative name is taken from the batch file's folder (from the
// current folder when the table has no file).
std::string batch_step_path(const BatchTable& table, int i);

// What a batch run needs from the rest of the programmer.
class BatchHost {
 public:
  virtual ~BatchHost() = default;

  // Whether the step's chain file exists; by default looked up in the file system.
  virtual bool file_exists(const std::string& path);
  // Clears the run's failure flags (a failed run, a failed load or a changed device count).
  virtual void clear_failures() = 0;
  // Makes the file the current chain file and loads it into the chain table with every result cleared
  // (load_batch_jcd and clear_results); false when the load failed.
  virtual bool load_step(const std::string& jcd_path) = 0;
  // Runs the loaded chain; true when neither the run nor the cable check's device count failed it.
  virtual bool run_step() = 0;
  // Shows a row's new result at once.
  virtual void show_result(int row, std::string_view result) = 0;
  // Appends the step's result ("pass" / "fail") as a line of the run log.
  virtual void log_result(std::string_view result) = 0;
};

struct BatchSummary {
  int passed = 0;
  int skipped = 0;
  int failed_row = 0;  // the row whose failure stopped the batch; 0 when none failed
};

// Runs rows 1..20 in order. A row naming an existing file shows "running", is loaded and run, and shows
// "pass" (logged, the batch goes on) or "fail" (logged, the batch stops, later rows stay blank). A row naming
// a missing file shows "skip"; empty rows are passed over. A step whose chain file could not be loaded fails
// without running anything. The failure flags are cleared before and after.
BatchSummary run_batch(BatchTable& table, BatchHost& host);

// A batch named on the programmer's command line (its arguments, without the program name): the first
// argument, when it names an existing file and contains ".jbf" (case-sensitive). The programmer closes after
// the run when it was the only argument.
struct StartupBatch {
  std::string path;
  bool close_after_run = false;
};
std::optional<StartupBatch> startup_batch(const std::vector<std::string>& args);

}  // namespace zepa::ui
