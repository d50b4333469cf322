// What the harnesses share: a private folder for the one process (readers that take a path get their input
// written there), and the input as text.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace zepa::fuzzing {

// A folder under the system's temporary folder, made on first use and removed when the process ends
// normally. Nothing a harness writes goes anywhere else.
class ScratchFolder {
 public:
  static ScratchFolder& Get() {
    static ScratchFolder folder;
    return folder;
  }
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  // Replaces the file `name` in the folder with `bytes`; returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::abort();  // the harness itself cannot work: not a finding
    return file;
  }
  const std::filesystem::path& path() const { return path_; }

  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

 private:
  ScratchFolder()
      : path_(std::filesystem::temp_directory_path() / ("zepa-fuzz-" + std::to_string(::getpid()))) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_);
  }
  std::filesystem::path path_;
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A harness's own check failed: the reader broke a promise without crashing. Stops the run like a crash.
[[noreturn]] inline void Broken() {
  __builtin_trap();
}

}  // namespace zepa::fuzzing
