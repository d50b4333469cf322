// Where the main window meets the chain configuration window and the dialogs, driven as a user drives them:
// a new board chosen in Port Setup rebuilds the session under the same chain and settings, a click in the
// grid picks the device ID dialog's device, the debug options reach the "<<OFF-LINE>>" label, a Read device
// ID run fills the device ID and review dialogs, an edit made in the grid is offered for saving, and the
// chain drawing follows the chain and picks the device under the pointer.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "chain/tests/recording_prompts.h"
#include "engine/context.h"
#include "ui/core/chain_edit.h"
#include "ui/gui/chain_route_window.h"
#include "ui/gui/main_window.h"
#include "ui/gui/message_window.h"
#include "ui/gui/session_windows.h"
#include "ui/gui/tests/example_folder.h"
#include "ui/gui/tests/window_rig.h"

using namespace zepa;
using gui::MainWindow;

namespace {

using Marks = std::vector<std::pair<int, bool>>;

// The example folder, with the boxes recorded.
struct Bench : gui::testing::ExampleFolder {
  bool write(const QString& name, const QString& text) const {
    QFile file(path(name));
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
  }

  // A started main window on the example board with `chain` loaded from the command line.
  std::unique_ptr<MainWindow> started(const QString& chain = "chain.jcd") {
    auto window = std::make_unique<MainWindow>(setup("board.sim", {spath(chain)}, &prompts));
    QSignalSpy started(window.get(), &MainWindow::startup_finished);
    window->show();
    if (!started.wait(30000)) return nullptr;
    return window;
  }

  chain::testing::RecordingPrompts prompts;
};

QTableWidget* grid(MainWindow& window) {
  return window.chain_window().findChild<QTableWidget*>("device_grid");
}

template <typename T>
T* named(QObject* parent, const char* name) {
  T* found = parent->findChild<T*>(name);
  if (found == nullptr) qFatal("no %s", name);
  return found;
}

// Presses the Execute button of the chain configuration window and waits for the run's end.
bool execute(MainWindow& window) {
  QSignalSpy done(&window, &MainWindow::job_finished);
  QTest::mouseClick(named<QPushButton>(&window.chain_window(), "execute"), Qt::LeftButton);
  if (!window.running()) return false;
  return done.wait(60000);
}

// A click (press and release) on a grid cell.
void click_cell(QTableWidget* view, int row, int column) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, gui::testing::cell_centre(view, row, column));
}

gui::ChainRouteWindow& route(MainWindow& window) {
  auto* drawing = qobject_cast<gui::ChainRouteWindow*>(window.child("JTAG chain route")->widget());
  if (drawing == nullptr) qFatal("no chain drawing");
  return *drawing;
}

// The pointer moved over the chain drawing to a point of the drawing.
void hover(gui::ChainRouteWindow& drawing, QPoint at) {
  gui::testing::send_mouse(drawing.surface(), QEvent::MouseMove, Qt::NoButton,
                           at + QPoint(gui::ChainRouteWindow::kSurfaceMargin, 0));
}

// Does a modal dialog's work once its event loop is up: `act`, then the button `close` ends it.
void when_modal(const char* name, const char* close, std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [name, close, act] {
    QWidget* dialog = QApplication::activeModalWidget();
    QVERIFY2(dialog != nullptr && dialog->objectName() == name, name);
    act(dialog);
    QTest::mouseClick(named<QPushButton>(dialog, close), Qt::LeftButton);
  });
}

}  // namespace

class WindowSeamsTest : public QObject {
  Q_OBJECT

 private slots:
  void aNewBoardFromPortSetupRebuildsTheSession();
  void gridClicksAndDebugOptionsReachTheirWindows();
  void aReadDeviceIdRunFillsTheDeviceDialogs();
  void anEditInTheGridIsOfferedForSaving();
  void theCommandLineChainIsReadyToExecute();
  void nothingReadsTheChainWhileARunWritesIt();
  void theChainDrawingFollowsTheChain();
};

void WindowSeamsTest::aNewBoardFromPortSetupRebuildsTheSession() {
  Bench bench;
  // Another board: its third part is not the VTL5128C the chain names, so a run on it fails there.
  QVERIFY(bench.write("Other Board.sim",
                      "port 378\ncable relay\ndevice VTL3032C\ndevice VTL5064C\n"
                      "device VTL5064C\n"));
  auto window = bench.started();
  QVERIFY(window);
  window->session().programmer().settings.IspOptions |= engine::kOptVerifyLog;
  QPointer<gui::ChainConfigWindow> old_chain_window = &window->chain_window();
  QPointer<gui::DeviceIdDialog> old_device_id = &window->device_id_dialog();
  const ui::Session* old_session = &window->session();
  click_cell(grid(*window), 1, ui::kColPart);
  window->find_action("IDcode")->trigger();

  window->find_action("&Port Setup...")->trigger();
  auto* dialog = window->findChild<gui::PortSetupDialog*>();
  QVERIFY(dialog && dialog->isVisible());
  QCOMPARE(named<QLineEdit>(dialog, "board_file")->text(), bench.path("board.sim"));
  QCOMPARE(named<QLineEdit>(dialog, "device_count")->text(), QString("3"));
  named<QLineEdit>(dialog, "board_file")->setText(bench.path("Other Board.sim"));
  QTest::mouseClick(named<QPushButton>(dialog, "ok"), Qt::LeftButton);

  // The old windows go with their session; the new ones sit where they were.
  QTRY_VERIFY(old_chain_window.isNull());
  QTRY_VERIFY(old_device_id.isNull());
  QVERIFY(&window->session() != old_session);
  QCOMPARE(window->port_choice().argument, bench.spath("Other Board.sim"));
  QCOMPARE(window->child("Configure JTAG chain devices")->widget(), &window->chain_window());
  QCOMPARE(window->findChildren<gui::PortSetupDialog*>().size(), 1);
  QVERIFY(window->chain_window().isVisible());
  QVERIFY(window->device_id_dialog().isVisible());
  QCOMPARE(window->device_id_dialog().current_device(), 2);

  // The chain, its file and the settings are kept, and the windows show them.
  const chain::ChainTable& table = window->session().table();
  QCOMPARE(table.DeviceCount, 3);
  QCOMPARE(QString::fromStdString(table.JcdPath), bench.path("chain.jcd"));
  QCOMPARE(QString::fromStdString(table[3].jed.str()), QString("design128.jed"));
  QVERIFY(window->session().programmer().settings.IspOptions & engine::kOptVerifyLog);
  QCOMPARE(grid(*window)->item(2, ui::kColPart)->text(), QString("VTL5128C"));
  QCOMPARE(named<QLabel>(&window->chain_window(), "current_file")->text(), bench.path("chain.jcd"));
  QCOMPARE(named<QLabel>(&window->chain_window(), "device_count")->text(), QString("3"));

  // Port Setup shows the new board; a run goes to it.
  window->find_action("&Port Setup...")->trigger();
  dialog = window->findChild<gui::PortSetupDialog*>();
  QCOMPARE(named<QLineEdit>(dialog, "board_file")->text(), bench.path("Other Board.sim"));
  dialog->close();
  Marks marks;
  connect(window.get(), &MainWindow::result_marked,
          [&](int n, bool passed) { marks.emplace_back(n, passed); });
  QVERIFY(execute(*window));
  QCOMPARE(marks, (Marks{{1, true}, {2, true}, {3, false}}));
  QVERIFY(QFile::exists(bench.path("Other Board.sim.state")));
  QVERIFY(named<QLabel>(&window->chain_window(), "operation_failed")->isVisible());
}

void WindowSeamsTest::gridClicksAndDebugOptionsReachTheirWindows() {
  Bench bench;
  auto window = bench.started();
  QVERIFY(window);

  // A click on a device row makes it the device ID dialog's device.
  for (const int row : {2, 0}) {
    click_cell(grid(*window), row, ui::kColPart);
    QCOMPARE(window->device_id_dialog().current_device(), row + 1);
  }
  window->find_action("IDcode")->trigger();
  QVERIFY(window->device_id_dialog().isVisible());
  QCOMPARE(named<QLabel>(&window->device_id_dialog(), "device")->text(), QString("1"));
  window->device_id_dialog().close();

  // Off-line programming from the debug options shows and hides the label.
  auto* off_line = named<QLabel>(&window->chain_window(), "off_line");
  QVERIFY(off_line->isHidden());
  for (const bool expected : {true, false}) {
    when_modal("debug_options_dialog", "ok",
               [](QWidget* dialog) { named<QCheckBox>(dialog, "off_line")->click(); });
    window->find_action("Output/Debug options...")->trigger();
    QCOMPARE(window->session().programmer().settings.OffLine, expected);
    QCOMPARE(off_line->isVisible(), expected);
  }
}

void WindowSeamsTest::aReadDeviceIdRunFillsTheDeviceDialogs() {
  Bench bench;
  const QString word = QString::fromStdString(std::string(chain::command_word(chain::kOpReadId)));
  QString text = bench.read("chain.jcd");
  text.replace(QRegularExpression("(DEVICE 2 +VTL5064C +4 +)PV"), "\\1" + word);
  QVERIFY(text.contains(word));
  QVERIFY(bench.write("readid.jcd", text));
  auto window = bench.started("readid.jcd");
  QVERIFY(window);
  gui::DeviceIdDialog& device_id = window->device_id_dialog();
  device_id.set_current_device(3);
  QVERIFY(!device_id.isVisible());

  QVERIFY(execute(*window));
  QTRY_VERIFY(device_id.isVisible());
  QCOMPARE(device_id.current_device(), 2);
  const std::pair<const char*, QString> shown[] = {
      {"device", "2"}, {"architecture", "ZEPA1"}, {"macrocells", "64 MC, Ext"}, {"state", "not secured"}};
  for (const auto& [name, value] : shown) QCOMPARE(named<QLabel>(&device_id, name)->text(), value);
  QVERIFY(named<QLabel>(&device_id, "idcode")->text().endsWith(" (lsb..msb)"));

  // The review lists what the run read.
  QStringList review;
  when_modal("review_dialog", "close", [&review](QWidget* dialog) {
    auto* lines = named<QListWidget>(dialog, "lines");
    for (int row = 0; row < lines->count(); ++row) review << lines->item(row)->text();
  });
  window->find_action("Review")->trigger();
  QVERIFY(review.size() > 31);
  const std::pair<int, QString> expected[] = {{14, "Device #2"},
                                              {18, "Architecture: ZEPA1"},
                                              {20, "Macrocell #: 64 MC, Ext"},
                                              {31, "Architecture: "}};
  for (const auto& [row, line] : expected) QCOMPARE(review[row], line);
}

void WindowSeamsTest::anEditInTheGridIsOfferedForSaving() {
  const bool answers[] = {false, true};
  for (const bool answer : answers) {
    Bench bench;
    auto window = bench.started();
    QVERIFY(window);
    const QString original = bench.read("chain.jcd");
    // Device 2 is only checked blank: the operation list opened by a double-click on its cell.
    gui::testing::double_click(grid(*window), 1, ui::kColOperation);
    auto* list = named<QListWidget>(&window->chain_window(), "operation_list");
    QVERIFY(list->isVisible());
    const QListWidgetItem* item = list->findItems("Blank Check", Qt::MatchExactly).value(0);
    QVERIFY(item);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    QCOMPARE(grid(*window)->item(1, ui::kColOperation)->text(), QString("Blank Check"));

    bench.prompts.answer = answer;
    QVERIFY(execute(*window));
    QCOMPARE(bench.prompts.boxes,
             std::vector<std::string>{"confirm: JCD file has changed, do you wish to save?"});
    const QString word = QString::fromStdString(std::string(chain::command_word(chain::kOpBlankCheck)));
    if (answer) {
      QVERIFY(bench.read("chain.jcd").contains(QRegularExpression("DEVICE 2 .* " + word + " ")));
    } else {
      QCOMPARE(bench.read("chain.jcd"), original);
    }
    QCOMPARE(window->session().table()[2].result, chain::kResultPass);
  }
}

void WindowSeamsTest::theCommandLineChainIsReadyToExecute() {
  // zepaisp --io sim:board.sim chain.jcd, started in the folder of both.
  Bench bench;
  struct Back {
    QString cwd = QDir::currentPath();
    ~Back() { QDir::setCurrent(cwd); }
  } back;
  QVERIFY(QDir::setCurrent(bench.dir.path()));
  gui::MainWindowSetup setup;
  setup.arguments = gui::parse_gui_arguments({"--io", "sim:board.sim", "chain.jcd"});
  setup.program_dir = ZEPA_BIN_DIR "/";
  setup.work_dir = bench.spath("work") + "/";
  setup.prompts = &bench.prompts;
  MainWindow window(std::move(setup));
  QSignalSpy started(&window, &MainWindow::startup_finished);
  window.show();
  QVERIFY(started.wait(30000));

  QCOMPARE(bench.prompts.boxes, std::vector<std::string>{});
  QVERIFY(window.chain_window().isVisible());
  QCOMPARE(named<QLabel>(&window.chain_window(), "device_count")->text(), QString("3"));
  QVERIFY(named<QLabel>(&window.chain_window(), "current_file")->text().endsWith("chain.jcd"));
  const QStringList parts = {"VTL3032C", "VTL5064C", "VTL5128C"};
  for (int row = 0; row < 3; ++row) {
    QCOMPARE(grid(window)->item(row, ui::kColPart)->text(), parts[row]);
    QCOMPARE(grid(window)->item(row, ui::kColOperation)->text(), QString("Prog & Verify"));
  }
  QVERIFY(named<QPushButton>(&window.chain_window(), "execute")->isEnabled());
  QVERIFY(window.find_action("Check connection")->isEnabled());
  QVERIFY(!window.find_action("&Stop")->isEnabled());
  Marks marks;
  connect(&window, &MainWindow::result_marked, [&](int n, bool passed) { marks.emplace_back(n, passed); });
  QVERIFY(execute(window));
  QCOMPARE(marks, (Marks{{1, true}, {2, true}, {3, true}}));
}

void WindowSeamsTest::nothingReadsTheChainWhileARunWritesIt() {
  Bench bench;
  auto window = bench.started();
  QVERIFY(window);
  gui::DeviceIdDialog& device_id = window->device_id_dialog();
  window->find_action("IDcode")->trigger();  // left open through the run
  QVERIFY(device_id.isVisible());
  auto* ues = named<QTableWidget>(&window->chain_window(), "ues_grid");

  // What the windows offer while device 1 is being worked on, and after the run.
  struct Offered {
    bool id_item, arrows, signatures;
    int device_after_click, device_after_hover;
    bool operator==(const Offered&) const = default;
  };
  auto offered = [&] {
    click_cell(grid(*window), 2, ui::kColPart);
    const int clicked = device_id.current_device();
    device_id.set_current_device(1);
    hover(route(*window), QPoint(220, 50));  // inside device 2's box
    const Offered now{window->find_action("IDcode")->isEnabled(),
                      named<QToolButton>(&device_id, "next_device")->isEnabled(), ues->isEnabled(), clicked,
                      device_id.current_device()};
    device_id.set_current_device(1);
    return now;
  };
  std::vector<Offered> during;
  QTimer poll;
  poll.setInterval(1);
  connect(&poll, &QTimer::timeout, [&] {
    if (!window->message_window().text().contains("---------------Begin operation---------------")) return;
    poll.stop();
    during.push_back(offered());
  });
  poll.start();
  QVERIFY(execute(*window));
  QCOMPARE(during.size(), std::size_t{1});
  QVERIFY(during.front() == (Offered{false, false, false, 1, 1}));
  QCOMPARE(route(*window).highlighted_device(), 0);
  QVERIFY(offered() == (Offered{true, true, true, 3, 2}));
  QCOMPARE(route(*window).highlighted_device(), 2);
}

void WindowSeamsTest::theChainDrawingFollowsTheChain() {
  Bench bench;
  QString six = bench.read("chain.jcd");
  six.replace("TOTAL_DEVICE 3", "TOTAL_DEVICE 6");
  for (const char* n : {"4", "5", "6"})
    six.replace("\r\n\r\n#User",
                QString("\r\nDEVICE %1           VTL3064A         4         NO\r\n\r\n#User").arg(n));
  QVERIFY(bench.write("six.jcd", six));
  auto window = bench.started();
  QVERIFY(window);
  gui::ChainRouteWindow& drawing = route(*window);
  const chain::ChainTable& table = window->session().table();
  using Box = std::array<int, 4>;
  // The command line's chain is drawn: three boxes in the first row.
  QCOMPARE(table[3].box, (Box{280, 20, 340, 80}));
  QCOMPARE(drawing.image().pixelColor(283, 77), gui::kRouteBoxGrey);
  QCOMPARE(drawing.image().pixelColor(103, 167), gui::kRouteBackground);

  // The pointer on a box picks the device ID dialog's device; off the boxes, the first device.
  hover(drawing, QPoint(220, 50));
  QCOMPARE(drawing.highlighted_device(), 2);
  QCOMPARE(window->device_id_dialog().current_device(), 2);
  hover(drawing, QPoint(30, 300));
  QCOMPARE(drawing.highlighted_device(), 0);
  QCOMPARE(window->device_id_dialog().current_device(), 1);

  // A longer chain loaded: the view goes back to its origin and the sixth box opens the second row.
  drawing.scroll_area()->verticalScrollBar()->setValue(30);
  QVERIFY(drawing.scroll_area()->verticalScrollBar()->value() > 0);
  QVERIFY(window->load_jcd(bench.path("six.jcd")));
  QCOMPARE(table.DeviceCount, 6);
  QCOMPARE(drawing.scroll_area()->verticalScrollBar()->value(), 0);
  QCOMPARE(table[6].box, (Box{100, 110, 160, 170}));
  QCOMPARE(drawing.image().pixelColor(103, 167), gui::kRouteBoxGrey);

  // A part chosen in the grid: the highlight goes and the drawing is the edited chain's.
  hover(drawing, QPoint(130, 50));
  QCOMPARE(drawing.highlighted_device(), 1);
  const QImage before = drawing.image();
  gui::testing::double_click(grid(*window), 0, ui::kColPart);
  auto* parts = named<QListWidget>(&window->chain_window(), "part_list");
  const QListWidgetItem* item = parts->findItems("VTL5032C", Qt::MatchExactly).value(0);
  QVERIFY(item);
  parts->scrollToItem(item);
  QTest::mouseClick(parts->viewport(), Qt::LeftButton, {}, parts->visualItemRect(item).center());
  QCOMPARE(table[1].part, chain::kPartVtl5032C);
  QCOMPARE(drawing.highlighted_device(), 0);
  chain::ChainTable edited = table;
  QImage expected(gui::kRouteImageWidth, gui::kRouteImageHeight, QImage::Format_RGB32);
  QPainter painter(&expected);
  gui::draw_chain(painter, edited, gui::route_layout(6));
  painter.end();
  QCOMPARE(drawing.image(), expected);
  QVERIFY(drawing.image() != before);
}

QTEST_MAIN(WindowSeamsTest)
#include "window_seams_test.moc"
