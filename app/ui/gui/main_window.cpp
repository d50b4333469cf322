#include "ui/gui/main_window.h"

namespace zepa::gui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Zepa Programmer 4.14");
}

}  // namespace zepa::gui
