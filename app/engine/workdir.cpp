#include "engine/workdir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
// <windows.h> makes ReplaceFile a macro for its own ReplaceFileA/W; the engine's ReplaceFile is defined here.
#undef ReplaceFile
#else
#include <unistd.h>
#endif

namespace zepa::engine {
namespace {

bool EndsWithSeparator(const std::string& folder) {
  return !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
}

std::string WithSeparator(std::string folder) {
  if (!EndsWithSeparator(folder)) folder += std::filesystem::path::preferred_separator == '\\' ? '\\' : '/';
  return folder;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return WithSeparator(folder) + name;
}

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
  return FolderOf(path);
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
    const std::string test = JoinPath(folder, "zepa_write_test.tmp");
#else
    const std::string test = JoinPath(folder, ".zepa_write_test." + std::to_string(::getpid()));
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
  if (auto local = probe.getenv("LOCALAPPDATA")) user_folder = JoinPath(*local, "zepaisp");
#else
  if (auto state = probe.getenv("XDG_STATE_HOME")) {
    user_folder = JoinPath(*state, "zepaisp");
  } else if (auto home = probe.getenv("HOME")) {
    user_folder = JoinPath(JoinPath(*home, ".local/state"), "zepaisp");
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

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open the file");
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw std::runtime_error(path + ": cannot read the file");
  return bytes;
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error(path + ": cannot create the file");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::remove(temp.c_str());
      throw std::runtime_error(path + ": cannot write the file");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::remove(temp.c_str());
    throw std::runtime_error(path + ": cannot put the file in place: " + ec.message());
  }
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

}  // namespace zepa::engine
