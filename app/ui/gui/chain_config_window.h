// The chain configuration window: the device grid and the signature grid over the chain table.
#pragma once

#include <QWidget>

#include "chain/chain_table.h"

namespace zepa::gui {

class ChainConfigWindow : public QWidget {
  Q_OBJECT

 public:
  ChainConfigWindow(chain::ChainTable& table, QWidget* parent = nullptr);

 private:
  chain::ChainTable& table_;
};

}  // namespace zepa::gui
