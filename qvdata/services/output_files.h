// Files written on request (export files, printed reports, address lists,
// saved attachments) keep clear of the archive: a name of the archive's own
// files, a place among them (the configuration directory, a database's
// directory) and a name that stands for something other than a plain file
// are refused.
#pragma once

#include <string>

namespace qv {

// The reason a file asked for at `path` may not be written, or an empty text
// when it may.
std::string outputFileProblem(const std::string& path);

}  // namespace qv
