// "Device ID & Security Status": the IDCODE fields and the security state a run read back from a device,
// with a spin button over the devices of the chain.
#pragma once

#include <QDialog>

#include "chain/chain_table.h"

class QLabel;
class QToolButton;

namespace zepa::gui {

class DeviceIdDialog : public QDialog {
  Q_OBJECT

 public:
  DeviceIdDialog(chain::ChainTable& table, QWidget* parent = nullptr);

  // Shows device n (1..60).
  void set_current_device(int n);
  // What activation does: the first device of the chain whose operation is Read device ID becomes the
  // current one (the current one stays when there is none), and it is shown.
  void refresh();
  int current_device() const { return CurrentDevice; }
  // While a run writes the chain table the arrows, which read it, are disabled.
  void set_running(bool running);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void show_device(int n);
  void step(int direction);

  chain::ChainTable& table_;
  int CurrentDevice = 1;

  QToolButton* previous_ = nullptr;
  QToolButton* next_ = nullptr;
  QLabel* device_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* idcode_ = nullptr;
  QLabel* version_ = nullptr;
  QLabel* architecture_ = nullptr;
  QLabel* technology_ = nullptr;
  QLabel* macrocells_ = nullptr;
  QLabel* voltage_ = nullptr;
  QLabel* package_ = nullptr;
  QLabel* manufacturer_ = nullptr;
  QLabel* bit0_ = nullptr;
};

}  // namespace zepa::gui
