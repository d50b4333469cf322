#include "ui/gui/chain_config_window.h"

#include <QAction>
#include <QBrush>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "ui/core/chain_edit.h"

namespace zepa::gui {
namespace {

constexpr int kRows = chain::ChainTable::MaxDevices;
constexpr std::array<int, ui::kGridColumns> kColumnWidths = {50, 72, 59, 82, 211, 44};
constexpr std::array<int, 2> kUesColumnWidths = {64, 454};
constexpr int kRowHeight = 16;

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<QString> list_items(auto const& items) {
  std::vector<QString> out;
  for (std::string_view item : items) out.push_back(qs(item));
  return out;
}

// A grid whose cells only show text: nothing is typed into them.
QTableWidgetItem* shown_cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

// The texts a column of the device grid can show besides what the user chooses as a file.
std::vector<QString> column_texts(int column) {
  std::vector<QString> texts;
  if (column == ui::kColDevice) texts.push_back("60");
  if (column == ui::kColPart) texts = list_items(ui::kPartListItems);
  if (column == ui::kColIrLength) texts = list_items(ui::kIrListItems);
  if (column == ui::kColOperation) {
    for (int op = chain::kOpBulkErase; op <= chain::kOpNoOperation; ++op)
      texts.push_back(qs(chain::operation_text(op)));
  }
  if (column == ui::kColResult) texts = {"pass", "fail"};
  return texts;
}

// The column widths are defaults: a header or a cell that today's fonts would clip widens its column.
void size_columns(QTableWidget* grid, const int* widths, int count, bool device_grid) {
  const QFontMetrics header_metrics(grid->horizontalHeader()->font());
  const QFontMetrics cell_metrics(grid->font());
  for (int c = 0; c < count; ++c) {
    int width =
        std::max(widths[c], header_metrics.horizontalAdvance(grid->horizontalHeaderItem(c)->text()) + 16);
    if (device_grid) {
      for (const QString& text : column_texts(c))
        width = std::max(width, cell_metrics.horizontalAdvance(text) + 12);
    }
    grid->setColumnWidth(c, width);
  }
  grid->verticalHeader()->setDefaultSectionSize(std::max(kRowHeight, cell_metrics.height() + 6));
}

QLabel* styled_label(const QString& text, const char* name, const QColor& colour, bool bold, bool italic) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  QFont font = label->font();
  font.setBold(bold);
  font.setItalic(italic);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

}  // namespace

ChainConfigWindow::ChainConfigWindow(chain::ChainTable& table, ui::Programmer& programmer,
                                     chain::Prompts& prompts, QWidget* parent)
    : QWidget(parent),
      table_(table),
      programmer_(programmer),
      prompts_(prompts),
      choose_file_(choose_file_with_dialog) {
  setWindowTitle("Configure JTAG chain devices");
  setObjectName("chain_config_window");

  auto* title = new QLabel("Enter JTAG Chain Description (JCD) below:");
  auto* total = new QLabel("Total device:");
  count_label_ = styled_label("0", "device_count", Qt::blue, false, false);
  failed_label_ = styled_label("Operation Failed!", "operation_failed", Qt::red, true, true);
  failed_label_->hide();
  offline_label_ = styled_label("<<OFF-LINE>>", "off_line", Qt::red, true, false);
  offline_label_->hide();
  execute_button_ = new QPushButton("Execute");
  execute_button_->setObjectName("execute");
  connect(execute_button_, &QPushButton::clicked, this, &ChainConfigWindow::execute);

  auto* file_caption = new QLabel("Current JCD file:");
  file_label_ = styled_label("", "current_file", palette().color(QPalette::WindowText), true, false);
  file_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* top = new QHBoxLayout;
  top->addWidget(title);
  top->addSpacing(12);
  top->addWidget(total);
  top->addWidget(count_label_);
  top->addSpacing(12);
  top->addWidget(failed_label_);
  top->addWidget(offline_label_);
  top->addStretch(1);
  top->addWidget(execute_button_);

  auto* file_row = new QHBoxLayout;
  file_row->addWidget(file_caption);
  file_row->addWidget(file_label_, 1);

  pages_ = new QTabWidget;
  pages_->setObjectName("pages");
  auto* device_page = new QWidget;
  auto* ues_page = new QWidget;
  build_device_page(device_page);
  build_ues_page(ues_page);
  pages_->addTab(device_page, "device");
  pages_->addTab(ues_page, "UES");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(top);
  layout->addLayout(file_row);
  layout->addWidget(pages_, 1);

  int width = 0;
  for (int c = 0; c < ui::kGridColumns; ++c) {
    width += c == ui::kColDesignFile ? kColumnWidths[ui::kColDesignFile] : grid_->columnWidth(c);
  }
  resize(std::max(width + grid_->verticalScrollBar()->sizeHint().width() + 30, sizeHint().width()), 330);
  refresh();
}

void ChainConfigWindow::build_device_page(QWidget* page) {
  grid_ = new QTableWidget(kRows, ui::kGridColumns);
  grid_->setObjectName("device_grid");
  grid_->setToolTip("Double click mouse to enter information on each field");
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->hide();
  grid_->setWordWrap(false);
  for (int c = 0; c < ui::kGridColumns; ++c) {
    grid_->setHorizontalHeaderItem(c,
                                   new QTableWidgetItem(qs(ui::kGridHeaders[static_cast<std::size_t>(c)])));
  }
  size_columns(grid_, kColumnWidths.data(), ui::kGridColumns, true);
  // The design file takes the room a wider window gives.
  grid_->horizontalHeader()->setMinimumSectionSize(20);
  grid_->horizontalHeader()->setSectionResizeMode(ui::kColDesignFile, QHeaderView::Stretch);
  grid_->viewport()->installEventFilter(this);

  part_list_ = make_list("part_list", list_items(ui::kPartListItems));
  ir_list_ = make_list("ir_list", list_items(ui::kIrListItems));
  operation_list_ = make_list("operation_list", list_items(ui::kOperationListItems));

  delete_menu_ = new QMenu(this);
  delete_menu_->setObjectName("delete_menu");
  QAction* remove = delete_menu_->addAction("Delete");
  connect(remove, &QAction::triggered, this, &ChainConfigWindow::delete_design_file);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(grid_);
}

void ChainConfigWindow::build_ues_page(QWidget* page) {
  auto* text = new QLabel("Enter User Electronic Signature information for each device.");
  // All 60 positions: a chain longer than 20 devices still reaches every signature.
  ues_grid_ = new QTableWidget(kRows, 2);
  ues_grid_->setObjectName("ues_grid");
  ues_grid_->verticalHeader()->hide();
  ues_grid_->setHorizontalHeaderItem(0, new QTableWidgetItem("Device #"));
  ues_grid_->setHorizontalHeaderItem(1, new QTableWidgetItem("User Electronic Signature"));
  size_columns(ues_grid_, kUesColumnWidths.data(), 2, false);
  ues_grid_->horizontalHeader()->setStretchLastSection(true);
  ues_grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  connect(ues_grid_, &QTableWidget::cellChanged, this, &ChainConfigWindow::signature_edited);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(text);
  layout->addWidget(ues_grid_);
}

QListWidget* ChainConfigWindow::make_list(const char* name, const std::vector<QString>& items) {
  auto* list = new QListWidget(grid_->viewport());
  list->setObjectName(name);
  list->setToolTip("Click right mouse button to cancel");
  for (const QString& item : items) list->addItem(item);
  list->setFrameShape(QFrame::Box);
  list->viewport()->installEventFilter(this);
  list->installEventFilter(this);
  list->hide();
  connect(list, &QListWidget::itemClicked, this,
          [this, list](QListWidgetItem* item) { list_clicked(list, list->row(item)); });
  return list;
}

void ChainConfigWindow::set_file_chooser(FileChooser chooser) {
  choose_file_ = std::move(chooser);
}

void ChainConfigWindow::refresh() {
  filling_ = true;
  count_label_->setText(QString::number(table_.DeviceCount));
  for (int n = 1; n <= kRows; ++n) fill_device_row(n);
  for (int n = 1; n <= kRows; ++n) {
    const bool shown = n <= table_.device_count();
    ues_grid_->setItem(n - 1, 0, shown_cell(shown ? QString::number(table_[n].loc) : QString()));
    auto* ues = new QTableWidgetItem(shown ? qs(table_[n].ues.str()) : QString());
    // Rows beyond the chain are refilled empty by every refresh: typing there would be lost.
    ues->setFlags(shown && !running_ ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                     : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    ues_grid_->setItem(n - 1, 1, ues);
  }
  filling_ = false;
}

void ChainConfigWindow::fill_device_row(int n) {
  const auto cells = ui::grid_row_texts(table_, n);
  for (int c = 0; c < ui::kGridColumns; ++c) {
    grid_->setItem(n - 1, c, shown_cell(qs(cells[static_cast<std::size_t>(c)])));
  }
}

void ChainConfigWindow::mark_result(int position, bool passed) {
  if (!chain::ChainTable::valid_position(position)) return;
  grid_->setItem(position - 1, ui::kColResult, shown_cell(passed ? "pass" : "fail"));
}

void ChainConfigWindow::show_operation_failed(bool shown) {
  failed_label_->setVisible(shown);
}

void ChainConfigWindow::show_ues(int n, const QString& ues) {
  if (!chain::ChainTable::valid_position(n)) return;
  filling_ = true;
  if (QTableWidgetItem* item = ues_grid_->item(n - 1, 1)) item->setText(ues);
  filling_ = false;
}

void ChainConfigWindow::show_ues_page() {
  pages_->setCurrentIndex(1);
}

void ChainConfigWindow::set_current_file(const QString& path) {
  file_label_->setText(path);
}

void ChainConfigWindow::set_offline(bool offline) {
  offline_label_->setVisible(offline);
}

void ChainConfigWindow::set_running(bool running) {
  // An open signature editor hands its text in as the grid loses the focus, before the run starts; no
  // signature is typed during a run.
  ues_grid_->setEnabled(!running);
  running_ = running;
  execute_button_->setEnabled(!running);
  if (running) {
    hide_lists();
    delete_menu_->hide();
    double_clicked_ = false;
  }
  refresh();
}

bool ChainConfigWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress) {
    // From the keyboard: Enter chooses the list's current item, Escape cancels like the right button.
    for (QListWidget* list : {part_list_, ir_list_, operation_list_}) {
      if (watched != list) continue;
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) {
        list->hide();
        return true;
      }
      if ((key == Qt::Key_Return || key == Qt::Key_Enter) && list->currentRow() >= 0) {
        list_clicked(list, list->currentRow());
        return true;
      }
    }
  }
  const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                     type == QEvent::MouseButtonDblClick;
  if (!mouse) return QWidget::eventFilter(watched, event);
  auto* me = static_cast<QMouseEvent*>(event);

  for (QListWidget* list : {part_list_, ir_list_, operation_list_}) {
    if (watched != list->viewport() || me->button() != Qt::RightButton) continue;
    // The right button cancels a list; the list never sees it as a choice.
    if (type == QEvent::MouseButtonRelease) list->hide();
    return true;
  }
  if (watched != grid_->viewport()) return QWidget::eventFilter(watched, event);

  const QModelIndex index = grid_->indexAt(me->position().toPoint());
  const int row = index.isValid() ? index.row() + 1 : 0;
  const int column = index.isValid() ? index.column() : -1;
  if (type == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton) {
    double_clicked_ = !running_;
    return true;
  }
  if (type == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton) {
    if (row >= 1) emit device_selected(row);
    if (double_clicked_) {
      double_clicked_ = false;
      hide_lists();
      if (row >= 1) SelectedRow = row;
      open_cell(row, column);
    }
    return false;
  }
  if (type == QEvent::MouseButtonPress && me->button() == Qt::RightButton) {
    if (!running_ && column == ui::kColDesignFile && ui::row_editable(table_, row)) {
      SelectedRow = row;
      delete_menu_->popup(me->globalPosition().toPoint());
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void ChainConfigWindow::hide_lists() {
  for (QListWidget* list : {part_list_, ir_list_, operation_list_}) list->hide();
}

void ChainConfigWindow::open_cell(int row, int column) {
  switch (ui::cell_action(table_, row, column)) {
    case ui::CellAction::kPartList:
      open_list(part_list_, row, column);
      break;
    case ui::CellAction::kIrList:
      open_list(ir_list_, row, column);
      break;
    case ui::CellAction::kOperationList:
      open_list(operation_list_, row, column);
      break;
    case ui::CellAction::kDesignFile:
      browse_design_file(row);
      break;
    case ui::CellAction::kNone:
      break;
  }
}

// The list opens over the cell, as wide as its longest item and as tall as the grid allows.
void ChainConfigWindow::open_list(QListWidget* list, int row, int column) {
  const QRect cell = grid_->visualRect(grid_->model()->index(row - 1, column));
  const int frame = 2 * list->frameWidth();
  const int item_height = std::max(1, list->sizeHintForRow(0));
  const QSize area = grid_->viewport()->size();
  const int height = std::min(list->count() * item_height + frame, std::max(area.height(), item_height * 4));
  const int scroll =
      list->count() * item_height + frame > height ? list->verticalScrollBar()->sizeHint().width() : 0;
  const int width = std::max(cell.width(), list->sizeHintForColumn(0) + frame + scroll + 4);
  const int x = std::clamp(cell.left(), 0, std::max(0, area.width() - width));
  const int y = std::clamp(cell.top(), 0, std::max(0, area.height() - height));
  list->setGeometry(x, y, width, height);
  // The row's present value is the list's current item.
  const chain::ChainDevice& dev = table_[row];
  const int present = column == ui::kColPart ? dev.part : column == ui::kColIrLength ? dev.IR_len : dev.cmnd;
  list->setCurrentRow(present >= 0 && present < list->count() ? present : -1);
  if (list->currentItem()) list->scrollToItem(list->currentItem());
  list->show();
  list->raise();
  list->setFocus();
}

void ChainConfigWindow::list_clicked(QListWidget* list, int item) {
  list->hide();
  if (running_) return;
  bool changed = false;
  if (list == part_list_) changed = ui::choose_part(table_, SelectedRow, item, prompts_);
  if (list == ir_list_) changed = ui::choose_ir_length(table_, SelectedRow, item);
  if (list == operation_list_) changed = ui::choose_operation(table_, SelectedRow, item);
  if (changed) edited(SelectedRow);
}

void ChainConfigWindow::browse_design_file(int row) {
  const ui::DesignFileBrowse browse = ui::design_file_browse(table_[row]);
  FileRequest request;
  request.caption = browse.upload ? "Upload to file" : "Open JEDEC file";
  request.folder = QString::fromStdString(programmer_.LastDir);
  request.filter = browse.upload ? (browse.preset == "*.jed" ? "JEDEC files (*.jed);;All files (*)"
                                                             : "Device image files (*.bin);;All files (*)")
                                 : "JEDEC files (*.jed);;All files (*)";
  request.preset = QString::fromStdString(browse.preset);
  request.must_exist = !browse.upload;
  const QString chosen = choose_file_(this, request);
  if (chosen.isEmpty()) return;
  const std::string path = QDir::toNativeSeparators(chosen).toStdString();
  if (ui::choose_design_file(table_, programmer_, row, path, prompts_)) edited(row);
}

void ChainConfigWindow::delete_design_file() {
  if (running_) return;
  if (ui::delete_design_file(table_, SelectedRow)) edited(SelectedRow);
}

void ChainConfigWindow::signature_edited(int row, int column) {
  if (filling_ || column != 1) return;
  const int n = row + 1;
  QTableWidgetItem* item = ues_grid_->item(row, column);
  if (!item) return;
  if (running_ || !ui::set_signature(table_, n, item->text().toStdString())) {
    refresh();  // nothing to keep: the row is not part of the chain
    return;
  }
  // The table keeps 120 characters; the cell shows what was kept.
  const QString kept = qs(table_[n].ues.str());
  if (kept != item->text()) {
    filling_ = true;
    item->setText(kept);
    filling_ = false;
  }
  emit chain_edited();
}

void ChainConfigWindow::execute() {
  if (running_) return;
  chain::clear_results(table_);
  for (int n = 1; n <= kRows; ++n) grid_->setItem(n - 1, ui::kColResult, shown_cell(QString()));
  emit execute_requested();
}

void ChainConfigWindow::edited(int row) {
  fill_device_row(row);
  emit chain_edited();
}

}  // namespace zepa::gui
