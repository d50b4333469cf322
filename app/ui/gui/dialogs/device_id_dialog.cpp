#include "ui/gui/dialogs/device_id_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/core/setup_forms.h"

namespace zepa::gui {
namespace {

QLabel* value_label(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QFrame* panel(const QString& hint) {
  auto* frame = new QFrame;
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Sunken);
  frame->setToolTip(hint);
  return frame;
}

}  // namespace

DeviceIdDialog::DeviceIdDialog(chain::ChainTable& table, QWidget* parent) : QDialog(parent), table_(table) {
  setWindowTitle("Device ID & Security Status");
  setObjectName("device_id_dialog");

  device_ = value_label("device");
  auto* previous = new QToolButton;
  previous->setObjectName("previous_device");
  previous->setArrowType(Qt::UpArrow);
  previous->setAutoRaise(false);
  auto* next = new QToolButton;
  next->setObjectName("next_device");
  next->setArrowType(Qt::DownArrow);
  for (QToolButton* arrow : {previous, next}) arrow->setFixedSize(22, 14);
  connect(previous, &QToolButton::clicked, this, [this] { step(-1); });
  connect(next, &QToolButton::clicked, this, [this] { step(1); });
  previous_ = previous;
  next_ = next;
  auto* spin = new QVBoxLayout;
  spin->setSpacing(0);
  spin->addWidget(previous);
  spin->addWidget(next);
  auto* device_row = new QHBoxLayout;
  device_row->addWidget(new QLabel("Device #"));
  device_row->addWidget(device_);
  device_row->addLayout(spin);
  device_row->addStretch(1);

  QFrame* security = panel("Use 'Read Device ID' command to retrieve the device security status.");
  auto* security_layout = new QHBoxLayout(security);
  state_ = value_label("state");
  QFont bold = state_->font();
  bold.setBold(true);
  state_->setFont(bold);
  security_layout->addWidget(new QLabel("The device is "));
  security_layout->addWidget(state_);
  security_layout->addStretch(1);

  QFrame* fields = panel("Use 'Read Device ID' command to retrieve Device ID.");
  auto* grid = new QGridLayout(fields);
  idcode_ = value_label("idcode");
  idcode_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  version_ = value_label("version");
  architecture_ = value_label("architecture");
  technology_ = value_label("technology");
  macrocells_ = value_label("macrocells");
  voltage_ = value_label("voltage");
  package_ = value_label("package");
  manufacturer_ = value_label("manufacturer");
  bit0_ = value_label("bit0");
  const std::pair<const char*, QLabel*> rows[] = {
      {"IDCODE: ", idcode_},  {"Version:", version_},     {"Arch:", architecture_},
      {"Tech:", technology_}, {"MC#:", macrocells_},      {"Voltage:", voltage_},
      {"Package:", package_}, {"Mft ID:", manufacturer_}, {"Mft bit:", bit0_},
  };
  int row = 0;
  for (const auto& [caption, value] : rows) {
    grid->addWidget(new QLabel(caption), row, 0);
    grid->addWidget(value, row, 1);
    ++row;
  }
  grid->setColumnStretch(1, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(device_row);
  layout->addWidget(security);
  layout->addWidget(fields);
  layout->addWidget(buttons);
  show_device(CurrentDevice);
}

void DeviceIdDialog::showEvent(QShowEvent* event) {
  refresh();
  QDialog::showEvent(event);
}

void DeviceIdDialog::set_running(bool running) {
  previous_->setEnabled(!running);
  next_->setEnabled(!running);
}

void DeviceIdDialog::set_current_device(int n) {
  if (!chain::ChainTable::valid_position(n)) return;
  CurrentDevice = n;
  show_device(n);
}

void DeviceIdDialog::refresh() {
  CurrentDevice = ui::device_id_start(table_, CurrentDevice);
  show_device(CurrentDevice);
}

void DeviceIdDialog::step(int direction) {
  CurrentDevice = ui::device_id_step(table_, CurrentDevice, direction);
  show_device(CurrentDevice);
}

void DeviceIdDialog::show_device(int n) {
  const ui::DeviceIdTexts texts = ui::device_id_texts(table_, n);
  const auto set = [](QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
  };
  set(device_, texts.device);
  set(state_, texts.state);
  set(idcode_, texts.idcode);
  set(version_, texts.version);
  set(architecture_, texts.architecture);
  set(technology_, texts.technology);
  set(macrocells_, texts.macrocells);
  set(voltage_, texts.voltage);
  set(package_, texts.package);
  set(manufacturer_, texts.manufacturer);
  set(bit0_, texts.bit0);
}

}  // namespace zepa::gui
