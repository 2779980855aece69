// Writing: add, append, write back, delete, duplicate tests, locks and holds.
#include <chrono>
#include <thread>

#include "driver/field_map.h"
#include "driver/ops.h"

namespace dbf {

namespace {

constexpr auto kLockPause = std::chrono::milliseconds(10);
constexpr int kPausesPerSecond = 100;

}  // namespace

int opAdd(FileBlock& b, bool keys) {
  if (keys)
    if (int r = needIndex(b); r) return r;
  std::string rec(b.recordLength, ' ');
  int st = bufferToRecord(b, rec);
  if (st < 0) return engineResult(b, st);
  if (keys && b.index)
    if (int r = b.index->duplicate(b, -1, 0, rec); r) return r;
  if (int r = storeMemos(b, rec); r) return r;
  uint32_t recno = 0;
  if (b.held) {
    tableUnlockRecord(b.handle, b.held);
    b.held = 0;
  }
  bool shared = tableInfo(b.handle)->shared;
  if (shared && (st = tableLockHeader(b.handle)) < 0) return engineResult(b, st);
  st = tableAppend(b.handle, rec, recno);
  if (shared) tableUnlockHeader(b.handle);
  if (st < 0) return engineResult(b, st);
  if (keys && b.index)
    if (int r = b.index->insert(b, recno, rec); r) return r;
  b.record = rec;
  b.current = recno;
  return LayerOk;
}

int opPut(FileBlock& b, uint32_t recno) {
  if (recno == 0) return layerError(b, LayerEnd);
  if (int r = needIndex(b); r) return r;
  std::string before;
  int st = tableRead(b.handle, recno, before);
  if (st < 0) return st == ErrSeekFailed ? layerError(b, LayerNotFound) : engineResult(b, st);
  if (b.watch && b.watchRecord == recno && before != b.watchCopy)
    return layerError(b, LayerChanged, "the record was changed by another user");
  bool heldHere = b.held == recno;
  if (!heldHere && (st = tableLockRecord(b.handle, recno)) < 0) return layerError(b, LayerAccessDenied, "record lock");
  std::string after = before;
  int r = LayerOk;
  st = bufferToRecord(b, after);
  if (st < 0) r = engineResult(b, st);
  if (!r && b.index) r = b.index->duplicate(b, -1, recno, after);
  if (!r) r = storeMemos(b, after);
  if (!r) {
    if ((b.options & OptIgnoreStatus) && uint8_t(after[0]) == kDeletedFlag) after[0] = char(kLiveFlag);
    st = tableWrite(b.handle, recno, after);
    if (st < 0) r = engineResult(b, st);
  }
  if (!r && b.index) r = b.index->update(b, recno, before, after);
  if (!heldHere) tableUnlockRecord(b.handle, recno);
  // the next write-back releases the held record
  if (b.held) {
    tableUnlockRecord(b.handle, b.held);
    b.held = 0;
  }
  if (r) return r;
  b.record = after;
  b.current = recno;
  if (b.watch) b.watchCopy = after;
  return LayerOk;
}

int opDelete(FileBlock& b) {
  if (!b.current) return layerError(b, LayerEnd);
  if (int r = needIndex(b); r) return r;
  int st = tableSetDeleted(b.handle, b.current, true);
  if (st < 0) return engineResult(b, st);
  std::string rec;
  tableRead(b.handle, b.current, rec);
  b.record = rec;
  if (b.index) return b.index->markChanged(b, b.current, rec);
  return LayerOk;
}

int opDuplicate(FileBlock& b, int key) {
  if (int r = needIndex(b); r) return r;
  if (!b.index) return layerError(b, LayerIndexMissing);
  std::string rec = b.record.size() == b.recordLength ? b.record : std::string(b.recordLength, ' ');
  int st = bufferToRecord(b, rec);
  if (st < 0) return engineResult(b, st);
  return b.index->duplicate(b, key, b.current, rec);
}

int opLock(FileBlock& b, int seconds) {
  for (int64_t i = 0;; ++i) {
    int st = tableLockFile(b.handle);
    if (st >= 0) return LayerOk;
    if (st != ErrLockConflict || (seconds >= 0 && i >= int64_t(seconds) * kPausesPerSecond))
      return engineResult(b, st);
    std::this_thread::sleep_for(kLockPause);
  }
}

int opRelease(FileBlock& b) {
  if (b.held) {
    tableUnlockRecord(b.handle, b.held);
    b.held = 0;
  }
  return LayerOk;
}

int opRecover(FileBlock& b) {
  if (!b.handle) return layerError(b, LayerEnd);
  uint32_t n = 0;
  tableRecords(b.handle, n);
  std::string rec;
  for (uint32_t r = 1; r <= n; ++r) {
    int st = tableRead(b.handle, r, rec);
    if (st < 0) return engineResult(b, st);
    if (st != CondDeleted) continue;
    if ((st = tableSetDeleted(b.handle, r, false)) < 0) return engineResult(b, st);
    // keys that leave deleted records out take the record again
    rec[0] = char(kLiveFlag);
    if (b.index)
      if (int x = b.index->markChanged(b, r, rec); x) return x;
  }
  return LayerOk;
}

}  // namespace dbf
