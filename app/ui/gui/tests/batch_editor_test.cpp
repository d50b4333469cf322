// The batch editor on the main window's simulated board, driven as a user drives it: rows chosen by
// double-click, saved with gaps and loaded again, a batch run shown row by row while the editor is locked,
// a batch file longer than the grid, the chain file checks of the grid's gestures, the "&Delete" pop-up, and
// the editor kept over a session rebuilt for another board.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "chain/tests/recording_prompts.h"
#include "ui/gui/dialogs/batch_editor_dialog.h"
#include "ui/gui/main_window.h"
#include "ui/gui/session_windows.h"
#include "ui/gui/tests/example_folder.h"
#include "ui/gui/tests/window_rig.h"

using namespace zepa;
using gui::BatchEditorDialog;
using gui::MainWindow;

namespace {

template <typename T>
T* named(QObject* parent, const char* name) {
  T* found = parent->findChild<T*>(name);
  if (found == nullptr) qFatal("no %s", name);
  return found;
}

// The example folder with two more chains on its board: pass.jcd bypasses every device, fail.jcd checks a
// third part that is not the one on the board. The current folder is put back afterwards (a run moves it).
struct Bench : gui::testing::ExampleFolder {
  Bench() {
    QString text = read("chain.jcd");
    text.replace(QRegularExpression("PV +design[0-9]+\\.jed"), "NO");
    write("pass.jcd", text);
    text.replace(QRegularExpression("(DEVICE 3 +)VTL5128C( +4 +)NO"), "\\1VTL5064C\\2CK");
    write("fail.jcd", text);
    // The file menu's marker, without the batch editor's longer one.
    write("other.jcd", "#device JTAG chain description\r\nTOTAL_DEVICE 1\r\n");
  }
  ~Bench() { QDir::setCurrent(cwd); }

  void write(const QString& name, const QString& text) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
  }

  // A started main window on the example board with no chain loaded, and its batch editor shown with
  // its file dialogs answered from `chosen` (in turn; every request is kept).
  // With `recorded_boxes` off the program's own message boxes come up.
  std::unique_ptr<MainWindow> started(bool recorded_boxes = true) {
    auto window = std::make_unique<MainWindow>(setup("board.sim", {}, recorded_boxes ? &prompts : nullptr));
    QSignalSpy done(window.get(), &MainWindow::startup_finished);
    window->show();
    if (!done.wait(30000)) return nullptr;
    window->find_action("&Batch Editor...")->trigger();
    window->batch_editor().set_file_chooser([this](QWidget*, const gui::FileRequest& request) {
      requests.push_back(request);
      return chosen.isEmpty() ? QString() : chosen.takeFirst();
    });
    return window;
  }

  chain::testing::RecordingPrompts prompts;
  QStringList chosen;
  std::vector<gui::FileRequest> requests;
  QString cwd = QDir::currentPath();
};

QTableWidget* grid(BatchEditorDialog& editor) {
  return named<QTableWidget>(&editor, "batch_grid");
}

// Column `column` of rows 1..n.
QStringList column(BatchEditorDialog& editor, int column, int n) {
  QStringList texts;
  for (int row = 0; row < n; ++row) {
    const QTableWidgetItem* item = grid(editor)->item(row, column);
    texts << (item != nullptr ? item->text() : QString());
  }
  return texts;
}

QAction* editor_action(BatchEditorDialog& editor, const QString& caption) {
  for (QMenu* menu : editor.findChildren<QMenu*>()) {
    for (QAction* action : menu->actions()) {
      if (action->text() == caption) return action;
    }
  }
  qFatal("no menu item %s", qPrintable(caption));
}

void click(QTableWidget* view, int row, int column) {
  const QPoint at = gui::testing::cell_centre(view, row, column);
  gui::testing::send_mouse(view->viewport(), QEvent::MouseButtonPress, Qt::LeftButton, at);
  gui::testing::send_mouse(view->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, at);
}

void right_press(QTableWidget* view, int row, int column) {
  gui::testing::send_mouse(view->viewport(), QEvent::MouseButtonPress, Qt::RightButton,
                           gui::testing::cell_centre(view, row, column));
}

// Presses "Run Batch" and waits for the batch's end.
bool run_batch(MainWindow& window) {
  QSignalSpy done(&window, &MainWindow::job_finished);
  QTest::mouseClick(named<QPushButton>(&window.batch_editor(), "run_batch"), Qt::LeftButton);
  if (!window.running()) return false;
  return done.wait(60000);
}

// The lines of the run log that give a step's result.
QStringList result_lines(const Bench& bench) {
  QStringList results;
  for (const QString& line : bench.read("work/zepaisp.log").split("\r\n")) {
    if (line == "pass" || line == "fail") results << line;
  }
  return results;
}

int executing_lines(const Bench& bench) {
  return static_cast<int>(bench.read("work/zepaisp.log").count("Executing "));
}

}  // namespace

class BatchEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsSavedWithGapsLoadAgainMovedUp();
  void aRunShowsEachStepAndStopsAtTheFailedOne();
  void linesPastTheTwentiethAreNeitherRunNorSaved();
  void theGridsGesturesCheckTheChainFiles();
  void theEditorOutlivesASessionRebuiltForAnotherBoard();
  void itsBoxesComeOverTheEditorThatStaysOnTop();
};

void BatchEditorTest::rowsSavedWithGapsLoadAgainMovedUp() {
  Bench bench;
  auto window = bench.started();
  QVERIFY(window);
  BatchEditorDialog& editor = window->batch_editor();
  QVERIFY(editor.isVisible());
  QCOMPARE(editor.windowTitle(), QString("Batch file editor"));
  QVERIFY(editor.stays_on_top());
  QVERIFY(editor.windowFlags() & Qt::WindowStaysOnTopHint);
  editor_action(editor, "&Stay on top")->trigger();
  QVERIFY(!(editor.windowFlags() & Qt::WindowStaysOnTopHint));
  QVERIFY(editor.isVisible());
  QCOMPARE(grid(editor)->rowCount(), 20);
  QCOMPARE(column(editor, 0, 3), (QStringList{"1", "2", "3"}));

  // Rows 2 and 5 chosen by double-click; the second choice is the chain shown afterwards.
  bench.chosen = {bench.path("pass.jcd"), bench.path("fail.jcd")};
  gui::testing::double_click(grid(editor), 1, 1);
  gui::testing::double_click(grid(editor), 4, 1);
  QCOMPARE(bench.requests.size(), std::size_t{2});
  QCOMPARE(bench.requests[0].filter, QString("JCD files (*.jcd);;All files (*)"));
  QCOMPARE(column(editor, 1, 5), (QStringList{"", bench.path("pass.jcd"), "", "", bench.path("fail.jcd")}));
  QCOMPARE(QString::fromStdString(window->session().table().JcdPath), bench.path("fail.jcd"));
  QCOMPARE(named<QLabel>(&window->chain_window(), "current_file")->text(), bench.path("fail.jcd"));
  QCOMPARE(window->session().table()[3].cmnd, chain::kOpBlankCheck);

  // Saved: the file names one row per line; the editor shows the name lower-cased.
  bench.chosen = {bench.path("Night Run.jbf")};
  editor_action(editor, "&Save batch file as...")->trigger();
  const gui::FileRequest& save = bench.requests.back();
  QCOMPARE(save.caption, QString("Save batch sequence as"));
  QCOMPARE(save.filter, QString("JCD batch file (*.jbf)"));
  QVERIFY(save.save);
  QCOMPARE(save.default_suffix, QString("jbf"));
  QCOMPARE(bench.read("Night Run.jbf"), bench.path("pass.jcd") + "\r\n" + bench.path("fail.jcd") + "\r\n");
  QCOMPARE(named<QLabel>(&editor, "batch_file")->text(), bench.path("Night Run.jbf").toLower());

  // Loaded again over other rows: the entries have moved up, and the name's case still finds the file.
  bench.chosen = {bench.path("chain.jcd"), bench.path("Night Run.jbf")};
  gui::testing::double_click(grid(editor), 9, 1);
  editor_action(editor, "&Load batch file...")->trigger();
  QCOMPARE(bench.requests.back().filter, QString("JCD batch file (*.jbf)"));
  QVERIFY(!bench.requests.back().save);
  QCOMPARE(column(editor, 1, 10),
           (QStringList{bench.path("pass.jcd"), bench.path("fail.jcd"), "", "", "", "", "", "", "", ""}));
  QCOMPARE(named<QLabel>(&editor, "batch_file")->text(), bench.path("Night Run.jbf").toLower());
  QCOMPARE(bench.prompts.boxes, std::vector<std::string>{});

  // A batch file that is not there is said so, and the rows stay.
  bench.chosen = {bench.path("gone.jbf")};
  editor_action(editor, "&Load batch file...")->trigger();
  QCOMPARE(bench.prompts.boxes,
           std::vector<std::string>{"error: " + bench.spath("gone.jbf") + "\rfile not found!"});
  QCOMPARE(column(editor, 1, 1), QStringList{bench.path("pass.jcd")});
}

void BatchEditorTest::aRunShowsEachStepAndStopsAtTheFailedOne() {
  Bench bench;
  // Named relative to the batch file, as a hand-written batch file names them.
  bench.write("steps.jbf", "pass.jcd\r\nmissing.jcd\r\npass.jcd\r\nfail.jcd\r\npass.jcd\r\n");
  auto window = bench.started();
  QVERIFY(window);
  BatchEditorDialog& editor = window->batch_editor();
  QVERIFY(editor.load_batch_file(bench.path("steps.jbf")));
  editor_action(editor, "&Exit after Run")->trigger();
  QVERIFY(editor.exit_after_run());
  QDir::setCurrent(QDir::tempPath());  // the run finds the chain files beside the batch file

  // Each result as it reaches the grid, and what the editor offers while the batch runs.
  QStringList shown;
  struct Offered {
    bool run_button, files_menu, delete_menu, chooser;
  };
  std::vector<Offered> during;
  auto* run_button = named<QPushButton>(&editor, "run_batch");
  connect(grid(editor)->model(), &QAbstractItemModel::dataChanged, &editor, [&](const QModelIndex& index) {
    if (run_button->isEnabled() || index.column() != 2) return;  // the refill after the run
    shown << QString("%1 %2").arg(index.row() + 1).arg(index.data().toString());
    if (during.empty()) {
      right_press(grid(editor), 0, 1);
      gui::testing::double_click(grid(editor), 5, 1);
      during.push_back({run_button->isEnabled(), editor_action(editor, "&Load batch file...")->isEnabled(),
                        named<QMenu>(&editor, "delete_menu")->isVisible(), !bench.requests.empty()});
    }
  });
  QVERIFY(run_batch(*window));

  QCOMPARE(shown,
           (QStringList{"1 running", "1 pass", "2 skip", "3 running", "3 pass", "4 running", "4 fail"}));
  QCOMPARE(during.size(), std::size_t{1});
  QVERIFY(!during[0].run_button && !during[0].files_menu && !during[0].delete_menu && !during[0].chooser);
  QCOMPARE(column(editor, 2, 6), (QStringList{"pass", "skip", "pass", "fail", "", ""}));
  QCOMPARE(column(editor, 1, 1), QStringList{"pass.jcd"});
  QCOMPARE(result_lines(bench), (QStringList{"pass", "pass", "fail"}));
  QCOMPARE(executing_lines(bench), 3);
  QVERIFY(!editor.isVisible());  // "Exit after Run"
  QVERIFY(run_button->isEnabled());
  // The failed step's chain is the one the windows show, named as the batch file names it.
  QCOMPARE(named<QLabel>(&window->chain_window(), "current_file")->text(), QString("fail.jcd"));
  QCOMPARE(window->session().table()[3].result, chain::kResultFail);
}

void BatchEditorTest::linesPastTheTwentiethAreNeitherRunNorSaved() {
  Bench bench;
  QString text;
  for (int line = 1; line <= 19; ++line) text += "\r\n";
  text += "pass.jcd\r\nfail.jcd\r\nmissing.jcd\r\n";
  bench.write("long.jbf", text);
  auto window = bench.started();
  QVERIFY(window);
  BatchEditorDialog& editor = window->batch_editor();
  QVERIFY(editor.load_batch_file(bench.path("long.jbf")));
  QCOMPARE(grid(editor)->rowCount(), 20);
  QCOMPARE(column(editor, 1, 20).last(), QString("pass.jcd"));

  QVERIFY(run_batch(*window));
  QCOMPARE(column(editor, 2, 20).last(), QString("pass"));
  QCOMPARE(result_lines(bench), QStringList{"pass"});
  QCOMPARE(executing_lines(bench), 1);

  QVERIFY(editor.save_batch_file(bench.path("short.jbf")));
  QCOMPARE(bench.read("short.jbf"), QString("pass.jcd\r\n"));
}

void BatchEditorTest::theGridsGesturesCheckTheChainFiles() {
  Bench bench;
  bench.write("steps.jbf", "missing.jcd\r\npass.jcd\r\n");
  auto window = bench.started();
  QVERIFY(window);
  BatchEditorDialog& editor = window->batch_editor();
  QVERIFY(editor.load_batch_file(bench.path("steps.jbf")));
  QTableWidget* view = grid(editor);
  const chain::ChainTable& table = window->session().table();

  struct Case {
    const char* name;
    std::function<void()> gesture;
    QStringList rows;        // column 1 of rows 1..3 afterwards
    std::string chain_file;  // the chain table's file afterwards
    std::vector<std::string> boxes;
  };
  const std::string pass = bench.spath("pass.jcd");
  const Case cases[] = {
      {"a click on a step's number shows its chain",
       [&] { click(view, 1, 0); },
       {"missing.jcd", "pass.jcd", ""},
       pass,
       {}},
      {"a chain file without the batch marker is refused",
       [&] {
         bench.chosen = {bench.path("other.jcd")};
         gui::testing::double_click(view, 1, 1);
       },
       {"missing.jcd", "pass.jcd", ""},
       pass,
       {"error: Not a valid Corvane' JCD file"}},
      {"a step whose chain file is missing",
       [&] { click(view, 0, 0); },
       {"missing.jcd", "pass.jcd", ""},
       pass,
       {"error: " + bench.spath("missing.jcd") + "\rfile not found!"}},
      {"a click on an empty row's number does nothing",
       [&] { click(view, 2, 0); },
       {"missing.jcd", "pass.jcd", ""},
       pass,
       {}},
      {"a click on a file name does nothing",
       [&] { click(view, 1, 1); },
       {"missing.jcd", "pass.jcd", ""},
       pass,
       {}},
      {"a double-click chooses the row's chain file and shows it",
       [&] {
         bench.chosen = {bench.path("chain.jcd")};
         gui::testing::double_click(view, 2, 1);
       },
       {"missing.jcd", "pass.jcd", bench.path("chain.jcd")},
       bench.spath("chain.jcd"),
       {}},
      {"a cancelled choice leaves the row",
       [&] { gui::testing::double_click(view, 2, 1); },
       {"missing.jcd", "pass.jcd", bench.path("chain.jcd")},
       bench.spath("chain.jcd"),
       {}},
      {"Delete empties the file name of the row pressed",
       [&] {
         right_press(view, 0, 1);
         auto* menu = named<QMenu>(&editor, "delete_menu");
         QVERIFY(menu->isVisible());
         QCOMPARE(menu->actions().front()->text(), QString("&Delete"));
         menu->actions().front()->trigger();
       },
       {"", "pass.jcd", bench.path("chain.jcd")},
       bench.spath("chain.jcd"),
       {}},
  };
  for (const Case& c : cases) {
    bench.prompts.boxes.clear();
    c.gesture();
    QVERIFY2(column(editor, 1, 3) == c.rows, c.name);
    QVERIFY2(table.JcdPath == c.chain_file, c.name);
    QVERIFY2(bench.prompts.boxes == c.boxes, c.name);
    QVERIFY2(named<QLabel>(&window->chain_window(), "current_file")->text() ==
                 QString::fromStdString(c.chain_file),
             c.name);
  }
  // No pop-up outside the file names.
  named<QMenu>(&editor, "delete_menu")->hide();
  right_press(view, 1, 0);
  QVERIFY(!named<QMenu>(&editor, "delete_menu")->isVisible());
  // The chain shown is ready to run as it is: its chain file is current and unchanged.
  QCOMPARE(table.DeviceCount, 3);
  QCOMPARE(table[3].cmnd, chain::kOpProgramVerify);
}

void BatchEditorTest::theEditorOutlivesASessionRebuiltForAnotherBoard() {
  Bench bench;
  QFile::copy(bench.path("board.sim"), bench.path("Other Board.sim"));
  bench.write("steps.jbf", "pass.jcd\r\n");
  auto window = bench.started();
  QVERIFY(window);
  BatchEditorDialog* editor = &window->batch_editor();
  QVERIFY(editor->load_batch_file(bench.path("steps.jbf")));

  window->find_action("&Port Setup...")->trigger();
  auto* setup = window->findChild<gui::PortSetupDialog*>();
  QVERIFY(setup != nullptr);
  named<QLineEdit>(setup, "board_file")->setText(bench.path("Other Board.sim"));
  const ui::Session* old_session = &window->session();
  QTest::mouseClick(named<QPushButton>(setup, "ok"), Qt::LeftButton);
  QTRY_VERIFY(&window->session() != old_session);

  // The same editor with the same rows, now loading into and running on the new session.
  QCOMPARE(&window->batch_editor(), editor);
  QVERIFY(editor->isVisible());
  click(grid(*editor), 0, 0);
  QCOMPARE(window->session().table().JcdPath, bench.spath("pass.jcd"));
  QVERIFY(run_batch(*window));
  QCOMPARE(column(*editor, 2, 1), QStringList{"pass"});
  QVERIFY(QFile::exists(bench.path("Other Board.sim.state")));
}

void BatchEditorTest::itsBoxesComeOverTheEditorThatStaysOnTop() {
  Bench bench;
  auto window = bench.started(false);
  QVERIFY(window);
  BatchEditorDialog& editor = window->batch_editor();
  QTRY_COMPARE(QApplication::activeWindow(), &editor);

  QWidget* over = nullptr;
  QString text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    over = box->parentWidget();
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  bench.chosen = {bench.path("other.jcd")};
  gui::testing::double_click(grid(editor), 0, 1);
  QCOMPARE(text, QString("Not a valid Corvane' JCD file"));
  QCOMPARE(over, &editor);
}

QTEST_MAIN(BatchEditorTest)
#include "batch_editor_test.moc"
