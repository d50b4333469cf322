#include "ui/core/run_path.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <utility>

#include "chain/jcd_file.h"
#include "chain/text_file.h"
#include "engine/context.h"
#include "engine/workdir.h"
#include "ui/core/idcode.h"
#include "ui/core/validate_chain.h"
#include "util/files.h"
#include "util/lines.h"
#include "util/local_time.h"
#include "util/path.h"
#include "util/text.h"

namespace zepa::ui {
namespace {

namespace fs = std::filesystem;

constexpr engine::CableKind kFallbackOrder[] = {engine::CableKind::RelayCable,
                                                engine::CableKind::CorvaneParallelCable,
                                                engine::CableKind::AlteraByteBlaster};

void remove_file(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

// The first line of a file, or nothing when the file is missing or unreadable.
std::optional<std::string> first_line(const std::string& path) {
  if (!util::FileExists(path)) return std::nullopt;
  auto lines = util::ReadLines(path);
  if (!lines) return std::nullopt;
  return lines->empty() ? std::string() : lines->front();
}

// The folder part of a path, either separator accepted; empty when it has none.
std::string folder_of(const std::string& path) {
  std::string folder = util::FolderOf(path);
  if (folder.size() > 1) folder.pop_back();  // a folder at the root keeps its "/"
  return folder;
}

}  // namespace

std::string result_file_name(int n, std::string_view extension) {
  return "dev__" + std::to_string(n) + std::string(extension);
}

std::string local_timestamp() {
  const std::tm local = util::LocalTimeNow();
  char time_text[64] = {};
  char date_text[64] = {};
  std::strftime(time_text, sizeof time_text, "%X", &local);
  std::strftime(date_text, sizeof date_text, "%x", &local);
  return std::string(time_text) + " " + date_text;
}

bool jcd_files_differ(const std::string& a, const std::string& b) {
  const auto lines_a = util::ReadLines(a);
  const auto lines_b = util::ReadLines(b);
  if (!lines_a || !lines_b) return true;
  const std::size_t common = std::min(lines_a->size(), lines_b->size());
  for (std::size_t i = 0; i < common; ++i) {
    if (!util::EqualsIgnoreCase((*lines_a)[i], (*lines_b)[i])) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------------------
// EngineHostAdapter

void EngineHostAdapter::MarkResult(int position, bool passed) {
  if (!passed) view_.show_operation_failed(true);
  view_.mark_result(position, passed);
}

// ---------------------------------------------------------------------------------------------------------
// Programmer

Programmer::Programmer(chain::ChainTable& table, engine::IspEngine& engine, engine::MessageSink& messages,
                       chain::Prompts& prompts, RunView& view, std::string work_dir)
    : timestamp(local_timestamp),
      table_(table),
      engine_(engine),
      messages_(messages),
      prompts_(prompts),
      view_(view),
      work_dir_(std::move(work_dir)) {}

std::string Programmer::work_file(std::string_view name) const {
  return util::JoinPath(work_dir_, std::string(name));
}

void Programmer::set_last_file(const std::string& path) {
  LastFile = path;
  LastDir = folder_of(path);
  if (LastDir.empty()) return;  // a bare name lives in the current folder already
  std::error_code ec;
  fs::current_path(LastDir, ec);
  if (ec) prompts_.warning("Cannot find previous directory settings,\rprogram will use default!");
}

bool Programmer::load_jcd_file(const std::string& name) {
  // Absolute, since set_last_file moves the current folder.
  std::error_code ec;
  const fs::path absolute = fs::absolute(name, ec);
  const std::string path = ec ? name : absolute.string();
  if (util::FileExists(path)) set_last_file(path);
  const bool loaded = chain::open_jcd(table_, path, prompts_);
  view_.refresh_views();
  return loaded;
}

bool Programmer::load_batch_chain(const std::string& name) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(name, ec);
  const std::string path = ec ? name : absolute.string();
  if (util::FileExists(path)) set_last_file(path);
  const bool loaded = chain::load_batch_jcd(table_, path, prompts_);
  if (loaded) table_.JcdPath = path;
  chain::clear_results(table_);
  view_.refresh_views();
  return loaded;
}

bool Programmer::apply_port_setup() {
  engine_.cable().ApplyCable(settings.port.cable);
  if (settings.port.device_count_box > chain::ChainTable::MaxDevices) {
    prompts_.warning("Max " + std::to_string(chain::ChainTable::MaxDevices) + " devices allowed!");
    return false;
  }
  table_.DeviceCount = std::max(0, settings.port.device_count_box);
  view_.refresh_views();
  return true;
}

engine::IspRequest Programmer::request(const std::string& jcd_file) const {
  return {.jcd_file = jcd_file,
          .port_index = settings.port.port_index,
          .options = settings.OffLine ? settings.IspOptions | engine::kOptOffLine : settings.IspOptions,
          .active_io_verify = settings.ActiveIoVerify,
          .tck_delay_ns = settings.tck_delay_ns};
}

int Programmer::scan_chain() {
  // A run that never reaches the scan (no port driver) finds no cable either.
  engine_.cable().CableFound = false;
  engine_.cable().CableMissing = true;
  try {
    engine_.RunChain(request(work_file(engine::kScanFileName)), table_);
  } catch (const engine::EPyk&) {
    // No port to scan on: the engine has said so, and there is no cable.
  }
  settings.port.device_count_box = table_.DeviceCount;
  view_.refresh_views();
  return table_.DeviceCount;
}

void Programmer::check_connection(bool keep_chain_without_cable) {
  view_.enable_check_connection(false);
  const int before = table_.DeviceCount;
  messages_.add_message("Checking ISP download cable/Board connection...");
  engine::Cable& cable = engine_.cable();

  if (settings.cable_fallback) {
    for (engine::CableKind kind : kFallbackOrder) {
      settings.port.cable = kind;
      apply_port_setup();
      scan_chain();
      if (!cable.CableMissing) break;
    }
    if (cable.CableMissing) {
      settings.port.cable = engine::CableKind::CorvaneParallelCable;
      apply_port_setup();
      messages_.add_message("*** Warning: Set Corvane Parallel cable as default!");
    }
  } else {
    apply_port_setup();
    scan_chain();
  }

  if (keep_chain_without_cable && cable.CableMissing) {
    // Nothing answered, so nothing says the chain changed: an SVF run writes the chain the user gave.
    table_.DeviceCount = before;
    settings.port.device_count_box = before;
  }
  const int after = table_.DeviceCount;
  if (after != before) {
    if (!StartupPending) {
      prompts_.warning(
          "The number of device is inconsistent with previous detect,\rall devices info will be cleared!");
      LoadFailed = true;
    }
    chain::reset_chain_table(table_, std::max(before, after));
  }
  view_.refresh_views();
  view_.enable_check_connection(true);
}

void Programmer::startup() {
  engine_.jtag().CalibrateDelay();
  check_connection();
  StartupPending = false;
  engine_.RunFailed = false;
}

void Programmer::save_changed_jcd() {
  const std::string old_path = table_.JcdPath;
  const std::string temp_path = work_file(kTempJcdName);
  chain::write_jcd(table_, temp_path);
  if (old_path.empty() || old_path == temp_path) return;
  if (!jcd_files_differ(old_path, temp_path)) {
    table_.JcdPath = old_path;
    return;
  }
  if (!settings.offer_chain_save) return;  // the run goes from the temporary copy
  if (!prompts_.confirm("JCD file has changed, do you wish to save?", chain::Prompts::Answers::kYesNo))
    return;
  try {
    chain::write_jcd(table_, old_path);
  } catch (const std::runtime_error& e) {
    // The run goes on from the temporary file, which holds the same chain.
    prompts_.error(e.what());
  }
}

void Programmer::clear_read_back() {
  // A result file left by an earlier run must never be read back as this run's result, so the files of
  // every position that reads something back go before the run.
  for (int n = 1; n <= table_.device_count(); ++n) {
    chain::ChainDevice& dev = table_[n];
    if (dev.cmnd == chain::kOpReadUes) {
      remove_file(work_file(result_file_name(n, ".ues")));
      dev.ues.clear();
    } else if (dev.cmnd == chain::kOpReadId) {
      remove_file(work_file(result_file_name(n, ".id")));
      remove_file(work_file(result_file_name(n, ".sec")));
      dev.idcode.clear();
      dev.id_ver.clear();
      dev.id_arch.clear();
      dev.id_tech.clear();
      dev.id_pkg.clear();
      dev.id_volt.clear();
      dev.id_mc.clear();
      dev.id_bit0.clear();
      dev.id_mft.clear();
      dev.secure = '2';
    }
  }
}

void Programmer::read_back() {
  bool ues_read = false;
  bool id_read = false;
  for (int n = 1; n <= table_.device_count(); ++n) {
    chain::ChainDevice& dev = table_[n];
    if (dev.cmnd == chain::kOpReadUes) {
      if (auto line = first_line(work_file(result_file_name(n, ".ues")))) {
        const std::size_t erased = line->find('\xFF');
        if (erased != std::string::npos) line->resize(erased);
        dev.ues = *line;  // cut to the field's 120 characters
        view_.show_ues(n, dev.ues);
        ues_read = true;
      }
    } else if (dev.cmnd == chain::kOpReadId) {
      if (auto line = first_line(work_file(result_file_name(n, ".id")))) {
        dev.idcode = *line;  // cut to 32 characters
        decode_idcode(table_, n, dev.idcode);
        id_read = true;
      }
      if (auto line = first_line(work_file(result_file_name(n, ".sec")))) {
        if (!line->empty()) dev.secure = line->front();
        id_read = true;
      }
    }
  }
  if (ues_read) view_.show_ues_page();
  if (id_read) view_.show_device_id();
}

RunOutcome Programmer::run_chain() {
  // The pin-vector recording is held off while the cable check scans, and always put back.
  struct BifHold {
    int& options;
    const bool held;
    explicit BifHold(int& o) : options(o), held((o & engine::kOptBif) != 0) { options &= ~engine::kOptBif; }
    ~BifHold() {
      if (held) options |= engine::kOptBif;
    }
  };
  std::optional<BifHold> bif_hold(std::in_place, settings.IspOptions);
  view_.show_operation_failed(false);

  if (!validate_chain(table_, prompts_)) return RunOutcome::kCheckFailed;
  // The user's chain file, which the SVF and .bif files are named after even when the run goes from the
  // temporary copy (a hand-written file that differs from the programmer's writing, and was not saved).
  // A table that holds the copy since such a run keeps the file it came from.
  const std::string chosen = table_.JcdPath;
  if (chosen != work_file(kTempJcdName)) user_chain_file_ = chosen;
  save_changed_jcd();

  engine::Cable& cable = engine_.cable();
  if (settings.OffLine) {
    cable.CableFound = true;
  } else {
    check_connection((settings.IspOptions & engine::kOptSvf) != 0);
  }
  bif_hold.reset();
  if (!cable.CableFound && (settings.IspOptions & engine::kOptSvf) == 0) {
    prompts_.warning("No RelayCable found!");
    return RunOutcome::kNoCable;
  }

  clear_read_back();

  const std::string executing = "Executing " + table_.JcdPath + "  " + timestamp();
  messages_.add_message(executing);
  try {
    chain::append_line(log_path(), executing + " ...");
  } catch (const std::runtime_error& e) {
    prompts_.error(e.what());  // a log that cannot be written does not stop the run
  }

  RunOutcome outcome = RunOutcome::kRan;
  try {
    engine::IspRequest run = request(table_.JcdPath);
    if (table_.JcdPath != user_chain_file_) run.output_chain_file = user_chain_file_;
    engine_.RunChain(run, table_);
  } catch (const engine::EPyk&) {
    outcome = RunOutcome::kAborted;  // already reported and marked by the engine
  }

  read_back();
  return outcome;
}

// ---------------------------------------------------------------------------------------------------------
// Batch runs

class Programmer::BatchSteps final : public BatchHost {
 public:
  explicit BatchSteps(Programmer& programmer) : p_(programmer) {}

  void clear_failures() override {
    p_.engine_.RunFailed = false;
    p_.LoadFailed = false;
  }

  bool load_step(const std::string& jcd_path) override {
    chain::ChainTable& table = p_.table_;
    table.JcdPath = jcd_path;
    const bool loaded = chain::load_batch_jcd(table, jcd_path, p_.prompts_);
    if (!loaded) p_.LoadFailed = true;
    chain::clear_results(table);
    p_.view_.refresh_views();
    return loaded;
  }

  bool run_step() override {
    const RunOutcome outcome = p_.run_chain();
    // A run the user stopped did not do all its work: the step fails and the batch ends there.
    return outcome == RunOutcome::kRan && !p_.engine_.RunFailed && !p_.LoadFailed &&
           !p_.engine_.StopRequested();
  }

  void show_result(int row, std::string_view result) override { p_.view_.show_batch_result(row, result); }

  void log_result(std::string_view result) override {
    try {
      chain::append_line(p_.log_path(), result);
    } catch (const std::runtime_error& e) {
      p_.prompts_.error(e.what());
    }
  }

 private:
  Programmer& p_;
};

BatchSummary Programmer::run_batch(BatchTable& batch) {
  BatchSteps steps(*this);
  return ui::run_batch(batch, steps);
}

bool Programmer::run_batch_file(BatchTable& batch, const std::string& path) {
  if (!open_batch(batch, path, prompts_)) return false;
  run_batch(batch);
  return true;
}

}  // namespace zepa::ui
