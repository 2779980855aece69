// Walking a keyed file on SQLite in key or file order.
//
// Rules:
// - A walk is set (setStart, setValue, setPosition) and then stepped
//   (next, previous); stepping without a walk set fails with
//   ErrNotAvailable, as does stepping past the end.
// - Equal keys are ordered by stored position, so every walk has one order
//   whether or not the key's index exists.
// - A change to the file (gen_) or a change of direction ends the running
//   query; the walk then goes on from the last record it returned, so a
//   record is neither returned twice nor passed over.
//
// A walk from a seek point is a sequence of range queries ("levels"), each of
// which the key's index answers directly: first the records whose key equals
// the seek value in all given components, then those equal in one component
// fewer and after it in the next, and so on up to the first component.
#include "storage/sqlite_driver.h"

#include <utility>

namespace qv {

std::vector<SqliteDriver::Level> SqliteDriver::levels(const Seek& s, int key) const {
  std::vector<Level> out;
  int n = key >= 0 ? int(file_.decl().keys[key].parts.size()) : 0;
  switch (s.kind) {
    case SeekKind::None:
    case SeekKind::Start: out.push_back({0, -1, false}); return out;
    case SeekKind::Inclusive: {
      int m = int(s.vals.size());
      if (s.withPos)
        out.push_back({m, n, true});
      else
        out.push_back({m, -1, false});
      for (int j = m - 1; j >= 0; --j) out.push_back({j, j, false});
      return out;
    }
    case SeekKind::After: {
      out.push_back({n, n, false});
      for (int j = n - 1; j >= 0; --j) out.push_back({j, j, false});
      return out;
    }
  }
  return out;
}

sqlite3_stmt* SqliteDriver::levelStatement(int key, const Level& lv, bool forward, const Seek& s) {
  const FileDecl& d = file_.decl();
  int n = key >= 0 ? int(d.keys[key].parts.size()) : 0;
  uint32_t cmpKind = lv.cmp < 0 ? 0 : lv.cmp < n ? 1 : lv.inclusive ? 3 : 2;
  uint32_t id = 1000 + (uint32_t(key + 1) << 8) + (uint32_t(lv.eq) << 4) + (cmpKind << 1) + (forward ? 1 : 0);
  sqlite3_stmt* st = cur_->prepareFast(id, [&] {
    std::string where;
    auto andc = [&](const std::string& c) { where += (where.empty() ? " WHERE " : " AND ") + c; };
    if (key >= 0) {
      std::string p = partialCond(key);
      if (!p.empty()) andc(p);
    }
    for (int i = 0; i < lv.eq; ++i) andc(componentExpr(key, i) + " = ?");
    if (lv.cmp >= 0 && lv.cmp < n) {
      bool desc = d.keys[key].parts[lv.cmp].descending;
      bool greater = forward != desc;
      andc(componentExpr(key, lv.cmp) + (greater ? " > ?" : " < ?"));
    } else if (lv.cmp == n) {
      andc(std::string("qv_pos ") + (forward ? (lv.inclusive ? ">=" : ">") : (lv.inclusive ? "<=" : "<")) + " ?");
    }
    std::string order = " ORDER BY ";
    for (int i = 0; i < n; ++i) {
      bool desc = d.keys[key].parts[i].descending != !forward;
      order += componentExpr(key, i) + (desc ? " DESC, " : " ASC, ");
    }
    order += forward ? "qv_pos ASC" : "qv_pos DESC";
    return "SELECT " + selectList() + " FROM " + table() + where + order;
  });
  if (!st) return nullptr;
  int param = 1;
  for (int i = 0; i < lv.eq; ++i) bindValue(st, param++, s.vals[i]);
  if (lv.cmp >= 0 && lv.cmp < n) bindValue(st, param++, s.vals[lv.cmp]);
  else if (lv.cmp == n) sqlite3_bind_int64(st, param++, s.pos);
  return st;
}

void SqliteDriver::startWalk(int key, Seek seek) {
  curKey_ = key;
  seek_ = std::move(seek);
  haveLast_ = false;
  stmt_ = nullptr;
  exhausted_ = false;
}

void SqliteDriver::setStart(int key) {
  startWalk(key, Seek{SeekKind::Start, {}, 0, false});
  clearError();
}

void SqliteDriver::setValue(int key, int components) {
  startWalk(key, Seek{SeekKind::Inclusive, keyValues(key, components), 0, false});
  clearError();
}

void SqliteDriver::setPosition(int key, int64_t pos) {
  if (key < 0) {
    startWalk(key, Seek{SeekKind::Inclusive, {}, pos, true});
    clearError();
    return;
  }
  startWalk(key, Seek{});
  // The key value of the record at that position starts the walk.
  if (!getPosition(pos)) {
    seek_ = Seek{SeekKind::None, {}, 0, false};
    curKey_ = -2;
    return;
  }
  seek_ = Seek{SeekKind::Inclusive, keyValues(key, int(file_.decl().keys[key].parts.size())), pos, true};
  clearError();
}

bool SqliteDriver::step(bool forward) {
  if (curKey_ == -2) {
    setError(ErrNotAvailable, file_.name(), "no walk was set");
    return false;
  }
  bool restart = stmt_ == nullptr || forward != forward_ || stmtGen_ != gen_;
  if (restart) {
    if (exhausted_ && forward == forward_ && stmtGen_ == gen_) {
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    Seek s = seek_;
    if (haveLast_) {
      s.kind = SeekKind::After;
      s.vals = lastVals_;
      s.pos = lastPos_;
      s.withPos = true;
    }
    seek_ = s;
    forward_ = forward;
    levels_ = levels(s, curKey_);
    level_ = 0;
    stmtGen_ = gen_;
    exhausted_ = false;
    stmt_ = levelStatement(curKey_, levels_[0], forward, seek_);
    if (!stmt_) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  }
  for (;;) {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
      curPos_ = sqlite3_column_int64(stmt_, 0);
      loadRow(stmt_, 1);
      lastPos_ = curPos_;
      if (curKey_ >= 0) keepKeyValues(curKey_, lastVals_);
      haveLast_ = true;
      clearError();
      return true;
    }
    sqlite3_reset(stmt_);
    if (rc != SQLITE_DONE) {
      stmt_ = nullptr;
      return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
    }
    if (++level_ >= levels_.size()) {
      stmt_ = nullptr;
      exhausted_ = true;
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    stmt_ = levelStatement(curKey_, levels_[level_], forward, seek_);
    if (!stmt_) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  }
}

bool SqliteDriver::next() { return step(true); }
bool SqliteDriver::previous() { return step(false); }

}  // namespace qv
