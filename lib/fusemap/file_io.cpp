#include "fusemap/file_io.h"

#include <filesystem>

#include "util/path.h"

namespace zepa::fusemap {

std::string ResolveInFolder(const std::string& work_dir, const std::string& path) {
  const std::string native = util::NativePath(path);
  if (work_dir.empty() || native.empty() || std::filesystem::path(native).is_absolute()) return native;
  return (std::filesystem::path(work_dir) / native).string();
}

}  // namespace zepa::fusemap
