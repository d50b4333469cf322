#include "ui/gui/dialogs/review_dialog.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/core/setup_forms.h"

namespace zepa::gui {

ReviewDialog::ReviewDialog(chain::ChainTable& table, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), table_(table) {
  setWindowTitle("Review device info");
  setObjectName("review_dialog");

  lines_ = new QListWidget;
  lines_->setObjectName("lines");
  lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lines_->setSelectionMode(QAbstractItemView::NoSelection);
  // Wide enough for the 102-character rule line.
  const QFontMetrics metrics(lines_->font());
  lines_->setMinimumWidth(metrics.horizontalAdvance(QString(102, '-')) + 40);
  lines_->setMinimumHeight(metrics.height() * 16);

  close_ = new QPushButton("Close");
  close_->setObjectName("close");
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lines_);
  layout->addLayout(buttons);
  refresh();
}

void ReviewDialog::showEvent(QShowEvent* event) {
  refresh();
  QDialog::showEvent(event);
  close_->setFocus();
}

void ReviewDialog::refresh() {
  lines_->clear();
  for (const std::string& line : ui::review_lines(table_)) lines_->addItem(QString::fromStdString(line));
}

}  // namespace zepa::gui
