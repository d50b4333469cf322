// The programmer's message sink, boxes and views for a session whose runs go on a worker thread.
//
// Called on the GUI thread, every call goes straight to the window it is for. Called on the worker thread:
// message lines and result marks are queued to the GUI thread (the run never waits for them); a box or a
// question, a refill of the grids from the chain table and the device ID dialog wait until the GUI thread has
// done them, so the worker never touches the chain table while a window reads it and never goes on before the
// user has answered. The last message line is kept here as well, so that the engine's progress marks grow
// the line it last wrote even while the window has not caught up.
#pragma once

#include <QObject>
#include <mutex>
#include <string>

#include "chain/prompts.h"
#include "engine/messages.h"
#include "ui/core/run_path.h"

namespace zepa::gui {

class RunBridge final : public QObject,
                        public engine::MessageSink,
                        public chain::Prompts,
                        public ui::RunView {
  Q_OBJECT

 public:
  // The targets live on the thread this object is created on (the GUI thread) and outlive it.
  RunBridge(engine::MessageSink& messages, chain::Prompts& prompts, ui::RunView& view,
            QObject* parent = nullptr);

  // engine::MessageSink
  void add_message(std::string_view text) override;
  std::string last_message() const override;
  void replace_last_message(std::string_view text) override;

  // chain::Prompts
  void show(chain::BoxIcon icon, std::string_view caption, std::string_view text) override;
  bool ask(std::string_view caption, std::string_view text, Answers answers) override;
  void beep() override;

  // ui::RunView
  void refresh_views() override;
  void enable_check_connection(bool enabled) override;
  void show_operation_failed(bool shown) override;
  void mark_result(int position, bool passed) override;
  void show_ues(int n, std::string_view ues) override;
  void show_ues_page() override;
  void show_device_id() override;
  void show_batch_result(int row, std::string_view result) override;

 private:
  bool on_gui_thread() const;
  // Runs `call` on the GUI thread: at once there, else queued (`wait`: and waits until it has run).
  template <typename Call>
  void on_gui(Call&& call, bool wait);

  engine::MessageSink& messages_;
  chain::Prompts& prompts_;
  ui::RunView& view_;
  mutable std::mutex last_mutex_;
  std::string last_;
};

}  // namespace zepa::gui
