// The help window: the user manual (docs/manual.md) shown as formatted text.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextBrowser>
#include <QWidget>

namespace zepa::gui {

// Where the manual is looked for, in order: beside the program, in the install's share folder, in the
// source tree the program was built from.
QStringList manual_candidates(const QString& program_dir);

class HelpWindow final : public QWidget {
  Q_OBJECT

 public:
  HelpWindow(const QString& manual_path, QWidget* parent = nullptr);
  QTextBrowser* browser() { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace zepa::gui
