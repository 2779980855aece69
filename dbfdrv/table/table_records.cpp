// Records of an open table: read, write back, append, the deletion flag and
// the write-behind buffer.
#include <unistd.h>

#include "table/table_internal.h"

namespace dbf {

namespace {

int needWritable(Table* t) {
  if (!t) return ErrInvalidHandleNumber;
  if (t->info.readOnly) return ErrFileOpenForReadingOnly;
  if (t->info.countBeyondFile) return ErrFileCorrupted;
  return StatusOk;
}

bool buffered(const Table& t) { return t.buffers > 0 && !t.info.shared; }

int syncIfWriteThrough(Table& t) {
  if ((t.mode & OpenWriteThrough) && ::fdatasync(t.fd) != 0) return ErrFlushToDiskFailure;
  return StatusOk;
}

// Writes one record now, or collects it when the table buffers writes.
int put(Table& t, uint32_t recno, const std::string& rec) {
  if (buffered(t)) {
    t.pending[recno] = rec;
    if (int(t.pending.size()) >= t.buffers) return flushTable(t);
    return StatusOk;
  }
  if (int s = writeAt(t.fd, recordOffset(t.info, recno), rec.data(), rec.size()); s < 0) return s;
  return StatusOk;
}

}  // namespace

int tableRead(int handle, uint32_t recno, std::string& record) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (recno == 0 || recno > t->info.records) {
    // another user may have appended to a shared table
    uint32_t n = 0;
    if (t->info.shared) tableRecords(handle, n);
    if (recno == 0 || recno > t->info.records) return ErrSeekFailed;
  }
  auto it = t->pending.find(recno);
  if (it != t->pending.end()) {
    record = it->second;
  } else {
    record.resize(t->info.recordLength);
    if (int s = readAt(t->fd, recordOffset(t->info, recno), record.data(), record.size()); s < 0) return s;
  }
  return uint8_t(record[0]) == kDeletedFlag ? CondDeleted : StatusOk;
}

int tableWrite(int handle, uint32_t recno, const std::string& record) {
  Table* t = tableOf(handle);
  if (int s = needWritable(t); s < 0) return s;
  if (record.size() != t->info.recordLength) return ErrItemLengthIncorrect;
  if (recno == 0 || recno > t->info.records) return ErrSeekFailed;
  if (int s = put(*t, recno, record); s < 0) return s;
  return syncIfWriteThrough(*t);
}

int tableAppend(int handle, const std::string& record, uint32_t& recno) {
  Table* t = tableOf(handle);
  if (int s = needWritable(t); s < 0) return s;
  if (record.size() != t->info.recordLength) return ErrItemLengthIncorrect;
  if (t->info.records == UINT32_MAX) return ErrFileWriteFailure;
  if (t->info.shared) {
    uint32_t n = 0;
    if (int s = tableRecords(handle, n); s < 0) return s;
    if (t->info.countBeyondFile) return ErrFileCorrupted;
  }
  std::string rec = record;
  rec[0] = char(kLiveFlag);
  recno = ++t->info.records;
  if (buffered(*t)) {
    t->headerDirty = true;
    return put(*t, recno, rec);
  }
  rec.push_back(char(kEndOfFile));
  if (int s = writeAt(t->fd, recordOffset(t->info, recno), rec.data(), rec.size()); s < 0) {
    --t->info.records;
    return s;
  }
  if (int s = writeHeader(*t); s < 0) return s;
  return syncIfWriteThrough(*t);
}

int tableSetDeleted(int handle, uint32_t recno, bool deleted) {
  Table* t = tableOf(handle);
  if (int s = needWritable(t); s < 0) return s;
  std::string rec;
  int s = tableRead(handle, recno, rec);
  if (s < 0) return s;
  rec[0] = char(deleted ? kDeletedFlag : kLiveFlag);
  if (int w = put(*t, recno, rec); w < 0) return w;
  return syncIfWriteThrough(*t);
}

int tableSetBuffers(int handle, int buffers) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (buffers < 0) buffers = 0;
  t->buffers = buffers;
  if (!buffered(*t) && !t->pending.empty()) return flushTable(*t);
  return StatusOk;
}

int tableFlush(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (t->info.readOnly) return StatusOk;
  if (int s = flushTable(*t); s < 0) return s;
  if (::fdatasync(t->fd) != 0) return ErrFlushToDiskFailure;
  return StatusOk;
}

}  // namespace dbf
