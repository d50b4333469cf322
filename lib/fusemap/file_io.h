// File helpers shared by the converters: text lines with either line end, design-path names, and output
// files that appear complete or not at all.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace zepa::fusemap {

// Reads text lines: LF, CR LF or a lone CR ends a line, and a CR never belongs to the text.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}
  // The next line without its line end; `ended` tells whether a line end was read (false on a last line
  // without one). Returns false at end of input.
  bool Next(std::string& line, bool& ended);
  bool Next(std::string& line) {
    bool ended = false;
    return Next(line, ended);
  }

 private:
  std::istream& in_;
};

inline bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

// Start of the file name within `path`: just after the last '/' or '\'.
std::size_t FileNameStart(std::string_view path);

// `path` with the part of its file name from the last '.' on replaced by `ext` ("x/v1.2/top.jed" ->
// "x/v1.2/top.bin"); a '.' in a folder name never counts. No value when the file name has no '.'.
std::optional<std::string> ReplaceExtension(std::string_view path, std::string_view ext);

// The path as this system's file functions want it: on POSIX systems '\' becomes '/', so a chain file
// written on Windows with "designs\top.jed" still finds its design.
std::string NativePath(std::string_view path);

// Where a relative path named in a chain (design, image, listing) lives: in `work_dir` when one is given,
// else where the process runs. Separators are made native first.
std::string ResolveInFolder(const std::string& work_dir, const std::string& path);

// Writes `bytes` to a temporary file beside `path` and renames it into place, so `path` is either the old
// file or the complete new one. Returns false (and leaves no temporary file) when that fails.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace zepa::fusemap
