// "ZEPA2 Slave Serial Configuration": how to wire the cable to the part, the configuration file (.mcs or
// .bit) and Run. The load itself runs on the main window's worker (the dialog only asks for it).
#pragma once

#include <QDialog>
#include <QString>

#include "ui/gui/dialogs/file_chooser.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zepa::gui {

class SlaveSerialDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit SlaveSerialDialog(QWidget* parent = nullptr);

  void set_file_chooser(FileChooser chooser) { choose_file_ = std::move(chooser); }
  // Fills the wiring table afresh (each time the dialog is opened).
  void refill();
  // "File:": the open dialog; the chosen file is shown and used by Run.
  void choose_file();
  const QString& file() const { return file_; }
  // No second load while one runs.
  void set_running(bool running);

  QTableWidget& wiring() { return *wiring_; }

 signals:
  void run_requested(const QString& file);

 private:
  FileChooser choose_file_;
  QString file_;
  QTableWidget* wiring_ = nullptr;
  QLineEdit* file_box_ = nullptr;
  QPushButton* run_ = nullptr;
};

}  // namespace zepa::gui
