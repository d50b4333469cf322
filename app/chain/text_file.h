// Text files as the programmer reads and writes them: lines end in CR LF when written; when read, LF, CR LF
// and a CR alone all end a line, and a CR never belongs to the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::chain {

// Splits text into lines at LF, CR LF or a lone CR; a last line without a line end counts. An empty text
// has no lines.
std::vector<std::string> split_lines(std::string_view text);

// The whole file, or nothing when it cannot be opened or read; `reason`, when given, then receives the
// system's reason ("No such file or directory", "Is a directory", "Permission denied").
std::optional<std::string> read_file(const std::string& path, std::string* reason = nullptr);

// The file's lines (split_lines), or nothing when it cannot be opened or read.
std::optional<std::vector<std::string>> read_text_lines(const std::string& path);

// Replaces the file with `content`: writes a temporary file in the same folder and renames it into place,
// so a failure leaves the complete old file (or none). Throws std::runtime_error naming the file.
void write_file_replacing(const std::string& path, std::string_view content);

// Appends `text` and CR LF to the file, creating it when missing. Throws std::runtime_error naming the file.
void append_line(const std::string& path, std::string_view text);

}  // namespace zepa::chain
