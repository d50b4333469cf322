#include "engine/process.h"

#include <cerrno>
#include <cstring>

#include "engine/workdir.h"
#include "util/path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace zepa::engine {

std::string ProgramBeside(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  return util::JoinPath(folder, name + ".exe");
#else
  return util::JoinPath(folder, name);
#endif
}

#ifdef _WIN32

namespace {

// One argument quoted the way the C runtime's command-line parser splits it again.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

// This program's standard input, output and error as inheritable copies for the child, so that it reads and
// writes where this program does, as a child started with posix_spawn does. Null where this program has
// none (a windowed program without a console); the copies are closed again when Run returns.
class InheritableStdHandles {
 public:
  InheritableStdHandles() {
    const DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
      const HANDLE own = GetStdHandle(ids[i]);
      if (own == nullptr || own == INVALID_HANDLE_VALUE) continue;
      HANDLE copy = nullptr;
      if (DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                          DUPLICATE_SAME_ACCESS))
        handles_[i] = copy;
    }
  }
  ~InheritableStdHandles() {
    for (HANDLE h : handles_) {
      if (h != nullptr) CloseHandle(h);
    }
  }
  InheritableStdHandles(const InheritableStdHandles&) = delete;
  InheritableStdHandles& operator=(const InheritableStdHandles&) = delete;

  bool any() const { return handles_[0] != nullptr || handles_[1] != nullptr || handles_[2] != nullptr; }
  HANDLE input() const { return handles_[0]; }
  HANDLE output() const { return handles_[1]; }
  HANDLE error() const { return handles_[2]; }

 private:
  HANDLE handles_[3] = {nullptr, nullptr, nullptr};
};

}  // namespace

ProcessResult SystemProcessLauncher::Run(const std::string& program, const std::vector<std::string>& args,
                                         const std::vector<std::string>& environment) {
  ProcessResult result;
  std::string command = QuoteArgument(program);
  for (const std::string& arg : args) command += " " + QuoteArgument(arg);
  // This process's environment with the extra entries replacing any of the same name, as a block of
  // zero-terminated entries ending in an empty one.
  std::string block;
  if (char* strings = GetEnvironmentStringsA()) {
    for (const char* e = strings; *e != '\0'; e += std::strlen(e) + 1) {
      const std::string entry(e);
      const std::string name = entry.substr(0, entry.find('=', 1) + 1);
      bool replaced = false;
      for (const std::string& extra : environment) replaced = replaced || extra.rfind(name, 0) == 0;
      if (!replaced) block += entry + '\0';
    }
    FreeEnvironmentStringsA(strings);
  }
  for (const std::string& extra : environment) block += extra + '\0';
  block += '\0';
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  const InheritableStdHandles std_handles;
  if (std_handles.any()) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = std_handles.input();
    startup.hStdOutput = std_handles.output();
    startup.hStdError = std_handles.error();
  }
  // A console program started from a console program shares its console, so no window opens; started
  // from a program without a console (the windowed programmer) it would get a console window of its own.
  DWORD flags = NORMAL_PRIORITY_CLASS;
  if (GetConsoleCP() == 0) flags |= CREATE_NO_WINDOW;
  PROCESS_INFORMATION info{};
  std::string mutable_command = command;
  if (!CreateProcessA(program.c_str(), mutable_command.data(), nullptr, nullptr,
                      std_handles.any() ? TRUE : FALSE, flags, block.data(), nullptr, &startup, &info)) {
    result.error = program + ": cannot start (error " + std::to_string(GetLastError()) + ")";
    return result;
  }
  result.started = true;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  result.exit_status = static_cast<int>(code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return result;
}

#else

ProcessResult SystemProcessLauncher::Run(const std::string& program, const std::vector<std::string>& args,
                                         const std::vector<std::string>& environment) {
  ProcessResult result;
  std::vector<std::string> argv_text;
  argv_text.push_back(program);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  // This process's environment with the extra entries replacing any of the same name.
  std::vector<std::string> env_text;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& extra : environment) replaced = replaced || extra.rfind(name, 0) == 0;
    if (!replaced) env_text.push_back(entry);
  }
  env_text.insert(env_text.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (rc != 0) {
    result.error = program + ": cannot start: " + std::strerror(rc);
    return result;
  }
  result.started = true;
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited == -1 && errno == EINTR);
  if (waited == -1) {
    result.error = program + ": lost the child: " + std::strerror(errno);
    return result;
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

#endif

}  // namespace zepa::engine
