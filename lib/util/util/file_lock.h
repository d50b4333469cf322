// An exclusive lock on a lock file: one holder at a time, whichever process (or object of one process) it
// is. The system lets go of the lock when its holder ends, however it ends, so a killed program never
// leaves a stale lock behind; the lock file itself stays (removing it would let a third program lock a
// new file while a second still waits on the old one).
//
//   if (auto lock = util::FileLock::TryAcquire(folder + "zepaisp.lock")) { ... }   // held until it goes
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace zepa::util {

class FileLock {
 public:
  // Takes the lock at once or not at all: nothing when another holder has it. Throws FileError (kCreate)
  // with the system's reason when the lock file cannot be created or opened.
  static std::optional<FileLock> TryAcquire(const std::string& path);

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  const std::string& path() const { return path_; }

 private:
  FileLock(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}
  void Release();

  std::string path_;
  std::intptr_t handle_;  // the open lock file (a descriptor, or a HANDLE on Windows); -1 when moved from
};

}  // namespace zepa::util
