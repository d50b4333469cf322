// The chain configuration window driven through its real widgets: the pop-up lists and their rules, the
// ignored edits, the "Delete" menu, the design-file dialog, the signature grid, Execute and the labels.
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "ui/core/chain_edit.h"
#include "ui/gui/chain_config_window.h"
#include "ui/gui/tests/window_rig.h"

namespace zepa::gui {
namespace {

using namespace zepa::chain;
using testing::double_click;
using testing::GuiRig;

class ChainConfigTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void part_ir_and_operation_lists_follow_the_part();
  void right_button_or_escape_cancels_a_list();
  void edits_below_the_chain_are_ignored();
  void no_devices_shows_only_the_headers();
  void delete_empties_the_design_file_cell();
  void design_file_dialog_keeps_the_case_and_refuses_a_missing_file();
  void upload_target_is_preset_by_family();
  void signature_grid_writes_the_table();
  void execute_clears_the_results();
  void running_blocks_edits();
  void labels_and_run_marks();

 private:
  QTableWidget* grid() { return window_->findChild<QTableWidget*>("device_grid"); }
  QTableWidget* ues_grid() { return window_->findChild<QTableWidget*>("ues_grid"); }
  QListWidget* list(const char* name) { return window_->findChild<QListWidget*>(name); }
  QLabel* label(const char* name) { return window_->findChild<QLabel*>(name); }
  QString cell(int n, int column) {
    QTableWidgetItem* item = grid()->item(n - 1, column);
    return item ? item->text() : QString();
  }
  // The one list that is open, or null.
  QListWidget* open_list() {
    QListWidget* open = nullptr;
    for (const char* name : {"part_list", "ir_list", "operation_list"}) {
      if (list(name)->isVisible()) {
        if (open) QTest::qFail("two lists open", __FILE__, __LINE__);
        open = list(name);
      }
    }
    return open;
  }
  void click_item(QListWidget* shown, const QString& text) {
    const QList<QListWidgetItem*> found = shown->findItems(text, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(text));
    shown->scrollToItem(found.first());
    QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, shown->visualItemRect(found.first()).center());
  }

  std::unique_ptr<GuiRig> rig_;
  std::unique_ptr<ChainConfigWindow> window_;
  std::vector<QString> chosen_files_;  // what the scripted file dialog answers, in turn
  std::vector<FileRequest> requests_;  // what it was asked
};

void ChainConfigTest::init() {
  rig_ = std::make_unique<GuiRig>();
  ChainTable& table = rig_->table();
  table.DeviceCount = 3;
  table[1].part = kPartVtl3032C;
  table[1].IR_len = 2;
  table[1].cmnd = kOpProgramVerify;
  table[2].part = kPartVtl5064C;
  table[2].IR_len = 2;
  table[2].cmnd = kOpProgramVerify;
  table[2].jed = "design64.jed";
  table[3].part = kPartVtl5128C;
  table[3].IR_len = 2;
  table[3].cmnd = kOpVerify;
  table[4].jed = "beyond.jed";  // a position beyond the chain
  window_ = std::make_unique<ChainConfigWindow>(table, rig_->programmer(), rig_->prompts());
  chosen_files_.clear();
  requests_.clear();
  window_->set_file_chooser([this](QWidget*, const FileRequest& request) {
    requests_.push_back(request);
    if (chosen_files_.empty()) return QString();
    const QString answer = chosen_files_.front();
    chosen_files_.erase(chosen_files_.begin());
    return answer;
  });
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void ChainConfigTest::cleanup() {
  window_.reset();
  rig_.reset();
}

void ChainConfigTest::part_ir_and_operation_lists_follow_the_part() {
  struct Case {
    const char* name;
    int row, column;
    const char* list;
    const char* item;
    QStringList cells;  // part, IR length, operation afterwards
    int part, ir, cmnd;
    bool edited;
    bool warns;
  };
  const Case cases[] = {
      {"VTL3320 forces Program and IR 5",
       1,
       ui::kColPart,
       "part_list",
       "VTL3320",
       {"VTL3320", "5", "Program"},
       kPartVtl3320,
       3,
       kOpProgram,
       true,
       true},
      {"a ZEPA2 part refuses Verify",
       1,
       ui::kColOperation,
       "operation_list",
       "Verify",
       {"VTL3320", "5", "No Operation"},
       kPartVtl3320,
       3,
       kOpNoOperation,
       true,
       false},
      {"Others forces No Operation",
       2,
       ui::kColPart,
       "part_list",
       "Others",
       {"Others", "4", "No Operation"},
       kPartOthers,
       2,
       kOpNoOperation,
       true,
       false},
      {"Others takes an IR length",
       2,
       ui::kColIrLength,
       "ir_list",
       "16",
       {"Others", "16", "No Operation"},
       kPartOthers,
       9,
       kOpNoOperation,
       true,
       false},
      {"Others refuses an operation",
       2,
       ui::kColOperation,
       "operation_list",
       "Program",
       {"Others", "16", "No Operation"},
       kPartOthers,
       9,
       kOpNoOperation,
       true,
       false},
      {"a ZEPA1 IR of 4 cannot change",
       3,
       ui::kColIrLength,
       "ir_list",
       "10",
       {"VTL5128C", "4", "Verify"},
       kPartVtl5128C,
       2,
       kOpVerify,
       false,
       false},
      {"ZEPA3 keeps the operation",
       3,
       ui::kColPart,
       "part_list",
       "VTL3256XL",
       {"VTL3256XL", "5", "Verify"},
       kPartVtl3256XL,
       3,
       kOpVerify,
       true,
       false},
      {"ZEPA3 takes Read device ID",
       3,
       ui::kColOperation,
       "operation_list",
       "Read Device ID",
       {"VTL3256XL", "5", "Read device ID"},
       kPartVtl3256XL,
       3,
       kOpReadId,
       true,
       false},
  };
  for (const Case& c : cases) {
    rig_->prompts().boxes.clear();
    QSignalSpy edited(window_.get(), &ChainConfigWindow::chain_edited);
    double_click(grid(), c.row - 1, c.column);
    QCOMPARE(open_list(), list(c.list));
    click_item(list(c.list), c.item);
    QVERIFY2(open_list() == nullptr, c.name);
    QCOMPARE(QStringList({cell(c.row, 1), cell(c.row, 2), cell(c.row, 3)}), c.cells);
    const ChainDevice& dev = rig_->table()[c.row];
    QCOMPARE(dev.part, c.part);
    QCOMPARE(dev.IR_len, c.ir);
    QCOMPARE(dev.cmnd, c.cmnd);
    QCOMPARE(edited.count(), c.edited ? 1 : 0);
    const std::vector<std::string> warning = {"warning: " + std::string(ui::kZepa2OnlyProgram)};
    QVERIFY2(rig_->prompts().boxes == (c.warns ? warning : std::vector<std::string>{}), c.name);
  }
}

void ChainConfigTest::right_button_or_escape_cancels_a_list() {
  double_click(grid(), 0, ui::kColOperation);
  QListWidget* shown = list("operation_list");
  QVERIFY(shown->isVisible());
  const QPoint at = shown->visualItemRect(shown->item(0)).center();
  QTest::mousePress(shown->viewport(), Qt::RightButton, {}, at);
  QTest::mouseRelease(shown->viewport(), Qt::RightButton, {}, at);
  QVERIFY(!shown->isVisible());
  QCOMPARE(rig_->table()[1].cmnd, int(kOpProgramVerify));
  QCOMPARE(cell(1, ui::kColOperation), QString("Prog & Verify"));

  // From the keyboard: Escape cancels, Enter chooses the current item.
  double_click(grid(), 0, ui::kColOperation);
  QVERIFY(shown->isVisible());
  shown->setCurrentRow(kOpBlankCheck);
  QTest::keyClick(shown, Qt::Key_Escape);
  QVERIFY(!shown->isVisible());
  QCOMPARE(rig_->table()[1].cmnd, int(kOpProgramVerify));
  double_click(grid(), 0, ui::kColOperation);
  shown->setCurrentRow(kOpBlankCheck);
  QTest::keyClick(shown, Qt::Key_Return);
  QVERIFY(!shown->isVisible());
  QCOMPARE(rig_->table()[1].cmnd, int(kOpBlankCheck));
  QCOMPARE(cell(1, ui::kColOperation), QString("Blank Check"));
}

void ChainConfigTest::edits_below_the_chain_are_ignored() {
  QSignalSpy edited(window_.get(), &ChainConfigWindow::chain_edited);
  for (int column = 0; column < ui::kGridColumns; ++column) {
    double_click(grid(), 3, column);  // device 4, beyond the 3 of the chain
    QVERIFY2(open_list() == nullptr, qPrintable(QString::number(column)));
  }
  QVERIFY(requests_.empty());
  testing::send_mouse(grid()->viewport(), QEvent::MouseButtonPress, Qt::RightButton,
                      testing::cell_centre(grid(), 3, ui::kColDesignFile));
  QVERIFY(!window_->findChild<QMenu*>("delete_menu")->isVisible());
  QCOMPARE(edited.count(), 0);
  QCOMPARE(rig_->table()[4].jed, std::string_view("beyond.jed"));
  QCOMPARE(cell(4, ui::kColDesignFile), QString());
}

void ChainConfigTest::no_devices_shows_only_the_headers() {
  rig_->table().DeviceCount = 0;
  window_->refresh();
  for (int n = 1; n <= 60; ++n) {
    for (int column = 0; column < ui::kGridColumns; ++column) QVERIFY(cell(n, column).isEmpty());
    QVERIFY(ues_grid()->item(n - 1, 0)->text().isEmpty());
  }
  QStringList headers;
  for (int column = 0; column < ui::kGridColumns; ++column)
    headers << grid()->horizontalHeaderItem(column)->text();
  QCOMPARE(headers,
           QStringList({"Device #", "Device Name", "IR_length", "Operation", "Design file name", "result"}));
  QCOMPARE(label("device_count")->text(), QString("0"));
  double_click(grid(), 0, ui::kColPart);
  QVERIFY(open_list() == nullptr);
}

void ChainConfigTest::delete_empties_the_design_file_cell() {
  QSignalSpy edited(window_.get(), &ChainConfigWindow::chain_edited);
  // Not on another column.
  testing::send_mouse(grid()->viewport(), QEvent::MouseButtonPress, Qt::RightButton,
                      testing::cell_centre(grid(), 1, ui::kColOperation));
  auto* menu = window_->findChild<QMenu*>("delete_menu");
  QVERIFY(!menu->isVisible());

  testing::send_mouse(grid()->viewport(), QEvent::MouseButtonPress, Qt::RightButton,
                      testing::cell_centre(grid(), 1, ui::kColDesignFile));
  QVERIFY(menu->isVisible());
  QCOMPARE(menu->actions().size(), 1);
  QCOMPARE(menu->actions().first()->text(), QString("Delete"));
  menu->actions().first()->trigger();
  menu->hide();
  QVERIFY(rig_->table()[2].jed.empty());
  QCOMPARE(cell(2, ui::kColDesignFile), QString());
  QCOMPARE(cell(2, ui::kColPart), QString("VTL5064C"));
  QCOMPARE(edited.count(), 1);
}

void ChainConfigTest::design_file_dialog_keeps_the_case_and_refuses_a_missing_file() {
  const QString existing = rig_->file("Design_A.JED");
  const QString missing = QDir(rig_->dir.path()).filePath("Missing.JED");
  chosen_files_ = {existing, missing, QString()};

  double_click(grid(), 0, ui::kColDesignFile);
  QCOMPARE(requests_.size(), std::size_t{1});
  QVERIFY(requests_[0].must_exist);
  QVERIFY(requests_[0].filter.contains("*.jed"));
  QCOMPARE(cell(1, ui::kColDesignFile), existing);
  QCOMPARE(rig_->table()[1].jed, std::string_view(existing.toStdString()));
  QCOMPARE(rig_->programmer().LastFile, existing.toStdString());
  QVERIFY(rig_->prompts().boxes.empty());

  double_click(grid(), 0, ui::kColDesignFile);
  QCOMPARE(requests_[1].folder.toStdString(), rig_->programmer().LastDir);
  QCOMPARE(rig_->prompts().boxes, std::vector<std::string>{"error: Can not find: " + missing.toStdString()});
  QCOMPARE(cell(1, ui::kColDesignFile), existing);

  double_click(grid(), 0, ui::kColDesignFile);  // cancelled
  QCOMPARE(cell(1, ui::kColDesignFile), existing);
}

void ChainConfigTest::upload_target_is_preset_by_family() {
  ChainTable& table = rig_->table();
  table[1].cmnd = kOpUpload;
  table[2].part = kPartVtl3128XL;
  table[2].cmnd = kOpUpload;
  window_->refresh();
  const QString target = QDir(rig_->dir.path()).filePath("Readback.BIN");
  chosen_files_ = {target, QString()};
  double_click(grid(), 0, ui::kColDesignFile);
  double_click(grid(), 1, ui::kColDesignFile);
  QCOMPARE(requests_.size(), std::size_t{2});
  QCOMPARE(requests_[0].preset, QString("*.bin"));
  QVERIFY(!requests_[0].must_exist);
  QCOMPARE(requests_[1].preset, QString("*.jed"));
  QCOMPARE(cell(1, ui::kColDesignFile), target);  // an upload target need not exist
  QVERIFY(rig_->prompts().boxes.empty());
}

void ChainConfigTest::signature_grid_writes_the_table() {
  QSignalSpy edited(window_.get(), &ChainConfigWindow::chain_edited);
  ues_grid()->item(1, 1)->setText("board 7, rev B");
  QCOMPARE(rig_->table()[2].ues, std::string_view("board 7, rev B"));
  QCOMPARE(edited.count(), 1);

  ues_grid()->item(2, 1)->setText(QString(130, 'u'));
  QCOMPARE(rig_->table()[3].ues.size(), std::size_t{120});
  QCOMPARE(ues_grid()->item(2, 1)->text(), QString(120, 'u'));

  // Devices 21..60 have their rows too; rows beyond the chain take no text.
  QCOMPARE(ues_grid()->rowCount(), 60);
  QVERIFY(!(ues_grid()->item(3, 1)->flags() & Qt::ItemIsEditable));
  QVERIFY(!(ues_grid()->item(1, 0)->flags() & Qt::ItemIsEditable));
  QVERIFY(ues_grid()->item(1, 1)->flags() & Qt::ItemIsEditable);
}

void ChainConfigTest::execute_clears_the_results() {
  rig_->table()[1].result = kResultPass;
  rig_->table()[2].result = kResultFail;
  rig_->table()[40].result = kResultFail;
  window_->refresh();
  QCOMPARE(cell(1, ui::kColResult), QString("pass"));
  QCOMPARE(cell(2, ui::kColResult), QString("fail"));
  QSignalSpy execute(window_.get(), &ChainConfigWindow::execute_requested);
  QTest::mouseClick(window_->findChild<QPushButton*>("execute"), Qt::LeftButton);
  QCOMPARE(execute.count(), 1);
  for (int n = 1; n <= 60; ++n) {
    QCOMPARE(rig_->table()[n].result, int(kResultNone));
    QVERIFY(cell(n, ui::kColResult).isEmpty());
  }
}

void ChainConfigTest::running_blocks_edits() {
  double_click(grid(), 0, ui::kColPart);
  QVERIFY(list("part_list")->isVisible());
  window_->set_running(true);
  QVERIFY(!list("part_list")->isVisible());
  QVERIFY(!window_->findChild<QPushButton*>("execute")->isEnabled());
  double_click(grid(), 0, ui::kColOperation);
  QVERIFY(open_list() == nullptr);
  QVERIFY(!(ues_grid()->item(0, 1)->flags() & Qt::ItemIsEditable));
  testing::send_mouse(grid()->viewport(), QEvent::MouseButtonPress, Qt::RightButton,
                      testing::cell_centre(grid(), 1, ui::kColDesignFile));
  QVERIFY(!window_->findChild<QMenu*>("delete_menu")->isVisible());

  window_->set_running(false);
  QVERIFY(window_->findChild<QPushButton*>("execute")->isEnabled());
  double_click(grid(), 0, ui::kColOperation);
  QVERIFY(list("operation_list")->isVisible());
}

void ChainConfigTest::labels_and_run_marks() {
  QCOMPARE(label("device_count")->text(), QString("3"));
  QVERIFY(label("off_line")->isHidden());
  QVERIFY(label("operation_failed")->isHidden());
  QCOMPARE(label("off_line")->text(), QString("<<OFF-LINE>>"));
  QCOMPARE(label("operation_failed")->text(), QString("Operation Failed!"));
  window_->set_offline(true);
  window_->show_operation_failed(true);
  QVERIFY(label("off_line")->isVisible());
  QVERIFY(label("operation_failed")->isVisible());
  window_->set_offline(false);
  window_->show_operation_failed(false);
  QVERIFY(label("off_line")->isHidden());
  QVERIFY(label("operation_failed")->isHidden());

  window_->set_current_file("/boards/Main.JCD");
  QCOMPARE(label("current_file")->text(), QString("/boards/Main.JCD"));

  window_->mark_result(2, false);
  window_->mark_result(3, true);
  window_->mark_result(0, false);  // no device: nothing to mark
  QCOMPARE(cell(2, ui::kColResult), QString("fail"));
  QCOMPARE(cell(3, ui::kColResult), QString("pass"));

  window_->show_ues(3, "read back");
  window_->show_ues_page();
  QCOMPARE(ues_grid()->item(2, 1)->text(), QString("read back"));
  QCOMPARE(window_->findChild<QTabWidget*>("pages")->currentIndex(), 1);

  QSignalSpy selected(window_.get(), &ChainConfigWindow::device_selected);
  QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, testing::cell_centre(grid(), 1, 0));
  QCOMPARE(selected.count(), 1);
  QCOMPARE(selected.first().first().toInt(), 2);
}

}  // namespace
}  // namespace zepa::gui

QTEST_MAIN(zepa::gui::ChainConfigTest)
#include "chain_config_test.moc"
