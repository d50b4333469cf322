// Test helpers shared by every subsystem: a scratch folder per test, reading files whole, CR LF text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::testing {

// A fresh folder for the running test, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = std::filesystem::temp_directory_path() / ("zepa_core_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(std::string_view name) const { return (dir_ / name).string(); }

  std::string write(std::string_view name, std::string_view content) const {
    const std::string p = path(name);
    std::ofstream out(p, std::ios::binary);
    out << content;
    return p;
  }

  std::string read(std::string_view name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path dir_;
};

// Joins lines with CR LF, the way the programmer writes them.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (std::string_view line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace zepa::testing
