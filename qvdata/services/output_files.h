// Files written on request (export files, printed reports, address lists,
// saved attachments) keep clear of the archive: a name of the archive's own
// files, a place among them (the configuration directory, a database's
// directory) and a name that stands for something other than a plain file
// are refused. Their bytes are written whole or the write fails.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// The reason a file asked for at `path` may not be written, or an empty text
// when it may.
std::string outputFileProblem(const std::string& path);

// Writes all of `bytes` to the open file `fd`, again after an interrupted or
// short write; false (errno set) when the file takes no more.
bool writeAll(int fd, std::string_view bytes);

}  // namespace qv
