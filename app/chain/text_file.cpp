#include "chain/text_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "util/line_ends.h"

namespace zepa::chain {

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const util::LineBounds line = util::FindLineEnd(text, start);
    lines.emplace_back(text.substr(start, line.end - start));
    start = line.next;
  }
  return lines;
}

std::optional<std::string> read_file(const std::string& path, std::string* reason) {
  auto fail = [reason](int error) -> std::optional<std::string> {
    if (reason != nullptr) *reason = std::strerror(error);
    return std::nullopt;
  };
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return fail(EISDIR);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(errno != 0 ? errno : ENOENT);
  std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return fail(errno != 0 ? errno : EIO);
  return content;
}

std::optional<std::vector<std::string>> read_text_lines(const std::string& path) {
  auto content = read_file(path);
  if (!content) return std::nullopt;
  return split_lines(*content);
}

void write_file_replacing(const std::string& path, std::string_view content) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  fs::path temp = target;
  temp += ".zepa-new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      throw std::runtime_error("Cannot create " + path + ": " + std::strerror(errno));
    }
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      throw std::runtime_error("Cannot write " + path);
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw std::runtime_error("Cannot replace " + path + ": " + ec.message());
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
