#include "util/file_lock.h"

#include <cerrno>
#include <system_error>

#include "util/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zepa::util {

std::optional<FileLock> FileLock::TryAcquire(const std::string& path) {
#ifdef _WIN32
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw FileError(FileError::Step::kCreate, path,
                    std::error_code(static_cast<int>(GetLastError()), std::system_category()));
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return std::nullopt;
    throw FileError(FileError::Step::kCreate, path,
                    std::error_code(static_cast<int>(error), std::system_category()));
  }
  return FileLock(path, reinterpret_cast<std::intptr_t>(file));
#else
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    throw FileError(FileError::Step::kCreate, path, std::error_code(errno, std::generic_category()));
  // A lock of the open file description: a second open of the same file, even in this process, is another
  // holder. Child processes started later do not inherit the descriptor (O_CLOEXEC).
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    ::close(fd);
    if (error == EWOULDBLOCK) return std::nullopt;
    throw FileError(FileError::Step::kCreate, path, std::error_code(error, std::generic_category()));
  }
  return FileLock(path, fd);
#endif
}

FileLock::FileLock(FileLock&& other) noexcept : path_(std::move(other.path_)), handle_(other.handle_) {
  other.handle_ = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    path_ = std::move(other.path_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

FileLock::~FileLock() {
  Release();
}

void FileLock::Release() {
  if (handle_ == -1) return;
#ifdef _WIN32
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED whole{};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(file);
#else
  // Closing the only descriptor of the file description lets go of the lock.
  ::close(static_cast<int>(handle_));
#endif
  handle_ = -1;
}

}  // namespace zepa::util
