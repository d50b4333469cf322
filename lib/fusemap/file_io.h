// Where the converters find the files a chain names.
#pragma once

#include <string>

namespace zepa::fusemap {

// Where a relative path named in a chain (design, image, listing) lives: in `work_dir` when one is given,
// else where the process runs. Separators are made native first.
std::string ResolveInFolder(const std::string& work_dir, const std::string& path);

}  // namespace zepa::fusemap
