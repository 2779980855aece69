// Stamps of a stored file's state, for caches of what a file holds: a cache
// that keeps the stamp it was filled under is stale when the stamp differs.
#pragma once

#include <string>

namespace qv {

// The stamp of the keyed file at `path`: the path, the file's identity on
// disk (device and inode), its size and modification time, and SQLite's file
// change counter, which every committed change advances (the files use
// rollback journals). So it changes with every write, by this process or
// another one, and differs for another file, another installation root or
// another database. Empty when the file cannot be read.
std::string storedFileStamp(const std::string& path);

}  // namespace qv
