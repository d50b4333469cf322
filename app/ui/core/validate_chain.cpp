#include "ui/core/validate_chain.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>

#include "util/text.h"

namespace zepa::ui {
namespace {

bool names_existing_file(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  const std::filesystem::path p{std::string(path)};
  return std::filesystem::exists(p, ec) && !std::filesystem::is_directory(p, ec);
}

bool known_part(int part) {
  return part >= 0 && part < chain::kPartCount;
}
bool known_ir_length(int ir_code) {
  return !chain::ir_length_text(ir_code).empty();
}

}  // namespace

bool validate_chain(const chain::ChainTable& table, chain::Prompts& prompts) {
  const int count = table.device_count();
  if (count == 0) {
    prompts.error("No device found!");
    return false;
  }
  bool ok = true;
  for (int n = 1; n <= count; ++n) {
    const chain::ChainDevice& dev = table[n];
    const std::string number = std::to_string(n);
    if (!known_part(dev.part) || !known_ir_length(dev.IR_len)) {
      prompts.error("No Device Name or IR_length specified for device #" + number + "!");
      ok = false;
    }
    if (chain::operation_text(dev.cmnd) == chain::operation_text(chain::kOpUnknown)) {
      prompts.error(dev.cmnd_word.empty()
                        ? "No operation specified for device #" + number + "!"
                        : "Unknown operation \"" + dev.cmnd_word.str() + "\" for device #" + number + "!");
      ok = false;
    }
    if (dev.jed.cut() && dev.cmnd != chain::kOpNoOperation) {
      // The stored path is only the start of the one given: it must not name some other file.
      prompts.error("The design file path of device #" + number + " is longer than " +
                    std::to_string(dev.jed.capacity) + " characters!");
      ok = false;
    } else if ((dev.cmnd == chain::kOpProgram || dev.cmnd == chain::kOpVerify ||
                dev.cmnd == chain::kOpProgramVerify) &&
               !names_existing_file(dev.jed)) {
      prompts.error("No design file specified or not exist for device #" + number + "!");
      ok = false;
    }
    if (!dev.jed.cut() && dev.cmnd == chain::kOpUpload &&
        (chain::IsZepa1Part(dev.part) || chain::IsZepa3Part(dev.part))) {
      const bool zepa1 = chain::IsZepa1Part(dev.part);
      if (!util::EndsWithIgnoreCase(dev.jed, zepa1 ? ".bin" : ".jed")) {
        prompts.error("No upload file specified for device #" + number + "!\r" +
                      "You need to specified a upload file " + (zepa1 ? "(.BIN)" : "(.JED)") +
                      " to save upload data\rDouble click 'Design file name' field to specify a file");
        ok = false;
      } else if (names_existing_file(dev.jed) &&
                 !prompts.confirm("File already exist, do you want to overwrite?",
                                  chain::Prompts::Answers::kOkCancel)) {
        ok = false;
      }
    }
  }
  return ok;
}

}  // namespace zepa::ui
