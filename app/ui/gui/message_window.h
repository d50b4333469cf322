// The message window: the read-only text area every part of the programmer reports progress to. Lines are
// appended and the last one is replaced (the growing " * * *" row marks); lines are never removed.
//
// Changes are gathered and written to the document together on the next turn of the event loop (or by
// flush()): a run that appends thousands of marks costs one layout per turn, not one per mark. The last line
// is always edited in place through a text cursor; the rest of the document is never rewritten.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <string>

#include "engine/messages.h"

namespace zepa::gui {

class MessageWindow final : public QWidget, public engine::MessageSink {
  Q_OBJECT

 public:
  explicit MessageWindow(QWidget* parent = nullptr);

  // engine::MessageSink, on the GUI thread.
  void add_message(std::string_view text) override;
  std::string last_message() const override;
  void replace_last_message(std::string_view text) override;

  // Writes the gathered changes into the document now.
  void flush();
  // The whole text, lines joined by "\n" (after a flush).
  QString text();
  // The number of lines written so far (0 for a window that never got one).
  int line_count() const { return lines_; }
  // The text colour of the lines (black before each run).
  void set_text_color(const QColor& color);

  QPlainTextEdit* editor() { return edit_; }

 private:
  void schedule_flush();

  QPlainTextEdit* edit_;
  int lines_ = 0;                        // lines in the document plus the pending ones
  int document_lines_ = 0;               // lines already in the document
  QString document_last_;                // the document's last line
  std::optional<QString> pending_last_;  // new text of the document's last line
  QStringList pending_lines_;            // lines still to be appended
  bool flush_scheduled_ = false;
};

}  // namespace zepa::gui
