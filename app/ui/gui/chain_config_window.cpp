#include "ui/gui/chain_config_window.h"

namespace zepa::gui {

ChainConfigWindow::ChainConfigWindow(chain::ChainTable& table, QWidget* parent)
    : QWidget(parent), table_(table) {
  setWindowTitle("Configure JTAG chain devices");
}

}  // namespace zepa::gui
