// The files the browsers read, opened for as long as a holder lives.
#pragma once

#include <memory>
#include <vector>

namespace qv {

// Opens the files (by FileNumber) for shared use; they are released when the
// last copy of the returned holder goes. The windows' name for shareFiles
// (services/file_scope.h), which the library's own code uses.
std::shared_ptr<void> useFiles(const std::vector<int>& files);

// The message files of a database kind (DbKind) and the files of its rows: forum and
// newsgroup MsgNmbr, Threads, Sections; mail Mail; both MsgText and Person.
std::vector<int> rowFiles(int kind);

}  // namespace qv
