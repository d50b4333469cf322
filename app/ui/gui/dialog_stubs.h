// Stand-ins for the chain configuration window and the dialogs while they are built elsewhere: the same
// constructors, calls and signals, and just enough behind them for the main window and its tests (a plain
// table of the devices, an Execute button, the labels). Used only when app/ui/gui/dialogs/ is absent.
#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

#include "chain/chain_names.h"
#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "ui/core/run_path.h"
#include "ui/core/session.h"

namespace zepa::gui {

class ChainConfigWindow : public QWidget {
  Q_OBJECT

 public:
  ChainConfigWindow(chain::ChainTable& table, ui::Programmer& programmer, chain::Prompts& prompts,
                    QWidget* parent = nullptr)
      : QWidget(parent), table_(table) {
    (void)programmer;
    (void)prompts;
    setWindowTitle("Configure JTAG chain devices");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    file_label_ = new QLabel("Current JCD file:", this);
    offline_label_ = new QLabel("<<OFF-LINE>>", this);
    offline_label_->hide();
    failed_label_ = new QLabel("Operation Failed!", this);
    failed_label_->setStyleSheet("color: red; font-weight: bold");
    failed_label_->hide();
    execute_ = new QPushButton("Execute", this);
    top->addWidget(file_label_, 1);
    top->addWidget(offline_label_);
    top->addWidget(failed_label_);
    top->addWidget(execute_);
    layout->addLayout(top);
    grid_ = new QTableWidget(0, 6, this);
    grid_->setHorizontalHeaderLabels({"Device", "Part", "IR length", "Operation", "Design file", "Result"});
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(grid_);
    connect(execute_, &QPushButton::clicked, this, &ChainConfigWindow::execute_requested);
    connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int) { emit device_selected(row + 1); });
    refresh();
  }

  void refresh() {
    const int n = table_.device_count();
    grid_->setRowCount(n);
    for (int i = 1; i <= n; ++i) {
      const chain::ChainDevice& d = table_[i];
      auto text = [](std::string_view v) {
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
      };
      const QString texts[] = {QString::number(i),
                               text(chain::part_name(d.part)),
                               text(chain::ir_length_text(d.IR_len)),
                               text(chain::operation_text(d.cmnd)),
                               text(d.jed.str()),
                               d.result == chain::kResultPass   ? "pass"
                               : d.result == chain::kResultFail ? "fail"
                                                                : ""};
      for (int c = 0; c < 6; ++c) grid_->setItem(i - 1, c, new QTableWidgetItem(texts[c]));
    }
  }
  void mark_result(int position, bool passed) {
    if (position < 1 || position > grid_->rowCount()) return;
    grid_->setItem(position - 1, 5, new QTableWidgetItem(passed ? "pass" : "fail"));
  }
  void show_operation_failed(bool shown) { failed_label_->setVisible(shown); }
  void show_ues(int, const QString&) {}
  void show_ues_page() {}
  void set_current_file(const QString& path) { file_label_->setText("Current JCD file: " + path); }
  void set_offline(bool offline) { offline_label_->setVisible(offline); }
  void set_running(bool running) { execute_->setEnabled(!running); }

  QString result_text(int position) const {
    const QTableWidgetItem* item = grid_->item(position - 1, 5);
    return item == nullptr ? QString() : item->text();
  }
  bool operation_failed_shown() const { return !failed_label_->isHidden(); }

 signals:
  void execute_requested();
  void device_selected(int position);
  void chain_edited();

 private:
  chain::ChainTable& table_;
  QLabel* file_label_;
  QLabel* offline_label_;
  QLabel* failed_label_;
  QPushButton* execute_;
  QTableWidget* grid_;
};

class PortSetupDialog : public QDialog {
  Q_OBJECT

 public:
  PortSetupDialog(ui::Programmer& programmer, ui::PortChoice& port_choice, chain::Prompts& prompts,
                  QWidget* parent)
      : QDialog(parent) {
    (void)programmer;
    (void)port_choice;
    (void)prompts;
    setWindowTitle("Port Setup");
  }

 signals:
  void port_choice_changed();
};

class DeviceIdDialog : public QDialog {
  Q_OBJECT

 public:
  DeviceIdDialog(chain::ChainTable& table, QWidget* parent) : QDialog(parent), table_(table) {
    setWindowTitle("Device ID & Security Status");
  }
  void set_current_device(int n) { current_ = n; }
  void refresh() {}
  int current_device() const { return current_; }

 private:
  chain::ChainTable& table_;
  int current_ = 1;
};

class ReviewDialog : public QDialog {
  Q_OBJECT

 public:
  ReviewDialog(chain::ChainTable& table, QWidget* parent) : QDialog(parent), table_(table) {
    setWindowTitle("Review device info");
  }
  void refresh() {}

 private:
  chain::ChainTable& table_;
};

class DebugOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  DebugOptionsDialog(ui::RunSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setWindowTitle("ISP Debug Panel");
  }

 signals:
  void options_changed();

 private:
  ui::RunSettings& settings_;
};

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent) : QDialog(parent) { setWindowTitle("Zepa Programmer About"); }
};

}  // namespace zepa::gui
