// The desktop programmer's main window.
#pragma once

#include <QMainWindow>

namespace zepa::gui {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace zepa::gui
