#include "ui/gui/message_window.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace zepa::gui {
namespace {

QString from_utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MessageWindow::MessageWindow(QWidget* parent) : QWidget(parent), edit_(new QPlainTextEdit(this)) {
  setWindowTitle("Message");
  edit_->setReadOnly(true);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit_->setUndoRedoEnabled(false);
  QFont font("MS Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  edit_->setFont(font);
  QPalette palette = edit_->palette();
  palette.setColor(QPalette::Base, QColor(255, 128, 128));
  palette.setColor(QPalette::Text, Qt::black);
  edit_->setPalette(palette);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
}

void MessageWindow::add_message(std::string_view text) {
  pending_lines_.append(from_utf8(text));
  ++lines_;
  schedule_flush();
}

std::string MessageWindow::last_message() const {
  if (!pending_lines_.isEmpty()) return pending_lines_.back().toStdString();
  if (pending_last_) return pending_last_->toStdString();
  return document_last_.toStdString();
}

void MessageWindow::replace_last_message(std::string_view text) {
  if (lines_ == 0) {
    add_message(text);
    return;
  }
  if (!pending_lines_.isEmpty()) {
    pending_lines_.back() = from_utf8(text);
  } else {
    pending_last_ = from_utf8(text);
  }
  schedule_flush();
}

void MessageWindow::schedule_flush() {
  if (flush_scheduled_) return;
  flush_scheduled_ = true;
  QTimer::singleShot(0, this, [this] { flush(); });
}

void MessageWindow::flush() {
  flush_scheduled_ = false;
  if (!pending_last_ && pending_lines_.isEmpty()) return;
  QTextDocument* document = edit_->document();
  QScrollBar* bar = edit_->verticalScrollBar();
  const bool at_bottom = bar->value() >= bar->maximum() - 2;
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  if (pending_last_) {
    // Only the last block changes: select its text and type the new one over it.
    cursor.setPosition(document->lastBlock().position());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(*pending_last_);
    document_last_ = *pending_last_;
    pending_last_.reset();
  }
  if (!pending_lines_.isEmpty()) {
    cursor.movePosition(QTextCursor::End);
    QString text = pending_lines_.join('\n');
    if (document_lines_ > 0) text.prepend('\n');
    cursor.insertText(text);
    document_lines_ += static_cast<int>(pending_lines_.size());
    document_last_ = pending_lines_.back();
    pending_lines_.clear();
  }
  cursor.endEditBlock();
  if (at_bottom) bar->setValue(bar->maximum());
}

QString MessageWindow::text() {
  flush();
  return edit_->toPlainText();
}

void MessageWindow::set_text_color(const QColor& color) {
  QPalette palette = edit_->palette();
  palette.setColor(QPalette::Text, color);
  edit_->setPalette(palette);
}

}  // namespace zepa::gui
