// Whole-file reads and writes that never leave a truncated file behind.
//
// A replaced file is written under a temporary name in the target's own folder, "<file>.<pid>-<n>.tmp" (the
// process id and a per-process count, so two programs, or two writers in one program, never share one),
// and then put in place: on POSIX systems the old file is first moved aside and removed once the new one
// took its place (renaming over an existing file makes ext4 push the new data to disk at once, which costs
// more than a whole conversion); on Windows the new file is renamed over the old one, which is one step
// there. Either way the target is the complete old file or the complete new one. A target that may not be
// written (a read-only file) is refused with the system's reason rather than replaced through the
// folder's rename.
#pragma once

#include <cstdio>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

// <windows.h> makes ReplaceFile a macro for its own ReplaceFileA/W; here the name is this library's.
#ifdef ReplaceFile
#undef ReplaceFile
#endif

namespace zepa::util {

// What went wrong with a file, with the system's reason. what() is the programmer's message, "<file>:
// cannot open the file" and so on; a failed rename also names the system's reason there, the other steps
// keep it in reason() (what the system said: no such file, permission denied, no space left ...).
class FileError : public std::runtime_error {
 public:
  enum class Step {
    kOpen,    // opening a file for reading
    kRead,    // reading an opened file
    kCreate,  // making the temporary file, or the target refused writing
    kWrite,   // writing or closing the temporary file
    kPlace,   // putting the temporary file in place
  };
  FileError(Step step, std::string path, std::error_code reason);

  Step step() const { return step_; }
  const std::string& path() const { return path_; }
  const std::error_code& reason() const { return reason_; }

 private:
  Step step_;
  std::string path_;
  std::error_code reason_;
};

// The whole file as bytes; nothing when it is missing, a folder, or cannot be read. `reason`, when given,
// then receives the system's reason ("No such file or directory", "Is a directory", "Permission denied").
std::optional<std::string> ReadFile(const std::string& path, std::string* reason = nullptr);

// The whole file as bytes; throws FileError (kOpen, kRead) with the system's reason.
std::string ReadFileOrThrow(const std::string& path);

// Replaces `path` with `bytes` as described above. Throws FileError; on failure the target is untouched
// and no temporary file is left.
void ReplaceFile(const std::string& path, std::string_view bytes);

// ReplaceFile for callers with their own message: false on failure (the target untouched, no temporary
// file left).
bool TryReplaceFile(const std::string& path, std::string_view bytes);

// A file written piece by piece under its temporary name and put in place by Commit(). Dropped without
// Commit() (an error, an exception), the temporary file is removed and the target stays as it was.
class PendingFile {
 public:
  // Creates the temporary file; throws FileError (kCreate) when it cannot, or when the target exists and
  // may not be written.
  explicit PendingFile(std::string path);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  std::ostream& stream() { return out_; }
  void Write(std::string_view bytes) { out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); }
  const std::string& path() const { return path_; }
  const std::string& temp_path() const { return temp_; }

  // Closes the temporary file; throws FileError (kWrite) when the data did not all reach it. Commit() does
  // this itself; a set of files that must appear together finishes them all before placing any.
  void Finish();
  // Finishes and puts the file in place; throws FileError (kWrite or kPlace).
  void Commit();
  // Removes the temporary file (once finished or not) and leaves the target alone.
  void Abandon();

 private:
  // Hands the stream's bytes to the C library's buffered file and keeps the reason of the first failure.
  class Buffer : public std::streambuf {
   public:
    ~Buffer() override { Close(); }
    bool Open(const std::string& path);
    // Flushes and closes; the first failure's errno, 0 when every byte reached the file.
    int Close();

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

   private:
    std::FILE* file_ = nullptr;
    int error_ = 0;
  };

  std::string path_;
  std::string temp_;
  Buffer buffer_;
  std::ostream out_{&buffer_};
  bool finished_ = false;
  bool done_ = false;
};

// A new temporary name for `path` in its folder: "<path>.<pid>-<n>.tmp".
std::string TemporaryNameFor(const std::string& path);

// True when `path` is a regular file (or a link to one).
bool FileExists(const std::string& path);

// Removes the file if it is there; a missing file is no error.
void RemoveFile(const std::string& path);

}  // namespace zepa::util
