// The dialogs driven through their real widgets: port setup (device-count box, cable ticks, port access),
// debug options, device ID and review after an IDCODE read back, and the about box.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "engine/isp_options.h"
#include "ui/core/idcode.h"
#include "ui/gui/chain_config_window.h"
#include "ui/gui/dialogs/about_dialog.h"
#include "ui/gui/dialogs/debug_options_dialog.h"
#include "ui/gui/dialogs/device_id_dialog.h"
#include "ui/gui/dialogs/dialog_screenshots.h"
#include "ui/gui/dialogs/port_setup_dialog.h"
#include "ui/gui/dialogs/review_dialog.h"
#include "ui/gui/tests/window_rig.h"

namespace zepa::gui {
namespace {

using namespace zepa::chain;
using testing::GuiRig;

// Version 1, ZEPA1, 0.5u EECMOS, 64 macrocells, 5 volt, package 4 (VQ 100), manufacturer 049h.
constexpr std::uint32_t kIdcode = (1u << 28) | (0b000100u << 16) | (4u << 12) | (0x049u << 1) | 1u;

template <typename T>
T* child(QWidget* parent, const char* name) {
  T* found = parent->findChild<T*>(name);
  if (!found) qFatal("no child %s", name);
  return found;
}

// A check box takes a click on its box or its text only (the middle of a wide one may be neither).
void click(QWidget* parent, const char* name) {
  auto* button = child<QAbstractButton>(parent, name);
  if (button->isCheckable()) {
    button->click();
  } else {
    QTest::mouseClick(button, Qt::LeftButton);
  }
}

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void port_setup_refuses_bad_counts_and_stays_open();
  void port_setup_applies_port_cable_and_count();
  void port_setup_cable_ticks_exclude_each_other();
  void port_setup_changes_the_port_access();
  void port_setup_takes_a_remote_server_and_a_tck_delay();
  void debug_options_set_the_option_bits_and_the_off_line_label();
  void device_id_shows_a_read_back_idcode();
  void device_id_keeps_its_device_without_a_read();
  void review_lists_every_device();
  void about_shows_the_version();
  void screenshots_are_written();

 private:
  // What a Read Device ID run leaves for device 2: the IDCODE text, its decoded fields, the security state.
  void read_back_device_2() {
    ChainTable& table = rig_->table();
    table[2].cmnd = kOpReadId;
    table[2].idcode = ui::idcode_text(kIdcode);
    ui::decode_idcode(table, 2, table[2].idcode.str());
    table[2].secure = '0';
  }

  std::unique_ptr<GuiRig> rig_;
};

void DialogsTest::init() {
  rig_ = std::make_unique<GuiRig>();
  rig_->table().DeviceCount = 3;
  rig_->programmer().settings.port.device_count_box = 3;
}

void DialogsTest::cleanup() {
  rig_.reset();
}

void DialogsTest::port_setup_refuses_bad_counts_and_stays_open() {
  ui::PortChoice choice{.kind = ui::PortChoice::Kind::kSim, .backend = {}, .argument = "board.sim"};
  PortSetupDialog dialog(rig_->programmer(), choice, rig_->prompts());
  dialog.show();
  QCOMPARE(child<QLineEdit>(&dialog, "device_count")->text(), QString("3"));
  struct Case {
    const char* text;
    std::string box;
  };
  const Case cases[] = {
      {"75", "warning: Max 60 devices allowed!"},
      {"abc", "error: 'abc' is not a valid whole number."},
      {"4.5", "error: '4.5' is not a valid whole number."},
      {"", "error: '' is not a valid whole number."},
  };
  for (const Case& c : cases) {
    rig_->prompts().boxes.clear();
    child<QLineEdit>(&dialog, "device_count")->setText(c.text);
    click(&dialog, "ok");
    QCOMPARE(rig_->prompts().boxes, std::vector<std::string>{c.box});
    QVERIFY2(dialog.isVisible(), c.text);
    QCOMPARE(rig_->table().DeviceCount, 3);
    QCOMPARE(rig_->programmer().settings.port.device_count_box, 3);
  }
}

void DialogsTest::port_setup_applies_port_cable_and_count() {
  ui::PortChoice choice{.kind = ui::PortChoice::Kind::kSim, .backend = {}, .argument = "board.sim"};
  PortSetupDialog dialog(rig_->programmer(), choice, rig_->prompts());
  QSignalSpy changed(&dialog, &PortSetupDialog::port_choice_changed);
  dialog.show();
  QCOMPARE(child<QComboBox>(&dialog, "port_list")->currentText(), QString("Auto Port Selection"));
  child<QComboBox>(&dialog, "port_list")->setCurrentIndex(1);
  click(&dialog, "byteblaster");
  child<QLineEdit>(&dialog, "device_count")->setText(" 5 ");
  click(&dialog, "ok");
  QVERIFY(!dialog.isVisible());
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  const ui::PortSetup& port = rig_->programmer().settings.port;
  QCOMPARE(port.port_index, 1);
  QVERIFY(port.cable == engine::CableKind::AlteraByteBlaster);
  QCOMPARE(port.device_count_box, 5);
  QCOMPARE(rig_->table().DeviceCount, 5);
  QVERIFY(rig_->prompts().boxes.empty());
  QCOMPARE(changed.count(), 0);  // same port access: the session stays

  // Shown again, the dialog shows what was set, and the count of a chain loaded since.
  dialog.show();
  QCOMPARE(child<QComboBox>(&dialog, "port_list")->currentIndex(), 1);
  QVERIFY(child<QCheckBox>(&dialog, "byteblaster")->isChecked());
  QCOMPARE(child<QLineEdit>(&dialog, "device_count")->text(), QString("5"));
  dialog.hide();
  QVERIFY(rig_->programmer().load_jcd_file(std::string(ZEPA_SOURCE_DIR) + "/examples/chain.jcd"));
  dialog.show();
  QCOMPARE(child<QLineEdit>(&dialog, "device_count")->text(), QString("3"));
  click(&dialog, "ok");
  QCOMPARE(rig_->table().DeviceCount, 3);
}

void DialogsTest::port_setup_cable_ticks_exclude_each_other() {
  ui::PortChoice choice;
  PortSetupDialog dialog(rig_->programmer(), choice, rig_->prompts());
  dialog.show();
  auto* byteblaster = child<QCheckBox>(&dialog, "byteblaster");
  auto* corvane = child<QCheckBox>(&dialog, "corvane");
  QVERIFY(child<QCheckBox>(&dialog, "probemate")->isHidden());
  QVERIFY(!child<QCheckBox>(&dialog, "probemate")->isEnabled());
  click(&dialog, "byteblaster");
  QVERIFY(byteblaster->isChecked() && !corvane->isChecked());
  click(&dialog, "corvane");
  QVERIFY(!byteblaster->isChecked() && corvane->isChecked());
  click(&dialog, "corvane");  // none ticked: the maker's own cable
  QVERIFY(!byteblaster->isChecked() && !corvane->isChecked());
  click(&dialog, "ok");
  QVERIFY(rig_->programmer().settings.port.cable == engine::CableKind::RelayCable);
}

void DialogsTest::port_setup_changes_the_port_access() {
  const QString board = rig_->file("Other Board.sim", "port 378\ncable relay\ndevice VTL3032C\n");
  ui::PortChoice choice{.kind = ui::PortChoice::Kind::kSim, .backend = {}, .argument = board.toStdString()};
  PortSetupDialog dialog(rig_->programmer(), choice, rig_->prompts());
  QSignalSpy changed(&dialog, &PortSetupDialog::port_choice_changed);
  // The receiver rebuilds the session: by then the dialog is closed and the choice is the new one.
  std::vector<std::pair<bool, std::string>> seen;
  QObject::connect(&dialog, &PortSetupDialog::port_choice_changed,
                   [&] { seen.emplace_back(dialog.isVisible(), choice.argument); });
  dialog.show();
  QVERIFY(child<QRadioButton>(&dialog, "sim_choice")->isChecked());
  QCOMPARE(child<QLineEdit>(&dialog, "board_file")->text(), board);

  // A board file that is not there: refused, the dialog stays and nothing changes.
  const QString missing = QDir(rig_->dir.path()).filePath("None.sim");
  child<QLineEdit>(&dialog, "board_file")->setText(missing);
  click(&dialog, "ok");
  QCOMPARE(rig_->prompts().boxes, std::vector<std::string>{"error: Can not find: " + missing.toStdString()});
  QVERIFY(dialog.isVisible());
  QCOMPARE(changed.count(), 0);
  QCOMPARE(choice.argument, board.toStdString());

  // "Browse..." fills the name as the chooser gives it.
  const QString chosen = rig_->file("Chosen.SIM", "port 378\ncable relay\ndevice VTL3032C\n");
  dialog.set_file_chooser([&](QWidget*, const FileRequest& request) {
    return request.filter.contains("*.sim") ? chosen : QString();
  });
  click(&dialog, "browse_board");
  QCOMPARE(child<QLineEdit>(&dialog, "board_file")->text(), chosen);
  click(&dialog, "ok");
  QCOMPARE(changed.count(), 1);
  QVERIFY(choice.kind == ui::PortChoice::Kind::kSim);
  QCOMPARE(choice.argument, chosen.toStdString());
  QVERIFY(seen == (std::vector<std::pair<bool, std::string>>{{false, chosen.toStdString()}}));

  // A port backend of this system.
  auto* ppdev = dialog.findChild<QRadioButton*>("backend_ppdev");
  if (!ppdev) QSKIP("no ppdev backend on this system");
  dialog.show();
  ppdev->click();
  QVERIFY(!child<QLineEdit>(&dialog, "board_file")->isEnabled());
  child<QLineEdit>(&dialog, "ppdev_device")->setText("123=/dev/parport0");  // no such port address
  rig_->prompts().boxes.clear();
  click(&dialog, "ok");
  QCOMPARE(rig_->prompts().boxes.size(), std::size_t{1});
  QVERIFY(dialog.isVisible());
  child<QLineEdit>(&dialog, "ppdev_device")->setText("/dev/parport1");
  click(&dialog, "ok");
  QCOMPARE(changed.count(), 2);
  QVERIFY(choice.kind == ui::PortChoice::Kind::kBackend);
  QCOMPARE(choice.backend, std::string("ppdev"));
  QCOMPARE(choice.argument, std::string("/dev/parport1"));
}

void DialogsTest::port_setup_takes_a_remote_server_and_a_tck_delay() {
  ui::PortChoice choice{.kind = ui::PortChoice::Kind::kSim, .backend = {}, .argument = "board.sim"};
  PortSetupDialog dialog(rig_->programmer(), choice, rig_->prompts());
  dialog.show();
  QCOMPARE(child<QLineEdit>(&dialog, "tck_delay")->text(), QString("0"));

  // A delay that is no number of nanoseconds: refused, the dialog stays and nothing changes.
  for (const char* text : {"fast", "-1", "5us", "2000000000"}) {
    rig_->prompts().boxes.clear();
    child<QLineEdit>(&dialog, "tck_delay")->setText(text);
    click(&dialog, "ok");
    QCOMPARE(rig_->prompts().boxes,
             std::vector<std::string>{"error: TCK delay: '" + std::string(text) +
                                      "' is not a number of nanoseconds from 0 to 1000000000."});
    QVERIFY(dialog.isVisible());
    QCOMPARE(rig_->programmer().settings.tck_delay_ns, std::int64_t{0});
  }

  auto* remote = dialog.findChild<QRadioButton*>("backend_remote");
  if (!remote) QSKIP("no remote backend on this system");
  remote->click();
  QVERIFY(child<QLineEdit>(&dialog, "remote_server")->isEnabled());
  child<QLineEdit>(&dialog, "tck_delay")->setText("500ns");
  child<QLineEdit>(&dialog, "remote_server")->setText("lab-board");  // no port
  rig_->prompts().boxes.clear();
  click(&dialog, "ok");
  QCOMPARE(rig_->prompts().boxes.size(), std::size_t{1});
  QVERIFY(dialog.isVisible());
  child<QLineEdit>(&dialog, "remote_server")->setText("lab-board:3335");
  click(&dialog, "ok");
  QVERIFY(!dialog.isVisible());
  QVERIFY(choice.kind == ui::PortChoice::Kind::kBackend);
  QCOMPARE(choice.backend, std::string("remote"));
  QCOMPARE(choice.argument, std::string("lab-board:3335"));
  QCOMPARE(rig_->programmer().settings.tck_delay_ns, std::int64_t{500});
  dialog.show();
  QCOMPARE(child<QLineEdit>(&dialog, "remote_server")->text(), QString("lab-board:3335"));
  QCOMPARE(child<QLineEdit>(&dialog, "tck_delay")->text(), QString("500"));
}

void DialogsTest::debug_options_set_the_option_bits_and_the_off_line_label() {
  ui::RunSettings& settings = rig_->programmer().settings;
  settings.IspOptions = engine::kOptSvf;  // a menu's bit, which the dialog keeps
  ChainConfigWindow window(rig_->table(), rig_->programmer(), rig_->prompts());
  DebugOptionsDialog dialog(settings);
  QObject::connect(&dialog, &DebugOptionsDialog::options_changed, &window, &ChainConfigWindow::set_offline);
  window.show();
  dialog.show();
  QVERIFY(dialog.isModal());
  QVERIFY(child<QCheckBox>(&dialog, "fuse_listing")->isHidden());
  click(&dialog, "verify_log");
  click(&dialog, "standard_frame");
  click(&dialog, "off_line");
  click(&dialog, "active_io_verify");
  click(&dialog, "reserved");
  click(&dialog, "ok");
  QVERIFY(!dialog.isVisible());
  QCOMPARE(settings.IspOptions,
           engine::kOptSvf | engine::kOptVerifyLog | engine::kOptStandardFrame | engine::kOptOffLine);
  QVERIFY(settings.OffLine);
  QVERIFY(settings.ActiveIoVerify);
  QVERIFY(window.findChild<QLabel*>("off_line")->isVisible());

  dialog.show();  // the boxes show the settings again
  QVERIFY(child<QCheckBox>(&dialog, "off_line")->isChecked());
  click(&dialog, "off_line");
  click(&dialog, "verify_log");
  click(&dialog, "ok");
  QCOMPARE(settings.IspOptions, engine::kOptSvf | engine::kOptStandardFrame);
  QVERIFY(!settings.OffLine);
  QVERIFY(window.findChild<QLabel*>("off_line")->isHidden());
}

void DialogsTest::device_id_shows_a_read_back_idcode() {
  read_back_device_2();
  DeviceIdDialog dialog(rig_->table());
  dialog.show();  // activation finds the Read device ID device
  QCOMPARE(dialog.current_device(), 2);
  const std::pair<const char*, QString> shown[] = {
      {"device", "2"},
      {"state", "secured"},
      {"idcode", QString::fromStdString(ui::idcode_text(kIdcode)) + " (lsb..msb)"},
      {"version", "Version 1"},
      {"architecture", "ZEPA1"},
      {"technology", "0.5u EECMOS"},
      {"macrocells", "64 MC"},
      {"voltage", "5 volt"},
      {"package", "VQ 100"},
      {"manufacturer", "00001001001"},
      {"bit0", "1 "},
  };
  for (const auto& [name, text] : shown) QCOMPARE(child<QLabel>(&dialog, name)->text(), text);

  // The lower arrow goes on to the next device, not past the chain; the upper one back, not before 1.
  const std::pair<const char*, int> steps[] = {{"next_device", 3},
                                               {"next_device", 3},
                                               {"previous_device", 2},
                                               {"previous_device", 1},
                                               {"previous_device", 1}};
  for (const auto& [arrow, device] : steps) {
    click(&dialog, arrow);
    QCOMPARE(child<QLabel>(&dialog, "device")->text(), QString::number(device));
  }
  QCOMPARE(child<QLabel>(&dialog, "state")->text(), QString());
  QCOMPARE(child<QLabel>(&dialog, "version")->text(), QString());
}

void DialogsTest::device_id_keeps_its_device_without_a_read() {
  DeviceIdDialog dialog(rig_->table());
  dialog.set_current_device(3);
  dialog.show();
  QCOMPARE(dialog.current_device(), 3);
  QCOMPARE(child<QLabel>(&dialog, "device")->text(), QString("3"));
}

void DialogsTest::review_lists_every_device() {
  read_back_device_2();
  rig_->table()[1].jed = "/boards/Design32.JED";
  rig_->table()[1].secure = '1';
  rig_->table()[3].ues = "rev B";
  ReviewDialog dialog(rig_->table());
  dialog.show();
  auto* lines = child<QListWidget>(&dialog, "lines");
  QCOMPARE(lines->count(), 260);
  const std::pair<int, QString> expected[] = {
      {0, QString(102, '-')},
      {1, "Device #1"},
      {2, "Design file: /boards/Design32.JED"},
      {3, "Security: Not secure"},
      {14, "Device #2"},
      {16, "Security: Secure"},
      {17, "Version: Version 1"},
      {18, "Architecture: ZEPA1"},
      {19, "Technology: 0.5u EECMOS"},
      {20, "Macrocell #: 64 MC"},
      {21, "Package: VQ 100"},
      {22, "Voltage: 5 volt"},
      {23, "Manufacture ID: 00001001001"},
      {24, "Mft bit (IEEE 1149.1 Mandatory=1) : 1 "},
      {29, "Security:"},
      {38, "UES:rev B"},
      {39, ""},
  };
  for (const auto& [row, text] : expected) QCOMPARE(lines->item(row)->text(), text);
  QVERIFY(child<QPushButton>(&dialog, "close")->hasFocus() || !QApplication::focusWidget());

  rig_->table().DeviceCount = 1;  // a shorter chain: its old lines go
  dialog.refresh();
  QCOMPARE(lines->item(14)->text(), QString());
}

void DialogsTest::about_shows_the_version() {
  AboutDialog dialog;
  QCOMPARE(dialog.windowTitle(), QString("Zepa Programmer About"));
  QCOMPARE(child<QLabel>(&dialog, "product")->text(), QString("Zepa Programmer"));
  QCOMPARE(child<QLabel>(&dialog, "version")->text(), QString("Version 4.14"));
  QVERIFY(dialog.isModal());
}

void DialogsTest::screenshots_are_written() {
  read_back_device_2();
  const QString dir = QDir(rig_->dir.path()).filePath("shots");
  QVERIFY(QDir().mkpath(dir));
  const ui::PortChoice choice{.kind = ui::PortChoice::Kind::kSim, .backend = {}, .argument = "board.sim"};
  QVERIFY(save_dialog_screenshots(nullptr, rig_->session(), choice, dir));
  QVERIFY(!save_dialog_screenshots(nullptr, rig_->session(), choice, dir + "/missing-folder"));
  QVERIFY(QFile::remove(QDir(dir).filePath("dialog-about.png")));
  save_dialog_screenshots(nullptr, rig_->session(), dir);
  for (const char* name : {"port-setup", "device-id", "review", "debug-options", "about"}) {
    const QImage picture(QDir(dir).filePath(QString("dialog-%1.png").arg(name)));
    QVERIFY2(!picture.isNull() && picture.width() > 100 && picture.height() > 50, name);
  }
}

}  // namespace
}  // namespace zepa::gui

QTEST_MAIN(zepa::gui::DialogsTest)
#include "dialogs_test.moc"
