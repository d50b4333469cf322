// "Batch file editor": the batch table of up to 20 chain files, the batch file it was loaded from or saved
// to, and the start of its run. The table is the main window's, one for the program's life (the start-up
// batch fills it too); the dialog only shows it and forwards the gestures through the rules of
// ui/core/batch.h: a click on a sequence number loads that step's chain, a double-click (completed by the
// button release) on a file name chooses a chain file, a right-button press there opens "&Delete".
#pragma once

#include <QDialog>
#include <QString>

#include "chain/prompts.h"
#include "ui/core/batch.h"
#include "ui/core/run_path.h"
#include "ui/gui/dialogs/file_chooser.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;

namespace zepa::gui {

class BatchEditorDialog : public QDialog {
  Q_OBJECT

 public:
  BatchEditorDialog(ui::BatchTable& batch, chain::Prompts& prompts, QWidget* parent = nullptr);

  // The session whose chain table a step's chain is loaded into; a new session attaches again.
  void attach(ui::Programmer& programmer);

  void refresh();                                    // the grid and the batch file's name from the table
  void show_result(int row, const QString& result);  // a step's result as the run reaches it
  // While a run is active the editor only shows: nothing is loaded, chosen, deleted or saved, and
  // "Run Batch" is off (the run reads the table).
  void set_running(bool running);
  // The batch run has ended: with "&Exit after Run" ticked the editor closes.
  void run_finished();

  // "&Load batch file..." and "&Save batch file as..." after their file dialogs.
  bool load_batch_file(const QString& path);
  bool save_batch_file(const QString& path);

  bool stays_on_top() const;
  bool exit_after_run() const;

  // Replaces the desktop's file dialogs (tests script them).
  void set_file_chooser(FileChooser chooser);

 signals:
  void run_requested();  // "Run Batch"
  void chain_loaded();   // a step's chain file went into the chain table

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fill_row(int row);
  void act(int row, int column, ui::BatchGesture gesture, QPoint global);
  void choose_chain(int row);
  void view_chain(int row);
  void delete_chain();
  void choose_batch_file(bool save);
  void set_stays_on_top(bool on);

  ui::BatchTable& batch_;
  chain::Prompts& prompts_;
  ui::Programmer* programmer_ = nullptr;
  FileChooser choose_file_;

  QLabel* file_label_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QMenu* delete_menu_ = nullptr;
  QMenu* files_menu_ = nullptr;
  QAction* stay_on_top_ = nullptr;
  QAction* exit_after_run_ = nullptr;
  QPushButton* run_button_ = nullptr;

  int BatchRow = 0;              // the row last chosen for or deleted from
  bool double_clicked_ = false;  // a double-click waits for its button release
  bool running_ = false;
};

}  // namespace zepa::gui
