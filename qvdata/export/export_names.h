// Names of export files. A name the user types is a plain file name in the
// temporary directory: a path, "..", a name of the archive's own files or a
// name that stands for something other than a plain file is refused.
#pragma once

#include <string>

namespace qv {

// Longest export file name.
inline constexpr size_t kExportNameMax = 40;

// The reason a name is refused, or an empty text when it may be used.
std::string exportNameProblem(const std::string& name);
// Checks a name and tells the user why it is refused (caption "Filename
// error"). True when it may be used.
bool checkExportName(const std::string& name);
// The path of an export file: the name in the temporary directory.
std::string exportPath(const std::string& name);

}  // namespace qv
