// The ZEPA2 slave-serial dialog in the main window on a board whose part is wired for slave-serial
// configuration: the wiring table filled afresh each time the dialog opens, the file chosen with "File:",
// and Run clocking the file into the part on the worker, with the result box.
#include "ui/gui/dialogs/slave_serial_dialog.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>
#include <memory>
#include <string>

#include "chain/tests/recording_prompts.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_writer.h"
#include "sim/board.h"
#include "ui/core/slave_serial.h"
#include "ui/gui/main_window.h"
#include "ui/gui/tests/example_folder.h"

using namespace zepa;
using gui::MainWindow;
using gui::SlaveSerialDialog;

namespace {

struct Bench : gui::testing::ExampleFolder {
  Bench() {
    QFile board(path("ss.sim"));
    if (board.open(QIODevice::WriteOnly)) board.write("cable corvane\ndevice VTL3320 slave-serial\n");
    // A design's configuration files, as fusebuild writes them.
    fusemap::zepa2::assemble_std_frame(fusemap::testing::RandomFuses(173492, 5), 130, spath("d.jed"));
  }
  std::unique_ptr<MainWindow> started() {
    auto window = std::make_unique<MainWindow>(setup("ss.sim", {}, &prompts));
    QSignalSpy done(window.get(), &MainWindow::startup_finished);
    window->show();
    if (!done.wait(30000)) return nullptr;
    return window;
  }
  chain::testing::RecordingPrompts prompts;
};

// Chooses `file` with "File:" and presses Run; true when the load ran to its end.
bool load(MainWindow& window, const QString& file) {
  SlaveSerialDialog& dialog = window.slave_serial_dialog();
  dialog.set_file_chooser([file](QWidget*, const gui::FileRequest& request) {
    return request.filter.startsWith("ZEPA2 MCSt file (*.mcs)") ? file : QString();
  });
  QTest::mouseClick(dialog.findChild<QPushButton*>("file"), Qt::LeftButton);
  if (dialog.findChild<QLineEdit*>("file_box")->text() != file) return false;
  QSignalSpy done(&window, &MainWindow::job_finished);
  QTest::mouseClick(dialog.findChild<QPushButton*>("run"), Qt::LeftButton);
  return done.wait(60000);
}

}  // namespace

class SlaveSerialDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void wiringTableIsFilledEachTimeTheDialogOpens();
  void runLoadsTheChosenFileAndTellsWhetherDoneWentHigh();
};

void SlaveSerialDialogTest::wiringTableIsFilledEachTimeTheDialogOpens() {
  Bench bench;
  auto window = bench.started();
  QVERIFY(window);
  QAction* item = window->find_action("SS configuration...");
  QVERIFY(item && item->isEnabled());
  item->trigger();
  SlaveSerialDialog& dialog = window->slave_serial_dialog();
  QVERIFY(dialog.isVisible());
  QCOMPARE(dialog.windowTitle(), QString("ZEPA2 Slave Serial Configuration"));
  QTableWidget& wiring = dialog.wiring();
  QCOMPARE(wiring.rowCount(), 7);
  const char* expected[7][2] = {{"Cable", "ZEPA2"},   {"TCK,CCLK", "cclk"}, {"TDI,DIN", "din"},
                                {"TMS,PROG", "pgmn"}, {"TDO,D/P", "done"},  {"VCC", "vdd"},
                                {"GND", "gnd"}};
  for (int r = 0; r < 7; ++r) {
    QCOMPARE(wiring.item(r, 0)->text(), QString(expected[r][0]));
    QCOMPARE(wiring.item(r, 1)->text(), QString(expected[r][1]));
  }
  wiring.item(3, 1)->setText("changed");
  dialog.close();
  item->trigger();
  QCOMPARE(wiring.item(3, 1)->text(), QString("pgmn"));
}

void SlaveSerialDialogTest::runLoadsTheChosenFileAndTellsWhetherDoneWentHigh() {
  Bench bench;
  auto window = bench.started();
  QVERIFY(window);
  window->find_action("SS configuration...")->trigger();
  struct Case {
    QString file;
    const char* box;
    bool done;
  };
  QFile::copy(bench.path("d.bit"), bench.path("Other Case.BIT"));
  QString flipped = bench.read("d.bit");
  flipped[1000] = flipped[1000] == '1' ? '0' : '1';
  QFile out(bench.path("flipped.bit"));
  QVERIFY(out.open(QIODevice::WriteOnly) && out.write(flipped.toUtf8()) > 0);
  out.close();
  const Case cases[] = {
      {bench.path("d.bit"), "info: Configure VTL320/960 done !", true},
      {bench.path("flipped.bit"), "error: Error:Completed configuration while no 'DONE pin=High' detected!",
       false},
      {bench.path("d.mcs"), "info: Configure VTL320/960 done !", true},
      {bench.path("Other Case.BIT"), "info: Configure VTL320/960 done !", true},
      // Nothing is sent: the part keeps the configuration of the load before.
      {bench.path("d.jed"), "error: Not a legal configuration file!", true},
  };
  for (const Case& c : cases) {
    bench.prompts.boxes.clear();
    QVERIFY2(load(*window, c.file), qPrintable(c.file));
    QCOMPARE(bench.prompts.boxes, std::vector<std::string>{c.box});
    QCOMPARE(window->session().board()->slave_serial()->done(), c.done);
  }
}

QTEST_MAIN(SlaveSerialDialogTest)
#include "slave_serial_dialog_test.moc"
