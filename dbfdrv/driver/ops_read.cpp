// Reading: by record number, by key, and in record or key order.
#include <chrono>
#include <thread>

#include "driver/field_map.h"
#include "driver/ops.h"

namespace dbf {

namespace {

// The runtime clock ticks a hundred times a second; a hold retries every tick.
constexpr auto kTick = std::chrono::milliseconds(10);
constexpr int kTicksPerSecond = 100;

// Tries a lock until it succeeds or `seconds` pass (0: once).
template <typename Try>
int retry(int seconds, Try tryLock) {
  int ticks = seconds * kTicksPerSecond;
  for (int i = 0;; ++i) {
    int st = tryLock();
    if (st != ErrLockConflict || i >= ticks) return st;
    std::this_thread::sleep_for(kTick);
  }
}

bool deletedRecord(const std::string& rec) { return !rec.empty() && uint8_t(rec[0]) == kDeletedFlag; }

uint32_t recordCount(FileBlock& b) {
  uint32_t n = 0;
  tableRecords(b.handle, n);
  return n;
}

// The record after (or before) `recno` in record order that a read takes:
// deleted ones are passed over unless IGNORESTATUS is on. 0 at the end.
uint32_t stepRecord(FileBlock& b, uint32_t recno, int direction, bool fromStart) {
  uint32_t n = recordCount(b);
  int64_t r = fromStart ? int64_t(recno) : int64_t(recno) + direction;
  std::string rec;
  while (r >= 1 && r <= int64_t(n)) {
    int st = tableRead(b.handle, uint32_t(r), rec);
    if (st < 0) return 0;
    if (!deletedRecord(rec) || (b.options & OptIgnoreStatus)) return uint32_t(r);
    r += direction;
  }
  return 0;
}

// The key-order counterpart: the next live entry of the key.
int stepKey(FileBlock& b, int direction, bool fromStart, uint32_t& recno) {
  for (bool first = fromStart;; first = false) {
    int r = LayerOk;
    if (first && b.startRecord) {
      recno = b.startRecord;
    } else {
      r = b.index->step(b, b.order, direction, recno);
    }
    if (r) return r;
    std::string rec;
    int st = tableRead(b.handle, recno, rec);
    if (st < 0) return engineResult(b, st);
    if (!deletedRecord(rec) || (b.options & OptIgnoreStatus)) return LayerOk;
  }
}

// Where the next read in the current order lands; 33 at either end.
int nextInOrder(FileBlock& b, int direction, uint32_t& recno) {
  bool fromStart = b.startPending;
  if (b.order < 0) {
    uint32_t at;
    if (fromStart) at = b.startRecord ? b.startRecord : direction > 0 ? 1 : recordCount(b);
    else at = b.current;
    if (!fromStart && at == 0) return layerError(b, LayerEnd);
    recno = stepRecord(b, at, direction, fromStart);
    return recno ? LayerOk : layerError(b, LayerEnd);
  }
  if (!b.index) return layerError(b, LayerIndexMissing);
  if (fromStart && !b.startRecord)
    if (int r = b.index->edge(b, b.order, direction < 0); r) return r;
  return stepKey(b, direction, fromStart, recno);
}

}  // namespace

int readInto(FileBlock& b, uint32_t recno) {
  bool hold = b.holdSeconds >= 0;
  int seconds = hold ? b.holdSeconds : 0;
  b.holdSeconds = -1;
  if (hold && b.held) {
    tableUnlockRecord(b.handle, b.held);
    b.held = 0;
  }
  if (hold) {
    int st = retry(seconds, [&] { return tableLockHeader(b.handle); });
    if (st < 0) return layerError(b, LayerHoldTimeout);
  }
  std::string rec;
  int st = tableRead(b.handle, recno, rec);
  if (hold) tableUnlockHeader(b.handle);
  if (st < 0) return st == ErrSeekFailed ? layerError(b, LayerNotFound) : engineResult(b, st);
  if (st == CondDeleted && !(b.options & OptIgnoreStatus)) {
    b.skipMemos = false;
    return layerError(b, LayerNotFound, "the record is marked deleted");
  }
  if (hold) {
    st = retry(seconds, [&] { return tableLockRecord(b.handle, recno); });
    if (st < 0) return layerError(b, LayerHoldTimeout);
    b.held = recno;
    // the record as it is now that it is held
    tableRead(b.handle, recno, rec);
  }
  b.record = rec;
  b.current = recno;
  b.startPending = false;
  recordToBuffer(b, rec);
  if (b.watch) {
    b.watchCopy = rec;
    b.watchRecord = recno;
  }
  bool skip = b.skipMemos;
  b.skipMemos = false;
  if (!skip)
    if (int r = loadMemos(b); r) return r;
  return LayerOk;
}

int holdCurrent(FileBlock& b, int seconds) {
  if (!b.current) return layerError(b, LayerEnd, "no current record");
  if (b.held == b.current) return LayerOk;
  if (b.held) {
    tableUnlockRecord(b.handle, b.held);
    b.held = 0;
  }
  int st = retry(std::max(0, seconds), [&] { return tableLockRecord(b.handle, b.current); });
  if (st < 0) return layerError(b, LayerHoldTimeout);
  b.held = b.current;
  return LayerOk;
}

int opSetFile(FileBlock& b, uint32_t recno) {
  b.order = -1;
  b.startPending = true;
  b.startRecord = recno;
  b.current = 0;
  return LayerOk;
}

int opSetKey(FileBlock& b, int op, const OpArgs& a) {
  if (int r = needIndex(b); r) return r;
  if (!b.index) return layerError(b, LayerIndexMissing);
  if (a.key < 0) return layerError(b, LayerIndexMissing);
  b.order = a.key;
  b.current = 0;
  b.startPending = true;
  b.startRecord = 0;
  if (op == OpSetKeyStart) return LayerOk;
  std::string probe(b.recordLength, ' ');
  if (int st = bufferToRecord(b, probe); st < 0) return engineResult(b, st);
  uint32_t recno = 0;
  if (op == OpSetKeyRecord || op == OpSetKeyRecord2 || op == OpSetKeyText) {
    recno = op == OpSetKeyText ? uint32_t(std::strtoul(a.text.c_str(), nullptr, 10)) : uint32_t(a.number);
  }
  uint32_t found = 0;
  int r = b.index->seek(b, a.key, probe, a.components, recno, found);
  if (r == LayerEnd || r == LayerNotFound) {
    // nothing at or after the value: the next read answers the end
    b.startRecord = 0;
    b.startPending = false;
    return LayerOk;
  }
  if (r) return r;
  b.startRecord = found;
  return LayerOk;
}

int opRead(FileBlock& b, int direction) {
  uint32_t recno = 0;
  if (int r = nextInOrder(b, direction, recno); r) {
    b.current = 0;
    b.startPending = false;
    b.holdSeconds = -1;
    return r;
  }
  return readInto(b, recno);
}

int opSkip(FileBlock& b, int64_t n) {
  int direction = n < 0 ? -1 : 1;
  int64_t steps = n < 0 ? -n : n;
  uint32_t recno = b.current;
  for (int64_t i = 0; i < steps; ++i) {
    if (int r = nextInOrder(b, direction, recno); r) {
      b.current = 0;
      return r;
    }
    b.startPending = false;
    b.current = recno;
  }
  if (recno) {
    std::string rec;
    if (int st = tableRead(b.handle, recno, rec); st >= 0) b.record = rec;
  }
  return LayerOk;
}

int opEdgeTest(FileBlock& b, int direction) {
  // look one step without moving: the position in record order and the
  // key's cursor are put back as they were, whatever the look passed over
  uint32_t savedCurrent = b.current, savedStart = b.startRecord;
  bool savedPending = b.startPending;
  bool keyed = b.order >= 0 && b.index;
  KeyCursor mark = keyed ? b.index->cursor(b.order) : KeyCursor();
  uint32_t recno = 0;
  int r = nextInOrder(b, direction, recno);
  if (keyed) b.index->setCursor(b.order, mark);
  b.current = savedCurrent;
  b.startRecord = savedStart;
  b.startPending = savedPending;
  return r;
}

int opGetByNumber(FileBlock& b, int64_t recno) {
  if (recno <= 0 || recno > int64_t(UINT32_MAX)) return layerError(b, LayerNotFound);
  return readInto(b, uint32_t(recno));
}

int opGetByKey(FileBlock& b, int key) {
  if (int r = needIndex(b); r) return r;
  if (!b.index || key < 0) return layerError(b, LayerIndexMissing);
  std::string probe(b.recordLength, ' ');
  if (int st = bufferToRecord(b, probe); st < 0) return engineResult(b, st);
  uint32_t recno = 0;
  int r = b.index->seek(b, key, probe, 0, 0, recno);
  while (!r) {
    std::string rec;
    int st = tableRead(b.handle, recno, rec);
    if (st < 0) return engineResult(b, st);
    if (!b.index->equal(b, key, rec, probe)) break;
    if (!deletedRecord(rec) || (b.options & OptIgnoreStatus)) return readInto(b, recno);
    // entries of that value whose record is marked deleted are passed over
    r = b.index->step(b, key, 1, recno);
  }
  return layerError(b, LayerNotFound);
}

}  // namespace dbf
