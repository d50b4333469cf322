// fusebuild jcd_file [device_number [debug_level]]
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "fusebuild/fusebuild.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  std::string program_path;
#ifdef __linux__
  std::error_code ec;
  program_path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
#elif defined(_WIN32)
  // argv[0] is what was typed ("fusebuild" when found on the PATH), which names no folder.
  char module[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
  if (length > 0 && length < sizeof module) program_path.assign(module, length);
#endif
  if (program_path.empty() && argc > 0) program_path = argv[0];
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // The programmer names its working folder, where the signature-only images must appear.
  const char* ues_dir = std::getenv("ZEPA_WORK_DIR");
  return zepa::fusebuild::RunFusebuild(args, program_path, "", std::cout, std::cerr, ues_dir ? ues_dir : "");
}
