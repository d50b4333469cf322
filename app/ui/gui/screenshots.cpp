#include "ui/gui/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <iostream>

#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "ui/gui/dialogs/batch_editor_dialog.h"
#include "ui/gui/dialogs/dialog_screenshots.h"
#include "ui/gui/main_window.h"
#include "ui/gui/message_window.h"
#include "ui/gui/route_screenshots.h"
#include "ui/gui/session_windows.h"

namespace zepa::gui {
namespace {

void save(QWidget& widget, const QString& path) {
  if (!widget.grab().save(path)) std::cerr << "zepaisp: cannot write " << path.toStdString() << '\n';
}

// The loaded chain with every device reading its IDCODE, as a chain file beside the loaded one.
QString read_id_chain(MainWindow& window) {
  chain::ChainTable table = window.session().table();
  for (int n = 1; n <= table.device_count(); ++n) table[n].cmnd = chain::kOpReadId;
  const QString path =
      QFileInfo(QString::fromStdString(table.JcdPath)).dir().filePath("readid-screenshot.jcd");
  chain::write_jcd(table, path.toStdString());
  return path;
}

// The batch editor shown with a batch beside the chain files: the loaded chain, a file that is not there and
// the IDCODE chain; its run is the next job.
void start_batch(MainWindow& window, const QString& read_id_file) {
  const QFileInfo read_id(read_id_file);
  const QString batch_file = read_id.dir().filePath("batch-screenshot.jbf");
  QFile out(batch_file);
  if (out.open(QIODevice::WriteOnly)) {
    out.write((QStringList{"chain.jcd", "missing.jcd", read_id.fileName(), ""}.join("\r\n")).toUtf8());
  }
  out.close();
  BatchEditorDialog& editor = window.batch_editor();
  editor.load_batch_file(batch_file);
  editor.show();
  window.run_batch();
}

}  // namespace

void take_screenshots(MainWindow& window, const QString& dir) {
  QDir().mkpath(dir);
  auto step = std::make_shared<int>(0);
  auto read_id_file = std::make_shared<QString>();
  auto next = [&window, dir, step, read_id_file] {
    switch ((*step)++) {
      case 0:  // start-up done: program and verify the chain as loaded
        window.run_chain();
        break;
      case 1:  // then read every device's IDCODE
        *read_id_file = read_id_chain(window);
        window.load_jcd(*read_id_file);
        window.run_chain();
        break;
      case 2:
        QTimer::singleShot(300, &window, [&window, dir, read_id_file] {
          window.message_window().flush();
          save(window, QDir(dir).filePath("zepaisp-main.png"));
          if (!save_dialog_screenshots(&window, window.session(), window.port_choice(), dir)) {
            std::cerr << "zepaisp: cannot write the dialogs' pictures into " << dir.toStdString() << '\n';
          }
          if (!save_route_screenshots(window.session().table(), dir))
            std::cerr << "zepaisp: cannot write the chain drawing's pictures into " << dir.toStdString()
                      << '\n';
          // Then a batch of both chains with a missing one between them, in the batch editor.
          start_batch(window, *read_id_file);
        });
        break;
      default:
        QTimer::singleShot(300, &window, [&window, dir, read_id_file] {
          save(window.batch_editor(), QDir(dir).filePath("batch-editor.png"));
          window.batch_editor().close();
          if (!read_id_file->isEmpty()) QFile::remove(*read_id_file);
          QFile::remove(QFileInfo(*read_id_file).dir().filePath("batch-screenshot.jbf"));
          QApplication::quit();
        });
        break;
    }
  };
  // The start-up job ends with the chain file loaded; each job's end starts the next step.
  QObject::connect(&window, &MainWindow::job_finished, &window, [&window, next] {
    if (window.started()) QTimer::singleShot(0, &window, next);
  });
}

}  // namespace zepa::gui
