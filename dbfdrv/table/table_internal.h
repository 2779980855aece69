// The engine's own state of an open table, shared by the engine's files.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "table/table.h"

namespace dbf {

struct LockRange {
  int64_t offset;
  int64_t length;
};

struct Table {
  int fd = -1;
  unsigned mode = OpenReadOnly;
  TableInfo info;
  std::string header;  // the header image (header length bytes)
  // Write-behind: changed and appended records by number, written on flush.
  int buffers = 0;
  std::map<uint32_t, std::string> pending;
  bool headerDirty = false;
  std::vector<LockRange> locks;
};

// The process-wide table of open tables, guarded by tableMutex().
std::mutex& tableMutex();
// The open table of a handle, or null.
Table* tableOf(int handle);

// Whole-buffer positioned I/O; engine status.
int readAt(int fd, int64_t offset, void* data, size_t size);
int writeAt(int fd, int64_t offset, const void* data, size_t size);

// Writes the 32-byte header with today's date and the record count.
int writeHeader(Table& t);
// Writes pending records and the header.
int flushTable(Table& t);
// The byte offset of record `recno` (from 1).
inline int64_t recordOffset(const TableInfo& info, uint32_t recno) {
  return int64_t(info.headerLength) + int64_t(recno - 1) * info.recordLength;
}
// Reads the header image and parses it into t.info.
int loadHeader(Table& t, int dialect);

}  // namespace dbf
