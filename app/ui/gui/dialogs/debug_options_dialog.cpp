#include "ui/gui/dialogs/debug_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/core/setup_forms.h"

namespace zepa::gui {
namespace {

QCheckBox* option(const char* text, const char* name, const char* hint) {
  auto* box = new QCheckBox(text);
  box->setObjectName(name);
  if (hint) box->setToolTip(hint);
  return box;
}

}  // namespace

DebugOptionsDialog::DebugOptionsDialog(ui::RunSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle("ISP Debug Panel");
  setObjectName("debug_options_dialog");
  setToolTip("Detailed output files for each ISP command. Files store in working directory.");
  setModal(true);

  auto* heading = new QLabel("Output/Debug options:");
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  verify_log_ = option("Log 'Verify' operation result (.vrf) for ZEPA1 devices", "verify_log",
                       "Compares data read from device against original design");
  standard_frame_ = option("Always use standard data frame for ZEPA2 devices", "standard_frame",
                           "No compression frame (default) is generated if checked");
  off_line_ = option("Off-line programming (no I/O port access)", "off_line",
                     "You can get most output files without interfering the I/O ports");
  reserved_ = option("Reserved", "reserved", nullptr);
  active_io_ = option("Active I/O verify", "active_io_verify", nullptr);
  fuse_listing_ = option("ZEPA1 Shift Register vs JEDEC fuse mapping (srfuse.doc)", "fuse_listing", nullptr);
  fuse_listing_->setEnabled(false);
  fuse_listing_->hide();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  connect(buttons, &QDialogButtonBox::accepted, this, &DebugOptionsDialog::ok);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  for (QCheckBox* box : {verify_log_, standard_frame_, off_line_, reserved_, active_io_, fuse_listing_}) {
    layout->addWidget(box);
  }
  layout->addWidget(buttons);
  load();
}

void DebugOptionsDialog::showEvent(QShowEvent* event) {
  load();
  QDialog::showEvent(event);
}

void DebugOptionsDialog::load() {
  const ui::DebugTicks ticks = ui::debug_ticks(settings_);
  verify_log_->setChecked(ticks.verify_log);
  standard_frame_->setChecked(ticks.standard_frame);
  off_line_->setChecked(ticks.off_line);
  active_io_->setChecked(ticks.active_io_verify);
  fuse_listing_->setChecked(ticks.fuse_listing);
}

void DebugOptionsDialog::ok() {
  ui::apply_debug_ticks(settings_, {.verify_log = verify_log_->isChecked(),
                                    .standard_frame = standard_frame_->isChecked(),
                                    .off_line = off_line_->isChecked(),
                                    .reserved = reserved_->isChecked(),
                                    .active_io_verify = active_io_->isChecked(),
                                    .fuse_listing = fuse_listing_->isChecked()});
  emit options_changed(settings_.OffLine);
  accept();
}

}  // namespace zepa::gui
