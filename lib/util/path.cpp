#include "util/path.h"

#include <filesystem>

#include "util/text.h"

namespace zepa::util {

std::size_t FileNameStart(std::string_view path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

std::string FolderOf(std::string_view path) {
  return std::string(path.substr(0, FileNameStart(path)));
}

std::string FileNameOf(std::string_view path) {
  return std::string(path.substr(FileNameStart(path)));
}

std::size_t ExtensionStart(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos || dot < FileNameStart(path) ? std::string_view::npos : dot;
}

std::string ExtensionOf(std::string_view path) {
  const std::size_t start = ExtensionStart(path);
  return start == std::string_view::npos ? std::string() : std::string(path.substr(start));
}

bool HasExtension(std::string_view path, std::string_view ext) {
  return EqualsIgnoreCase(ExtensionOf(path), ext);
}

std::string StemPath(std::string_view path) {
  return std::string(path.substr(0, ExtensionStart(path)));
}

std::string ChangeExtension(std::string_view path, std::string_view ext) {
  std::string out = StemPath(path);
  if (ext.empty() || ext.front() != '.') out += '.';
  out += ext;
  return out;
}

std::optional<std::string> ReplaceExtension(std::string_view path, std::string_view ext) {
  const std::size_t start = ExtensionStart(path);
  if (start == std::string_view::npos) return std::nullopt;
  std::string out(path.substr(0, start));
  out += ext;
  return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (out.empty()) return std::string(name);
  if (!IsPathSeparator(out.back())) out += static_cast<char>(std::filesystem::path::preferred_separator);
  out += name;
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

}  // namespace zepa::util
