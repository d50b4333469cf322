// The message boxes the programmer shows to its user. The core never shows anything itself: it hands the
// text to this interface, which the GUI turns into boxes, the command-line front end into lines on standard
// error, and the tests into a list they can look at. Line breaks inside a text are written as "\r".
#pragma once

#include <string_view>

namespace zepa::ui {

class Prompts {
 public:
  // The two answers a question offers.
  enum class Answers { kOkCancel, kYesNo };

  virtual ~Prompts() = default;

  virtual void error(std::string_view text) = 0;
  virtual void warning(std::string_view text) = 0;
  virtual void info(std::string_view text) = 0;
  // A warning that asks; true when the user accepts (OK or Yes).
  virtual bool confirm(std::string_view text, Answers answers) = 0;
};

}  // namespace zepa::ui
