// The example chain and board copied into a fresh folder with a working folder of its own, and the main
// window's setup on that board: what the main window's tests start from.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <string>
#include <utility>
#include <vector>

#include "chain/prompts.h"
#include "ui/gui/main_window.h"

namespace zepa::gui::testing {

struct ExampleFolder {
  ExampleFolder() {
    const QDir examples(ZEPA_SOURCE_DIR "/examples");
    for (const QString& name : examples.entryList(QDir::Files))
      QFile::copy(examples.filePath(name), path(name));
    QDir(dir.path()).mkpath("work");
  }
  QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
  std::string spath(const QString& name) const { return path(name).toStdString(); }
  QString read(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  // The main window on `board` of this folder (none when empty) with the command line's `files`, a fixed
  // clock text and the boxes going to `prompts`.
  gui::MainWindowSetup setup(const QString& board, std::vector<std::string> files,
                             chain::Prompts* prompts) const {
    gui::MainWindowSetup setup;
    setup.arguments.port = {ui::PortChoice::Kind::kSim, "", board.isEmpty() ? "" : spath(board)};
    setup.arguments.files = std::move(files);
    setup.program_dir = ZEPA_BIN_DIR "/";
    setup.work_dir = spath("work") + "/";
    setup.timestamp = [] { return std::string("12:00:00 01/02/2026"); };
    setup.prompts = prompts;
    return setup;
  }

  QTemporaryDir dir;
};

}  // namespace zepa::gui::testing
