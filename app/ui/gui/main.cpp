// zepaisp: the desktop programmer. See docs/manual.md.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <clocale>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "engine/workdir.h"
#include "ui/gui/main_window.h"
#include "ui/gui/screenshots.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::setlocale(LC_TIME, "");  // the "Executing " line's time and date in the user's formats
  std::vector<std::string> args;
  for (const QString& arg : app.arguments().mid(1)) args.push_back(arg.toStdString());

  zepa::gui::MainWindowSetup setup;
  std::optional<zepa::util::FileLock> work_lock;  // the working folder is this program's while it runs
  try {
    setup.arguments = zepa::gui::parse_gui_arguments(args);
    setup.program_dir = zepa::engine::ProgramFolder(argc > 0 ? argv[0] : "");
    setup.work_dir = zepa::engine::FindWorkDir(setup.program_dir);
    work_lock.emplace(zepa::engine::LockWorkDir(setup.work_dir));
  } catch (const zepa::gui::GuiUsageError& e) {
    const QString text = QString(
                             "zepaisp: %1\nUsage: zepaisp [--io sim:BOARD|ppdev[:DEV]|direct] "
                             "[--port 278|378|3bc|auto] [FILE.jbf ...] [FILE.jcd]")
                             .arg(e.what());
    std::cerr << text.toStdString() << '\n';
    QMessageBox::critical(nullptr, "Zepa Programmer", text);
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "zepaisp: " << e.what() << '\n';
    QMessageBox::critical(nullptr, "Zepa Programmer", e.what());
    return 1;
  }
  const QString screenshots = QString::fromStdString(setup.arguments.screenshots_dir);

  zepa::gui::MainWindow window(std::move(setup));
  window.show();
  if (!screenshots.isEmpty()) zepa::gui::take_screenshots(window, screenshots);
  return app.exec();
}
