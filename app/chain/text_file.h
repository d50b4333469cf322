// Text files as the programmer writes them: lines end in CR LF. Reading and splitting lines is the
// utility library's (util/lines.h).
#pragma once

#include <string>
#include <string_view>

namespace zepa::chain {

// Replaces the file with `content` (util::ReplaceFile), so a failure leaves the complete old file (or
// none). Throws std::runtime_error naming the file.
void write_file_replacing(const std::string& path, std::string_view content);

// Appends `text` and CR LF to the file, creating it when missing. Throws std::runtime_error naming the file.
void append_line(const std::string& path, std::string_view text);

}  // namespace zepa::chain
