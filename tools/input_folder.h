// pack's FILE operands with each folder among them replaced by the files directly inside it.
#pragma once

#include <string>
#include <vector>

namespace vornix::tools {

// Operands as they are, except that a folder gives the paths of the plain files in it, in byte
// order of their UTF-8 names. Raises Exception naming the folder when it cannot be read, holds no
// file, or holds a subfolder (a package holds no folders) or anything else that is no plain file.
std::vector<std::string> PackInputs(const std::vector<std::string>& Operands);

}  // namespace vornix::tools
