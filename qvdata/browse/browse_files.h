// The files the browsers read (held for a scope through shareFiles,
// services/file_scope.h).
#pragma once

#include <vector>

namespace qv {

// The message files of a database kind (DbKind) and the files of its rows: forum and
// newsgroup MsgNmbr, Threads, Sections; mail Mail; both MsgText and Person.
std::vector<int> rowFiles(int kind);

}  // namespace qv
