// The programmer's message boxes and beep on the GUI thread, as modal QMessageBoxes over the program's active
// window (the main window when none is active).
#pragma once

#include <QPointer>
#include <QWidget>

#include "chain/prompts.h"

namespace zepa::gui {

// The title of the program's own boxes.
inline constexpr const char* kBoxTitle = "Zepa Programmer";

class QtPrompts final : public chain::Prompts {
 public:
  explicit QtPrompts(QWidget* parent) : parent_(parent) {}

  void show(chain::BoxIcon icon, std::string_view caption, std::string_view text) override;
  bool ask(std::string_view caption, std::string_view text, Answers answers) override;
  void beep() override;

 private:
  QPointer<QWidget> parent_;
};

// A box text with the programmer's "\r" line breaks as real ones.
QString box_text(std::string_view text);

}  // namespace zepa::gui
