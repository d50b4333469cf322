// The chain configuration window: the device grid and the signature grid over the chain table. Every edit
// goes to the table at once through the grid rules of ui/core/chain_edit.h; the window only shows the
// table and forwards the gestures: a double-click (completed by the button release) on a part, IR-length or
// operation cell opens that column's pop-up list, on a design-file cell the file dialog; a right-button
// press on a design-file cell opens the "Delete" menu.
#pragma once

#include <QWidget>

#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "ui/core/run_path.h"
#include "ui/gui/dialogs/file_chooser.h"

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace zepa::gui {

class ChainConfigWindow : public QWidget {
  Q_OBJECT

 public:
  ChainConfigWindow(chain::ChainTable& table, ui::Programmer& programmer, chain::Prompts& prompts,
                    QWidget* parent = nullptr);

  void refresh();                               // refill both grids and the count from the table
  void mark_result(int position, bool passed);  // the result cell; position 0 has none
  void show_operation_failed(bool shown);       // "Operation Failed!"
  void show_ues(int n, const QString& ues);     // a signature read back into the signature grid
  void show_ues_page();
  void set_current_file(const QString& path);  // "Current JCD file:" label
  void set_offline(bool offline);              // "<<OFF-LINE>>" label
  void set_running(bool running);              // no edits and no Execute while a run is active

  // Replaces the desktop's open dialog (tests script it).
  void set_file_chooser(FileChooser chooser);

 signals:
  void execute_requested();            // the Execute button
  void device_selected(int position);  // a grid row clicked
  void chain_edited();                 // the table changed by an edit

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_device_page(QWidget* page);
  void build_ues_page(QWidget* page);
  QListWidget* make_list(const char* name, const std::vector<QString>& items);
  void fill_device_row(int n);
  void hide_lists();
  void open_cell(int row, int column);
  void open_list(QListWidget* list, int row, int column);
  void browse_design_file(int row);
  void list_clicked(QListWidget* list, int item);
  void delete_design_file();
  void signature_edited(int row, int column);
  void execute();
  void edited(int row);

  chain::ChainTable& table_;
  ui::Programmer& programmer_;
  chain::Prompts& prompts_;
  FileChooser choose_file_;

  QLabel* count_label_ = nullptr;
  QLabel* file_label_ = nullptr;
  QLabel* failed_label_ = nullptr;
  QLabel* offline_label_ = nullptr;
  QPushButton* execute_button_ = nullptr;
  QTabWidget* pages_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QTableWidget* ues_grid_ = nullptr;
  QListWidget* part_list_ = nullptr;
  QListWidget* ir_list_ = nullptr;
  QListWidget* operation_list_ = nullptr;
  QMenu* delete_menu_ = nullptr;

  int SelectedRow = 0;           // the device row being edited
  bool double_clicked_ = false;  // a double-click waits for its button release
  bool running_ = false;
  bool filling_ = false;  // the grids are being refilled: their change signals are no edits
};

}  // namespace zepa::gui
