#include "ui/gui/qt_prompts.h"

#include <QApplication>
#include <QMessageBox>

namespace zepa::gui {
namespace {

QString title(std::string_view caption) {
  return caption.empty() ? QString(kBoxTitle)
                         : QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

// A box goes over the program's active window: the batch editor stays on top of the main window, and a box
// under it would block the program out of sight. Without an active window, over the owner.
QWidget* box_parent(QWidget* owner) {
  QWidget* active = QApplication::activeWindow();
  return active != nullptr ? active : owner;
}

}  // namespace

QString box_text(std::string_view text) {
  QString out = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  out.replace("\r\n", "\n");
  out.replace('\r', '\n');
  return out;
}

void QtPrompts::show(chain::BoxIcon icon, std::string_view caption, std::string_view text) {
  const QMessageBox::Icon kind = icon == chain::BoxIcon::kError     ? QMessageBox::Critical
                                 : icon == chain::BoxIcon::kWarning ? QMessageBox::Warning
                                                                    : QMessageBox::Information;
  QMessageBox box(kind, title(caption), box_text(text), QMessageBox::Ok, box_parent(parent_));
  box.exec();
}

bool QtPrompts::ask(std::string_view caption, std::string_view text, Answers answers) {
  const bool yes_no = answers == Answers::kYesNo;
  const QMessageBox::StandardButtons buttons =
      yes_no ? (QMessageBox::Yes | QMessageBox::No) : (QMessageBox::Ok | QMessageBox::Cancel);
  QMessageBox box(QMessageBox::Warning, title(caption), box_text(text), buttons, box_parent(parent_));
  const int answer = box.exec();
  return answer == (yes_no ? QMessageBox::Yes : QMessageBox::Ok);
}

void QtPrompts::beep() {
  QApplication::beep();
}

}  // namespace zepa::gui
