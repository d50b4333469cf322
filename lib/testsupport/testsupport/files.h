// Test helpers shared by every subsystem: a fresh folder for the running test, and whole-file reads and
// writes that fail the test loudly instead of quietly giving an empty text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zepa::testing {

// The whole file; an empty text when it cannot be opened (tests compare it with what they expect).
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `bytes` to `path`, replacing it; throws std::runtime_error when it cannot.
inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A fresh folder under the system's temporary folder, named after the running test and the process,
// removed with everything in it. Every TempDir gets a folder of its own, also two in one test: the first
// free name "<tag>_<suite>_<test>_<pid>_<n>" is taken.
class TempDir {
 public:
  explicit TempDir(std::string_view tag = "zepa") {
    std::string name(tag);
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
      name += std::string("_") + info->test_suite_name() + "_" + info->name();
    }
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int n = 0;; ++n) {
      path_ = base / (name + "_" + std::to_string(::getpid()) + "_" + std::to_string(n));
      if (std::filesystem::create_directory(path_)) break;  // false: the name is taken
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  std::string Write(std::string_view name, std::string_view bytes) const {
    WriteFile(path_ / name, bytes);
    return File(name);
  }
  static std::string Read(const std::string& path) { return ReadFile(path); }

 private:
  std::filesystem::path path_;
};

}  // namespace zepa::testing
