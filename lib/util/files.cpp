#include "util/files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace zepa::util {
namespace {

namespace fs = std::filesystem;

const char* Doing(FileError::Step step) {
  switch (step) {
    case FileError::Step::kOpen:
      return "cannot open the file";
    case FileError::Step::kRead:
      return "cannot read the file";
    case FileError::Step::kCreate:
      return "cannot create the file";
    case FileError::Step::kWrite:
      return "cannot write the file";
    case FileError::Step::kPlace:
      return "cannot put the file in place";
  }
  return "cannot use the file";
}

// The reason the C library left in errno, or a plain I/O error when it left none.
std::error_code LastError(int saved_errno) {
  return std::error_code(saved_errno != 0 ? saved_errno : EIO, std::generic_category());
}

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

// An existing target must itself accept writing: a read-only file is not replaced behind its back. A file
// that nobody may write (no write permission at all, the read-only attribute on Windows) is refused even
// where the permission bits do not bind the caller (the superuser); otherwise opening it for update, which
// changes nothing in it, asks the system.
void CheckTargetWritable(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(path, ec))) return;
  const fs::file_status status = fs::status(path, ec);
  constexpr fs::perms kAnyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if (!ec && fs::is_regular_file(status) && (status.permissions() & kAnyWrite) == fs::perms::none)
    throw FileError(FileError::Step::kCreate, path, std::make_error_code(std::errc::permission_denied));
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr) throw FileError(FileError::Step::kCreate, path, LastError(errno));
  std::fclose(f);
}

}  // namespace

FileError::FileError(Step step, std::string path, std::error_code reason)
    : std::runtime_error(path + ": " + Doing(step) + (step == Step::kPlace ? ": " + reason.message() : "")),
      step_(step),
      path_(std::move(path)),
      reason_(reason) {}

std::optional<std::string> ReadFile(const std::string& path, std::string* reason) {
  try {
    return ReadFileOrThrow(path);
  } catch (const FileError& e) {
    if (reason != nullptr) *reason = e.reason().message();
    return std::nullopt;
  }
}

std::string ReadFileOrThrow(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec))
    throw FileError(FileError::Step::kOpen, path, make_error_code(std::errc::is_a_directory));
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(FileError::Step::kOpen, path, LastError(errno));
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw FileError(FileError::Step::kRead, path, LastError(errno));
  return bytes;
}

std::string TemporaryNameFor(const std::string& path) {
  // The one piece of state shared across the process: the count that keeps two writers of one process
  // apart (the process id keeps processes apart).
  static std::atomic<unsigned long> counter{0};
  return path + "." + std::to_string(ProcessId()) + "-" + std::to_string(++counter) + ".tmp";
}

bool PendingFile::Buffer::Open(const std::string& path) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) error_ = errno != 0 ? errno : EIO;
  return file_ != nullptr;
}

int PendingFile::Buffer::Close() {
  if (file_ == nullptr) return error_;
  errno = 0;
  if (std::fflush(file_) != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
  errno = 0;
  if (std::fclose(file_) != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
  file_ = nullptr;
  return error_;
}

PendingFile::Buffer::int_type PendingFile::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize PendingFile::Buffer::xsputn(const char* s, std::streamsize n) {
  if (file_ == nullptr || error_ != 0) return 0;
  errno = 0;
  const std::size_t written = std::fwrite(s, 1, static_cast<std::size_t>(n), file_);
  if (written != static_cast<std::size_t>(n)) error_ = errno != 0 ? errno : EIO;
  return static_cast<std::streamsize>(written);
}

int PendingFile::Buffer::sync() {
  if (file_ == nullptr || error_ != 0) return -1;
  errno = 0;
  if (std::fflush(file_) != 0) error_ = errno != 0 ? errno : EIO;
  return error_ == 0 ? 0 : -1;
}

PendingFile::PendingFile(std::string path) : path_(std::move(path)), temp_(TemporaryNameFor(path_)) {
  CheckTargetWritable(path_);
  if (!buffer_.Open(temp_)) {
    throw FileError(FileError::Step::kCreate, path_, LastError(buffer_.Close()));
  }
}

PendingFile::~PendingFile() {
  if (!done_) Abandon();
}

void PendingFile::Finish() {
  if (finished_) return;
  finished_ = true;
  const int error = buffer_.Close();
  if (error != 0 || !out_) {
    const std::error_code reason = LastError(error);
    Abandon();
    throw FileError(FileError::Step::kWrite, path_, reason);
  }
}

void PendingFile::Commit() {
  Finish();
  if (done_) return;
  std::error_code ec;
#ifdef _WIN32
  // MoveFileEx with replacement, one step on Windows.
  fs::rename(temp_, path_, ec);
  if (ec) {
    Abandon();
    throw FileError(FileError::Step::kPlace, path_, ec);
  }
#else
  std::string aside;
  std::error_code status_error;
  if (fs::is_regular_file(fs::symlink_status(path_, status_error))) {
    aside = TemporaryNameFor(path_);
    fs::rename(path_, aside, ec);
    if (ec) {
      Abandon();
      throw FileError(FileError::Step::kPlace, path_, ec);
    }
  }
  fs::rename(temp_, path_, ec);
  std::error_code ignored;
  if (ec) {
    if (!aside.empty()) fs::rename(aside, path_, ignored);
    Abandon();
    throw FileError(FileError::Step::kPlace, path_, ec);
  }
  if (!aside.empty()) fs::remove(aside, ignored);
#endif
  done_ = true;
}

void PendingFile::Abandon() {
  if (done_) return;
  done_ = true;
  buffer_.Close();
  std::error_code ignored;
  fs::remove(temp_, ignored);
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  PendingFile file(path);
  file.Write(bytes);
  file.Commit();
}

bool TryReplaceFile(const std::string& path, std::string_view bytes) {
  try {
    ReplaceFile(path, bytes);
    return true;
  } catch (const FileError&) {
    return false;
  }
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

}  // namespace zepa::util
