#include "fusemap/file_io.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "util/line_ends.h"

namespace zepa::fusemap {

bool LineReader::Next(std::string& line, bool& ended) {
  return util::ReadLine(in_, line, ended);
}

std::size_t FileNameStart(std::string_view path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

std::optional<std::string> ReplaceExtension(std::string_view path, std::string_view ext) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < FileNameStart(path)) return std::nullopt;
  std::string out(path.substr(0, dot));
  out += ext;
  return out;
}

std::string NativePath(std::string_view path) {
  std::string out(path);
#ifndef _WIN32
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
#endif
  return out;
}

std::string ResolveInFolder(const std::string& work_dir, const std::string& path) {
  const std::string native = NativePath(path);
  if (work_dir.empty() || native.empty() || std::filesystem::path(native).is_absolute()) return native;
  return (std::filesystem::path(work_dir) / native).string();
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return false;
    }
  }
  // An existing file is moved aside and removed after the new one took its place, rather than renamed
  // over: replacing a file by rename makes ext4 write the new data to disk at once, which takes longer
  // than a whole conversion. The old file comes back when the new one cannot take its place.
  std::error_code ec;
  const std::string aside = path + ".replaced.tmp";
  bool moved_aside = false;
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec))) {
    std::filesystem::rename(path, aside, ec);
    moved_aside = !ec;
  }
  std::filesystem::rename(temp, path, ec);
  std::error_code ignored;
  if (ec) {
    if (moved_aside) std::filesystem::rename(aside, path, ignored);
    std::filesystem::remove(temp, ignored);
    return false;
  }
  if (moved_aside) std::filesystem::remove(aside, ignored);
  return true;
}

}  // namespace zepa::fusemap
