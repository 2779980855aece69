// Names of the files written on request: export files, printed reports,
// address lists. An export file's name is a plain file name in the temporary
// directory: a path or ".." is refused. Any file written on request keeps
// clear of the archive: a name of the archive's own files, a place among
// them (the configuration directory, a database's directory) and a name that
// stands for something other than a plain file are refused.
#pragma once

#include <string>

#include "services/output_files.h"

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

// Checks the path and tells the user why it is refused (caption "Filename
// error"). True when the file may be written.
bool checkOutputFile(const std::string& path);

}  // namespace qv
