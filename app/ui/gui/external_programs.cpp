#include "ui/gui/external_programs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace zepa::gui {

QString ExternalPrograms::environment(const char* name) const {
  return qEnvironmentVariable(name);
}

bool ExternalPrograms::start_detached(const QString& program, const QStringList& args) {
  return QProcess::startDetached(program, args);
}

bool ExternalPrograms::open_url(const QUrl& url) {
  return QDesktopServices::openUrl(url);
}

QString ExternalPrograms::find_executable(const QString& name) const {
  return QStandardPaths::findExecutable(name);
}

QString start_error_reason(int code) {
  switch (code) {
    case 0:
      return "System was out of memory, executable file was corrupt or relocations were invalid.";
    case 2:
      return "File was not found.";
    case 3:
      return "Path was not found.";
    case 5:
      return "A sharing or network-protection error";
    case 6:
      return "Library required separate data segments for each task.";
    case 8:
      return "There was insufficient memory to start the application. Please close other application(s) to "
             "start the program again";
    case 10:
      return "Windows version was incorrect";
    case 11:
      return "Executable file was invalid.";
    case 12:
      return "Application was design for a different operating system.";
    case 13:
      return "Application was design for MS_DOS 4.0.";
    case 14:
      return "Type of executable file was unknown";
    case 15:
      return "Load a real-mode application (Earlier version of Windows program)";
    case 16:
      return "Load second executable containing multiple data segments.";
    case 19:
      return "Attempt to load a compressed executable file. This file must be decompressed first.";
    case 20:
      return "DLL file was invalid or corrupt.";
    case 21:
      return "Application requires Microsoft Windows 32-bit extensions.";
    default:
      return "?? System error ??";
  }
}

QString start_error_text(const QString& command_line, int code) {
  const QString program = command_line.section(' ', 0, 0);
  return "Error on running:\r" + program + "\r" + "Code #" + QString::number(code) + ":" +
         start_error_reason(code);
}

namespace {

constexpr int kFileNotFound = 2;
constexpr int kInvalidExecutable = 11;

void report(chain::Prompts& prompts, const QString& command_line, int code) {
  prompts.beep();
  prompts.warning(start_error_text(command_line, code).toStdString());
}

}  // namespace

bool launch_editor(ExternalPrograms& system, chain::Prompts& prompts, const QString& file) {
  QString command = system.environment("VISUAL");
  if (command.trimmed().isEmpty()) command = system.environment("EDITOR");
  if (command.trimmed().isEmpty()) {
    if (file.isEmpty() || !QFileInfo::exists(file)) {
      report(prompts, file.isEmpty() ? QString("(no chain file)") : file, kFileNotFound);
      return false;
    }
    if (system.open_url(QUrl::fromLocalFile(file))) return true;
    report(prompts, file, 1);
    return false;
  }
  QStringList parts = QProcess::splitCommand(command);
  if (parts.isEmpty()) {
    report(prompts, command, kFileNotFound);
    return false;
  }
  const QString program = parts.takeFirst();
  if (!file.isEmpty()) parts.append(file);
  const QString command_line = (QStringList{program} + parts).join(' ');
  const QString path = program.contains('/') ? program : system.find_executable(program);
  if (path.isEmpty() || !QFileInfo::exists(path)) {
    report(prompts, command_line, kFileNotFound);
    return false;
  }
  if (!QFileInfo(path).isExecutable()) {
    report(prompts, command_line, kInvalidExecutable);
    return false;
  }
  if (system.start_detached(path, parts)) return true;
  report(prompts, command_line, kInvalidExecutable);
  return false;
}

}  // namespace zepa::gui
