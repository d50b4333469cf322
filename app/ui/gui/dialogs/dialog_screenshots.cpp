#include "ui/gui/dialogs/dialog_screenshots.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPixmap>

#include "chain/prompts.h"
#include "ui/gui/dialogs/about_dialog.h"
#include "ui/gui/dialogs/debug_options_dialog.h"
#include "ui/gui/dialogs/device_id_dialog.h"
#include "ui/gui/dialogs/port_setup_dialog.h"
#include "ui/gui/dialogs/review_dialog.h"
#include "ui/gui/dialogs/slave_serial_dialog.h"

namespace zepa::gui {
namespace {

// The pictures are taken without anybody to answer a box.
class SilentPrompts final : public chain::Prompts {
 public:
  void show(chain::BoxIcon, std::string_view, std::string_view) override {}
  bool ask(std::string_view, std::string_view, Answers) override { return false; }
  void beep() override {}
};

bool grab(QDialog& dialog, const QString& dir, const char* name) {
  dialog.setModal(false);
  dialog.show();
  dialog.adjustSize();
  QApplication::processEvents();
  const bool saved = dialog.grab().save(QDir(dir).filePath(QString("dialog-%1.png").arg(name)));
  dialog.close();
  QApplication::processEvents();
  return saved;
}

}  // namespace

bool save_dialog_screenshots(QWidget* parent, ui::Session& session, const ui::PortChoice& port_choice,
                             const QString& dir) {
  SilentPrompts prompts;
  ui::PortChoice choice = port_choice;
  bool saved = true;
  {
    PortSetupDialog dialog(session.programmer(), choice, prompts, parent);
    saved &= grab(dialog, dir, "port-setup");
  }
  {
    DeviceIdDialog dialog(session.table(), parent);
    // The first device with an IDCODE read back, when none is set to Read device ID.
    for (int n = 1; n <= session.table().device_count(); ++n) {
      if (!session.table()[n].idcode.empty()) {
        dialog.set_current_device(n);
        break;
      }
    }
    saved &= grab(dialog, dir, "device-id");
  }
  {
    ReviewDialog dialog(session.table(), parent);
    saved &= grab(dialog, dir, "review");
  }
  {
    DebugOptionsDialog dialog(session.programmer().settings, parent);
    saved &= grab(dialog, dir, "debug-options");
  }
  {
    AboutDialog dialog(parent);
    saved &= grab(dialog, dir, "about");
  }
  {
    SlaveSerialDialog dialog(parent);
    dialog.set_file_chooser(
        [](QWidget*, const FileRequest&) { return QString("/home/engineer/designs/counter.mcs"); });
    dialog.choose_file();
    saved &= grab(dialog, dir, "slave-serial");
  }
  return saved;
}

void save_dialog_screenshots(QWidget* parent, ui::Session& session, const QString& dir) {
  ui::PortChoice choice;
  if (session.simulated()) choice.kind = ui::PortChoice::Kind::kSim;
  save_dialog_screenshots(parent, session, choice, dir);
}

}  // namespace zepa::gui
