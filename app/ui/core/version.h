// The programmer's version, shown by the about box.
#pragma once

#include <string_view>

namespace zepa::ui {

inline constexpr std::string_view VersionText = "4.14";

}  // namespace zepa::ui
