// Telling the day numbers of a date tree by the records its extreme entries
// name.
#include "index/day_numbers.h"

#include "table/engine_status.h"

namespace dbf {
namespace {

// Entries looked at from each end: a few may name records changed or
// deleted since, which tell nothing.
constexpr int kEntriesPerEnd = 16;

enum class Verdict { Unknown, Julian, Formula, Agreeing };

// plain: the tree's key without its filter (the filter does not change a key).
Verdict judge(IndexTree& tree, KeyDefinition& plain, RecordSource& records, int& st) {
  st = StatusOk;
  const std::string stored = tree.key();
  if (dayNumbersAgree(decodeNumberKey(stored))) return Verdict::Agreeing;
  const uint32_t n = tree.record();
  if (n < 1 || n > records.count()) return Verdict::Unknown;
  const RecordAccess* r = nullptr;
  if ((st = records.read(n, r))) return Verdict::Unknown;
  std::string keys[2];
  bool in = false;
  for (int i = 0; i < 2; ++i) {
    plain.days = i == 0 ? DayNumbers::Julian : DayNumbers::Formula;
    if (buildKey(plain, *r, keys[i], in)) return Verdict::Unknown;
    keys[i] = tree.normalize(keys[i]);
  }
  if (keys[0] == keys[1]) return Verdict::Unknown;
  if (stored == keys[0]) return Verdict::Julian;
  if (stored == keys[1]) return Verdict::Formula;
  return Verdict::Unknown;
}

// Walks from the entry the cursor is at (found) in one direction until an
// entry tells the kind, an entry lies where both agree, or the budget ends.
int walk(IndexTree& tree, KeyDefinition& plain, RecordSource& records, bool found, bool forward, Verdict& out) {
  int st = StatusOk;
  for (int i = 0; found && i < kEntriesPerEnd; ++i) {
    Verdict v = judge(tree, plain, records, st);
    if (st) return st;
    if (v != Verdict::Unknown) {
      out = v;
      return StatusOk;
    }
    if ((st = forward ? tree.next(found) : tree.previous(found))) return st;
  }
  return StatusOk;
}

}  // namespace

int findDayNumbers(IndexTree& tree, const KeyDefinition& def, RecordSource& records, DayNumbers& out) {
  out = DayNumbers::Julian;
  if (def.type != KeyType::Date) return StatusOk;
  KeyDefinition plain;
  plain.type = def.type;
  plain.length = def.length;
  if (plain.key.compile(def.key.text())) return StatusOk;
  const bool descending = tree.header().descending;
  // The earliest dates: after the blank ones (day number 0), which sort first.
  const std::string firstDay = encodeNumberKey(1.0);
  bool found = false;
  int st = tree.find(firstDay, FindMode::FirstNotBelow, 0, found);
  if (st == StatusOk && descending) st = found ? tree.previous(found) : tree.last(found);
  Verdict v = Verdict::Unknown;
  if (st == StatusOk) st = walk(tree, plain, records, found, !descending, v);
  // The latest dates.
  if (st == StatusOk && (v == Verdict::Unknown || v == Verdict::Agreeing)) {
    v = Verdict::Unknown;
    st = descending ? tree.first(found) : tree.last(found);
    if (st == StatusOk) st = walk(tree, plain, records, found, descending, v);
  }
  if (v == Verdict::Formula) out = DayNumbers::Formula;
  return st;
}

}  // namespace dbf
