// Path names as text, with either separator: '/' and '\' both end a folder name, whatever the system, so a
// chain file written on Windows ("designs\top.jed") reads the same everywhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zepa::util {

inline bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

// Where the file name starts: just after the last separator (0 when there is none).
std::size_t FileNameStart(std::string_view path);

// The folder part with its trailing separator ("a/b/c.jed" -> "a/b/"); empty when there is none.
std::string FolderOf(std::string_view path);

// The file name without its folder ("a\b\c.jed" -> "c.jed").
std::string FileNameOf(std::string_view path);

// Where the extension starts (its '.'), npos when the file name has none; a '.' in a folder never counts.
std::size_t ExtensionStart(std::string_view path);

// The extension with its '.' ("top.JED" -> ".JED"); empty when there is none.
std::string ExtensionOf(std::string_view path);

// True when the extension equals `ext` (".jed", ...) without regard to ASCII case.
bool HasExtension(std::string_view path, std::string_view ext);

// `path` without its extension ("x/v1.2/top.jed" -> "x/v1.2/top"); the path itself when it has none.
std::string StemPath(std::string_view path);

// `path` with its extension replaced by `ext` (given with or without its '.'), or added when it has none:
// ("top.jed", "bin") -> "top.bin", ("top", ".bin") -> "top.bin".
std::string ChangeExtension(std::string_view path, std::string_view ext);

// `path` with its extension (from its '.') replaced by `ext` as given ("x/v1.2/top.jed", ".bin" ->
// "x/v1.2/top.bin"; "_chip.jed" may stand for ext); nothing when the file name has no extension.
std::optional<std::string> ReplaceExtension(std::string_view path, std::string_view ext);

// `name` inside `folder`: a separator goes between them unless `folder` ends with one; an empty folder
// gives `name` alone.
std::string JoinPath(std::string_view folder, std::string_view name);

// The path as this system's file functions want it: on POSIX systems '\' becomes '/'.
std::string NativePath(std::string_view path);

}  // namespace zepa::util
