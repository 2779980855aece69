// Directories and files on disk: existence checks, sizes and deletion.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Tells whether a directory exists. PathReport and PathCreate take `path`;
// FileDirReport and FileDirCreate take the directory of file `fileNumber`'s
// path. A missing directory is reported (unless quiet or unattended) with
// `extra` added to the message; the two Create kinds then create it, and a
// creation that fails stops the program. The result stays false after a
// successful creation.
enum PathCheck : int { PathReport = 1, FileDirReport = 2, PathCreate = 3, FileDirCreate = 4 };
bool ExistPath(int kind, int fileNumber, const std::string& extra, const std::string& path, bool quiet);

// Total size of the files (not directories) matching a pattern such as
// "/dir/*.ADF"; 0 when none.
int64_t GetFSize(const std::string& pattern);

enum DosOp : int { DosDeleteFile = 3, DosDeleteMatching = 4, DosAnyMatch = 5 };
// 3: delete one file (true when it is gone or was never there); 4: delete
// every file matching `path` (a name or pattern) in `directory`; 5: true when
// at least one file matches.
bool DOSFunc(int op, const std::string& path, const std::string& directory = {});

// Match of a file name against a file mask with * and ?, case-insensitively,
// with the masks' DOS meaning: "*.*" matches every name, a mask ending in
// ".*" also matches the names without an extension ("NEWS*.*" takes "NEWS"),
// and a mask ending in "." only names without a dot ("*." takes "Inbox" but
// not "Inbox.msf"). Hidden names (a leading dot) need a mask that starts
// with a dot.
bool matchesPattern(const std::string& name, const std::string& pattern);

// Makes a directory and any missing parents, each private (0700). True when
// the directory exists afterwards.
bool makePrivateDirectory(const std::string& dir);

// Directories of the settings (temporary, data and word-index roots) are
// stored relative to the installation's root when they lie inside it ("."
// for the root itself, "TEMP", ...), so that a copied or moved installation
// keeps working on its own files; a directory outside the root is stored as
// its absolute path.
std::string storedDirectory(const std::string& directory, const std::string& root);
// The absolute directory of a stored one. An absolute path under
// `formerRoot` (the root an older version wrote its absolute paths under,
// when that is not `root`) is read as the same place under `root`.
std::string resolvedDirectory(const std::string& stored, const std::string& root,
                              const std::string& formerRoot = {});
// The root that settings holding absolute paths were written under, told
// from the stored temporary and data directories as an older version wrote
// them: the parent of a temporary directory named "TEMP" (the first start
// made it there) when it holds an installation (the original of a copy) or
// no longer exists while this root has its own TEMP (a root moved away), else
// the data directory when it holds an installation. Empty when it cannot be
// told or is `root` itself.
std::string formerRoot(const std::string& storedTemp, const std::string& storedData, const std::string& root);

}  // namespace qv
