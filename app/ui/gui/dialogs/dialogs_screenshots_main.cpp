// dialogs_screenshots DIR: pictures of the dialogs and of the chain configuration window over the example
// chain (examples/chain.jcd on examples/board.sim), with one IDCODE read back from device 2 as a run leaves
// it. The pictures go to DIR; run it on a display (xvfb-run -a).
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTimer>
#include <iostream>
#include <string>

#include "engine/clock.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "ui/core/idcode.h"
#include "ui/core/session.h"
#include "ui/gui/chain_config_window.h"
#include "ui/gui/dialogs/dialog_screenshots.h"

namespace {

class StderrPrompts final : public zepa::chain::Prompts {
 public:
  void show(zepa::chain::BoxIcon, std::string_view, std::string_view text) override {
    std::cerr << "box: " << text << "\n";
  }
  bool ask(std::string_view, std::string_view text, Answers) override {
    std::cerr << "question: " << text << "\n";
    return false;
  }
  void beep() override {}
};

// VTL5064C-like: version 1, ZEPA1, 0.5u EECMOS, 64 macrocells, 5 volt, VQ 100, manufacturer 049h.
constexpr std::uint32_t kIdcode =
    (1u << 28) | (0b000100u << 16) | (0u << 15) | (4u << 12) | (0x049u << 1) | 1u;

bool grab(QWidget& widget, const QString& dir, const QString& name) {
  QApplication::processEvents();
  return widget.grab().save(QDir(dir).filePath(name));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // A folder name never starts with '-': an option word is either the help or a mistake, never a folder.
  if (argc >= 2 && argv[1][0] == '-') {
    const std::string option = argv[1];
    if (option == "--help" || option == "-h") {
      std::cout << "usage: dialogs_screenshots DIR\n";
      return 0;
    }
    std::cerr << argv[0] << ": unknown option " << option << "\n"
              << "usage: dialogs_screenshots DIR\n";
    return 2;
  }
  if (argc != 2) {
    std::cerr << "usage: dialogs_screenshots DIR\n";
    return 2;
  }
  const QString dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  if (!QDir().mkpath(dir)) {
    std::cerr << "cannot create " << dir.toStdString() << "\n";
    return 1;
  }
  const std::string source = ZEPA_SOURCE_DIR;
  zepa::engine::SteadyClock clock;
  zepa::engine::SystemProcessLauncher launcher;
  zepa::engine::MessageLines messages;
  StderrPrompts prompts;
  zepa::ui::RunView view;
  const zepa::ui::PortChoice port{
      .kind = zepa::ui::PortChoice::Kind::kSim, .backend = {}, .argument = source + "/examples/board.sim"};
  zepa::ui::Session session(port,
                            {.clock = clock,
                             .launcher = launcher,
                             .program_dir = ZEPA_BIN_DIR,
                             .work_dir = QDir::tempPath().toStdString()},
                            messages, prompts, view);
  zepa::chain::ChainTable& table = session.table();
  if (!session.programmer().load_jcd_file(source + "/examples/chain.jcd")) return 1;
  session.programmer().settings.port.device_count_box = table.DeviceCount;

  // What a Read Device ID run leaves for device 2.
  table[2].idcode = zepa::ui::idcode_text(kIdcode);
  zepa::ui::decode_idcode(table, 2, table[2].idcode.str());
  table[2].secure = '1';
  table[1].result = zepa::chain::kResultPass;
  table[2].result = zepa::chain::kResultFail;

  bool saved = zepa::gui::save_dialog_screenshots(nullptr, session, port, dir);

  zepa::gui::ChainConfigWindow window(table, session.programmer(), prompts);
  window.set_current_file(QString::fromStdString(table.JcdPath));
  window.refresh();
  window.set_offline(true);
  window.show_operation_failed(true);
  window.show();
  saved &= grab(window, dir, "chain-config.png");
  // The part list open over device 2's part cell.
  auto* grid = window.findChild<QTableWidget*>("device_grid");
  const QRect cell = grid->visualRect(grid->model()->index(1, 1));
  QMouseEvent press(QEvent::MouseButtonDblClick, cell.center(), grid->viewport()->mapToGlobal(cell.center()),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, cell.center(), grid->viewport()->mapToGlobal(cell.center()),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &release);
  saved &= grab(window, dir, "chain-config-part-list.png");
  window.show_ues_page();
  saved &= grab(window, dir, "chain-config-ues.png");
  window.close();

  if (!saved) std::cerr << "a picture could not be written to " << dir.toStdString() << "\n";
  return saved ? 0 : 1;
}
