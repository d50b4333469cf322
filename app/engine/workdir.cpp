#include "engine/workdir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "util/files.h"
#include "util/path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zepa::engine {
namespace {

bool EndsWithSeparator(const std::string& folder) {
  return !folder.empty() && util::IsPathSeparator(folder.back());
}

std::string WithSeparator(std::string folder) {
  if (!EndsWithSeparator(folder)) folder += std::filesystem::path::preferred_separator == '\\' ? '\\' : '/';
  return folder;
}

}  // namespace

std::string ProgramFolder(const std::string& argv0) {
  std::string path;
#ifdef _WIN32
  char buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) path.assign(buffer, length);
#else
  std::error_code ec;
  path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
#endif
  if (path.empty()) path = argv0;
  return util::FolderOf(path);
}

WorkDirProbe SystemWorkDirProbe() {
  WorkDirProbe probe;
  probe.getenv = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
  };
  probe.writable = [](const std::string& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
#ifdef _WIN32
    const std::string test = util::JoinPath(folder, "zepa_write_test.tmp");
#else
    const std::string test = util::JoinPath(folder, ".zepa_write_test." + std::to_string(::getpid()));
#endif
    {
      std::ofstream out(test, std::ios::binary | std::ios::trunc);
      if (!out) return false;
    }
    std::remove(test.c_str());
    return true;
  };
  probe.make_folder = [](const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
  };
  return probe;
}

std::string FindWorkDir(const std::string& program_folder, const WorkDirProbe& probe) {
  if (auto explicit_dir = probe.getenv(kWorkDirVariable)) {
    if (!probe.make_folder(*explicit_dir) || !probe.writable(*explicit_dir))
      throw std::runtime_error(std::string(kWorkDirVariable) + "=" + *explicit_dir +
                               ": the working folder cannot be created or written");
    return WithSeparator(*explicit_dir);
  }
  if (!program_folder.empty() && probe.writable(program_folder)) return WithSeparator(program_folder);

  std::string user_folder;
#ifdef _WIN32
  if (auto local = probe.getenv("LOCALAPPDATA")) user_folder = util::JoinPath(*local, "zepaisp");
#else
  if (auto state = probe.getenv("XDG_STATE_HOME")) {
    user_folder = util::JoinPath(*state, "zepaisp");
  } else if (auto home = probe.getenv("HOME")) {
    user_folder = util::JoinPath(util::JoinPath(*home, ".local/state"), "zepaisp");
  }
#endif
  if (user_folder.empty())
    throw std::runtime_error("the program's folder " + program_folder +
                             " cannot be written and there is no per-user folder to work in");
  if (!probe.make_folder(user_folder) || !probe.writable(user_folder))
    throw std::runtime_error("neither the program's folder " + program_folder + " nor the per-user folder " +
                             user_folder + " can be written");
  return WithSeparator(user_folder);
}

util::FileLock LockWorkDir(const std::string& work_dir, const WorkDirWait& wait) {
  const std::string lock_path = util::JoinPath(work_dir, kWorkLockName);
  const std::string use_another =
      "; give this run a working folder of its own with " + std::string(kWorkDirVariable) + "=FOLDER";
  std::int64_t waited = 0;
  for (;;) {
    try {
      if (auto lock = util::FileLock::TryAcquire(lock_path)) return std::move(*lock);
    } catch (const util::FileError& e) {
      throw std::runtime_error("the working folder " + work_dir + " cannot be locked (" + lock_path + ": " +
                               e.reason().message() + ")" + use_another);
    }
    if (waited >= wait.wait_ns)
      throw std::runtime_error("the working folder " + work_dir +
                               " is in use by another run of the programmer (it holds " + lock_path +
                               "); let that run end" + use_another);
    const std::int64_t step = std::max<std::int64_t>(1, std::min(wait.interval_ns, wait.wait_ns - waited));
    if (wait.sleep) {
      wait.sleep(step);
    } else {
      std::this_thread::sleep_for(std::chrono::nanoseconds(step));
    }
    waited += step;
  }
}

}  // namespace zepa::engine
