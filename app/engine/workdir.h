// The working folder: where the programmer and fusebuild put the files that have no design file to sit
// beside (the temporary chain file, the per-device result files "dev__N.id/.sec/.ues", the signature-only
// images "tempues.bin"/"tempues.isp", the run log and "scan___.tmp"). It is the program's own folder when
// that can be written (a build tree, a portable install), otherwise a per-user folder:
//   POSIX:   $XDG_STATE_HOME/zepaisp, else $HOME/.local/state/zepaisp
//   Windows: %LOCALAPPDATA%\zepaisp
// Both programs find it the same way; the programmer also hands it to fusebuild as ZEPA_WORK_DIR.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "util/file_lock.h"

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

// The lock file in the working folder that one run at a time holds.
inline constexpr const char* kWorkLockName = "zepaisp.lock";

// How long a run waits for another run to let go of the working folder, and how it waits.
struct WorkDirWait {
  std::int64_t wait_ns = 5'000'000'000;        // in all
  std::int64_t interval_ns = 100'000'000;      // between two tries
  std::function<void(std::int64_t ns)> sleep;  // empty: the thread sleeps
};

// Holds the working folder for a whole run, so that two runs from one installation never use each other's
// temporary chain file, result files and log: an exclusive lock on kWorkLockName in the folder. Another run
// holding it is waited for (`wait`); then this throws std::runtime_error naming the folder and
// ZEPA_WORK_DIR, as it does when the lock file cannot be made.
util::FileLock LockWorkDir(const std::string& work_dir, const WorkDirWait& wait = {});

}  // namespace zepa::engine
