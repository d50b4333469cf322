// "ISP Debug Panel": the output and debug options of a run (IspOptions bits, off-line programming,
// active I/O verify).
#pragma once

#include <QDialog>

#include "ui/core/run_path.h"

class QCheckBox;

namespace zepa::gui {

class DebugOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  DebugOptionsDialog(ui::RunSettings& settings, QWidget* parent = nullptr);

  // Ticks the boxes from the settings (also done each time the dialog is shown).
  void load();

 signals:
  // OK stored the ticks; `off_line` is whether off-line programming is now on ("<<OFF-LINE>>").
  void options_changed(bool off_line);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ok();

  ui::RunSettings& settings_;
  QCheckBox* verify_log_ = nullptr;
  QCheckBox* standard_frame_ = nullptr;
  QCheckBox* off_line_ = nullptr;
  QCheckBox* reserved_ = nullptr;
  QCheckBox* active_io_ = nullptr;
  QCheckBox* fuse_listing_ = nullptr;
};

}  // namespace zepa::gui
