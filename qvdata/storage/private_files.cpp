#include "storage/private_files.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <mutex>

namespace qv {

namespace {
std::recursive_mutex& creationMutex() {
  static std::recursive_mutex m;
  return m;
}

// The system's SQLite file system, and ours: the same in every part but the
// opening of files.
sqlite3_vfs* systemVfs = nullptr;
sqlite3_vfs privateVfs;

int privateOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  if (!(flags & SQLITE_OPEN_CREATE)) return systemVfs->xOpen(systemVfs, name, file, flags, outFlags);
  PrivateCreation guard;
  return systemVfs->xOpen(systemVfs, name, file, flags, outFlags);
}
}  // namespace

PrivateCreation::PrivateCreation() {
  creationMutex().lock();
  saved_ = ::umask(077);
}

PrivateCreation::~PrivateCreation() {
  ::umask(saved_);
  creationMutex().unlock();
}

void usePrivateSqliteFiles() {
  static std::once_flag once;
  std::call_once(once, [] {
    sqlite3_initialize();
    systemVfs = sqlite3_vfs_find(nullptr);
    if (!systemVfs) return;
    privateVfs = *systemVfs;
    privateVfs.pNext = nullptr;
    privateVfs.zName = "quorvane-private";
    privateVfs.xOpen = privateOpen;
    sqlite3_vfs_register(&privateVfs, 1);
  });
}

}  // namespace qv
