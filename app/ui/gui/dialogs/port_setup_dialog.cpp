#include "ui/gui/dialogs/port_setup_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "port/port_backends.h"
#include "ui/core/port_args.h"
#include "ui/core/setup_forms.h"

namespace zepa::gui {
namespace {

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PortSetupDialog::PortSetupDialog(ui::Programmer& programmer, ui::PortChoice& port_choice,
                                 chain::Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      programmer_(programmer),
      port_choice_(port_choice),
      prompts_(prompts),
      choose_file_(choose_file_with_dialog) {
  setWindowTitle("Port Setup");
  setObjectName("port_setup_dialog");

  count_box_ = new QLineEdit("0");
  count_box_->setObjectName("device_count");
  count_box_->setMaximumWidth(80);
  auto* count_row = new QHBoxLayout;
  count_row->addWidget(new QLabel("Total ISP device in the system: "));
  count_row->addWidget(count_box_);
  count_row->addStretch(1);

  port_list_ = new QComboBox;
  port_list_->setObjectName("port_list");
  port_list_->addItems({"Port1 (278h)", "Port2 (378h)", "Port3 (3BCh)", "Auto Port Selection"});
  port_list_->setCurrentIndex(engine::kAutoPortSelection);
  port_list_->setToolTip("Select one of the PC Parallel port which connects to the ISP board");
  auto* port_row = new QHBoxLayout;
  port_row->addWidget(new QLabel("Select PC parallel port:"));
  port_row->addWidget(port_list_);
  port_row->addStretch(1);

  tck_delay_ = new QLineEdit("0");
  tck_delay_->setObjectName("tck_delay");
  tck_delay_->setMaximumWidth(100);
  tck_delay_->setToolTip(
      "Each half of the TCK clock lasts at least this long: for long cables and slow boards");
  auto* tck_row = new QHBoxLayout;
  tck_row->addWidget(new QLabel("TCK delay (ns per half clock):"));
  tck_row->addWidget(tck_delay_);
  tck_row->addStretch(1);

  byteblaster_ = new QCheckBox("Map to Altera's ByteBlaster download cable.");
  byteblaster_->setObjectName("byteblaster");
  byteblaster_->setToolTip(
      "This allow you to drop in Veltrin ISP parts into Altera's sockets while still using ByteBlaster "
      "cable");
  corvane_ = new QCheckBox("Use Corvane's Parallel download cable.");
  corvane_->setObjectName("corvane");
  corvane_->setToolTip("This allow you to use Corvane's Parallel cable to program Veltrin' ISP parts");
  probemate_ = new QCheckBox("Use Corvane's Probemate cable.");
  probemate_->setObjectName("probemate");
  probemate_->setEnabled(false);
  probemate_->hide();
  for (QCheckBox* box : {byteblaster_, corvane_, probemate_}) {
    connect(box, &QCheckBox::toggled, this, [this, box](bool ticked) { cable_ticked(box, ticked); });
  }

  // Where the port registers are.
  auto* access = new QGroupBox("Port access:");
  auto* access_layout = new QGridLayout(access);
  auto* group = new QButtonGroup(this);
  sim_choice_ = new QRadioButton("Simulated board file:");
  sim_choice_->setObjectName("sim_choice");
  group->addButton(sim_choice_);
  board_file_ = new QLineEdit;
  board_file_->setObjectName("board_file");
  board_file_->setMinimumWidth(240);
  browse_ = new QPushButton("Browse...");
  browse_->setObjectName("browse_board");
  connect(browse_, &QPushButton::clicked, this, &PortSetupDialog::browse_board);
  access_layout->addWidget(sim_choice_, 0, 0);
  access_layout->addWidget(board_file_, 0, 1);
  access_layout->addWidget(browse_, 0, 2);
  int row = 1;
  for (const port::PortBackend& backend : port::PortBackends()) {
    auto* choice = new QRadioButton(qs(backend.name) + ": " + qs(backend.summary));
    choice->setObjectName("backend_" + qs(backend.name));
    group->addButton(choice);
    backend_choices_.push_back(choice);
    const bool takes_argument = backend.name == "ppdev" || backend.name == "remote";
    access_layout->addWidget(choice, row, 0, 1, takes_argument ? 1 : 3);
    if (backend.name == "ppdev") {
      ppdev_device_ = new QLineEdit;
      ppdev_device_->setObjectName("ppdev_device");
      ppdev_device_->setPlaceholderText("/dev/parport0 or 378=/dev/parport0");
      ppdev_device_->setToolTip(
          "The ppdev device of the port, for every address (PATH) or for one (ADDR=PATH); empty: the "
          "device is found by the port's address");
      access_layout->addWidget(ppdev_device_, row, 1, 1, 2);
    }
    if (backend.name == "remote") {
      remote_server_ = new QLineEdit;
      remote_server_->setObjectName("remote_server");
      remote_server_->setPlaceholderText("HOST:PORT, as 127.0.0.1:3335");
      remote_server_->setToolTip("The remote_bitbang server whose JTAG pins the runs drive");
      access_layout->addWidget(remote_server_, row, 1, 1, 2);
    }
    ++row;
  }
  access_layout->setColumnStretch(1, 1);
  connect(group, &QButtonGroup::buttonToggled, this, [this] { update_arguments(); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  connect(buttons, &QDialogButtonBox::accepted, this, &PortSetupDialog::ok);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(count_row);
  layout->addLayout(port_row);
  layout->addLayout(tck_row);
  layout->addWidget(byteblaster_);
  layout->addWidget(corvane_);
  layout->addWidget(probemate_);
  layout->addWidget(access);
  layout->addWidget(buttons);
  load();
}

void PortSetupDialog::set_file_chooser(FileChooser chooser) {
  choose_file_ = std::move(chooser);
}

void PortSetupDialog::showEvent(QShowEvent* event) {
  load();
  QDialog::showEvent(event);
}

void PortSetupDialog::load() {
  const ui::PortSetup& port = programmer_.settings.port;
  // The box shows the chain's count: a chain file loaded since the last OK has set it.
  count_box_->setText(QString::number(programmer_.table().DeviceCount));
  port_list_->setCurrentIndex(std::clamp(port.port_index, 0, engine::kAutoPortSelection));
  byteblaster_->setChecked(port.cable == engine::CableKind::AlteraByteBlaster);
  corvane_->setChecked(port.cable == engine::CableKind::CorvaneParallelCable);

  sim_choice_->setChecked(port_choice_.kind == ui::PortChoice::Kind::kSim);
  board_file_->setText(port_choice_.kind == ui::PortChoice::Kind::kSim
                           ? QString::fromStdString(port_choice_.argument)
                           : QString());
  const auto backends = port::PortBackends();
  for (std::size_t i = 0; i < backends.size(); ++i) {
    const bool chosen =
        port_choice_.kind == ui::PortChoice::Kind::kBackend &&
        (port_choice_.backend == backends[i].name || (port_choice_.backend.empty() && i == 0));
    if (chosen) backend_choices_[i]->setChecked(true);
  }
  const bool backend = port_choice_.kind == ui::PortChoice::Kind::kBackend;
  if (ppdev_device_) {
    ppdev_device_->setText(backend && port_choice_.backend != "remote"
                               ? QString::fromStdString(port_choice_.argument)
                               : QString());
  }
  if (remote_server_) {
    remote_server_->setText(backend && port_choice_.backend == "remote"
                                ? QString::fromStdString(port_choice_.argument)
                                : QString());
  }
  tck_delay_->setText(QString::number(programmer_.settings.tck_delay_ns));
  update_arguments();
}

// Ticking one cable unticks the other two; none ticked is the maker's RelayCable.
void PortSetupDialog::cable_ticked(QCheckBox* box, bool ticked) {
  if (!ticked) return;
  for (QCheckBox* other : {byteblaster_, corvane_, probemate_}) {
    if (other != box) other->setChecked(false);
  }
}

void PortSetupDialog::update_arguments() {
  board_file_->setEnabled(sim_choice_->isChecked());
  browse_->setEnabled(sim_choice_->isChecked());
  const auto backends = port::PortBackends();
  for (std::size_t i = 0; i < backends.size(); ++i) {
    if (backends[i].name == "ppdev" && ppdev_device_)
      ppdev_device_->setEnabled(backend_choices_[i]->isChecked());
    if (backends[i].name == "remote" && remote_server_) {
      remote_server_->setEnabled(backend_choices_[i]->isChecked());
    }
  }
}

void PortSetupDialog::browse_board() {
  FileRequest request;
  request.caption = "Simulated board file";
  request.folder = QFileInfo(board_file_->text()).path();
  request.filter = "Board files (*.sim);;All files (*)";
  request.must_exist = true;
  const QString chosen = choose_file_(this, request);
  if (!chosen.isEmpty()) board_file_->setText(chosen);
}

ui::PortChoice PortSetupDialog::chosen_port() const {
  ui::PortChoice choice;
  if (sim_choice_->isChecked()) {
    choice.kind = ui::PortChoice::Kind::kSim;
    choice.argument = board_file_->text().trimmed().toStdString();
    return choice;
  }
  const auto backends = port::PortBackends();
  for (std::size_t i = 0; i < backends.size(); ++i) {
    if (!backend_choices_[i]->isChecked()) continue;
    choice.backend = std::string(backends[i].name);
    if (backends[i].name == "ppdev" && ppdev_device_) {
      choice.argument = ppdev_device_->text().trimmed().toStdString();
    }
    if (backends[i].name == "remote" && remote_server_) {
      choice.argument = remote_server_->text().trimmed().toStdString();
    }
  }
  return choice;
}

void PortSetupDialog::ok() {
  const ui::PortChoice chosen = chosen_port();
  const bool port_changed = chosen.kind != port_choice_.kind || chosen.backend != port_choice_.backend ||
                            chosen.argument != port_choice_.argument;
  if (port_changed) {
    const std::string problem = ui::port_choice_problem(chosen);
    if (!problem.empty()) {
      prompts_.error(problem);
      return;
    }
  }

  const std::string delay_text = tck_delay_->text().trimmed().toStdString();
  const std::optional<std::int64_t> tck_delay = ui::parse_tck_delay(delay_text);
  if (!tck_delay) {
    prompts_.error("TCK delay: '" + delay_text + "' is not a number of nanoseconds from 0 to 1000000000.");
    return;
  }

  ui::PortSetup form;
  form.port_index = port_list_->currentIndex();
  form.cable = byteblaster_->isChecked() ? engine::CableKind::AlteraByteBlaster
               : corvane_->isChecked()   ? engine::CableKind::CorvaneParallelCable
                                         : engine::CableKind::RelayCable;
  if (!ui::apply_port_setup_form(programmer_, form, count_box_->text().toStdString(), prompts_)) return;

  programmer_.settings.tck_delay_ns = *tck_delay;
  accept();
  if (port_changed) {
    port_choice_ = chosen;
    // Last: the receiver builds a new session and may delete this dialog with the old one.
    emit port_choice_changed();
  }
}

}  // namespace zepa::gui
