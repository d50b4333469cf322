#include "ui/gui/dialogs/batch_editor_dialog.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <exception>

namespace zepa::gui {
namespace {

constexpr std::array<int, 3> kColumnWidths = {60, 245, 43};
constexpr int kShownRows = 12;  // the grid's height; the rest scroll

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTableWidgetItem* shown_cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

BatchEditorDialog::BatchEditorDialog(ui::BatchTable& batch, chain::Prompts& prompts, QWidget* parent)
    : QDialog(parent), batch_(batch), prompts_(prompts), choose_file_(choose_file_with_dialog) {
  setWindowTitle("Batch file editor");
  setObjectName("batch_editor_dialog");

  auto* bar = new QMenuBar(this);
  files_menu_ = bar->addMenu("&Batch Files");
  files_menu_->addAction("&Load batch file...", this, [this] { choose_batch_file(false); });
  files_menu_->addAction("&Save batch file as...", this, [this] { choose_batch_file(true); });
  QMenu* options = bar->addMenu("&Options");
  stay_on_top_ = options->addAction("&Stay on top");
  stay_on_top_->setCheckable(true);
  stay_on_top_->setChecked(true);
  connect(stay_on_top_, &QAction::toggled, this, &BatchEditorDialog::set_stays_on_top);
  exit_after_run_ = options->addAction("&Exit after Run");
  exit_after_run_->setCheckable(true);

  auto* intro = new QLabel("Enter JTAG Description Files (.jcd) for each batch process.");
  auto* file_caption = new QLabel("Current batch file:");
  file_label_ = new QLabel;
  file_label_->setObjectName("batch_file");
  QFont bold = file_label_->font();
  bold.setBold(true);
  file_label_->setFont(bold);
  file_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* file_row = new QHBoxLayout;
  file_row->addWidget(file_caption);
  file_row->addWidget(file_label_, 1);

  grid_ = new QTableWidget(ui::kBatchRows, static_cast<int>(ui::kBatchHeaders.size()));
  grid_->setObjectName("batch_grid");
  grid_->setToolTip("Click on 'Sequence' field to view detailed JCD file");
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->hide();
  grid_->setWordWrap(false);
  const QFontMetrics header_metrics(grid_->horizontalHeader()->font());
  const QFontMetrics cell_metrics(grid_->font());
  int width = 0;
  for (std::size_t c = 0; c < ui::kBatchHeaders.size(); ++c) {
    const QString header = qs(ui::kBatchHeaders[c]);
    grid_->setHorizontalHeaderItem(static_cast<int>(c), new QTableWidgetItem(header));
    // The widths are defaults: a header or a result that today's fonts would clip widens its column.
    int column = std::max(kColumnWidths[c], header_metrics.horizontalAdvance(header) + 16);
    if (static_cast<int>(c) == ui::kBatchColResult)
      column = std::max(column, cell_metrics.horizontalAdvance(qs(ui::kStepRunning)) + 12);
    grid_->setColumnWidth(static_cast<int>(c), column);
    width += column;
  }
  // A wider dialog gives the file names the room.
  grid_->horizontalHeader()->setSectionResizeMode(ui::kBatchColJcd, QHeaderView::Stretch);
  grid_->verticalHeader()->setDefaultSectionSize(cell_metrics.height() + 6);
  grid_->setMinimumWidth(width + grid_->verticalScrollBar()->sizeHint().width() + 2 * grid_->frameWidth());
  grid_->setMinimumHeight(grid_->horizontalHeader()->sizeHint().height() +
                          kShownRows * grid_->verticalHeader()->defaultSectionSize() +
                          2 * grid_->frameWidth());
  grid_->viewport()->installEventFilter(this);

  delete_menu_ = new QMenu(this);
  delete_menu_->setObjectName("delete_menu");
  delete_menu_->addAction("&Delete", this, &BatchEditorDialog::delete_chain);

  auto* ok = new QPushButton("OK");
  ok->setObjectName("ok");
  connect(ok, &QPushButton::clicked, this, &QDialog::close);
  run_button_ = new QPushButton("Run Batch");
  run_button_->setObjectName("run_batch");
  connect(run_button_, &QPushButton::clicked, this, [this] {
    if (!running_) emit run_requested();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(run_button_);

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(bar);
  layout->addWidget(intro);
  layout->addLayout(file_row);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);

  set_stays_on_top(true);
  refresh();
}

void BatchEditorDialog::attach(ui::Programmer& programmer) {
  programmer_ = &programmer;
}

void BatchEditorDialog::set_file_chooser(FileChooser chooser) {
  choose_file_ = std::move(chooser);
}

bool BatchEditorDialog::stays_on_top() const {
  return stay_on_top_->isChecked();
}

bool BatchEditorDialog::exit_after_run() const {
  return exit_after_run_->isChecked();
}

void BatchEditorDialog::set_stays_on_top(bool on) {
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (shown) show();  // a window whose flags change is hidden
}

void BatchEditorDialog::refresh() {
  file_label_->setText(qs(ui::batch_file_caption(batch_)));
  for (int row = 1; row <= ui::kBatchRows; ++row) fill_row(row);
}

void BatchEditorDialog::fill_row(int row) {
  const ui::BatchStep& step = batch_.row(row);
  grid_->setItem(row - 1, ui::kBatchColSequence, shown_cell(QString::number(row)));
  grid_->setItem(row - 1, ui::kBatchColJcd, shown_cell(qs(step.jcd)));
  grid_->setItem(row - 1, ui::kBatchColResult, shown_cell(qs(step.result)));
}

void BatchEditorDialog::show_result(int row, const QString& result) {
  if (row < 1 || row > ui::kBatchRows) return;
  grid_->setItem(row - 1, ui::kBatchColResult, shown_cell(result));
  // The running step stays in sight.
  grid_->scrollToItem(grid_->item(row - 1, ui::kBatchColResult));
}

void BatchEditorDialog::set_running(bool running) {
  running_ = running;
  for (QAction* item : files_menu_->actions()) item->setEnabled(!running);
  run_button_->setEnabled(!running);
  if (running) {
    delete_menu_->hide();
    double_clicked_ = false;
  } else {
    refresh();  // the run has written the table's results; nobody else writes it now
  }
}

void BatchEditorDialog::run_finished() {
  if (exit_after_run()) close();
}

bool BatchEditorDialog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                     type == QEvent::MouseButtonDblClick;
  if (watched != grid_->viewport() || !mouse) return QDialog::eventFilter(watched, event);
  auto* me = static_cast<QMouseEvent*>(event);
  const QModelIndex index = grid_->indexAt(me->position().toPoint());
  const int row = index.isValid() ? index.row() + 1 : 0;
  const int column = index.isValid() ? index.column() : -1;
  const QPoint global = me->globalPosition().toPoint();

  if (type == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton) {
    double_clicked_ = !running_;
    return true;
  }
  if (type == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton) {
    const ui::BatchGesture gesture =
        double_clicked_ ? ui::BatchGesture::kDoubleClick : ui::BatchGesture::kRelease;
    double_clicked_ = false;
    act(row, column, gesture, global);
    return false;
  }
  if (type == QEvent::MouseButtonPress && me->button() == Qt::RightButton) {
    act(row, column, ui::BatchGesture::kRightPress, global);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void BatchEditorDialog::act(int row, int column, ui::BatchGesture gesture, QPoint global) {
  if (running_) return;
  switch (ui::batch_cell_action(batch_, row, column, gesture)) {
    case ui::BatchCellAction::kViewChain:
      view_chain(row);
      break;
    case ui::BatchCellAction::kChooseChain:
      choose_chain(row);
      break;
    case ui::BatchCellAction::kDeleteMenu:
      BatchRow = row;
      delete_menu_->popup(global);
      break;
    case ui::BatchCellAction::kNone:
      break;
  }
}

void BatchEditorDialog::choose_chain(int row) {
  if (programmer_ == nullptr) return;
  FileRequest request;
  request.caption = "Load JCD file";
  request.folder = qs(programmer_->LastDir);
  request.filter = "JCD files (*.jcd);;All files (*)";
  const QString chosen = choose_file_(this, request);
  if (chosen.isEmpty()) return;
  BatchRow = row;
  const std::string path = QDir::toNativeSeparators(chosen).toStdString();
  if (!ui::choose_batch_jcd(batch_, row, path, prompts_)) return;
  fill_row(row);
  programmer_->load_batch_chain(path);
  emit chain_loaded();
}

void BatchEditorDialog::view_chain(int row) {
  if (programmer_ == nullptr) return;
  programmer_->load_batch_chain(ui::batch_step_path(batch_, row));
  emit chain_loaded();
}

void BatchEditorDialog::delete_chain() {
  if (running_ || BatchRow < 1) return;
  ui::delete_batch_jcd(batch_, BatchRow);
  fill_row(BatchRow);
}

void BatchEditorDialog::choose_batch_file(bool save) {
  if (running_) return;
  FileRequest request;
  request.caption = save ? "Save batch sequence as" : "Load batch file";
  request.folder = batch_.path.empty() ? (programmer_ != nullptr ? qs(programmer_->LastDir) : QString())
                                       : QFileInfo(qs(batch_.path)).path();
  request.filter = "JCD batch file (*.jbf)";
  request.save = save;
  request.must_exist = !save;
  request.default_suffix = "jbf";
  const QString chosen = choose_file_(this, request);
  if (chosen.isEmpty()) return;
  if (save) {
    save_batch_file(chosen);
  } else {
    load_batch_file(chosen);
  }
}

bool BatchEditorDialog::load_batch_file(const QString& path) {
  if (running_) return false;
  const bool loaded = ui::open_batch(batch_, QDir::toNativeSeparators(path).toStdString(), prompts_);
  refresh();
  return loaded;
}

bool BatchEditorDialog::save_batch_file(const QString& path) {
  if (running_) return false;
  try {
    ui::save_batch(batch_, QDir::toNativeSeparators(path).toStdString());
  } catch (const std::exception& e) {
    prompts_.error(e.what());
    return false;
  }
  refresh();
  return true;
}

}  // namespace zepa::gui
