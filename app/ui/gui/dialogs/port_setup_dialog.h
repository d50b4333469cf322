// "Port Setup": the parallel port, the download cable and the device count of the chain, the TCK delay,
// and where the port registers are reached: a simulated board file, or one of the port backends of this
// system (on Linux the kernel's ppdev device, the processor's own I/O instructions or a remote_bitbang
// server's pins).
#pragma once

#include <QDialog>
#include <vector>

#include "chain/prompts.h"
#include "ui/core/run_path.h"
#include "ui/core/session.h"
#include "ui/gui/dialogs/file_chooser.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zepa::gui {

class PortSetupDialog : public QDialog {
  Q_OBJECT

 public:
  PortSetupDialog(ui::Programmer& programmer, ui::PortChoice& port_choice, chain::Prompts& prompts,
                  QWidget* parent = nullptr);

  // Shows the programmer's settings and the port choice (also done each time the dialog is shown).
  void load();
  // Replaces the desktop's open dialog of the board file's "Browse..." (tests script it).
  void set_file_chooser(FileChooser chooser);

 signals:
  // OK changed the port choice: the session must be built again over the new port. Emitted last, after
  // the dialog closed; a receiver that deletes the dialog with the old session uses deleteLater().
  void port_choice_changed();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ok();
  void cable_ticked(QCheckBox* box, bool ticked);
  void browse_board();
  void update_arguments();
  ui::PortChoice chosen_port() const;

  ui::Programmer& programmer_;
  ui::PortChoice& port_choice_;
  chain::Prompts& prompts_;
  FileChooser choose_file_;

  QLineEdit* count_box_ = nullptr;
  QComboBox* port_list_ = nullptr;
  QCheckBox* byteblaster_ = nullptr;
  QCheckBox* corvane_ = nullptr;
  QCheckBox* probemate_ = nullptr;
  QRadioButton* sim_choice_ = nullptr;
  QLineEdit* board_file_ = nullptr;
  QPushButton* browse_ = nullptr;
  std::vector<QRadioButton*> backend_choices_;  // one per port backend, in the table's order
  QLineEdit* ppdev_device_ = nullptr;           // only where the table has ppdev
  QLineEdit* remote_server_ = nullptr;          // only where the table has remote
  QLineEdit* tck_delay_ = nullptr;
};

}  // namespace zepa::gui
