#include "ui/core/chain_edit.h"

#include <filesystem>

namespace zepa::ui {
namespace {

using chain::ChainDevice;
using chain::ChainTable;

bool is_file(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// "Others" and parts the list does not know.
bool is_foreign_part(int part) {
  return part > chain::kPartVtl3960;
}

}  // namespace

std::array<std::string, kGridColumns> grid_row_texts(const ChainTable& table, int n) {
  std::array<std::string, kGridColumns> cells;
  if (!ChainTable::valid_position(n) || n > table.device_count()) return cells;
  const ChainDevice& dev = table[n];
  cells[kColDevice] = std::to_string(dev.loc);
  if (dev.part != chain::kPartUnknown) cells[kColPart] = chain::part_name(dev.part);
  if (dev.IR_len != chain::kIrUnknown) cells[kColIrLength] = chain::ir_length_text(dev.IR_len);
  if (dev.cmnd != chain::kOpUnknown) cells[kColOperation] = chain::operation_text(dev.cmnd);
  cells[kColDesignFile] = dev.jed.str();
  if (dev.result == chain::kResultPass) cells[kColResult] = "pass";
  if (dev.result == chain::kResultFail) cells[kColResult] = "fail";
  return cells;
}

bool row_editable(const ChainTable& table, int row) {
  return row >= 1 && row <= table.device_count();
}

CellAction cell_action(const ChainTable& table, int row, int column) {
  if (!row_editable(table, row)) return CellAction::kNone;
  switch (column) {
    case kColPart:
      return CellAction::kPartList;
    case kColIrLength:
      return CellAction::kIrList;
    case kColOperation:
      return CellAction::kOperationList;
    case kColDesignFile:
      return CellAction::kDesignFile;
    default:
      return CellAction::kNone;
  }
}

bool choose_part(ChainTable& table, int row, int item, chain::Prompts& prompts) {
  if (!row_editable(table, row) || item < 0 || item >= chain::kPartCount) return false;
  ChainDevice& dev = table[row];
  dev.part = item;
  if (chain::IsZepa2Part(item)) {
    dev.IR_len = chain::ir_code_from_length(5);
    dev.cmnd = chain::kOpProgram;
  } else if (chain::IsZepa3Part(item)) {
    dev.IR_len = chain::ir_code_from_length(5);
  } else if (item == chain::kPartOthers) {
    dev.cmnd = chain::kOpNoOperation;  // the IR length is the user's to give
  } else {
    dev.IR_len = chain::ir_code_from_length(4);
  }
  if (chain::IsZepa2Part(item)) prompts.warning(kZepa2OnlyProgram);
  return true;
}

bool choose_ir_length(ChainTable& table, int row, int item) {
  if (!row_editable(table, row) || item < 0 || item >= static_cast<int>(kIrListItems.size())) return false;
  ChainDevice& dev = table[row];
  if (!is_foreign_part(dev.part)) return false;
  dev.IR_len = item;
  return true;
}

bool choose_operation(ChainTable& table, int row, int item) {
  if (!row_editable(table, row) || item < 0 || item >= static_cast<int>(kOperationListItems.size())) {
    return false;
  }
  ChainDevice& dev = table[row];
  if (is_foreign_part(dev.part)) {
    dev.cmnd = chain::kOpNoOperation;
  } else if (chain::IsZepa2Part(dev.part)) {
    dev.cmnd = item == chain::kOpProgram ? chain::kOpProgram : chain::kOpNoOperation;
  } else {
    dev.cmnd = item;
  }
  return true;
}

DesignFileBrowse design_file_browse(const ChainDevice& device) {
  if (device.cmnd != chain::kOpUpload) return {};
  return {.upload = true, .preset = chain::IsZepa3Part(device.part) ? "*.jed" : "*.bin"};
}

bool choose_design_file(ChainTable& table, Programmer& programmer, int row, const std::string& path,
                        chain::Prompts& prompts) {
  if (!row_editable(table, row) || path.empty()) return false;
  const bool upload = design_file_browse(table[row]).upload;
  programmer.LastFile = path;
  if (!upload && !is_file(path)) {
    prompts.error("Can not find: " + path);
    return false;
  }
  if (path.size() > kMaxDesignFileName) {
    prompts.error("The design file name is longer than " + std::to_string(kMaxDesignFileName) +
                  " characters: " + path);
    return false;
  }
  table[row].jed = path;
  programmer.set_last_file(path);
  return true;
}

bool delete_design_file(ChainTable& table, int row) {
  if (!row_editable(table, row)) return false;
  table[row].jed.clear();
  return true;
}

bool set_signature(ChainTable& table, int row, std::string_view text) {
  if (!row_editable(table, row)) return false;
  table[row].ues = text;
  return true;
}

}  // namespace zepa::ui
