// The desktop programmer's costs (offscreen platform unless QT_QPA_PLATFORM says otherwise):
//  - the message window: 100,000 add_message and 100,000 replace_last_message, with the document brought up
//  to
//    date after every N lines (N = 0: only at the end; 1: after every line, the worst case; 100: about what a
//    turn of the event loop gathers during a run);
//  - program and verify of the example chain on the simulated board through the window's run path (worker
//    thread, queued messages) and through zepaisp-cli's, each from session start to the end of the run;
//  - the longest gap between two ticks of a 10 ms timer on the GUI thread while that run goes on.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "chain/prompts.h"
#include "engine/clock.h"
#include "engine/process.h"
#include "ui/cli/cli_app.h"
#include "ui/cli/options.h"
#include "ui/gui/main_window.h"
#include "ui/gui/message_window.h"

namespace {

using namespace zepa;

QApplication& App() {
  static int argc = 1;
  static char name[] = "gui_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

// The example chain and board in a fresh folder.
struct Example {
  Example() {
    const QDir examples(ZEPA_SOURCE_DIR "/examples");
    for (const QString& file : examples.entryList(QDir::Files))
      QFile::copy(examples.filePath(file), QString::fromStdString(path(file)));
    QDir(dir.path()).mkpath("work");
  }
  std::string path(const QString& name) const { return QDir(dir.path()).filePath(name).toStdString(); }
  QTemporaryDir dir;
};

class SilentPrompts final : public chain::Prompts {
 public:
  void show(chain::BoxIcon, std::string_view, std::string_view text) override {
    throw std::runtime_error("unexpected box: " + std::string(text));
  }
  bool ask(std::string_view, std::string_view, Answers) override { return false; }
  void beep() override {}
};

void BM_MessageWindow(benchmark::State& state) {
  App();
  const int every = static_cast<int>(state.range(0));
  for (auto _ : state) {
    gui::MessageWindow window;
    for (int i = 0; i < 100000; ++i) {
      window.add_message("Programming row " + std::to_string(i));
      window.replace_last_message("Programming row " + std::to_string(i) + " *");
      if (every != 0 && i % every == 0) window.flush();
    }
    window.flush();
    benchmark::DoNotOptimize(window.line_count());
  }
  state.counters["ops"] = 200000;
}
BENCHMARK(BM_MessageWindow)->Arg(0)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

// One program-and-verify of the example chain through the window; returns the longest GUI stall in ms.
double GuiRun(Example& example) {
  SilentPrompts prompts;
  gui::MainWindowSetup setup;
  setup.arguments.port = {ui::PortChoice::Kind::kSim, "", example.path("board.sim")};
  setup.program_dir = ZEPA_BIN_DIR "/";
  setup.work_dir = example.path("work") + "/";
  setup.prompts = &prompts;
  setup.start_up = false;
  gui::MainWindow window(std::move(setup));
  if (!window.load_jcd(QString::fromStdString(example.path("chain.jcd"))))
    throw std::runtime_error("the example chain did not load");

  QEventLoop loop;
  QObject::connect(&window, &gui::MainWindow::job_finished, &loop, &QEventLoop::quit);
  QElapsedTimer clock;
  qint64 last = -1;
  qint64 longest = 0;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (last >= 0) longest = std::max(longest, now - last);
    last = now;
  });
  clock.start();
  ticker.start();
  window.run_chain();
  loop.exec();
  for (int n = 1; n <= 3; ++n) {
    if (window.session().table()[n].result != chain::kResultPass) throw std::runtime_error("a device failed");
  }
  return static_cast<double>(longest);
}

void BM_ProgramVerifyGui(benchmark::State& state) {
  App();
  Example example;
  double longest_gap_ms = 0;
  for (auto _ : state) longest_gap_ms = std::max(longest_gap_ms, GuiRun(example));
  state.counters["longest_gap_ms"] = longest_gap_ms;
}
BENCHMARK(BM_ProgramVerifyGui)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_ProgramVerifyCli(benchmark::State& state) {
  Example example;
  cli::CliOptions options =
      cli::ParseCommandLine({"--io", "sim:" + example.path("board.sim"), example.path("chain.jcd")});
  engine::SteadyClock clock;
  engine::SystemProcessLauncher launcher;
  for (auto _ : state) {
    std::ostringstream out;
    std::ostringstream err;
    cli::CliSystem system{.out = out,
                          .err = err,
                          .clock = clock,
                          .launcher = launcher,
                          .program_dir = ZEPA_BIN_DIR "/",
                          .work_dir = example.path("work") + "/"};
    if (cli::RunCli(options, system) != 0) throw std::runtime_error("zepaisp-cli failed: " + err.str());
  }
}
BENCHMARK(BM_ProgramVerifyCli)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
