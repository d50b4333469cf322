// The message boxes and the beep of the programmer and its engine. Neither shows anything itself: they hand
// the text to this interface, which the GUI turns into boxes, the command-line front end into lines on
// standard error, and the tests into a list they can look at. Line breaks inside a text are written as "\r".
#pragma once

#include <string_view>

namespace zepa::chain {

// The icon a box shows. Questions always show the warning icon.
enum class BoxIcon { kError, kWarning, kInformation };

class Prompts {
 public:
  // The two answers a question offers.
  enum class Answers { kOkCancel, kYesNo };

  virtual ~Prompts() = default;

  // A box titled `caption`; an empty caption leaves the front end's own title (the program's name).
  virtual void show(BoxIcon icon, std::string_view caption, std::string_view text) = 0;
  // A question titled as `show` titles its box; true when the user accepts (OK or Yes).
  virtual bool ask(std::string_view caption, std::string_view text, Answers answers) = 0;
  // The system's default beep.
  virtual void beep() = 0;

  // The programmer's own boxes, under the front end's title.
  void error(std::string_view text) { show(BoxIcon::kError, {}, text); }
  void warning(std::string_view text) { show(BoxIcon::kWarning, {}, text); }
  void info(std::string_view text) { show(BoxIcon::kInformation, {}, text); }
  bool confirm(std::string_view text, Answers answers) { return ask({}, text, answers); }
};

}  // namespace zepa::chain
