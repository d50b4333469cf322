// The desktop programmer's main window: the multiple-document frame with the chain configuration window,
// the message window and the chain drawing inside it, the menus, the start-up work and every command that
// starts a run. Runs go on one worker thread (RunWorker) through the session's programmer; the window keeps
// serving while they do, and every command that starts a run or changes the chain or the settings is disabled
// until the run has ended. "Stop" ends a run between devices.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "chain/prompts.h"
#include "engine/clock.h"
#include "engine/process.h"
#include "ui/core/batch.h"
#include "ui/core/session.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QLabel;
class QPushButton;

namespace zepa::gui {

class ChainConfigWindow;
class ChainRouteWindow;
class PortSetupDialog;
class DeviceIdDialog;
class ReviewDialog;
class DebugOptionsDialog;
class AboutDialog;
class SlaveSerialDialog;
class BatchEditorDialog;
class MessageWindow;
class RunBridge;
class RunWorker;
class ViewerWindow;
class HelpWindow;
class ExternalPrograms;
class QtPrompts;

inline constexpr const char* kVersionText = "4.14";

// The command line: zepaisp [--io sim:BOARD|ppdev[:DEV]|direct] [--port 278|378|3bc|auto] [FILE ...].
struct GuiArguments {
  ui::PortChoice port;
  std::optional<int> port_index;
  std::vector<std::string> files;  // every argument that is no option, in order
  std::string screenshots_dir;     // hidden --screenshots DIR
};
class GuiUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// Throws GuiUsageError naming the argument that is wrong.
GuiArguments parse_gui_arguments(const std::vector<std::string>& args);

// What the main window takes from the system around it. Empty pointers get the real thing.
struct MainWindowSetup {
  GuiArguments arguments;
  engine::Clock* clock = nullptr;
  engine::ProcessLauncher* launcher = nullptr;
  std::string program_dir;                      // where fusebuild is found
  std::string work_dir;                         // the working folder
  std::function<std::string()> timestamp = {};  // "<time> <date>"; empty: the local time
  chain::Prompts* prompts = nullptr;            // the boxes, on the GUI thread (default: message boxes)
  ExternalPrograms* programs = nullptr;         // the editor and the desktop's applications
  bool start_up = true;                         // the start-up timer's work (cable check, arguments)
};

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowSetup setup, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The commands (the menus call these after their file dialogs).
  void run_chain();
  void check_connection();
  bool load_jcd(const QString& path);
  bool save_jcd(const QString& path);
  void view_file(const QString& path);
  void invoke_editor();
  void show_help();
  void request_stop();
  void restore_all();
  // The batch editor's "Run Batch": the batch table's steps on the worker.
  void run_batch();
  // Runs the batch file on the worker with the main window hidden; `close_after` closes the program then.
  void run_startup_batch(const QString& path, bool close_after);
  // Clocks a configuration file (.mcs or .bit) into a ZEPA2 part on its slave-serial pins, on the worker.
  void run_slave_serial(const QString& path);
  SlaveSerialDialog& slave_serial_dialog() { return *slave_serial_; }

  bool running() const;
  bool started() const { return started_; }

  ui::Session& session() { return *session_; }
  const ui::PortChoice& port_choice() const { return port_choice_; }
  MessageWindow& message_window() { return *messages_; }
  ChainConfigWindow& chain_window() { return *chain_window_; }
  DeviceIdDialog& device_id_dialog() { return *device_id_; }
  BatchEditorDialog& batch_editor() { return *batch_editor_; }
  QMdiArea& mdi_area() { return *mdi_; }
  // The menu item or menu with this caption (mnemonic '&' included), searched through every menu.
  QAction* find_action(const QString& caption) const;
  QMdiSubWindow* child(const QString& title) const;
  ViewerWindow* viewer() const;
  HelpWindow* help_window() const;

 signals:
  // A job of the worker ended (a run, a cable check, the start-up work, a batch).
  void job_finished();
  // The start-up work (cable check, the chain file and batch of the command line) is done.
  void startup_finished();
  // The engine's pass/fail mark of a position reached the window (position 0: the run's failure only).
  void result_marked(int position, bool passed);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class WindowView;

  void build_session(const ui::PortChoice& port);
  void build_session_windows();
  void rebuild_session();
  void build_menus();
  void place_children();
  void tile(bool horizontal);
  void arrange(bool config_normal, bool message_normal, bool route_normal, bool keep_direction);
  void startup();
  bool start_job(std::function<void()> job, std::function<void()> done = {});
  void set_running(bool running);
  void toggle_ate(bool svf);
  void update_ate_menu();
  void choose_and_view(const QString& filter);
  void set_background(const QString& file);
  void save_board();

  MainWindowSetup setup_;
  std::unique_ptr<engine::Clock> own_clock_;
  std::unique_ptr<engine::ProcessLauncher> own_launcher_;
  std::unique_ptr<QtPrompts> own_prompts_;
  std::unique_ptr<ExternalPrograms> own_programs_;
  chain::Prompts* prompts_ = nullptr;
  ExternalPrograms* programs_ = nullptr;

  ui::PortChoice port_choice_;
  QMdiArea* mdi_ = nullptr;
  MessageWindow* messages_ = nullptr;
  ChainRouteWindow* route_ = nullptr;
  QMdiSubWindow* config_child_ = nullptr;
  QMdiSubWindow* message_child_ = nullptr;
  QMdiSubWindow* route_child_ = nullptr;
  std::unique_ptr<WindowView> view_;
  RunBridge* bridge_ = nullptr;
  RunWorker* worker_ = nullptr;
  std::unique_ptr<ui::Session> session_;
  ui::BatchTable batch_;

  // Built over the session, rebuilt with it.
  ChainConfigWindow* chain_window_ = nullptr;
  PortSetupDialog* port_setup_ = nullptr;
  DeviceIdDialog* device_id_ = nullptr;
  ReviewDialog* review_ = nullptr;
  DebugOptionsDialog* debug_options_ = nullptr;
  AboutDialog* about_ = nullptr;
  SlaveSerialDialog* slave_serial_ = nullptr;  // one for the program's life: it keeps the chosen file
  // Created with the first session's windows over batch_; a new session attaches it again.
  BatchEditorDialog* batch_editor_ = nullptr;

  QPointer<ViewerWindow> viewer_;
  QPointer<HelpWindow> help_;

  // Menu items whose state changes.
  QAction* check_action_ = nullptr;
  QAction* svf_action_ = nullptr;
  QAction* bif_action_ = nullptr;
  QMenu* ate_menu_ = nullptr;
  QAction* view_ate_action_ = nullptr;
  QAction* stop_action_ = nullptr;
  std::vector<QAction*> locked_in_runs_;  // disabled while a run is active
  QLabel* status_ = nullptr;
  QPushButton* stop_button_ = nullptr;

  bool horizontal_tiling_ = true;
  bool close_after_job_ = false;
  bool started_ = false;
  bool placed_ = false;  // the children placed in the shown window
};

}  // namespace zepa::gui
