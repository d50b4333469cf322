#include "ui/gui/run_bridge.h"

#include <QMetaObject>
#include <QThread>
#include <utility>

namespace zepa::gui {

RunBridge::RunBridge(engine::MessageSink& messages, chain::Prompts& prompts, ui::RunView& view,
                     QObject* parent)
    : QObject(parent), messages_(messages), prompts_(prompts), view_(view) {
  last_ = messages_.last_message();
}

bool RunBridge::on_gui_thread() const {
  return QThread::currentThread() == thread();
}

template <typename Call>
void RunBridge::on_gui(Call&& call, bool wait) {
  if (on_gui_thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(this, std::forward<Call>(call),
                            wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void RunBridge::add_message(std::string_view text) {
  {
    std::lock_guard lock(last_mutex_);
    last_.assign(text);
  }
  on_gui([this, line = std::string(text)] { messages_.add_message(line); }, false);
}

std::string RunBridge::last_message() const {
  std::lock_guard lock(last_mutex_);
  return last_;
}

void RunBridge::replace_last_message(std::string_view text) {
  {
    std::lock_guard lock(last_mutex_);
    last_.assign(text);
  }
  on_gui([this, line = std::string(text)] { messages_.replace_last_message(line); }, false);
}

void RunBridge::show(chain::BoxIcon icon, std::string_view caption, std::string_view text) {
  on_gui([&] { prompts_.show(icon, caption, text); }, true);
}

bool RunBridge::ask(std::string_view caption, std::string_view text, Answers answers) {
  bool answer = false;
  on_gui([&] { answer = prompts_.ask(caption, text, answers); }, true);
  return answer;
}

void RunBridge::beep() {
  on_gui([this] { prompts_.beep(); }, false);
}

void RunBridge::refresh_views() {
  on_gui([this] { view_.refresh_views(); }, true);
}
void RunBridge::enable_check_connection(bool enabled) {
  on_gui([this, enabled] { view_.enable_check_connection(enabled); }, false);
}
void RunBridge::show_operation_failed(bool shown) {
  on_gui([this, shown] { view_.show_operation_failed(shown); }, false);
}
void RunBridge::mark_result(int position, bool passed) {
  on_gui([this, position, passed] { view_.mark_result(position, passed); }, false);
}
void RunBridge::show_ues(int n, std::string_view ues) {
  on_gui([this, n, text = std::string(ues)] { view_.show_ues(n, text); }, false);
}
void RunBridge::show_ues_page() {
  on_gui([this] { view_.show_ues_page(); }, false);
}
void RunBridge::show_device_id() {
  on_gui([this] { view_.show_device_id(); }, true);
}
void RunBridge::show_batch_result(int row, std::string_view result) {
  on_gui([this, row, text = std::string(result)] { view_.show_batch_result(row, text); }, false);
}

}  // namespace zepa::gui
