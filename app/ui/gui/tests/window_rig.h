// What the desktop windows' tests share: a programmer session on a copy of the example board in a
// temporary folder, and mouse gestures on item views.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

#include "ui/core/tests/example_board_session.h"

namespace zepa::gui::testing {

class GuiRig {
 public:
  GuiRig() : cwd_(std::filesystem::current_path()) {
    session_ = std::make_unique<ui::testing::SessionRig>(dir.path().toStdString());
  }
  ~GuiRig() {
    session_.reset();
    std::filesystem::current_path(cwd_);  // a chosen design file moves the current folder
  }

  chain::ChainTable& table() { return session_->table(); }
  ui::Programmer& programmer() { return session_->programmer(); }
  chain::testing::RecordingPrompts& prompts() { return session_->prompts; }
  ui::Session& session() { return *session_->session; }

  // A file in the temporary folder, written with `content`.
  QString file(const QString& name, const QByteArray& content = "x") const {
    const QString path = QDir(dir.path()).filePath(name);
    QFile out(path);
    if (out.open(QIODevice::WriteOnly)) out.write(content);
    return path;
  }

  QTemporaryDir dir;

 private:
  std::filesystem::path cwd_;
  std::unique_ptr<ui::testing::SessionRig> session_;
};

inline QPoint cell_centre(QAbstractItemView* view, int row, int column) {
  view->scrollTo(view->model()->index(row, column));
  return view->visualRect(view->model()->index(row, column)).center();
}

inline void send_mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// A double-click as the desktop delivers it: press, release, double-click, release.
inline void double_click(QAbstractItemView* view, int row, int column) {
  const QPoint at = cell_centre(view, row, column);
  send_mouse(view->viewport(), QEvent::MouseButtonPress, Qt::LeftButton, at);
  send_mouse(view->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, at);
  send_mouse(view->viewport(), QEvent::MouseButtonDblClick, Qt::LeftButton, at);
  send_mouse(view->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, at);
}

}  // namespace zepa::gui::testing
