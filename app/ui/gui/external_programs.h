// Starting the programs outside this system (the editor, the desktop's default application) and the box a
// start failure shows.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include "chain/prompts.h"

namespace zepa::gui {

// What starting an outside program asks of the system; tests replace it.
class ExternalPrograms {
 public:
  virtual ~ExternalPrograms() = default;
  // The value of an environment variable, empty when unset.
  virtual QString environment(const char* name) const;
  // Starts `program` with `args` without waiting; false when it could not be started.
  virtual bool start_detached(const QString& program, const QStringList& args);
  // Opens a file with the desktop's default application; false on failure.
  virtual bool open_url(const QUrl& url);
  // The full path of a program named without a folder (looked up in PATH), empty when none is found.
  virtual QString find_executable(const QString& name) const;
};

// The reason a start code below 32 stands for ("?? System error ??" for the codes without one).
QString start_error_reason(int code);

// The box text of a failed start: "Error on running:\r" + the command up to its first blank + "\r" +
// "Code #" + code + ":" + reason.
QString start_error_text(const QString& command_line, int code);

// Starts the editor on `file` (may be empty): $VISUAL, else $EDITOR (a command with its own arguments, the
// file added at the end), else the desktop's default application for the file. A failure beeps and shows
// the start-error box with the nearest code: 2 when the program (or the file) does not exist, 11 when it
// is there but cannot be run. True when started.
bool launch_editor(ExternalPrograms& system, chain::Prompts& prompts, const QString& file);

}  // namespace zepa::gui
