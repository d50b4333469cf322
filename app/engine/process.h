// Starting the converters as child processes: an argument vector handed to the program as it is (no shell,
// no quoting games), the child waited for, its exit status returned. Tests replace the launcher.
#pragma once

#include <string>
#include <vector>

namespace zepa::engine {

struct ProcessResult {
  bool started = false;  // false: the program could not be started at all (`error` says why)
  int exit_status = -1;  // the child's exit status; -1 when it did not end normally (a signal)
  std::string error;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Runs `program` with `args` (not counting the program itself), hidden, and waits without time limit.
  // `environment` holds extra NAME=VALUE entries on top of this process's environment. The child inherits
  // the current folder.
  virtual ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment) = 0;
};

// The operating system's launcher: posix_spawn on POSIX systems, CreateProcess on Windows.
class SystemProcessLauncher final : public ProcessLauncher {
 public:
  ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& environment) override;
};

// The name of a program beside the running one: "fusebuild" becomes "<folder>/fusebuild" (".exe" is added
// on Windows). `folder` may end in a separator or not.
std::string ProgramBeside(const std::string& folder, const std::string& name);

}  // namespace zepa::engine
