// The SQLite keyed-file driver: reading and writing records, whole-file
// operations and the mapping of SQLite's failures onto the file layer's
// errors.
//
// The driver's other parts live beside it, one job each: sqlite_open.cpp
// (open, create, the stored layout), sqlite_keys.cpp (indexes),
// sqlite_statements.cpp (statement cache and SQL text), sqlite_rows.cpp
// (record buffer and statements), sqlite_walk.cpp (walks in key order),
// sqlite_registry.cpp (holds, share modes and open drivers of the process)
// and sqlite_transaction.cpp (transactions across files).
//
// Rules:
// - Every operation ends with the error state set: clearError() on success,
//   setError() with the file's name on failure; SQLite's own result codes
//   never reach the caller.
// - Every statement is reset before its operation returns; only the walk's
//   statement (stmt_) stays open between calls.
// - Every write passes beforeWrite() first: it refuses a read-only open and
//   ends the reads of other drivers on the same file, which would otherwise
//   keep it locked.
// - Every change made through this driver bumps gen_, which ends a running
//   walk; the walk then goes on from the last record it returned.
#include "storage/sqlite_driver.h"

#include <cstring>

#include "storage/sqlite_registry.h"

namespace qv {

std::unique_ptr<Driver> makeSqliteDriver(File& f, bool older) {
  return std::make_unique<SqliteDriver>(f, older);
}

SqliteDriver::SqliteDriver(File& f, bool older) : SqlFileDriver(f), older_(older) {}

SqliteDriver::~SqliteDriver() { close(); }

bool SqliteDriver::fail(int rc, sqlite3* db) {
  if ((rc & 0xFF) == SQLITE_CORRUPT) suspect_ = true;
  return reportSqliteFailure(file_.name(), rc, db);
}

bool reportSqliteFailure(const std::string& name, int rc, sqlite3* db) {
  int base = rc & 0xFF;
  std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (base) {
    case SQLITE_CONSTRAINT:
      if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
        setError(ErrDuplicateKey, name);
        return false;
      }
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: setError(ErrHeld, name, "the file is locked"); return false;
    case SQLITE_READONLY:
      if (rc == SQLITE_READONLY_ROLLBACK) {
        setError(ErrInterrupted, name);
        return false;
      }
      [[fallthrough]];
    case SQLITE_PERM:
    case SQLITE_AUTH: setError(ErrAccessDenied, name); return false;
    case SQLITE_FULL: setError(ErrDiskFull, name); return false;
    case SQLITE_NOTADB: setError(ErrLayout, name, "not a file of this kind"); return false;
    case SQLITE_CORRUPT:
      setError(ErrBadKeys, name, text);
      return false;
    case SQLITE_CANTOPEN: setError(ErrFileNotFound, name, text); return false;
    default: break;
  }
  setError(ErrOther, name, text);
  return false;
}

bool SqliteDriver::exec(const std::string& sql) {
  char* msg = nullptr;
  int rc = sqlite3_exec(cur_->db, sql.c_str(), nullptr, nullptr, &msg);
  if (msg) sqlite3_free(msg);
  if (rc != SQLITE_OK) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  return true;
}

int64_t SqliteDriver::records() {
  if (count_ < 0) {
    std::string sql = "SELECT count(*) FROM " + table();
    sqlite3_stmt* st = cur_->prepare(sql);
    if (!st) {
      fail(sqlite3_extended_errcode(cur_->db), cur_->db);
      return 0;
    }
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
      fail(sqlite3_extended_errcode(cur_->db), cur_->db);
      sqlite3_reset(st);
      return 0;
    }
    count_ = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
  }
  clearError();
  return count_;
}

bool SqliteDriver::hasRecords() {
  if (count_ >= 0) {
    clearError();
    return count_ > 0;
  }
  sqlite3_stmt* st = cur_->prepare("SELECT 1 FROM " + table() + " LIMIT 1");
  if (!st) {
    fail(sqlite3_extended_errcode(cur_->db), cur_->db);
    return false;
  }
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    fail(sqlite3_extended_errcode(cur_->db), cur_->db);
    return false;
  }
  clearError();
  return rc == SQLITE_ROW;
}

void SqliteDriver::yieldReads() {
  own_.resetAll();
  stmt_ = nullptr;
  count_ = -1;
  ++gen_;
}

bool SqliteDriver::beforeWrite(bool keyChange) {
  if (readOnly()) {
    setError(ErrAccessDenied, file_.name(), "opened read-only");
    return false;
  }
  quiesceSiblings();
  if (keyChange) touchOnDemand();
  return true;
}

bool SqliteDriver::empty() {
  if (!beforeWrite(true)) return false;
  if (file_.decl().scratch && cur_ == &own_ && !streaming_ && !appendMode_ && openAlone(path_, this)) {
    if (!remakeScratch()) return false;
    count_ = 0;
    ++gen_;
    return true;
  }
  if (cur_ == &own_) changedOutsideTransaction();
  if (!exec("DELETE FROM " + table())) return false;
  // A scratch file gives its space back at once when it can (not inside a
  // transaction or a write stream): it may have filled the disk.
  if (file_.decl().scratch && cur_ == &own_ && !streaming_) sqlite3_exec(own_.db, "VACUUM", nullptr, nullptr, nullptr);
  count_ = 0;
  curPos_ = 0;
  ++gen_;
  clearError();
  return true;
}

bool SqliteDriver::pack() {
  if (cur_ != &own_) {
    setError(ErrTransaction, file_.name(), "a file cannot be packed inside a transaction");
    return false;
  }
  if (streaming_ && !finishStream()) return false;
  if (appendMode_ && !buildKeys()) return false;
  own_.resetAll();
  quiesceSiblings();
  changedOutsideTransaction();
  if (!exec("VACUUM")) return false;
  ++gen_;
  clearError();
  return true;
}

bool SqliteDriver::stream() {
  if (cur_ != &own_ || streaming_) {
    clearError();
    return true;  // inside a transaction the writes are deferred already
  }
  if (readOnly()) {
    setError(ErrAccessDenied, file_.name(), "opened read-only");
    return false;
  }
  own_.resetAll();
  if (!exec("BEGIN IMMEDIATE")) return false;
  streaming_ = true;
  clearError();
  return true;
}

bool SqliteDriver::finishStream() {
  if (!streaming_) return true;
  streaming_ = false;
  own_.resetAll();
  stmt_ = nullptr;
  quiesceSiblings();
  if (sqlite3_get_autocommit(own_.db)) return true;
  return exec("COMMIT");
}

bool SqliteDriver::flush() {
  if (!finishStream()) return false;
  clearError();
  return true;
}

bool SqliteDriver::option(std::string_view name, std::string_view value) {
  auto is = [](std::string_view a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
  };
  bool on = is(value, "ON") || value == "1" || is(value, "TRUE");
  bool off = is(value, "OFF") || value == "0" || is(value, "FALSE");
  if (!on && !off) {
    setError(ErrInvalidOption, file_.name(), std::string(name) + "=" + std::string(value));
    return false;
  }
  if (is(name, "FULLBUILD")) {
    fullBuild_ = on;
  } else if (is(name, "QUICKSCAN")) {
    // Long sequential reads and bulk writes: give the connection a larger page cache.
    quickScan_ = on;
    if (own_.db) exec(on ? "PRAGMA cache_size = -16384" : "PRAGMA cache_size = -2000");
  } else {
    setError(ErrInvalidOption, file_.name(), std::string(name));
    return false;
  }
  clearError();
  return true;
}

bool SqliteDriver::get(int key) {
  const FileDecl& d = file_.decl();
  const KeyDesc& k = d.keys[key];
  std::vector<FieldValue> vals = keyValues(key, int(k.parts.size()));
  if (k.excludeEmpty) {
    bool allEmpty = true;
    for (const FieldValue& v : vals) {
      if (auto i = std::get_if<int64_t>(&v); i && *i != 0) allEmpty = false;
      if (auto r = std::get_if<double>(&v); r && *r != 0) allEmpty = false;
      if (auto s = std::get_if<std::string>(&v); s && !s->empty()) allEmpty = false;
    }
    if (allEmpty) {
      setError(ErrNotFound, file_.name());
      return false;
    }
  }
  sqlite3_stmt* st = cur_->prepareFast(100 + uint32_t(key), [&] {
    std::string where;
    for (size_t i = 0; i < k.parts.size(); ++i)
      where += (i ? " AND " : " WHERE ") + componentExpr(key, int(i)) + " = ?";
    std::string p = partialCond(key);
    if (!p.empty()) where += " AND " + p;
    return "SELECT " + selectList() + " FROM " + table() + where + " ORDER BY qv_pos LIMIT 1";
  });
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  for (size_t i = 0; i < vals.size(); ++i) bindValue(st, int(i) + 1, vals[i]);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    curPos_ = sqlite3_column_int64(st, 0);
    loadRow(st, 1);
    sqlite3_reset(st);
    clearError();
    return true;
  }
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  setError(ErrNotFound, file_.name());
  return false;
}

bool SqliteDriver::getPosition(int64_t pos) {
  sqlite3_stmt* st =
      cur_->prepareFast(4, [&] { return "SELECT " + selectList() + " FROM " + table() + " WHERE qv_pos = ?"; });
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  sqlite3_bind_int64(st, 1, pos);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    curPos_ = pos;
    loadRow(st, 1);
    sqlite3_reset(st);
    clearError();
    return true;
  }
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  setError(ErrNotFound, file_.name());
  return false;
}

bool SqliteDriver::add() {
  if (!beforeWrite(true)) return false;
  const FileDecl& d = file_.decl();
  sqlite3_stmt* st = cur_->prepareFast(1, [&] {
    std::string cols, params;
    bool first = true;
    for (size_t i = 0; i < d.fields.size(); ++i)
      for (uint32_t e = 0; e < d.fields[i].dim; ++e) {
        cols += (first ? "" : ", ") + quoted(d.columnName(int(i), e));
        params += first ? "?" : ", ?";
        first = false;
      }
    return "INSERT INTO " + table() + "(" + cols + ") VALUES(" + params + ")";
  });
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  bindRow(st, 1);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  curPos_ = sqlite3_last_insert_rowid(cur_->db);
  if (count_ >= 0) ++count_;
  ++gen_;
  clearError();
  return true;
}

bool SqliteDriver::append() {
  if (!beforeWrite(true)) return false;
  if (!appendMode_) {
    if (cur_ == &own_) own_.resetAll();
    if (!dropSecondaryKeys()) return false;
    appendMode_ = true;
  }
  return add();
}

bool SqliteDriver::put() {
  if (!beforeWrite(true)) return false;
  if (curPos_ == 0) {
    setError(ErrNotAvailable, file_.name(), "no current record");
    return false;
  }
  if (heldByOther(curPos_)) {
    setError(ErrHeld, file_.name());
    return false;
  }
  const FileDecl& d = file_.decl();
  sqlite3_stmt* st = cur_->prepareFast(2, [&] {
    std::string sets;
    bool first = true;
    for (size_t i = 0; i < d.fields.size(); ++i)
      for (uint32_t e = 0; e < d.fields[i].dim; ++e) {
        sets += (first ? "" : ", ") + quoted(d.columnName(int(i), e)) + " = ?";
        first = false;
      }
    return "UPDATE " + table() + " SET " + sets + " WHERE qv_pos = ?";
  });
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  int param = bindRow(st, 1);
  sqlite3_bind_int64(st, param, curPos_);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  if (sqlite3_changes(cur_->db) == 0) {
    setError(ErrNotAvailable, file_.name(), "the record no longer exists");
    return false;
  }
  ++gen_;
  clearError();
  return true;
}

bool SqliteDriver::remove() {
  if (!beforeWrite(true)) return false;
  if (curPos_ == 0) {
    setError(ErrNotAvailable, file_.name(), "no current record");
    return false;
  }
  if (heldByOther(curPos_)) {
    setError(ErrHeld, file_.name());
    return false;
  }
  sqlite3_stmt* st = cur_->prepareFast(3, [&] { return "DELETE FROM " + table() + " WHERE qv_pos = ?"; });
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  sqlite3_bind_int64(st, 1, curPos_);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  if (sqlite3_changes(cur_->db) == 0) {
    setError(ErrNotAvailable, file_.name(), "the record no longer exists");
    return false;
  }
  forgetHold(path_, curPos_);
  if (count_ > 0) --count_;
  curPos_ = 0;
  ++gen_;
  clearError();
  return true;
}

}  // namespace qv
