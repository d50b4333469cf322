#include "ui/gui/help_window.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVBoxLayout>

namespace zepa::gui {

QStringList manual_candidates(const QString& program_dir) {
  const QDir dir(program_dir);
  QStringList out = {dir.filePath("manual.md"), dir.filePath("../share/doc/zepa/manual.md"),
                     dir.filePath("../docs/manual.md"), dir.filePath("../../docs/manual.md")};
#ifdef ZEPA_SOURCE_DIR
  out.append(QStringLiteral(ZEPA_SOURCE_DIR "/docs/manual.md"));
#endif
  for (QString& path : out) path = QDir::cleanPath(path);
  return out;
}

HelpWindow::HelpWindow(const QString& manual_path, QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  setWindowTitle("Zepa Programmer");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  browser_->setOpenExternalLinks(true);
  QFile file(manual_path);
  if (file.open(QIODevice::ReadOnly)) {
    browser_->setSearchPaths({QFileInfo(manual_path).absolutePath()});
    browser_->setMarkdown(QString::fromUtf8(file.readAll()));
  } else {
    browser_->setPlainText(manual_path + ": cannot open the manual (" + file.errorString() + ")");
  }
  resize(720, 560);
}

}  // namespace zepa::gui
