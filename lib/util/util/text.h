// Small text helpers shared by every reader: comparisons and case folding in the ASCII sense, whatever the
// locale says.
#pragma once

#include <string>
#include <string_view>

namespace zepa::util {

inline char ToLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// True when `a` and `b` are equal but for the case of ASCII letters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// True when `text` ends with `suffix`, ASCII case ignored.
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

}  // namespace zepa::util
