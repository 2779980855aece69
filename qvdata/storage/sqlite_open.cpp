// Opening, creating and closing keyed files on SQLite, and the check of the
// layout a file was written under.
//
// Rules:
// - A file opens only under the layout it was created with: the stored
//   layout signature must equal the declaration's, else ErrLayout. The
//   owner password must match the stored check value, else ErrAccessDenied.
// - Key declarations may change: a writer rebuilds the indexes to follow
//   them on open; a reader reads the file as it is.
// - A file whose keys wait for a rebuild opens only read-only (ErrBadKeys
//   for a writer, which then rebuilds them).
// - A failed open leaves nothing behind: the connection is closed and the
//   registries are not touched; a failed create removes the half-made file.
// - Every file created is private to its owner (0600).
// - A read-only open of a file that a killed writer left with its journal
//   rolls the journal back first where this process may write the file;
//   where it may not, the open fails with ErrInterrupted (the job must be
//   run again where the file can be written).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "storage/collation.h"
#include "storage/private_files.h"
#include "storage/sqlite_driver.h"
#include "storage/sqlite_registry.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

uint64_t fnv1a(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

std::string ownerPasswordCheck(const std::string& password) {
  if (password.empty()) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016llx",
                static_cast<unsigned long long>(fnv1a("quorvane-owner:" + password)));
  return buf;
}

bool SqliteDriver::setMeta(const std::string& name, const std::string& value) {
  sqlite3_stmt* st = cur_->prepare("INSERT OR REPLACE INTO " + quoted(cur_->schema) +
                                   ".qv_meta(name, value) VALUES(?, ?)");
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, value.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  return true;
}

int readMetaValue(sqlite3_stmt* st, const std::string& name, std::string& value, bool& found) {
  found = false;
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    value = t ? reinterpret_cast<const char*>(t) : "";
    found = true;
  }
  sqlite3_reset(st);
  return rc;
}

bool SqliteDriver::getMeta(const std::string& name, std::string& value, bool& found) {
  found = false;
  sqlite3_stmt* st = cur_->prepare("SELECT value FROM " + quoted(cur_->schema) + ".qv_meta WHERE name=?");
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  int rc = readMetaValue(st, name, value, found);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  return true;
}

bool SqliteDriver::createTableAndKeys() {
  const FileDecl& d = file_.decl();
  std::string s = "CREATE TABLE " + table() + " (qv_pos INTEGER PRIMARY KEY" +
                  (d.reusePositions ? "" : " AUTOINCREMENT");
  for (size_t i = 0; i < d.fields.size(); ++i) {
    const FieldDesc& f = d.fields[i];
    const char* type = f.type == FieldType::String || f.type == FieldType::Memo ? "TEXT NOT NULL DEFAULT ''"
                       : f.type == FieldType::Real                             ? "REAL NOT NULL DEFAULT 0"
                                                                               : "INTEGER NOT NULL DEFAULT 0";
    for (uint32_t e = 0; e < f.dim; ++e) s += ", " + quoted(d.columnName(int(i), e)) + " " + type;
  }
  s += ")";
  if (!exec(s)) return false;
  if (!exec("CREATE TABLE " + quoted(cur_->schema) + ".qv_meta(name TEXT PRIMARY KEY, value TEXT)")) return false;
  for (size_t k = 0; k < d.keys.size(); ++k) {
    if (d.keys[k].onDemand) continue;
    if (!exec(createIndexSql(int(k)))) return false;
  }
  return true;
}

int openSqliteConnection(const std::string& name, int flags, sqlite3*& db) {
  usePrivateSqliteFiles();
  db = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    reportSqliteFailure(name, rc, db);
    if (db) sqlite3_close_v2(db);
    db = nullptr;
    return rc;
  }
  sqlite3_extended_result_codes(db, 1);
  registerCollations(db);
  sqlite3_busy_timeout(db, 5000);
  return SQLITE_OK;
}

bool admitSqliteOpen(const std::string& name, Share share) {
  Err e = checkSqlitePath(name, true);
  if (e != ErrNone) {
    setError(e, name);
    return false;
  }
  bool ro = share == Share::ReadOnly;
  if (ro) rollBackInterruptedWrite(name);
  if (!ro && ::access(name.c_str(), W_OK) != 0) {
    setError(ErrAccessDenied, name);
    return false;
  }
  if (!shareAdmits(canonicalPath(name), share)) {
    setError(ErrAccessDenied, name, "the file is in use");
    return false;
  }
  return true;
}

bool SqliteDriver::openConnection(int flags) {
  sqlite3* db = nullptr;
  int rc = openSqliteConnection(file_.name(), flags, db);
  if (rc != SQLITE_OK) {
    if ((rc & 0xFF) == SQLITE_CORRUPT) suspect_ = true;
    return false;
  }
  if (file_.decl().scratch) {
    // Emptied before every use: nothing to keep safe across a crash.
    sqlite3_exec(db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY", nullptr, nullptr, nullptr);
  }
  if (file_.decl().heldWhileOpen) sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr);
  own_.db = db;
  own_.schema = "main";
  cur_ = &own_;
  return true;
}

// Checks the name and its directory before SQLite sees it, so that the
// caller learns which of the usual open failures it met.
Err checkSqlitePath(const std::string& name, bool mustExist) {
  if (name.empty() || name.find('\0') != std::string::npos || name.back() == '/') return ErrInvalidFileName;
  fs::path p(name);
  if (p.filename().string().size() > 255) return ErrInvalidFileName;
  std::error_code ec;
  fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  if (!fs::is_directory(dir, ec)) return ErrPathNotFound;
  if (!mustExist) return ErrNone;
  if (!fs::exists(p, ec)) return ErrFileNotFound;
  if (fs::is_directory(p, ec)) return ErrInvalidFileName;
  if (::access(name.c_str(), R_OK) != 0) return ErrAccessDenied;
  // An empty file (a creation cut short) holds nothing: it counts as missing.
  if (fs::file_size(p, ec) == 0 && !ec) return ErrFileNotFound;
  return ErrNone;
}

void rollBackInterruptedWrite(const std::string& name) {
  std::error_code ec;
  if (!fs::exists(name + "-journal", ec)) return;
  fs::path p(name);
  std::string dir = p.has_parent_path() ? p.parent_path().string() : ".";
  if (::access(name.c_str(), W_OK) != 0 || ::access(dir.c_str(), W_OK | X_OK) != 0) return;
  usePrivateSqliteFiles();
  sqlite3* db = nullptr;
  // The first read of a connection that may write plays a hot journal back.
  if (sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  }
  if (db) sqlite3_close_v2(db);
}

bool SqliteDriver::open(Share share, const std::string& password) {
  if (!admitSqliteOpen(file_.name(), share)) return false;
  bool ro = share == Share::ReadOnly;
  std::string key = canonicalPath(file_.name());
  if (!openConnection(ro ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE)) return false;

  auto abandon = [&]() {
    int code = ErrorCode();
    std::string text = ErrorText();
    own_.finalizeAll();
    sqlite3_close_v2(own_.db);
    own_.db = nullptr;
    setError(static_cast<Err>(code), file_.name());
    if (code == ErrOther) setError(ErrOther, file_.name(), text);
    return false;
  };

  // The stored layout must be this declaration's.
  std::string layout, keys, owner, pending;
  bool found = false, keysFound = false, ownerFound = false, pendingFound = false;
  sqlite3_stmt* probe = nullptr;
  int rc = sqlite3_prepare_v2(own_.db, "SELECT name FROM sqlite_schema WHERE type='table' AND name='qv_meta'", -1,
                              &probe, nullptr);
  bool hasMeta = false;
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(probe);
    hasMeta = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  if (probe) sqlite3_finalize(probe);
  if (rc != SQLITE_OK) {
    fail(sqlite3_extended_errcode(own_.db), own_.db);
    if (ErrorCode() == ErrBadKeys || ErrorCode() == ErrOther) setError(ErrLayout, file_.name(), "damaged file");
    return abandon();
  }
  if (!hasMeta) {
    setError(ErrLayout, file_.name(), "not a file of this kind");
    return abandon();
  }
  if (!getMeta("layout", layout, found) || !getMeta("keys", keys, keysFound) ||
      !getMeta("owner", owner, ownerFound) || !getMeta("keys_pending", pending, pendingFound)) {
    setError(ErrLayout, file_.name(), "damaged file");
    return abandon();
  }
  if (!found || layout != file_.decl().layoutSignature()) {
    setError(ErrLayout, file_.name());
    return abandon();
  }
  if (owner != ownerPasswordCheck(password)) {
    setError(ErrAccessDenied, file_.name(), "owner password");
    return abandon();
  }
  // Keys waiting for a rebuild (an append under way elsewhere, or cut short)
  // are rebuilt by a writer; a read-only open reads the file as it is, since
  // every walk gives the same order without the indexes, only slower.
  if (pendingFound && pending == "1") {
    suspect_ = true;
    if (!ro) {
      setError(ErrBadKeys, file_.name());
      return abandon();
    }
  }
  share_ = share;
  password_ = password;
  if (keys != file_.decl().keySignature() && !ro) {
    // The declaration's keys changed: make the stored indexes follow it.
    storedKeys_ = keys;
    bool built = buildKeys();
    storedKeys_.clear();
    if (!built) return abandon();
  }
  enlistDriver(key, share, this);
  path_ = key;
  static uint64_t opens = 0;
  openSerial_ = ++opens;
  onDemandLive_ = false;
  for (size_t k = 0; k < file_.decl().keys.size(); ++k)
    if (file_.decl().keys[k].onDemand && indexExists(int(k))) onDemandLive_ = true;
  appendMode_ = false;
  streaming_ = false;
  count_ = -1;
  curPos_ = 0;
  curKey_ = -2;
  stmt_ = nullptr;
  haveLast_ = false;
  clearError();
  return true;
}

void SqliteDriver::close() {
  if (!own_.db) return;
  if (cur_ == &txn_) rollbackTransaction();
  changedOutsideTransaction();
  if (streaming_) finishStream();
  if (appendMode_) buildKeys();
  release();
  delistDriver(path_, share_, this);
  path_.clear();
  own_.finalizeAll();
  sqlite3_close_v2(own_.db);
  own_.db = nullptr;
  stmt_ = nullptr;
  curKey_ = -2;
  curPos_ = 0;
}

bool SqliteDriver::create() {
  Err e = checkSqlitePath(file_.name(), false);
  if (e != ErrNone) {
    setError(e, file_.name());
    return false;
  }
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(file_.name() + suffix, ec);
  // Archive files hold private mail: only the owner may read them (the
  // private file system creates them so).
  if (!openConnection(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) return false;
  uint32_t pageSize = file_.decl().pageSize;
  bool done = (pageSize == 0 || exec("PRAGMA page_size = " + std::to_string(pageSize))) && exec("BEGIN") && createTableAndKeys() && setMeta("layout", file_.decl().layoutSignature()) &&
              setMeta("keys", file_.decl().keySignature()) && setMeta("owner", ownerPasswordCheck(file_.decl().password)) &&
              exec("COMMIT");
  int code = ErrorCode();
  std::string text = ErrorText();
  own_.finalizeAll();
  sqlite3_close_v2(own_.db);
  own_.db = nullptr;
  ::chmod(file_.name().c_str(), 0600);
  if (!done) {
    setError(static_cast<Err>(code), file_.name());
    if (code == ErrOther) setError(ErrOther, file_.name(), text);
    fs::remove(file_.name(), ec);
    return false;
  }
  clearError();
  return true;
}

// Deleting every row reads every page of the file, which for an import's
// temporary files may be gigabytes; a scratch file open through this driver
// alone is made anew instead, and opened again as it was.
bool SqliteDriver::remakeScratch() {
  Share share = share_;
  std::string password = password_;
  close();
  return create() && open(share, password);
}

int64_t storedRecordCount(const std::string& path, const std::string& table) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    if (db) sqlite3_close_v2(db);
    return -1;
  }
  int64_t n = -1;
  sqlite3_stmt* st = nullptr;
  std::string sql = "SELECT count(*) FROM \"" + table + "\"";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    n = sqlite3_column_int64(st, 0);
  if (st) sqlite3_finalize(st);
  sqlite3_close_v2(db);
  return n;
}

}  // namespace qv
