#include "chain/text_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "util/files.h"

namespace zepa::chain {

void write_file_replacing(const std::string& path, std::string_view content) {
  try {
    util::ReplaceFile(path, content);
  } catch (const util::FileError& e) {
    switch (e.step()) {
      case util::FileError::Step::kWrite:
        throw std::runtime_error("Cannot write " + path);
      case util::FileError::Step::kPlace:
        throw std::runtime_error("Cannot replace " + path + ": " + e.reason().message());
      default:
        throw std::runtime_error("Cannot create " + path + ": " + e.reason().message());
    }
  }
}

void append_line(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) throw std::runtime_error("Cannot open " + path + ": " + std::strerror(errno));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.write("\r\n", 2);
  out.close();
  if (!out) throw std::runtime_error("Cannot write " + path);
}

}  // namespace zepa::chain
