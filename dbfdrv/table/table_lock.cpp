// Byte-range locks of shared tables. The ranges lie beyond the data, where
// other programs that share these tables lock them too; each lock is tried
// once, and a refused one answers ErrLockConflict.
#include <fcntl.h>
#include <unistd.h>

#include "table/table_internal.h"

namespace dbf {

namespace {

constexpr int64_t kLockBase = 0x40000000;      // tables without a compound index
constexpr int64_t kLockTop = 0x7FFFFFFE;       // tables with one (header byte 28 set)
constexpr int64_t kFileLockStart = 2133447831;  // whole-file range ends at 0x7FFFFFFF
constexpr int64_t kFileLockExtra = 14035816;
// The most ranges one table holds at once.
constexpr size_t kMaxLocks = 4096;

int setLock(Table& t, int64_t offset, int64_t length, bool lock) {
  struct flock fl {};
  fl.l_type = short(lock ? (t.info.readOnly ? F_RDLCK : F_WRLCK) : F_UNLCK);
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = length;
  // open-file-description locks: two handles of one process exclude each
  // other as two programs do
  if (::fcntl(t.fd, F_OFD_SETLK, &fl) != 0) return lock ? ErrLockConflict : ErrInternalLockBufferUnderflow;
  return StatusOk;
}

int take(int handle, int64_t offset, int64_t length) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (!t->info.shared) return StatusOk;
  for (const LockRange& r : t->locks)
    if (r.offset == offset && r.length == length) return StatusOk;
  if (t->locks.size() >= kMaxLocks) return ErrInternalLockBufferOverflow;
  if (int s = setLock(*t, offset, length, true); s < 0) return s;
  t->locks.push_back({offset, length});
  return StatusOk;
}

int give(int handle, int64_t offset, int64_t length) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (!t->info.shared) return StatusOk;
  for (size_t i = 0; i < t->locks.size(); ++i) {
    if (t->locks[i].offset == offset && t->locks[i].length == length) {
      t->locks.erase(t->locks.begin() + long(i));
      return setLock(*t, offset, length, false);
    }
  }
  return StatusOk;
}

bool topLocks(const Table& t) { return t.info.tableFlags != 0; }

int64_t recordLockOffset(const Table& t, uint32_t recno) {
  if (topLocks(t)) return kLockTop - int64_t(recno);
  return kLockBase + recordOffset(t.info, recno);
}

int64_t headerLockOffset(const Table& t) { return topLocks(t) ? kLockTop : kLockBase; }

}  // namespace

int tableLockRecord(int handle, uint32_t recno) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  return take(handle, recordLockOffset(*t, recno), 1);
}

int tableUnlockRecord(int handle, uint32_t recno) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  return give(handle, recordLockOffset(*t, recno), 1);
}

int tableLockHeader(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (int s = take(handle, headerLockOffset(*t), 1); s < 0) return s;
  uint32_t n = 0;
  return tableRecords(handle, n);
}

int tableUnlockHeader(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  return give(handle, headerLockOffset(*t), 1);
}

int tableLockFile(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  int s;
  if (topLocks(*t)) {
    int64_t n = t->info.records;
    s = take(handle, kFileLockStart - n, n + kFileLockExtra);
  } else {
    s = take(handle, kLockBase, 1);
  }
  if (s < 0) return s;
  uint32_t n = 0;
  return tableRecords(handle, n);
}

int tableUnlockAll(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  int result = StatusOk;
  for (const LockRange& r : t->locks)
    if (int s = setLock(*t, r.offset, r.length, false); s < 0) result = s;
  t->locks.clear();
  return result;
}

}  // namespace dbf
