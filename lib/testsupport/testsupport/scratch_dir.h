// A scratch folder per test as a GoogleTest fixture, and CR LF text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "testsupport/files.h"

namespace zepa::testing {

// A fresh folder for the running test, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDir>();
    dir_ = temp_->path();
  }
  void TearDown() override { temp_.reset(); }

  std::string path(std::string_view name) const { return (dir_ / name).string(); }

  std::string write(std::string_view name, std::string_view content) const {
    WriteFile(dir_ / name, content);
    return path(name);
  }

  std::string read(std::string_view name) const { return ReadFile(dir_ / name); }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<TempDir> temp_;
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
