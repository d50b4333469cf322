#include <QApplication>

#include "ui/gui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  zepa::gui::MainWindow window;
  window.show();
  return app.exec();
}
