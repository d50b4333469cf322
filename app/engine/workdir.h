// The working folder: where the programmer and fusebuild put the files that have no design file to sit
// beside (the temporary chain file, the per-device result files "dev__N.id/.sec/.ues", the signature-only
// images "tempues.bin"/"tempues.isp", the run log and "scan___.tmp"). It is the program's own folder when
// that can be written (a build tree, a portable install), otherwise a per-user folder:
//   POSIX:   $XDG_STATE_HOME/zepaisp, else $HOME/.local/state/zepaisp
//   Windows: %LOCALAPPDATA%\zepaisp
// Both programs find it the same way; the programmer also hands it to fusebuild as ZEPA_WORK_DIR.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zepa::engine {

inline constexpr const char* kWorkDirVariable = "ZEPA_WORK_DIR";

// The folder of the running program (from /proc/self/exe, or the module file name on Windows), with its
// trailing separator; `argv0` is the fallback. Empty when neither tells.
std::string ProgramFolder(const std::string& argv0 = "");

// What finding the working folder asks of the system; tests replace each part.
struct WorkDirProbe {
  std::function<std::optional<std::string>(const std::string& name)> getenv;
  // True when a file can be created (and removed again) in the folder.
  std::function<bool(const std::string& folder)> writable;
  // Creates the folder and its parents; false on failure.
  std::function<bool(const std::string& folder)> make_folder;
};
WorkDirProbe SystemWorkDirProbe();

// The working folder for a program living in `program_folder`, with a trailing separator. An explicit
// ZEPA_WORK_DIR wins. Throws std::runtime_error naming the folders tried when none is usable.
std::string FindWorkDir(const std::string& program_folder, const WorkDirProbe& probe = SystemWorkDirProbe());

}  // namespace zepa::engine
