// "Review device info": everything known about each device of the chain, 13 lines a device.
#pragma once

#include <QDialog>

#include "chain/chain_table.h"

class QListWidget;
class QPushButton;

namespace zepa::gui {

class ReviewDialog : public QDialog {
  Q_OBJECT

 public:
  ReviewDialog(chain::ChainTable& table, QWidget* parent = nullptr);

  // Refills the list from the table (also done each time the dialog is shown).
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  chain::ChainTable& table_;
  QListWidget* lines_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace zepa::gui
