#include "ui/gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <exception>
#include <utility>

#include "chain/jcd_file.h"
#include "engine/context.h"
#include "ui/core/chain_report.h"
#include "ui/core/port_args.h"
#include "ui/core/slave_serial.h"
#include "ui/core/validate_chain.h"
#include "ui/gui/chain_route_window.h"
#include "ui/gui/dialogs/slave_serial_dialog.h"
#include "ui/gui/external_programs.h"
#include "ui/gui/help_window.h"
#include "ui/gui/message_window.h"
#include "ui/gui/qt_prompts.h"
#include "ui/gui/run_bridge.h"
#include "ui/gui/run_worker.h"
#include "ui/gui/session_windows.h"
#include "ui/gui/viewer_window.h"

namespace zepa::gui {
namespace {

const QColor kMainColour(252, 250, 203);
constexpr int kMainWidth = 640;
constexpr int kMainHeight = 480;

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A child window of the frame: closing it only minimises it.
class ChildWindow final : public QMdiSubWindow {
 public:
  using QMdiSubWindow::QMdiSubWindow;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    showMinimized();
  }
};

bool is_file(const QString& path) {
  return QFileInfo(path).isFile();
}

}  // namespace

GuiArguments parse_gui_arguments(const std::vector<std::string>& args) {
  GuiArguments out;
  out.port = ui::default_port_choice();
  bool files_only = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (files_only || arg.empty() || arg[0] != '-' || arg == "-") {
      out.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      files_only = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    auto value = [&]() -> std::string {
      if (eq != std::string::npos) return arg.substr(eq + 1);
      if (i + 1 >= args.size()) throw GuiUsageError(name + " needs a value");
      return args[++i];
    };
    try {
      if (name == "--io") {
        out.port = ui::parse_io_argument(value());
      } else if (name == "--port") {
        out.port_index = ui::parse_port_argument(value());
      } else if (name == "--screenshots") {
        out.screenshots_dir = value();
      } else {
        throw GuiUsageError("unknown option " + name);
      }
    } catch (const ui::PortArgError& e) {
      throw GuiUsageError(e.what());
    }
  }
  return out;
}

// What the windows show of a session, on the GUI thread (the bridge brings the worker's calls here).
class MainWindow::WindowView final : public ui::RunView {
 public:
  explicit WindowView(MainWindow& window) : w_(window) {}

  void refresh_views() override {
    if (w_.chain_window_ != nullptr) w_.chain_window_->refresh();
    w_.route_->refresh();
    if (w_.device_id_ != nullptr) w_.device_id_->refresh();
    if (w_.review_ != nullptr) w_.review_->refresh();
  }
  void enable_check_connection(bool enabled) override {
    if (w_.check_action_ != nullptr) w_.check_action_->setEnabled(enabled && !w_.running());
  }
  void show_operation_failed(bool shown) override {
    if (w_.chain_window_ != nullptr) w_.chain_window_->show_operation_failed(shown);
  }
  void mark_result(int position, bool passed) override {
    if (w_.chain_window_ != nullptr) w_.chain_window_->mark_result(position, passed);
    emit w_.result_marked(position, passed);
  }
  void show_ues(int n, std::string_view ues) override {
    if (w_.chain_window_ != nullptr) w_.chain_window_->show_ues(n, qs(ues));
  }
  void show_ues_page() override {
    if (w_.chain_window_ != nullptr) w_.chain_window_->show_ues_page();
  }
  void show_device_id() override {
    if (w_.device_id_ == nullptr) return;
    w_.device_id_->refresh();
    w_.device_id_->show();
    w_.device_id_->raise();
  }
  void show_batch_result(int row, std::string_view result) override {
    if (w_.batch_editor_ != nullptr) w_.batch_editor_->show_result(row, qs(result));
  }

 private:
  MainWindow& w_;
};

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)), port_choice_(setup_.arguments.port) {
  setWindowTitle(QString("Zepa Programmer ") + kVersionText);
  if (setup_.clock == nullptr) {
    own_clock_ = std::make_unique<engine::SteadyClock>();
    setup_.clock = own_clock_.get();
  }
  if (setup_.launcher == nullptr) {
    own_launcher_ = std::make_unique<engine::SystemProcessLauncher>();
    setup_.launcher = own_launcher_.get();
  }
  if (setup_.prompts == nullptr) {
    own_prompts_ = std::make_unique<QtPrompts>(this);
    setup_.prompts = own_prompts_.get();
  }
  prompts_ = setup_.prompts;
  if (setup_.programs == nullptr) {
    own_programs_ = std::make_unique<ExternalPrograms>();
    setup_.programs = own_programs_.get();
  }
  programs_ = setup_.programs;

  mdi_ = new QMdiArea(this);
  mdi_->setBackground(kMainColour);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);

  messages_ = new MessageWindow;
  route_ = new ChainRouteWindow;
  // The pointer on a device picks it as a grid click does; during a run it picks nothing.
  connect(route_, &ChainRouteWindow::device_selected, this, [this](int position) {
    if (!running() && device_id_ != nullptr) device_id_->set_current_device(position);
  });

  view_ = std::make_unique<WindowView>(*this);
  bridge_ = new RunBridge(*messages_, *prompts_, *view_, this);
  worker_ = new RunWorker(this);

  status_ = new QLabel("Ready", this);
  stop_button_ = new QPushButton("Stop", this);
  stop_button_->setEnabled(false);
  stop_button_->setToolTip("End the run after the device being worked on");
  statusBar()->addWidget(status_, 1);
  statusBar()->addPermanentWidget(stop_button_);
  connect(stop_button_, &QPushButton::clicked, this, &MainWindow::request_stop);

  build_menus();
  build_session(port_choice_);

  config_child_ = new ChildWindow;
  config_child_->setWidget(chain_window_);
  config_child_->setWindowTitle("Configure JTAG chain devices");
  message_child_ = new ChildWindow;
  message_child_->setWidget(messages_);
  message_child_->setWindowTitle("Message");
  route_child_ = new ChildWindow;
  route_child_->setWidget(route_);
  route_child_->setWindowTitle("JTAG chain route");
  for (QMdiSubWindow* child : {config_child_, message_child_, route_child_}) {
    child->setAttribute(Qt::WA_DeleteOnClose, false);
    mdi_->addSubWindow(child);
    child->show();
  }
  restore_all();

  if (setup_.start_up) {
    set_running(true);  // nothing starts before the start-up work has run
    QTimer::singleShot(30, this, &MainWindow::startup);
  } else {
    session_->programmer().StartupPending = false;
    started_ = true;
  }
}

MainWindow::~MainWindow() {
  if (session_) session_->engine().RequestStop();
  // A job still running may wait for this thread; serve it until it ends.
  while (worker_->running()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    worker_->wait(5);
  }
  delete chain_window_;  // before the session it refers to
  chain_window_ = nullptr;
  config_child_ = nullptr;
  delete batch_editor_;  // before the batch table and the session it refers to
  batch_editor_ = nullptr;
}

void MainWindow::build_session(const ui::PortChoice& port) {
  const ui::SessionEnvironment environment{
      .clock = *setup_.clock,
      .launcher = *setup_.launcher,
      .program_dir = setup_.program_dir,
      .work_dir = setup_.work_dir,
      .timestamp = setup_.timestamp,
      .port_notes = [this](const std::string& note) { bridge_->info(note); }};
  try {
    session_ = std::make_unique<ui::Session>(port, environment, *bridge_, *bridge_, *bridge_);
  } catch (const std::exception& e) {
    // A board file that cannot be read: say so and go on with the default port.
    prompts_->error(e.what());
    port_choice_ = ui::default_port_choice();
    session_ = std::make_unique<ui::Session>(port_choice_, environment, *bridge_, *bridge_, *bridge_);
  }
  if (setup_.arguments.port_index)
    session_->programmer().settings.port.port_index = *setup_.arguments.port_index;
  build_session_windows();
}

void MainWindow::build_session_windows() {
  ui::Programmer& programmer = session_->programmer();
  chain_window_ = new ChainConfigWindow(session_->table(), programmer, *bridge_);
  port_setup_ = new PortSetupDialog(programmer, port_choice_, *bridge_, this);
  device_id_ = new DeviceIdDialog(session_->table(), this);
  review_ = new ReviewDialog(session_->table(), this);
  debug_options_ = new DebugOptionsDialog(programmer.settings, this);
  about_ = new AboutDialog(this);

  connect(chain_window_, &ChainConfigWindow::execute_requested, this, &MainWindow::run_chain);
  // The dialog reads the chain table, which a run writes: a click during a run picks nothing.
  connect(chain_window_, &ChainConfigWindow::device_selected, device_id_, [this](int position) {
    if (!running()) device_id_->set_current_device(position);
  });
  connect(chain_window_, &ChainConfigWindow::chain_edited, route_, &ChainRouteWindow::refresh);
  route_->set_table(&session_->table());
  route_->set_running(running());
  connect(debug_options_, &DebugOptionsDialog::options_changed, this,
          [this] { chain_window_->set_offline(session_->programmer().settings.OffLine); });
  connect(port_setup_, &PortSetupDialog::port_choice_changed, this, &MainWindow::rebuild_session,
          Qt::QueuedConnection);
  chain_window_->set_current_file(qs(session_->table().JcdPath));
  chain_window_->set_offline(programmer.settings.OffLine);
  chain_window_->set_running(running());
  device_id_->set_running(running());

  if (batch_editor_ == nullptr) {
    batch_editor_ = new BatchEditorDialog(batch_, *bridge_, this);
    connect(batch_editor_, &BatchEditorDialog::run_requested, this, &MainWindow::run_batch);
    connect(batch_editor_, &BatchEditorDialog::chain_loaded, this,
            [this] { chain_window_->set_current_file(qs(session_->table().JcdPath)); });
  }
  batch_editor_->attach(programmer);
  batch_editor_->set_running(running());
}

void MainWindow::rebuild_session() {
  if (running()) return;
  const ui::RunSettings settings = session_->programmer().settings;
  const chain::ChainTable table = session_->table();
  const std::string last_file = session_->programmer().LastFile;
  const bool device_id_shown = device_id_->isVisible();
  const int device = device_id_->current_device();
  save_board();
  for (QDialog* dialog :
       std::initializer_list<QDialog*>{port_setup_, device_id_, review_, debug_options_, about_})
    dialog->deleteLater();
  // The old windows go before the session they refer to.
  delete chain_window_;
  chain_window_ = nullptr;
  route_->set_table(nullptr);
  session_.reset();
  build_session(port_choice_);
  session_->table() = table;
  session_->programmer().settings = settings;
  session_->programmer().LastFile = last_file;
  session_->programmer().StartupPending = false;
  config_child_->setWidget(chain_window_);
  chain_window_->show();  // a widget set into a shown child window stays hidden until shown
  chain_window_->set_current_file(qs(table.JcdPath));
  chain_window_->set_offline(settings.OffLine);
  chain_window_->refresh();
  route_->refresh();
  // The device ID dialog the user had open stays open on its device.
  device_id_->set_current_device(device);
  if (device_id_shown) {
    device_id_->show();
    device_id_->raise();
  }
}

void MainWindow::build_menus() {
  QMenuBar* bar = menuBar();
  auto lock = [this](QAction* action) {
    locked_in_runs_.push_back(action);
    return action;
  };

  QMenu* file = bar->addMenu("&File");
  lock(file->addAction("Load JCD file...", this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, "Load JCD file", qs(session_->programmer().LastDir), "JCD files (*.jcd);;All files (*)");
    if (!path.isEmpty()) load_jcd(path);
  }));
  lock(file->addAction("Save JCD file...", this, [this] {
    if (!ui::validate_chain(session_->table(), *prompts_)) return;
    QFileDialog dialog(this, "Save as", qs(session_->programmer().LastDir), "JCD files (*.jcd)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("jcd");
    dialog.selectFile("*.jcd");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      save_jcd(dialog.selectedFiles().front());
  }));
  QMenu* view_output = file->addMenu("View output files");
  view_output->addAction("ZEPA1 device BIN File (.bin)", this,
                         [this] { choose_and_view("ZEPA1 device BIN File (*.bin)"); });
  view_output->addAction("ZEPA1 verify result (.vrf)", this,
                         [this] { choose_and_view("ZEPA1 verify result (*.vrf)"); });
  view_output->addAction("ZEPA2 MCS output (.mcs)", this,
                         [this] { choose_and_view("ZEPA2 MCS output (*.mcs)"); });
  view_output->addAction("ZEPA2 debug (.dbg)", this, [this] { choose_and_view("ZEPA2 debug (*.dbg)"); });
  QMenu* view_ate = file->addMenu("View ATE file");
  view_ate->addAction("SVF vector (.svf)", this, [this] { choose_and_view("SVF vector (*.svf)"); });
  view_ate->addAction("BIF file (.bif)", this, [this] { choose_and_view("BIF file (*.bif)"); });
  view_ate->addAction("PCF vector (.vcl)")->setEnabled(false);
  view_ate_action_ = view_ate->menuAction();
  view_ate_action_->setVisible(false);
  // The chain file's name and the table change during a run: what reads them waits for its end.
  lock(file->addAction("Invoke Editor", this, &MainWindow::invoke_editor));
  file->addSeparator();
  file->addAction("E&xit", this, &QWidget::close);

  QMenu* cable = bar->addMenu("Check Cable");
  check_action_ = lock(cable->addAction("Check connection", this, &MainWindow::check_connection));

  lock(bar->addAction("&Port Setup...", this, [this] {
    port_setup_->show();
    port_setup_->raise();
  }));

  QMenu* info = bar->addMenu("Device Info");
  QAction* review = lock(info->addAction("Review", this, [this] {
    review_->refresh();
    review_->exec();
  }));
  review->setVisible(false);
  // The device ID dialog reads the chain table: during a run only the run opens it.
  lock(info->addAction("IDcode", this, [this] {
    device_id_->refresh();
    device_id_->show();
    device_id_->raise();
  }));

  ate_menu_ = bar->addMenu("ATE output OFF");
  svf_action_ = lock(ate_menu_->addAction("Generate SVF vectors (.svf)"));
  svf_action_->setCheckable(true);
  connect(svf_action_, &QAction::triggered, this, [this] { toggle_ate(true); });
  bif_action_ = lock(ate_menu_->addAction("Generate JTAG Binary File (.bif)"));
  bif_action_->setCheckable(true);
  connect(bif_action_, &QAction::triggered, this, [this] { toggle_ate(false); });
  ate_menu_->addAction("Generate PCF vectors (.vcl)")->setEnabled(false);
  lock(ate_menu_->menuAction());

  // Open during a run too: it shows the batch's results as they come.
  bar->addAction("&Batch Editor...", this, [this] {
    batch_editor_->show();
    batch_editor_->raise();
    batch_editor_->activateWindow();
  });
  slave_serial_ = new SlaveSerialDialog(this);
  connect(slave_serial_, &SlaveSerialDialog::run_requested, this, &MainWindow::run_slave_serial);
  lock(bar->addAction("SS configuration...", this, [this] {
    slave_serial_->refill();
    slave_serial_->show();
    slave_serial_->raise();
  }));

  QMenu* windows = bar->addMenu("Windows");
  windows->addAction("&Cascade", mdi_, &QMdiArea::cascadeSubWindows);
  windows->addAction("Tile &Horizontal", this, [this] { tile(true); });
  windows->addAction("Tile &Vertical", this, [this] { tile(false); });
  windows->addAction("&Minimize all", this, [this] {
    for (QMdiSubWindow* child : mdi_->subWindowList()) child->showMinimized();
    tile(horizontal_tiling_);
  });
  windows->addAction("&Restore all", this, &MainWindow::restore_all);
  windows->addAction("Descrption + Message", this, [this] { arrange(true, true, false, false); });
  windows->addAction("Descrption + Chain", this, [this] { arrange(true, false, true, false); });
  windows->addAction("Message + Chain", this, [this] { arrange(false, true, true, true); });
  // The background pictures, hidden.
  const std::pair<const char*, const char*> pictures[] = {{"Nude", "nude.bmp"},
                                                          {"Blank", "blank.bmp"},
                                                          {"Grapefruit", "grapefrt.bmp"},
                                                          {"ZEPA Ardent", "isplogo.bmp"},
                                                          {"Tropical fish", nullptr}};
  for (const auto& [caption, file_name] : pictures) {
    QAction* item = windows->addAction(caption);
    item->setVisible(false);
    if (file_name != nullptr) {
      const QString name = file_name;
      connect(item, &QAction::triggered, this, [this, name] { set_background(name); });
    }
  }

  QMenu* help = bar->addMenu("H&elp");
  help->addAction("&Contents", this, &MainWindow::show_help);
  help->addAction("&About", this, [this] { about_->exec(); });
  lock(help->addAction("Output/Debug options...", this, [this] { debug_options_->exec(); }));

  stop_action_ = bar->addAction("&Stop", this, &MainWindow::request_stop);
  stop_action_->setEnabled(false);
  stop_action_->setToolTip("End the run after the device being worked on");
}

QAction* MainWindow::find_action(const QString& caption) const {
  std::function<QAction*(const QList<QAction*>&)> search = [&](const QList<QAction*>& actions) -> QAction* {
    for (QAction* action : actions) {
      if (action->text() == caption) return action;
      if (action->menu() != nullptr) {
        if (QAction* found = search(action->menu()->actions())) return found;
      }
    }
    return nullptr;
  };
  return search(menuBar()->actions());
}

QMdiSubWindow* MainWindow::child(const QString& title) const {
  for (QMdiSubWindow* c : mdi_->subWindowList()) {
    if (c->windowTitle() == title) return c;
  }
  return nullptr;
}

ViewerWindow* MainWindow::viewer() const {
  return viewer_.data();
}
HelpWindow* MainWindow::help_window() const {
  return help_.data();
}

// ---------------------------------------------------------------------------------------------------------
// Window arrangement

void MainWindow::place_children() {
  const QSize client = mdi_->viewport()->size();
  const int w = client.width();
  const int h = client.height();
  // The configuration window keeps its 260 pixels unless the frame is too low for it and the others.
  const int low = h - 155;
  config_child_->setGeometry(0, 0, w - 5, std::max(120, std::min(260, low - 5)));
  message_child_->setGeometry(0, low, w * 4 / 7 - 5, 150);
  route_child_->setGeometry(w * 4 / 7 - 5, low, w * 3 / 7, 150);
}

void MainWindow::restore_all() {
  if (isVisible()) showNormal();  // the window itself is shown by its owner
  // Wider when the menu bar's captions would not fit in the usual width.
  const int width = std::max(kMainWidth, menuBar()->sizeHint().width() + 8);
  resize(width, kMainHeight);
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width / 2, kMainHeight / 2));
  }
  mdi_->setBackground(kMainColour);
  for (QMdiSubWindow* c : {config_child_, message_child_, route_child_}) c->showNormal();
  // The client area has its size once the frame has been laid out.
  if (centralWidget() != nullptr && layout() != nullptr) layout()->activate();
  place_children();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (placed_) return;
  // The client area has its real size only now.
  placed_ = true;
  place_children();
}

void MainWindow::tile(bool horizontal) {
  horizontal_tiling_ = horizontal;
  QList<QMdiSubWindow*> shown;
  for (QMdiSubWindow* c : mdi_->subWindowList()) {
    if (!c->isMinimized() && c->isVisible()) shown.append(c);
  }
  if (shown.isEmpty()) return;
  const QSize client = mdi_->viewport()->size();
  // Minimised children keep a strip at the bottom.
  const bool any_minimized = shown.size() < mdi_->subWindowList().size();
  const int height = client.height() - (any_minimized ? 30 : 0);
  const int n = static_cast<int>(shown.size());
  for (int i = 0; i < n; ++i) {
    if (horizontal) {
      shown[i]->setGeometry(0, i * height / n, client.width(), height / n);
    } else {
      shown[i]->setGeometry(i * client.width() / n, 0, client.width() / n, height);
    }
  }
}

void MainWindow::arrange(bool config_normal, bool message_normal, bool route_normal, bool keep_direction) {
  const std::pair<QMdiSubWindow*, bool> children[] = {
      {config_child_, config_normal}, {message_child_, message_normal}, {route_child_, route_normal}};
  for (const auto& [c, normal] : children) {
    if (normal) {
      c->showNormal();
    } else {
      c->showMinimized();
    }
  }
  if (config_normal) mdi_->setActiveSubWindow(config_child_);
  tile(keep_direction ? horizontal_tiling_ : true);
}

void MainWindow::set_background(const QString& file) {
  const QPixmap picture(QDir::current().filePath(file));
  if (picture.isNull()) return;
  mdi_->setBackground(
      QBrush(picture.scaled(mdi_->viewport()->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

// ---------------------------------------------------------------------------------------------------------
// Runs

bool MainWindow::running() const {
  return worker_ != nullptr && worker_->running();
}

void MainWindow::set_running(bool running) {
  for (QAction* action : locked_in_runs_) action->setEnabled(!running);
  stop_action_->setEnabled(running);
  stop_button_->setEnabled(running);
  status_->setText(running ? "Running..." : "Ready");
  if (chain_window_ != nullptr) chain_window_->set_running(running);
  route_->set_running(running);
  // A settings dialog left open must not change what the worker reads.
  if (port_setup_ != nullptr) port_setup_->setEnabled(!running);
  if (debug_options_ != nullptr) debug_options_->setEnabled(!running);
  if (device_id_ != nullptr) device_id_->set_running(running);
  if (slave_serial_ != nullptr) slave_serial_->set_running(running);
  if (batch_editor_ != nullptr) batch_editor_->set_running(running);
}

bool MainWindow::start_job(std::function<void()> job, std::function<void()> done) {
  if (running()) return false;
  session_->engine().ClearStop();
  // The windows stop reading the chain table before the worker may write it.
  set_running(true);
  const bool started = worker_->start(
      std::move(job),
      [this, done = std::move(done)] {
        set_running(false);
        save_board();
        if (done) done();
        emit job_finished();
        if (close_after_job_) close();
      },
      [this](const QString& error) { prompts_->error(error.toStdString()); });
  if (!started) set_running(false);
  return started;
}

void MainWindow::save_board() {
  if (!session_) return;
  try {
    session_->save_board();
  } catch (const std::exception& e) {
    prompts_->error(e.what());
  }
}

void MainWindow::startup() {
  set_running(false);
  ui::Programmer& programmer = session_->programmer();
  start_job([&programmer] { programmer.startup(); },
            [this] {
              // The chain file of the command line, after the cable check (which sizes the table).
              const std::vector<std::string>& files = setup_.arguments.files;
              for (auto it = files.rbegin(); it != files.rend(); ++it) {
                const QString file = QString::fromStdString(*it);
                if (file.endsWith(".jcd", Qt::CaseInsensitive)) {
                  load_jcd(file);
                  break;
                }
              }
              if (const auto batch = ui::startup_batch(files)) {
                run_startup_batch(QString::fromStdString(batch->path), batch->close_after_run);
                return;
              }
              started_ = true;
              emit startup_finished();
            });
}

void MainWindow::run_startup_batch(const QString& path, bool close_after) {
  hide();
  ui::Programmer& programmer = session_->programmer();
  const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
  const bool started = start_job(
      [this, &programmer, file] {
        programmer.set_last_file(file);  // chain files named relative to the batch file
        programmer.run_batch_file(batch_, file);
      },
      [this, close_after] {
        show();
        started_ = true;
        emit startup_finished();
        if (close_after) close();
      });
  if (!started) show();
}

void MainWindow::run_slave_serial(const QString& path) {
  ui::Session& session = *session_;
  const std::string file = path.toStdString();
  start_job([&session, file] {
    ui::configure_slave_serial(session.engine(), session.programmer().settings, file);
  });
}

void MainWindow::run_batch() {
  if (running()) return;
  messages_->set_text_color(Qt::black);
  ui::Programmer& programmer = session_->programmer();
  const std::string file =
      batch_.path.empty() ? std::string() : QFileInfo(qs(batch_.path)).absoluteFilePath().toStdString();
  start_job(
      [this, &programmer, file] {
        if (!file.empty()) programmer.set_last_file(file);  // chain files named relative to the batch file
        programmer.run_batch(batch_);
      },
      [this] {
        chain_window_->set_current_file(qs(session_->table().JcdPath));
        batch_editor_->run_finished();
      });
}

void MainWindow::run_chain() {
  if (running()) return;
  messages_->set_text_color(Qt::black);
  ui::Programmer& programmer = session_->programmer();
  start_job([&programmer] { programmer.run_chain(); },
            [this] { chain_window_->set_current_file(qs(session_->table().JcdPath)); });
}

void MainWindow::check_connection() {
  ui::Session& session = *session_;
  start_job([&session] {
    session.programmer().check_connection();
    // After the check's own lines: what each device found is, and its instruction length.
    engine::IspEngine& engine = session.engine();
    if (!engine.cable().CableFound) return;
    for (const std::string& line : ui::DescribeChain(engine, session.table().DeviceCount).lines)
      engine.jtag().messages().add_message(line);
  });
}

void MainWindow::request_stop() {
  if (!running()) return;
  session_->engine().RequestStop();
  status_->setText("Stopping after the current device...");
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (running()) {
    if (close_after_job_ ||
        !prompts_->confirm("A run is in progress.\rStop it after the current device and close the program?",
                           chain::Prompts::Answers::kYesNo)) {
      event->ignore();
      return;
    }
    close_after_job_ = true;
    request_stop();
    event->ignore();
    return;
  }
  if (viewer_) viewer_->close();
  if (help_) help_->close();
  event->accept();
}

// ---------------------------------------------------------------------------------------------------------
// Files

bool MainWindow::load_jcd(const QString& path) {
  if (running()) return false;
  ui::Programmer& programmer = session_->programmer();
  const bool loaded = programmer.load_jcd_file(path.toStdString());
  if (loaded) chain_window_->set_current_file(qs(session_->table().JcdPath));
  chain_window_->refresh();
  route_->scroll_to_origin();
  route_->refresh();
  return loaded;
}

bool MainWindow::save_jcd(const QString& path) {
  if (running()) return false;
  try {
    chain::write_jcd(session_->table(), path.toStdString());
  } catch (const std::exception& e) {
    prompts_->error(e.what());
    return false;
  }
  chain_window_->set_current_file(path);
  return true;
}

void MainWindow::choose_and_view(const QString& filter) {
  // The worker may move the last folder while it runs; the dialog then starts in the current one.
  const QString start = running() ? QString() : qs(session_->programmer().LastDir);
  const QString path = QFileDialog::getOpenFileName(this, "View file", start, filter + ";;All files (*)");
  if (!path.isEmpty()) view_file(path);
}

void MainWindow::view_file(const QString& path) {
  if (!is_file(path)) {
    prompts_->warning((path + " not found!").toStdString());
    return;
  }
  if (viewer_) viewer_->close();
  viewer_ = new ViewerWindow(path, this);
  viewer_->show();
}

void MainWindow::invoke_editor() {
  launch_editor(*programs_, *prompts_, qs(session_->table().JcdPath));
}

void MainWindow::show_help() {
  if (help_) {
    help_->showNormal();
    help_->raise();
    help_->activateWindow();
    return;
  }
  const QStringList candidates = manual_candidates(qs(setup_.program_dir));
  for (const QString& path : candidates) {
    if (!is_file(path)) continue;
    help_ = new HelpWindow(path, this);
    help_->setAttribute(Qt::WA_DeleteOnClose);
    help_->show();
    return;
  }
  prompts_->warning(("The manual was not found; looked for:\r" + candidates.join('\r')).toStdString());
}

// ---------------------------------------------------------------------------------------------------------
// ATE output

void MainWindow::toggle_ate(bool svf) {
  QAction* item = svf ? svf_action_ : bif_action_;
  QAction* other = svf ? bif_action_ : svf_action_;
  const int bit = svf ? engine::kOptSvf : engine::kOptBif;
  const int other_bit = svf ? engine::kOptBif : engine::kOptSvf;
  int& options = session_->programmer().settings.IspOptions;
  if (item->isChecked()) {
    options |= bit;
    other->setChecked(false);
    options &= ~other_bit;
  } else {
    options &= ~bit;
  }
  update_ate_menu();
}

void MainWindow::update_ate_menu() {
  const bool on = svf_action_->isChecked() || bif_action_->isChecked();
  ate_menu_->setTitle(on ? "ATE output ON" : "ATE output OFF");
  view_ate_action_->setVisible(on);
}

}  // namespace zepa::gui
