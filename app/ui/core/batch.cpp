#include "ui/core/batch.h"

#include <filesystem>
#include <stdexcept>

#include "chain/jcd_file.h"
#include "chain/text_file.h"
#include "util/files.h"
#include "util/lines.h"
#include "util/text.h"

namespace zepa::ui {
namespace {

bool is_existing_file(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec);
}

}  // namespace

BatchTable::BatchTable() {
  clear();
}

namespace {

std::size_t row_index(int i) {
  if (i < 1 || i > kBatchRows) {
    throw std::out_of_range("batch row " + std::to_string(i) + " outside 1.." + std::to_string(kBatchRows));
  }
  return static_cast<std::size_t>(i - 1);
}

}  // namespace

BatchStep& BatchTable::row(int i) {
  return rows_[row_index(i)];
}

const BatchStep& BatchTable::row(int i) const {
  return rows_[row_index(i)];
}

void BatchTable::clear() {
  for (auto& step : rows_) step = BatchStep{};
}

bool load_batch(BatchTable& table, const std::string& path) {
  const auto lines = util::ReadLines(path);
  if (!lines) return false;
  table.clear();
  table.hidden_lines.clear();
  for (std::size_t k = 0; k < lines->size(); ++k) {
    if (k < kBatchRows) {
      table.row(static_cast<int>(k) + 1).jcd = (*lines)[k];
    } else {
      table.hidden_lines.push_back((*lines)[k]);
    }
  }
  table.path = path;
  return true;
}

bool open_batch(BatchTable& table, const std::string& path, chain::Prompts& prompts) {
  std::string reason;
  if (util::ReadFile(path, &reason) && load_batch(table, path)) return true;
  std::error_code ec;
  prompts.error(path + "\r" + (std::filesystem::exists(path, ec) ? reason : std::string("file not found!")));
  return false;
}

void save_batch(BatchTable& table, const std::string& path) {
  std::string content;
  for (int i = 1; i <= kBatchRows; ++i) {
    const std::string& jcd = table.row(i).jcd;
    if (jcd.empty()) continue;
    content += jcd;
    content += "\r\n";
  }
  chain::write_file_replacing(path, content);
  table.path = path;
}

bool choose_batch_jcd(BatchTable& table, int i, const std::string& jcd_path, chain::Prompts& prompts) {
  BatchStep& step = table.row(i);
  std::error_code ec;
  if (std::filesystem::exists(jcd_path, ec) && !chain::check_jcd(jcd_path, chain::kBatchJcdMarker)) {
    prompts.error("Not a valid Corvane' JCD file");
    return false;
  }
  step.jcd = jcd_path;
  return true;
}

BatchCellAction batch_cell_action(const BatchTable& table, int row, int column, BatchGesture gesture) {
  if (row < 1 || row > kBatchRows) return BatchCellAction::kNone;
  if (column == kBatchColSequence && gesture == BatchGesture::kRelease && !table.row(row).jcd.empty())
    return BatchCellAction::kViewChain;
  if (column == kBatchColJcd && gesture == BatchGesture::kDoubleClick) return BatchCellAction::kChooseChain;
  if (column == kBatchColJcd && gesture == BatchGesture::kRightPress) return BatchCellAction::kDeleteMenu;
  return BatchCellAction::kNone;
}

void delete_batch_jcd(BatchTable& table, int i) {
  table.row(i).jcd.clear();
}

std::string batch_file_caption(const BatchTable& table) {
  return util::ToLowerAscii(table.path);
}

std::string batch_step_path(const BatchTable& table, int i) {
  const std::string& jcd = table.row(i).jcd;
  if (jcd.empty() || table.path.empty()) return jcd;
  const std::filesystem::path name(jcd);
  if (name.is_absolute()) return jcd;
  const std::filesystem::path folder = std::filesystem::path(table.path).parent_path();
  return folder.empty() ? jcd : (folder / name).string();
}

bool BatchHost::file_exists(const std::string& path) {
  return is_existing_file(path);
}

BatchSummary run_batch(BatchTable& table, BatchHost& host) {
  BatchSummary summary;
  for (int i = 1; i <= kBatchRows; ++i) table.row(i).result.clear();
  host.clear_failures();

  auto set_result = [&](int i, std::string_view result) {
    table.row(i).result = result;
    host.show_result(i, result);
  };

  for (int i = 1; i <= kBatchRows; ++i) {
    const std::string jcd = table.row(i).jcd;
    if (jcd.empty()) continue;
    if (!host.file_exists(jcd)) {
      set_result(i, kStepSkip);
      ++summary.skipped;
      continue;
    }
    set_result(i, kStepRunning);
    const bool passed = host.load_step(jcd) && host.run_step();
    const std::string_view result = passed ? kStepPass : kStepFail;
    set_result(i, result);
    host.log_result(result);
    if (!passed) {
      summary.failed_row = i;
      break;
    }
    ++summary.passed;
  }

  host.clear_failures();
  return summary;
}

std::optional<StartupBatch> startup_batch(const std::vector<std::string>& args) {
  if (args.empty()) return std::nullopt;
  const std::string& first = args.front();
  if (first.find(".jbf") == std::string::npos || !is_existing_file(first)) return std::nullopt;
  return StartupBatch{first, args.size() == 1};
}

}  // namespace zepa::ui
