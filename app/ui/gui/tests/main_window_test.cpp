// The desktop programmer's main window on the simulated board: runs on the worker thread (the example chain,
// the "JCD file has changed" question, Stop, closing during a run), the event loop serving during a long run,
// the ATE menu, the command line's batch file, the message window, the viewer, the editor start and help.
#include "ui/gui/main_window.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "chain/tests/recording_prompts.h"
#include "engine/context.h"
#include "engine/records.h"
#include "engine/tests/zepa3_image.h"
#include "engine/zepa3_ops.h"
#include "ui/gui/external_programs.h"
#include "ui/gui/help_window.h"
#include "ui/gui/message_window.h"
#include "ui/gui/session_windows.h"
#include "ui/gui/tests/example_folder.h"
#include "ui/gui/viewer_window.h"

using namespace zepa;
using gui::MainWindow;

namespace {

using Marks = std::vector<std::pair<int, bool>>;

// Prompts that record as RecordingPrompts does and also note whether every box came on the GUI thread.
class GuiThreadPrompts final : public chain::testing::RecordingPrompts {
 public:
  void show(chain::BoxIcon icon, std::string_view caption, std::string_view text) override {
    note_thread();
    RecordingPrompts::show(icon, caption, text);
  }
  bool ask(std::string_view caption, std::string_view text, Answers answers) override {
    note_thread();
    return RecordingPrompts::ask(caption, text, answers);
  }
  bool all_on_gui_thread = true;

 private:
  void note_thread() {
    if (QThread::currentThread() != qApp->thread()) all_on_gui_thread = false;
  }
};

// The example folder, with the boxes answered on the GUI thread and the external programs replaceable.
struct Bench : gui::testing::ExampleFolder {
  void write(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  // A main window on this folder's board; `files` are the command line's file arguments.
  std::unique_ptr<MainWindow> window(std::vector<std::string> files = {},
                                     const QString& board = "board.sim") {
    gui::MainWindowSetup window_setup = setup(board, std::move(files), &prompts);
    window_setup.programs = programs;
    return std::make_unique<MainWindow>(std::move(window_setup));
  }

  GuiThreadPrompts prompts;
  gui::ExternalPrograms* programs = nullptr;
};

// Starts the window and waits for its start-up work.
bool start(MainWindow& window) {
  QSignalSpy started(&window, &MainWindow::startup_finished);
  window.show();
  return started.wait(30000);
}

// Runs the loaded chain and waits until the run has ended.
bool execute(MainWindow& window, int timeout_ms = 60000) {
  QSignalSpy done(&window, &MainWindow::job_finished);
  emit window.chain_window().execute_requested();  // the configuration window's Execute button
  if (!window.running()) return false;
  return done.wait(timeout_ms);
}

// Calls `action` once, on the GUI thread, as soon as device 1's work has begun (it takes far longer than the
// few milliseconds between two looks).
void when_device_1_begins(MainWindow& window, QTimer& poll, std::function<void()> action) {
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, &window, [&window, &poll, action] {
    if (!window.message_window().text().contains("---------------Begin operation---------------")) return;
    poll.stop();
    action();
  });
  poll.start();
}

int count(const QString& text, const QString& part) {
  return static_cast<int>(text.count(part));
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void executeRunsTheExampleChainOnTheWorker();
  void checkConnectionListsEachDevice();
  void aChangedChainFileIsOfferedForSaving();
  void stopEndsTheRunAfterTheCurrentDevice();
  void closingDuringARunAsksThenStops();
  void theEventLoopServesDuringALongRun();
  void ateTogglesAreExclusive();
  void aBatchFirstOnTheCommandLineRunsHidden();
  void childWindowsOnlyMinimise();
  void menuItemsAndArrangements();
  void messageWindowAppendsAndReplaces();
  void messageWindowEditsOnlyTheLastLine();
  void viewerShowsImagesAsHex();
  void editorStartFailuresShowTheirCode();
  void helpShowsTheManual();
  void commandLine();
};

void MainWindowTest::executeRunsTheExampleChainOnTheWorker() {
  Bench bench;
  auto window = bench.window({bench.spath("chain.jcd")});
  QVERIFY(start(*window));
  QCOMPARE(window->session().table().DeviceCount, 3);
  QCOMPARE(QString::fromStdString(window->session().table().JcdPath), bench.path("chain.jcd"));

  Marks marks;
  connect(window.get(), &MainWindow::result_marked,
          [&](int n, bool passed) { marks.emplace_back(n, passed); });
  QVERIFY(execute(*window));

  QCOMPARE(marks, (Marks{{1, true}, {2, true}, {3, true}}));
  for (int n = 1; n <= 3; ++n) QCOMPARE(window->session().table()[n].result, chain::kResultPass);
  const QString text = window->message_window().text();
  QVERIFY(text.contains("Executing " + bench.path("chain.jcd") + "  12:00:00 01/02/2026"));
  QCOMPARE(count(text, "---------------Begin operation---------------"), 1);
  QCOMPARE(count(text, "Program and Verify succeeded!"), 3);
  QVERIFY(text.endsWith("----------------End operation----------------\n"));
  QCOMPARE(bench.prompts.boxes, std::vector<std::string>{});
  QVERIFY(!window->running());
  QVERIFY(window->find_action("Load JCD file...")->isEnabled());
  QVERIFY(!window->find_action("&Stop")->isEnabled());
}

// "Check connection" keeps its own lines and adds one per device: IDCODE, part and measured IR length.
void MainWindowTest::checkConnectionListsEachDevice() {
  Bench bench;
  auto window = bench.window();
  QVERIFY(start(*window));
  QSignalSpy done(window.get(), &MainWindow::job_finished);
  window->find_action("Check connection")->trigger();
  QVERIFY(done.wait(30000));
  const QString text = window->message_window().text();
  const qsizetype check = text.lastIndexOf("Checking ISP download cable/Board connection...\n");
  QVERIFY(check >= 0);
  const QString after = text.mid(check);
  QVERIFY2(after.contains(
               "ISP RelayCable/Board found!\nThere are 3 JTAG devices daisy chainning in the system.\n\n"
               "Device 1: IDCODE 0x"),
           qPrintable(after));
  QCOMPARE(count(after, ", IR length 4"), 3);
  QVERIFY2(after.contains(", VTL3032A/VTL3032C/VTL5032C ("), qPrintable(after));
  QVERIFY(after.contains("Device 3: IDCODE 0x"));
}

void MainWindowTest::aChangedChainFileIsOfferedForSaving() {
  const bool answers[] = {false, true};
  for (const bool answer : answers) {
    Bench bench;
    auto window = bench.window({bench.spath("chain.jcd")});
    QVERIFY(start(*window));
    const QString original = bench.read("chain.jcd");
    // An edit in the grid: device 2 is only checked blank (the board's parts start erased).
    window->session().table()[2].cmnd = chain::kOpBlankCheck;
    bench.prompts.answer = answer;
    QVERIFY(execute(*window));

    QCOMPARE(bench.prompts.boxes,
             std::vector<std::string>{"confirm: JCD file has changed, do you wish to save?"});
    QVERIFY2(bench.prompts.all_on_gui_thread, "the worker asked on its own thread");
    const QString word = QString::fromStdString(std::string(chain::command_word(chain::kOpBlankCheck)));
    if (answer) {
      QVERIFY(bench.read("chain.jcd").contains(QRegularExpression("DEVICE 2 .* " + word + " ")));
      QCOMPARE(QString::fromStdString(window->session().table().JcdPath), bench.path("chain.jcd"));
    } else {
      QCOMPARE(bench.read("chain.jcd"), original);
      QVERIFY(window->session().table().JcdPath.ends_with("tempjcd.tmp"));
    }
    QCOMPARE(window->session().table()[2].result, chain::kResultPass);
  }
}

void MainWindowTest::stopEndsTheRunAfterTheCurrentDevice() {
  Bench bench;
  auto window = bench.window({bench.spath("chain.jcd")});
  QVERIFY(start(*window));

  Marks marks;
  std::vector<bool> locked;  // whether the run's commands were disabled while it ran
  const auto connection = connect(window.get(), &MainWindow::result_marked, [&](int n, bool passed) {
    marks.emplace_back(n, passed);
    for (const char* caption : {"Load JCD file...", "Save JCD file...", "Check connection", "&Port Setup...",
                                "Generate SVF vectors (.svf)", "Output/Debug options..."})
      locked.push_back(!window->find_action(caption)->isEnabled());
    locked.push_back(window->find_action("&Stop")->isEnabled());
  });
  QTimer poll;
  when_device_1_begins(*window, poll, [&] { window->request_stop(); });
  QVERIFY(execute(*window));

  QCOMPARE(marks, (Marks{{1, true}}));
  QCOMPARE(locked, std::vector<bool>(7, true));
  QCOMPARE(window->session().table()[2].result, chain::kResultNone);
  QCOMPARE(window->session().table()[3].result, chain::kResultNone);
  const QString text = window->message_window().text();
  QVERIFY(
      text.contains("Stopped by the user: device #2 to #3 not started.\n"
                    "----------------End operation----------------\n"));
  QCOMPARE(count(text, "Program and Verify succeeded!"), 1);

  // The next run is not stopped by the old request.
  disconnect(connection);
  QVERIFY(execute(*window));
  for (int n = 1; n <= 3; ++n) QCOMPARE(window->session().table()[n].result, chain::kResultPass);
}

void MainWindowTest::closingDuringARunAsksThenStops() {
  Bench bench;
  auto window = bench.window({bench.spath("chain.jcd")});
  QVERIFY(start(*window));
  bench.prompts.answer = true;
  Marks marks;
  connect(window.get(), &MainWindow::result_marked,
          [&](int n, bool passed) { marks.emplace_back(n, passed); });
  QTimer poll;
  when_device_1_begins(*window, poll, [&] { window->close(); });
  QVERIFY(execute(*window));
  QTRY_VERIFY(!window->isVisible());
  QCOMPARE(marks, (Marks{{1, true}}));
  QCOMPARE(bench.prompts.boxes,
           std::vector<std::string>{
               "confirm: A run is in progress.\rStop it after the current device and close the program?"});
}

void MainWindowTest::theEventLoopServesDuringALongRun() {
  Bench bench;
  // The largest ZEPA3 part, programmed and verified from a ready image.
  bench.write("big.sim", "port 378\ncable relay\ndevice VTL3384XL\n");
  const engine::JcdRec rec = engine::RecordForPart(chain::kPartVtl3384XL);
  const std::string isp = engine::testing::MakeZepa3Isp(rec, 7);
  bench.write("big.isp", QByteArray::fromStdString(isp));
  {
    chain::ChainTable table;
    table.DeviceCount = 1;
    table[1].loc = 1;
    table[1].part = chain::kPartVtl3384XL;
    table[1].IR_len = chain::ir_code_from_length(5);
    table[1].cmnd = chain::kOpProgramVerify;
    table[1].jed = bench.spath("big.isp");
    chain::write_jcd(table, bench.spath("big.jcd"));
  }
  auto window = bench.window({bench.spath("big.jcd")}, "big.sim");
  QVERIFY(start(*window));

  QElapsedTimer clock;
  qint64 last = -1;
  qint64 longest = 0;
  int ticks = 0;
  QTimer ticker;
  ticker.setInterval(10);
  connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (last >= 0) longest = std::max(longest, now - last);
    last = now;
    ++ticks;
  });
  // What the machine's own load costs the event loop with no run going on: a busy build machine delays a
  // ready thread too, and that is no stall of ours.
  clock.start();
  ticker.start();
  QTest::qWait(500);
  const qint64 idle_longest = longest;
  longest = 0;
  last = -1;
  clock.restart();
  QVERIFY(execute(*window, 120000));
  ticker.stop();
  const qint64 run_ms = clock.elapsed();

  QCOMPARE(window->session().table()[1].result, chain::kResultPass);
  QVERIFY2(run_ms > 1000, "the run was too short to tell");
  QVERIFY2(
      longest < 100 + idle_longest,
      qPrintable(QString("the event loop stalled for %1 ms (%2 ms idle)").arg(longest).arg(idle_longest)));
  qInfo("program and verify of a VTL3384XL: %lld ms, %d ticks, longest gap %lld ms (idle: %lld ms)", run_ms,
        ticks, longest, idle_longest);
}

void MainWindowTest::ateTogglesAreExclusive() {
  Bench bench;
  auto window = bench.window();
  QVERIFY(start(*window));
  QAction* svf = window->find_action("Generate SVF vectors (.svf)");
  QAction* bif = window->find_action("Generate JTAG Binary File (.bif)");
  QAction* view_ate = window->find_action("View ATE file");
  QVERIFY(svf && bif && view_ate);
  QVERIFY(!window->find_action("Generate PCF vectors (.vcl)")->isEnabled());

  struct Step {
    QAction* click;
    bool svf, bif;
    const char* caption;
    int bits;  // of IspOptions, 0x40 | 0x20
  };
  const Step steps[] = {
      {svf, true, false, "ATE output ON", engine::kOptSvf},
      {bif, false, true, "ATE output ON", engine::kOptBif},  // ticking BIF unticks SVF
      {svf, true, false, "ATE output ON", engine::kOptSvf},
      {svf, false, false, "ATE output OFF", 0},
      {bif, false, true, "ATE output ON", engine::kOptBif},
      {bif, false, false, "ATE output OFF", 0},
  };
  for (const Step& step : steps) {
    step.click->trigger();
    QCOMPARE(svf->isChecked(), step.svf);
    QCOMPARE(bif->isChecked(), step.bif);
    QVERIFY(window->find_action(step.caption) != nullptr);
    QCOMPARE(view_ate->isVisible(), step.bits != 0);
    QCOMPARE(window->session().programmer().settings.IspOptions & (engine::kOptSvf | engine::kOptBif),
             step.bits);
  }
}

void MainWindowTest::aBatchFirstOnTheCommandLineRunsHidden() {
  struct Case {
    bool second_argument;
    bool stays_open;
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    Bench bench;
    bench.write("run.jbf", bench.path("chain.jcd").toUtf8() + "\n");
    std::vector<std::string> files = {bench.spath("run.jbf")};
    if (c.second_argument) files.push_back(bench.spath("chain.jcd"));
    auto window = bench.window(files);

    // Whether the main window was seen while the batch's devices ran.
    std::vector<bool> visible_at_marks;
    connect(window.get(), &MainWindow::result_marked,
            [&](int, bool) { visible_at_marks.push_back(window->isVisible()); });
    QVERIFY(start(*window));

    QCOMPARE(visible_at_marks, std::vector<bool>(3, false));
    QCOMPARE(window->session().table()[3].result, chain::kResultPass);
    QVERIFY(window->message_window().text().contains("Executing " + bench.path("chain.jcd")));
    QTRY_COMPARE(window->isVisible(), c.stays_open);
  }
}

void MainWindowTest::childWindowsOnlyMinimise() {
  Bench bench;
  auto window = bench.window();
  QVERIFY(start(*window));
  for (const char* title : {"Configure JTAG chain devices", "Message", "JTAG chain route"}) {
    QMdiSubWindow* child = window->child(title);
    QVERIFY(child != nullptr);
    child->close();
    QVERIFY(child->isMinimized());
    QCOMPARE(window->child(title), child);
  }
  window->restore_all();
  QMdiSubWindow* message = window->child("Message");
  QVERIFY(!message->isMinimized());
  QCOMPARE(message->height(), 150);
  QCOMPARE(window->windowTitle(), QString("Zepa Programmer 4.14"));
}

void MainWindowTest::menuItemsAndArrangements() {
  Bench bench;
  auto window = bench.window();
  QVERIFY(start(*window));
  struct Item {
    const char* caption;
    bool visible, enabled;  // a hidden item is never enabled either
  };
  const Item items[] = {
      {"Review", false, false},
      {"IDcode", true, true},
      {"&Batch Editor...", true, true},  // shows the batch editor dialog
      {"SS configuration...", true, true},
      {"Nude", false, false},
      {"Tropical fish", false, false},
      {"View ATE file", false, false},
      {"PCF vector (.vcl)", true, false},
      {"&Stop", true, false},
      {"Check connection", true, true},
  };
  for (const Item& item : items) {
    QAction* action = window->find_action(item.caption);
    QVERIFY2(action != nullptr, item.caption);
    QVERIFY2(action->isVisible() == item.visible, item.caption);
    QVERIFY2(action->isEnabled() == item.enabled, item.caption);
  }

  struct Arrangement {
    const char* caption;
    bool config_minimised, message_minimised, route_minimised;
  };
  const Arrangement arrangements[] = {
      {"Descrption + Message", false, false, true}, {"Descrption + Chain", false, true, false},
      {"Message + Chain", true, false, false},      {"&Minimize all", true, true, true},
      {"&Restore all", false, false, false},
  };
  for (const Arrangement& a : arrangements) {
    window->find_action(a.caption)->trigger();
    QVERIFY2(window->child("Configure JTAG chain devices")->isMinimized() == a.config_minimised, a.caption);
    QVERIFY2(window->child("Message")->isMinimized() == a.message_minimised, a.caption);
    QVERIFY2(window->child("JTAG chain route")->isMinimized() == a.route_minimised, a.caption);
  }
}

void MainWindowTest::messageWindowAppendsAndReplaces() {
  struct Op {
    char kind;  // 'a' add, 'r' replace, 'm' append marks to the last line
    const char* text;
  };
  struct Case {
    const char* name;
    std::vector<Op> ops;
    QString text;
    std::string last;
    int lines;
  };
  const Case cases[] = {
      {"nothing", {}, "", "", 0},
      {"lines", {{'a', "one"}, {'a', "two"}}, "one\ntwo", "two", 2},
      {"empty lines count", {{'a', ""}, {'a', "x"}, {'a', ""}}, "\nx\n", "", 3},
      {"replace on an empty window adds", {{'r', "first"}}, "first", "first", 1},
      {"replace changes the last only", {{'a', "a"}, {'a', "b"}, {'r', "c"}}, "a\nc", "c", 2},
      {"marks grow the last line",
       {{'a', "Programming"}, {'a', ""}, {'m', " *"}, {'m', " *"}, {'a', "done"}},
       "Programming\n * *\ndone",
       "done",
       3},
  };
  for (const Case& c : cases) {
    gui::MessageWindow window;
    for (const Op& op : c.ops) {
      if (op.kind == 'a') window.add_message(op.text);
      if (op.kind == 'r') window.replace_last_message(op.text);
      if (op.kind == 'm') window.append_to_last_message(op.text);
      // Half the cases see the document between steps, half only at the end.
      if (c.ops.size() % 2 == 0) window.flush();
    }
    QVERIFY2(window.last_message() == c.last, c.name);
    QVERIFY2(window.text() == c.text, c.name);
    QVERIFY2(window.line_count() == c.lines, c.name);
    QVERIFY2(window.last_message() == c.last, c.name);
  }
}

void MainWindowTest::messageWindowEditsOnlyTheLastLine() {
  gui::MessageWindow window;
  for (const char* line : {"a", "bb", "ccc"}) window.add_message(line);
  window.flush();
  QTextDocument* document = window.editor()->document();
  QSignalSpy changes(document, &QTextDocument::contentsChange);
  window.replace_last_message("dddd");
  window.add_message("e");
  QCOMPARE(changes.count(), 0);  // gathered until the next turn of the event loop
  QTRY_COMPARE(window.editor()->toPlainText(), QString("a\nbb\ndddd\ne"));
  QVERIFY(!changes.isEmpty());
  for (const QList<QVariant>& change : changes) {
    QVERIFY2(change.at(0).toInt() >= 5, "a line before the last one was rewritten");  // "a\nbb\n"
  }
  QVERIFY(window.editor()->isReadOnly());
  QCOMPARE(window.editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
  QCOMPARE(window.editor()->palette().color(QPalette::Base), QColor(255, 128, 128));
}

void MainWindowTest::viewerShowsImagesAsHex() {
  QByteArray bytes(
      "3\x00\xff"
      "ABCDEFGHIJKLMN"
      "z",
      18);
  QCOMPARE(gui::hex_dump(bytes),
           QString("00000000  33 00 ff 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d  3..ABCDEFGHIJKLM\n"
                   "00000010  4e 7a                                            Nz\n"));
  QCOMPARE(gui::hex_dump({}), QString());

  Bench bench;
  auto window = bench.window();
  QVERIFY(start(*window));
  bench.write("image.bin", bytes);
  bench.write("chain.vrf", "row 1 ok\nrow 2 ok\n");
  struct Case {
    const char* file;
    QString starts;
  };
  for (const Case& c : {Case{"image.bin", "00000000  33 00 ff"}, Case{"chain.vrf", "row 1 ok\nrow 2 ok"},
                        Case{"IMAGE.BIF", ""}}) {
    if (QString(c.file) == "IMAGE.BIF") bench.write(c.file, "\x01\x02");
    window->view_file(bench.path(c.file));
    QVERIFY(window->viewer() != nullptr);
    QVERIFY2(window->viewer()->text().startsWith(c.starts.isEmpty() ? "00000000  01 02" : c.starts), c.file);
  }
  window->view_file(bench.path("missing.svf"));
  QCOMPARE(bench.prompts.boxes,
           std::vector<std::string>{"warning: " + bench.spath("missing.svf") + " not found!"});
}

void MainWindowTest::editorStartFailuresShowTheirCode() {
  class FakePrograms final : public gui::ExternalPrograms {
   public:
    QString environment(const char* name) const override { return env.value(name); }
    bool start_detached(const QString& program, const QStringList& args) override {
      started.append(program + " " + args.join(' '));
      return true;
    }
    bool open_url(const QUrl& url) override {
      started.append("open " + url.toLocalFile());
      return true;
    }
    QString find_executable(const QString& name) const override { return name == "sh" ? "/bin/sh" : ""; }
    QMap<QString, QString> env;
    QStringList started;
  };
  struct Case {
    const char* visual;
    const char* editor;
    QString started;  // "" when nothing starts
    std::string box;
  };
  const Case cases[] = {
      {"", "sh -e", "/bin/sh -e CHAIN", ""},
      {"sh", "vi", "/bin/sh CHAIN", ""},
      {"", "", "open CHAIN", ""},
      {"no-such-editor -x", "", "",
       "warning: Error on running:\rno-such-editor\rCode #2:File was not found."},
      {"", "/etc/passwd", "",
       "warning: Error on running:\r/etc/passwd\rCode #11:Executable file was invalid."},
  };
  for (const Case& c : cases) {
    Bench bench;
    FakePrograms programs;
    programs.env["VISUAL"] = c.visual;
    programs.env["EDITOR"] = c.editor;
    bench.programs = &programs;
    auto window = bench.window({bench.spath("chain.jcd")});
    QVERIFY(start(*window));
    window->invoke_editor();
    QString expected = c.started;
    expected.replace("CHAIN", bench.path("chain.jcd"));
    QCOMPARE(programs.started, expected.isEmpty() ? QStringList() : QStringList{expected});
    QCOMPARE(bench.prompts.boxes,
             c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    QCOMPARE(bench.prompts.beeps, c.box.empty() ? 0 : 1);
  }
  QCOMPARE(gui::start_error_reason(7), QString("?? System error ??"));
  QCOMPARE(gui::start_error_reason(21), QString("Application requires Microsoft Windows 32-bit extensions."));
}

void MainWindowTest::helpShowsTheManual() {
  Bench bench;
  auto window = bench.window();
  QVERIFY(start(*window));
  window->show_help();
  QVERIFY(window->help_window() != nullptr);
  const QString text = window->help_window()->browser()->toPlainText();
  for (const char* heading : {"Chain file", "Menus", "Error messages", "Output files"})
    QVERIFY2(text.contains(heading), qPrintable(heading + QString(" not in ") + text.left(200)));
  gui::HelpWindow* first = window->help_window();
  window->show_help();
  QCOMPARE(window->help_window(), first);  // shown again, not opened twice
}

void MainWindowTest::commandLine() {
  const gui::GuiArguments a =
      gui::parse_gui_arguments({"--io", "sim:b.sim", "--port=3BC", "x.jbf", "chain.jcd"});
  QVERIFY(a.port.kind == ui::PortChoice::Kind::kSim);
  QCOMPARE(a.port.argument, std::string("b.sim"));
  QCOMPARE(a.port_index.value_or(-1), 2);
  QCOMPARE(a.files, (std::vector<std::string>{"x.jbf", "chain.jcd"}));
  QCOMPARE(gui::parse_gui_arguments({"--", "--io"}).files, std::vector<std::string>{"--io"});
  QVERIFY(!gui::parse_gui_arguments({}).port_index.has_value());

  const std::vector<std::vector<std::string>> bad = {
      {"--io"}, {"--io", "sim:"}, {"--io", "lpt9"}, {"--port", "2f8"}, {"--verbose"}};
  for (const auto& args : bad) {
    QVERIFY_THROWS_EXCEPTION(gui::GuiUsageError, gui::parse_gui_arguments(args));
  }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
