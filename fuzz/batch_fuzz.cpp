// The batch-file reader: any file, then written back and read again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "ui/core/batch.h"

namespace {

std::vector<std::string> UsedRows(const zepa::ui::BatchTable& table) {
  std::vector<std::string> rows;
  for (int i = 1; i <= zepa::ui::kBatchRows; ++i) {
    if (!table.row(i).jcd.empty()) rows.push_back(table.row(i).jcd);
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  const fuzzing::ScratchFolder& folder = fuzzing::ScratchFolder::Get();
  const std::string file = folder.Write("steps.jbf", fuzzing::AsText(data, size));
  ui::BatchTable table;
  if (!ui::load_batch(table, file)) fuzzing::Broken();  // the file is there and readable
  // Saving keeps every used row, in order (gaps close up).
  const std::string copy = folder.File("copy.jbf");
  ui::save_batch(table, copy);
  ui::BatchTable again;
  if (!ui::load_batch(again, copy) || UsedRows(again) != UsedRows(table) || !again.hidden_lines.empty())
    fuzzing::Broken();
  return 0;
}
