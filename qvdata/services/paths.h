// Directories and files on disk: existence checks, sizes and deletion.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Tells whether a directory exists. Kinds 1 and 3 take `path`; kinds 2 and 4
// take the directory of file `fileNumber`'s path. A missing directory is
// reported (unless quiet or unattended) with `extra` added to the message;
// kinds 3 and 4 then create it, and a creation that fails stops the program.
// The result stays false after a successful creation.
bool ExistPath(int kind, int fileNumber, const std::string& extra, const std::string& path, bool quiet);

// Total size of the files (not directories) matching a pattern such as
// "/dir/*.ADF"; 0 when none.
int64_t GetFSize(const std::string& pattern);

enum DosOp : int { DosDeleteFile = 3, DosDeleteMatching = 4, DosAnyMatch = 5 };
// 3: delete one file (true when it is gone or was never there); 4: delete
// every file matching `path` (a name or pattern) in `directory`; 5: true when
// at least one file matches.
bool DOSFunc(int op, const std::string& path, const std::string& directory = {});

// Shell-style match of a file name against a pattern with * and ?,
// case-insensitively.
bool matchesPattern(const std::string& name, const std::string& pattern);

}  // namespace qv
