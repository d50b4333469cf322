#include "ui/gui/dialogs/slave_serial_dialog.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/core/slave_serial.h"

namespace zepa::gui {

SlaveSerialDialog::SlaveSerialDialog(QWidget* parent)
    : QDialog(parent), choose_file_(choose_file_with_dialog) {
  setWindowTitle("ZEPA2 Slave Serial Configuration");
  setObjectName("slave_serial_dialog");

  auto* settings = new QLabel(
      "In ZEPA2 slave serial mode, make sure your download cable is properly selected and have following "
      "settings: ");
  settings->setWordWrap(true);
  auto* legal = new QLabel("Legal configuration files for ZEPA2 includes MCS and BIT file.");
  legal->setWordWrap(true);

  wiring_ = new QTableWidget(static_cast<int>(ui::kSlaveSerialWiring.size()), 2);
  wiring_->setObjectName("wiring");
  wiring_->horizontalHeader()->hide();
  wiring_->verticalHeader()->hide();
  wiring_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  wiring_->setSelectionMode(QAbstractItemView::NoSelection);
  wiring_->setFocusPolicy(Qt::NoFocus);
  wiring_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  wiring_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  wiring_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  wiring_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto* file_button = new QPushButton("File:");
  file_button->setObjectName("file");
  file_box_ = new QLineEdit;
  file_box_->setObjectName("file_box");
  file_box_->setReadOnly(true);  // the file comes from the File: button
  file_box_->setMinimumWidth(260);
  run_ = new QPushButton("Run");
  run_->setObjectName("run");
  run_->setDefault(true);

  auto* file_row = new QGridLayout;
  file_row->addWidget(file_button, 0, 0);
  file_row->addWidget(file_box_, 0, 1);
  file_row->addWidget(run_, 0, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(settings);
  layout->addWidget(wiring_);
  layout->addWidget(legal);
  layout->addLayout(file_row);

  connect(file_button, &QPushButton::clicked, this, &SlaveSerialDialog::choose_file);
  connect(run_, &QPushButton::clicked, this, [this] { emit run_requested(file_); });
  refill();
  // The whole table shows, without scrolling.
  int height = 2 * wiring_->frameWidth();
  for (int r = 0; r < wiring_->rowCount(); ++r) height += wiring_->rowHeight(r);
  wiring_->setFixedHeight(height);
}

void SlaveSerialDialog::refill() {
  wiring_->clearContents();
  for (int r = 0; r < static_cast<int>(ui::kSlaveSerialWiring.size()); ++r) {
    const ui::SerialWire& wire = ui::kSlaveSerialWiring[static_cast<std::size_t>(r)];
    auto* cable = new QTableWidgetItem(wire.cable);
    auto* device = new QTableWidgetItem(wire.device);
    if (r == 0) {
      QFont bold = cable->font();
      bold.setBold(true);
      cable->setFont(bold);
      device->setFont(bold);
    }
    wiring_->setItem(r, 0, cable);
    wiring_->setItem(r, 1, device);
  }
  wiring_->resizeRowsToContents();
}

void SlaveSerialDialog::choose_file() {
  FileRequest request;
  request.caption = "Open";
  request.filter = "ZEPA2 MCSt file (*.mcs);;ZEPA2 BIT file (*.bit)";
  const QString chosen = choose_file_(this, request);
  if (chosen.isEmpty()) return;
  file_ = chosen;
  file_box_->setText(chosen);
}

void SlaveSerialDialog::set_running(bool running) {
  run_->setEnabled(!running);
}

}  // namespace zepa::gui
