#include "storage/sqlite_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "storage/collation.h"
#include "storage/private_files.h"

namespace fs = std::filesystem;

namespace qv {

// ---------------------------------------------------------------------------
// Process-wide registries: record holds and share modes, by file path.

namespace {

std::mutex registryMutex;

struct HoldEntry {
  int holder;
  const SqliteDriver* driver;
};
std::map<std::pair<std::string, int64_t>, HoldEntry>& holds() {
  static std::map<std::pair<std::string, int64_t>, HoldEntry> h;
  return h;
}

struct ShareEntry {
  int readers = 0;     // ReadOnly opens
  int writers = 0;     // Shared opens
  int denyWrite = 0;   // DenyWrite opens
  int exclusive = 0;   // Exclusive opens
};
std::map<std::string, ShareEntry>& shares() {
  static std::map<std::string, ShareEntry> s;
  return s;
}

std::string canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(path), ec);
  return ec ? path : p.string();
}

bool shareAllowed(const ShareEntry& e, Share s) {
  int others = e.readers + e.writers + e.denyWrite + e.exclusive;
  if (e.exclusive) return false;
  switch (s) {
    case Share::Exclusive: return others == 0;
    case Share::DenyWrite: return e.writers == 0 && e.denyWrite == 0;
    case Share::Shared: return e.denyWrite == 0;
    case Share::ReadOnly: return true;
  }
  return false;
}

void shareCount(ShareEntry& e, Share s, int delta) {
  switch (s) {
    case Share::Exclusive: e.exclusive += delta; break;
    case Share::DenyWrite: e.denyWrite += delta; break;
    case Share::Shared: e.writers += delta; break;
    case Share::ReadOnly: e.readers += delta; break;
  }
}

// The drivers open on each file, so that a write through one of them can
// end the read statements of the others (an open read keeps the file locked
// against writers) and tell them that their cached counts and walks are stale.
std::map<std::string, std::set<SqliteDriver*>>& openDrivers() {
  static std::map<std::string, std::set<SqliteDriver*>> m;
  return m;
}
// Number of files open through more than one driver; while 0, writes need not
// look for siblings.
std::atomic<int> sharedFiles{0};

thread_local int holderId = 0;

uint64_t fnv1a(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string ownerCheck(const std::string& password) {
  if (password.empty()) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016llx",
                static_cast<unsigned long long>(fnv1a("quorvane-owner:" + password)));
  return buf;
}

}  // namespace

int currentHolder() {
  if (holderId == 0) {
    static std::atomic<int> nextThread{1000000};
    holderId = nextThread++;
  }
  return holderId;
}
void setCurrentHolder(int holder) { holderId = holder; }

// ---------------------------------------------------------------------------
// SqlConn

sqlite3_stmt* SqlConn::prepare(const std::string& sql) {
  auto it = stmts.find(sql);
  if (it != stmts.end()) {
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    return it->second;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
    return nullptr;
  stmts.emplace(sql, st);
  return st;
}

void SqlConn::resetAll() {
  for (auto& [sql, st] : stmts) sqlite3_reset(st);
  for (auto& [id, st] : fast) sqlite3_reset(st);
}

void SqlConn::finalizeAll() {
  for (auto& [sql, st] : stmts) sqlite3_finalize(st);
  stmts.clear();
  for (auto& [id, st] : fast) sqlite3_finalize(st);
  fast.clear();
}

// ---------------------------------------------------------------------------

std::unique_ptr<Driver> makeSqliteDriver(File& f, bool older) {
  return std::make_unique<SqliteDriver>(f, older);
}

SqliteDriver::SqliteDriver(File& f, bool older) : Driver(f), older_(older) {}

SqliteDriver::~SqliteDriver() { close(); }

bool SqliteDriver::fail(int rc, sqlite3* db) {
  int base = rc & 0xFF;
  std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (base) {
    case SQLITE_CONSTRAINT:
      if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
        setError(ErrDuplicateKey, file_.name());
        return false;
      }
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: setError(ErrHeld, file_.name(), "the file is locked"); return false;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: setError(ErrAccessDenied, file_.name()); return false;
    case SQLITE_FULL: setError(ErrDiskFull, file_.name()); return false;
    case SQLITE_NOTADB: setError(ErrLayout, file_.name(), "not a file of this kind"); return false;
    case SQLITE_CORRUPT:
      suspect_ = true;
      setError(ErrBadKeys, file_.name(), text);
      return false;
    case SQLITE_CANTOPEN: setError(ErrFileNotFound, file_.name(), text); return false;
    default: break;
  }
  setError(ErrOther, file_.name(), text);
  return false;
}

bool SqliteDriver::exec(const std::string& sql) {
  char* msg = nullptr;
  int rc = sqlite3_exec(cur_->db, sql.c_str(), nullptr, nullptr, &msg);
  if (msg) sqlite3_free(msg);
  if (rc != SQLITE_OK) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  return true;
}

std::string SqliteDriver::table() const { return quoted(cur_->schema) + "." + quoted(file_.decl().label); }

std::string SqliteDriver::componentExpr(int key, int part) const {
  const FileDecl& d = file_.decl();
  const KeyDesc& k = d.keys[key];
  const FieldDesc& f = d.fields[k.parts[part].field];
  std::string e = quoted(d.columnName(k.parts[part].field, 0));
  if (k.nocase && f.type == FieldType::String) e += std::string(" COLLATE ") + kNoCaseCollation;
  return e;
}

std::string SqliteDriver::partialCond(int key) const {
  const FileDecl& d = file_.decl();
  const KeyDesc& k = d.keys[key];
  if (!k.excludeEmpty) return "";
  std::string s = "(";
  for (size_t i = 0; i < k.parts.size(); ++i) {
    const FieldDesc& f = d.fields[k.parts[i].field];
    if (i) s += " OR ";
    s += quoted(d.columnName(k.parts[i].field, 0)) + (f.type == FieldType::String ? " <> ''" : " <> 0");
  }
  return s + ")";
}

std::string SqliteDriver::indexName(int key) const {
  return file_.decl().prefix + "_" + file_.decl().keys[key].name;
}

std::string SqliteDriver::createIndexSql(int key) const {
  const FileDecl& d = file_.decl();
  const KeyDesc& k = d.keys[key];
  std::string s = std::string("CREATE ") + (k.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " +
                  quoted(cur_->schema) + "." + quoted(indexName(key)) + " ON " + quoted(d.label) + "(";
  for (size_t i = 0; i < k.parts.size(); ++i) {
    if (i) s += ", ";
    s += componentExpr(key, static_cast<int>(i)) + (k.parts[i].descending ? " DESC" : "");
  }
  s += ")";
  std::string p = partialCond(key);
  if (!p.empty()) s += " WHERE " + p;
  return s;
}

std::string SqliteDriver::selectList() const {
  const FileDecl& d = file_.decl();
  std::string s = "qv_pos";
  for (size_t i = 0; i < d.fields.size(); ++i)
    for (uint32_t e = 0; e < d.fields[i].dim; ++e) s += ", " + quoted(d.columnName(int(i), e));
  return s;
}

bool SqliteDriver::indexExists(int key) {
  sqlite3_stmt* st = cur_->prepare("SELECT 1 FROM " + quoted(cur_->schema) +
                                   ".sqlite_schema WHERE type='index' AND name=?");
  if (!st) return false;
  std::string n = indexName(key);
  sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
  bool found = sqlite3_step(st) == SQLITE_ROW;
  sqlite3_reset(st);
  return found;
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

bool SqliteDriver::getMeta(const std::string& name, std::string& value, bool& found) {
  found = false;
  sqlite3_stmt* st = cur_->prepare("SELECT value FROM " + quoted(cur_->schema) + ".qv_meta WHERE name=?");
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    value = t ? reinterpret_cast<const char*>(t) : "";
    found = true;
  }
  sqlite3_reset(st);
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

bool SqliteDriver::dropSecondaryKeys() {
  const FileDecl& d = file_.decl();
  for (size_t k = 0; k < d.keys.size(); ++k) {
    if (d.keys[k].primary) continue;
    if (!exec("DROP INDEX IF EXISTS " + quoted(cur_->schema) + "." + quoted(indexName(int(k))))) return false;
  }
  return setMeta("keys_pending", "1");
}

bool SqliteDriver::openConnection(int flags) {
  usePrivateSqliteFiles();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(file_.name().c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    fail(rc, db);
    if (db) sqlite3_close_v2(db);
    return false;
  }
  sqlite3_extended_result_codes(db, 1);
  registerCollations(db);
  sqlite3_busy_timeout(db, 5000);
  if (file_.decl().scratch) {
    // Emptied before every use: nothing to keep safe across a crash.
    sqlite3_exec(db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY", nullptr, nullptr, nullptr);
  }
  own_.db = db;
  own_.schema = "main";
  cur_ = &own_;
  return true;
}

namespace {
// Checks the name and its directory before SQLite sees it, so that the
// caller learns which of the usual open failures it met.
Err checkPath(const std::string& name, bool mustExist) {
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
}  // namespace

bool SqliteDriver::open(Share share, const std::string& password) {
  Err e = checkPath(file_.name(), true);
  if (e != ErrNone) {
    setError(e, file_.name());
    return false;
  }
  bool ro = share == Share::ReadOnly;
  if (!ro && ::access(file_.name().c_str(), W_OK) != 0) {
    setError(ErrAccessDenied, file_.name());
    return false;
  }
  std::string key = canonical(file_.name());
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (!shareAllowed(shares()[key], share)) {
      setError(ErrAccessDenied, file_.name(), "the file is in use");
      return false;
    }
  }
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
  if (owner != ownerCheck(password)) {
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
  if (keys != file_.decl().keySignature() && !ro) {
    // The declaration's keys changed: make the stored indexes follow it.
    storedKeys_ = keys;
    bool built = buildKeys();
    storedKeys_.clear();
    if (!built) return abandon();
  }
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    shareCount(shares()[key], share, +1);
    auto& set = openDrivers()[key];
    set.insert(this);
    if (set.size() == 2) ++sharedFiles;
    path_ = key;
  }
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
  if (streaming_) finishStream();
  if (appendMode_) buildKeys();
  release();
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto& h = holds();
    for (auto it = h.begin(); it != h.end();)
      it = it->second.driver == this ? h.erase(it) : std::next(it);
    std::string key = canonical(file_.name());
    auto od = openDrivers().find(key);
    if (od != openDrivers().end()) {
      if (od->second.erase(this) && od->second.size() == 1) --sharedFiles;
      if (od->second.empty()) openDrivers().erase(od);
    }
    auto it = shares().find(key);
    if (it != shares().end()) {
      shareCount(it->second, share_, -1);
      const ShareEntry& e = it->second;
      if (e.readers + e.writers + e.denyWrite + e.exclusive == 0) shares().erase(it);
    }
  }
  own_.finalizeAll();
  sqlite3_close_v2(own_.db);
  own_.db = nullptr;
  stmt_ = nullptr;
  curKey_ = -2;
  curPos_ = 0;
}

bool SqliteDriver::create() {
  Err e = checkPath(file_.name(), false);
  if (e != ErrNone) {
    setError(e, file_.name());
    return false;
  }
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(file_.name() + suffix, ec);
  // Archive files hold private mail: only the owner may read them (the
  // private file system creates them so).
  if (!openConnection(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) return false;
  bool done = exec("BEGIN") && createTableAndKeys() && setMeta("layout", file_.decl().layoutSignature()) &&
              setMeta("keys", file_.decl().keySignature()) && setMeta("owner", ownerCheck(file_.decl().password)) &&
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

void SqliteDriver::quiesceSiblings() {
  if (sharedFiles.load(std::memory_order_relaxed) == 0) return;
  std::vector<SqliteDriver*> others;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = openDrivers().find(path_);
    if (it == openDrivers().end()) return;
    for (SqliteDriver* d : it->second)
      if (d != this) others.push_back(d);
  }
  for (SqliteDriver* d : others) d->yieldReads();
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

void SqliteDriver::touchOnDemand() {
  if (!onDemandLive_) return;
  const FileDecl& d = file_.decl();
  for (size_t k = 0; k < d.keys.size(); ++k)
    if (d.keys[k].onDemand) exec("DROP INDEX IF EXISTS " + quoted(cur_->schema) + "." + quoted(indexName(int(k))));
  onDemandLive_ = false;
}

bool SqliteDriver::empty() {
  if (!beforeWrite(true)) return false;
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
  if (!exec("VACUUM")) return false;
  ++gen_;
  clearError();
  return true;
}

namespace {
// A single key's signature is one of those in a stored key signature.
bool declaredIn(const std::string& stored, const std::string& key) {
  for (size_t from = 0; from < stored.size();) {
    size_t end = stored.find(';', from);
    if (end == std::string::npos) end = stored.size();
    if (stored.compare(from, end - from, key) == 0) return true;
    from = end + 1;
  }
  return false;
}
}  // namespace

bool SqliteDriver::buildKeys() {
  bool temporary = false;
  if (!own_.db) {
    // Building the keys of a closed file: open it just for this.
    if (checkPath(file_.name(), true) != ErrNone) {
      setError(checkPath(file_.name(), true), file_.name());
      return false;
    }
    if (!openConnection(SQLITE_OPEN_READWRITE)) return false;
    temporary = true;
  }
  if (readOnly()) {
    setError(ErrAccessDenied, file_.name(), "opened read-only");
    return false;
  }
  const FileDecl& d = file_.decl();
  bool ownTxn = cur_ == &own_ && sqlite3_get_autocommit(own_.db);
  if (cur_ == &own_) own_.resetAll();
  if (!temporary) quiesceSiblings();
  bool ok = !ownTxn || exec("BEGIN IMMEDIATE");
  if (ok) {
    // Drop the indexes the file has that the declaration no longer names.
    std::set<std::string> wanted;
    for (size_t k = 0; k < d.keys.size(); ++k) wanted.insert(indexName(int(k)));
    std::vector<std::string> stale;
    sqlite3_stmt* st = nullptr;
    std::string q = "SELECT name FROM " + quoted(cur_->schema) +
                    ".sqlite_schema WHERE type='index' AND tbl_name=? AND sql IS NOT NULL";
    if (sqlite3_prepare_v2(cur_->db, q.c_str(), -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, d.label.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(st) == SQLITE_ROW) {
        std::string n = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        if (!wanted.count(n)) stale.push_back(n);
      }
      sqlite3_finalize(st);
    }
    for (const std::string& n : stale)
      ok = ok && exec("DROP INDEX IF EXISTS " + quoted(cur_->schema) + "." + quoted(n));
    for (size_t k = 0; ok && k < d.keys.size(); ++k) {
      bool exists = indexExists(int(k));
      if (exists && !storedKeys_.empty() && !declaredIn(storedKeys_, d.keySignature(k))) {
        // The index was made under another declaration of the key.
        ok = exec("DROP INDEX " + quoted(cur_->schema) + "." + quoted(indexName(int(k))));
        exists = false;
      }
      if (!ok) break;
      if (exists && (fullBuild_ || suspect_)) {
        ok = exec("REINDEX " + quoted(cur_->schema) + "." + quoted(indexName(int(k))));
      } else if (!exists) {
        ok = exec(createIndexSql(int(k)));
      }
    }
    ok = ok && setMeta("keys", d.keySignature()) && setMeta("keys_pending", "0");
    if (ownTxn) {
      if (ok)
        ok = exec("COMMIT");
      else
        sqlite3_exec(own_.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
  }
  if (ok) {
    appendMode_ = false;
    suspect_ = false;
    onDemandLive_ = false;
    for (size_t k = 0; k < d.keys.size(); ++k)
      if (d.keys[k].onDemand) onDemandLive_ = true;
    ++gen_;
  }
  if (temporary) {
    int code = ErrorCode();
    std::string text = ErrorText();
    own_.finalizeAll();
    sqlite3_close_v2(own_.db);
    own_.db = nullptr;
    if (!ok) {
      setError(static_cast<Err>(code), file_.name());
      if (code == ErrOther) setError(ErrOther, file_.name(), text);
    }
  }
  if (ok) clearError();
  return ok;
}

bool SqliteDriver::buildKey(int key) {
  if (readOnly()) {
    setError(ErrAccessDenied, file_.name(), "opened read-only");
    return false;
  }
  if (indexExists(key) && !appendMode_) {
    setError(ErrKeyBuilt, file_.name());
    return false;
  }
  if (cur_ == &own_) own_.resetAll();
  if (!exec(createIndexSql(key))) return false;
  if (file_.decl().keys[key].onDemand) onDemandLive_ = true;
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

// ---------------------------------------------------------------------------
// Moving data between the record buffer and statements.

void SqliteDriver::loadRow(sqlite3_stmt* st, int col) {
  const FileDecl& d = file_.decl();
  char* base = static_cast<char*>(d.buffer);
  for (const FieldDesc& f : d.fields) {
    for (uint32_t e = 0; e < f.dim; ++e, ++col) {
      char* p = base + f.offset + e * f.stride;
      switch (f.type) {
        case FieldType::Byte: *reinterpret_cast<uint8_t*>(p) = uint8_t(sqlite3_column_int64(st, col)); break;
        case FieldType::Long: *reinterpret_cast<int32_t*>(p) = int32_t(sqlite3_column_int64(st, col)); break;
        case FieldType::ULong: *reinterpret_cast<uint32_t*>(p) = uint32_t(sqlite3_column_int64(st, col)); break;
        case FieldType::Real: *reinterpret_cast<double*>(p) = sqlite3_column_double(st, col); break;
        case FieldType::String: {
          const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
          size_t n = t ? size_t(sqlite3_column_bytes(st, col)) : 0;
          if (n > f.size) n = utf8CutLength(std::string_view(t, n), f.size);
          if (n) std::memcpy(p, t, n);
          std::memset(p + n, ' ', f.size - n);
          break;
        }
        case FieldType::Memo: {
          const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
          reinterpret_cast<std::string*>(p)->assign(t ? t : "", t ? size_t(sqlite3_column_bytes(st, col)) : 0);
          break;
        }
      }
    }
  }
}

int SqliteDriver::bindRow(sqlite3_stmt* st, int param) {
  const FileDecl& d = file_.decl();
  const char* base = static_cast<const char*>(d.buffer);
  for (const FieldDesc& f : d.fields) {
    for (uint32_t e = 0; e < f.dim; ++e, ++param) {
      const char* p = base + f.offset + e * f.stride;
      switch (f.type) {
        case FieldType::Byte: sqlite3_bind_int64(st, param, *reinterpret_cast<const uint8_t*>(p)); break;
        case FieldType::Long: sqlite3_bind_int64(st, param, *reinterpret_cast<const int32_t*>(p)); break;
        case FieldType::ULong: sqlite3_bind_int64(st, param, *reinterpret_cast<const uint32_t*>(p)); break;
        case FieldType::Real: sqlite3_bind_double(st, param, *reinterpret_cast<const double*>(p)); break;
        case FieldType::String: {
          std::string_view v = trimRight(std::string_view(p, f.size));
          sqlite3_bind_text(st, param, v.data(), int(v.size()), SQLITE_STATIC);
          break;
        }
        case FieldType::Memo: {
          const std::string& m = *reinterpret_cast<const std::string*>(p);
          size_t n = m.size() <= f.size ? m.size() : utf8CutLength(m, f.size);
          sqlite3_bind_text(st, param, m.data(), int(n), SQLITE_STATIC);
          break;
        }
      }
    }
  }
  return param;
}

void SqliteDriver::bindValue(sqlite3_stmt* st, int param, const FieldValue& v) {
  if (auto i = std::get_if<int64_t>(&v))
    sqlite3_bind_int64(st, param, *i);
  else if (auto r = std::get_if<double>(&v))
    sqlite3_bind_double(st, param, *r);
  else {
    const std::string& s = std::get<std::string>(v);
    sqlite3_bind_text(st, param, s.data(), int(s.size()), SQLITE_TRANSIENT);
  }
}

void SqliteDriver::keepKeyValues(int key, std::vector<FieldValue>& out) const {
  const FileDecl& d = file_.decl();
  const KeyDesc& k = d.keys[key];
  out.resize(k.parts.size());
  const char* base = static_cast<const char*>(d.buffer);
  for (size_t i = 0; i < k.parts.size(); ++i) {
    const FieldDesc& f = d.fields[k.parts[i].field];
    const char* p = base + f.offset;
    switch (f.type) {
      case FieldType::Byte: out[i] = int64_t(*reinterpret_cast<const uint8_t*>(p)); break;
      case FieldType::Long: out[i] = int64_t(*reinterpret_cast<const int32_t*>(p)); break;
      case FieldType::ULong: out[i] = int64_t(*reinterpret_cast<const uint32_t*>(p)); break;
      case FieldType::Real: out[i] = *reinterpret_cast<const double*>(p); break;
      default: {
        std::string_view v = f.type == FieldType::String ? trimRight(std::string_view(p, f.size))
                                                          : std::string_view(*reinterpret_cast<const std::string*>(p));
        if (auto* str = std::get_if<std::string>(&out[i]))
          str->assign(v.data(), v.size());
        else
          out[i] = std::string(v);
        break;
      }
    }
  }
}

std::vector<FieldValue> SqliteDriver::keyValues(int key, int components) const {
  const FileDecl& d = file_.decl();
  const KeyDesc& k = d.keys[key];
  std::vector<FieldValue> v;
  for (int i = 0; i < components && i < int(k.parts.size()); ++i) v.push_back(getField(d, k.parts[i].field, 0));
  return v;
}

// ---------------------------------------------------------------------------
// Walking in key order.
//
// A walk from a seek point is a sequence of range queries ("levels"), each of
// which the key's index answers directly: first the records whose key equals
// the seek value in all given components, then those equal in one component
// fewer and after it in the next, and so on up to the first component.
// Equal keys are ordered by stored position. A change to the file ends the
// running query; the walk then goes on from the last record it returned.

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

void SqliteDriver::setStart(int key) {
  curKey_ = key;
  seek_ = Seek{SeekKind::Start, {}, 0, false};
  haveLast_ = false;
  stmt_ = nullptr;
  exhausted_ = false;
  clearError();
}

void SqliteDriver::setValue(int key, int components) {
  curKey_ = key;
  seek_ = Seek{SeekKind::Inclusive, keyValues(key, components), 0, false};
  haveLast_ = false;
  stmt_ = nullptr;
  exhausted_ = false;
  clearError();
}

void SqliteDriver::setPosition(int key, int64_t pos) {
  curKey_ = key;
  haveLast_ = false;
  stmt_ = nullptr;
  exhausted_ = false;
  if (key < 0) {
    seek_ = Seek{SeekKind::Inclusive, {}, pos, true};
    clearError();
    return;
  }
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

bool SqliteDriver::heldByOther(int64_t pos) const {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto it = holds().find({canonical(file_.name()), pos});
  return it != holds().end() && it->second.holder != currentHolder();
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
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    holds().erase({canonical(file_.name()), curPos_});
  }
  if (count_ > 0) --count_;
  curPos_ = 0;
  ++gen_;
  clearError();
  return true;
}

bool SqliteDriver::hold(int seconds) {
  if (curPos_ == 0) {
    setError(ErrNotAvailable, file_.name(), "no current record");
    return false;
  }
  std::string path = canonical(file_.name());
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
  int me = currentHolder();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(registryMutex);
      auto& h = holds();
      auto it = h.find({path, curPos_});
      if (it == h.end() || it->second.holder == me) {
        // One held record per file and holder: holding another lets the first go.
        for (auto j = h.begin(); j != h.end();)
          j = (j->first.first == path && j->second.holder == me && j->first.second != curPos_) ? h.erase(j)
                                                                                                 : std::next(j);
        h[{path, curPos_}] = HoldEntry{me, this};
        break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      setError(ErrHeld, file_.name());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Read the record as it is stored now.
  if (!getPosition(curPos_)) {
    std::lock_guard<std::mutex> lock(registryMutex);
    holds().erase({path, curPos_});
    return false;
  }
  return true;
}

void SqliteDriver::release() {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& h = holds();
  int me = currentHolder();
  std::string path = file_.name().empty() ? std::string() : canonical(file_.name());
  for (auto it = h.begin(); it != h.end();)
    it = (it->first.first == path && it->second.holder == me) ? h.erase(it) : std::next(it);
}

// ---------------------------------------------------------------------------
// Transactions

void SqliteDriver::enterTransaction(sqlite3* db, const std::string& schema) {
  if (streaming_) finishStream();
  quiesceSiblings();
  own_.resetAll();
  txn_.db = db;
  txn_.schema = schema;
  cur_ = &txn_;
  if (quickScan_) exec("PRAGMA " + quoted(schema) + ".cache_size = -16384");
  stmt_ = nullptr;
  ++gen_;
}

void SqliteDriver::resetStatements() {
  txn_.resetAll();
  stmt_ = nullptr;
  quiesceSiblings();
}

void SqliteDriver::leaveTransaction(bool committed) {
  txn_.finalizeAll();
  txn_.db = nullptr;
  cur_ = &own_;
  stmt_ = nullptr;
  ++gen_;
  if (!committed) {
    count_ = -1;
    // Keys dropped for appending inside the rolled-back transaction are back.
    if (appendMode_) {
      std::string v;
      bool found = false;
      getMeta("keys_pending", v, found);
      appendMode_ = found && v == "1";
    }
    onDemandLive_ = false;
    for (size_t k = 0; k < file_.decl().keys.size(); ++k)
      if (file_.decl().keys[k].onDemand && indexExists(int(k))) onDemandLive_ = true;
  }
}

namespace {
struct Transaction {
  sqlite3* db = nullptr;
  std::vector<File*> files;
  std::vector<SqliteDriver*> drivers;
};
Transaction* active = nullptr;

void endTransaction(bool committed) {
  if (!active) return;
  for (SqliteDriver* d : active->drivers) d->leaveTransaction(committed);
  sqlite3_close_v2(active->db);
  delete active;
  active = nullptr;
}
}  // namespace

bool beginTransaction(const std::vector<File*>& files, int timeoutSeconds) {
  if (active) {
    setError(ErrTransaction, files.empty() ? "" : files[0]->name(), "a transaction is already active");
    return false;
  }
  std::vector<File*> list;
  std::vector<SqliteDriver*> drivers;
  for (File* f : files) {
    if (std::find(list.begin(), list.end(), f) != list.end()) continue;
    if (!f->isOpen()) {
      setError(ErrNotOpen, f->name());
      return false;
    }
    auto* d = dynamic_cast<SqliteDriver*>(f->driver());
    if (!d) {
      setError(ErrNotSupported, f->name(), "transactions need a keyed file");
      return false;
    }
    if (d->readOnly()) {
      setError(ErrAccessDenied, f->name(), "opened read-only");
      return false;
    }
    list.push_back(f);
    drivers.push_back(d);
  }
  if (list.empty()) {
    setError(ErrTransaction, "", "no files");
    return false;
  }
  if (list.size() > 11) {
    setError(ErrTransaction, list[0]->name(), "more than 11 files in one transaction");
    return false;
  }
  for (SqliteDriver* d : drivers) d->finishStream();
  // One connection on the first file with the others attached: SQLite then
  // commits the changes to all of them atomically.
  usePrivateSqliteFiles();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(list[0]->name().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  auto bail = [&](File* f) {
    std::string text = db ? sqlite3_errmsg(db) : "cannot open";
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    if (db) sqlite3_close_v2(db);
    if ((ext & 0xFF) == SQLITE_BUSY || (ext & 0xFF) == SQLITE_LOCKED)
      setError(ErrHeld, f->name(), "the file is locked");
    else
      setError(ErrOther, f->name(), text);
    return false;
  };
  if (rc != SQLITE_OK) return bail(list[0]);
  sqlite3_extended_result_codes(db, 1);
  registerCollations(db);
  sqlite3_busy_timeout(db, std::max(1, timeoutSeconds) * 1000);
  std::vector<std::string> schemas = {"main"};
  for (size_t i = 1; i < list.size(); ++i) {
    std::string alias = "f" + std::to_string(i);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "ATTACH DATABASE ? AS ?", -1, &st, nullptr) != SQLITE_OK) return bail(list[i]);
    sqlite3_bind_text(st, 1, list[i]->name().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, alias.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return bail(list[i]);
    schemas.push_back(alias);
  }
  for (size_t i = 0; i < drivers.size(); ++i) drivers[i]->enterTransaction(db, schemas[i]);
  active = new Transaction{db, list, drivers};
  // Take the write locks of all files now, within the time-out.
  rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    std::string text = sqlite3_errmsg(db);
    int ext = sqlite3_extended_errcode(db);
    endTransaction(false);
    if ((ext & 0xFF) == SQLITE_BUSY || (ext & 0xFF) == SQLITE_LOCKED)
      setError(ErrHeld, list[0]->name(), "the files could not be locked in time");
    else
      setError(ErrOther, list[0]->name(), text);
    return false;
  }
  // Touch every schema so each file is locked within the time-out.
  for (const std::string& s : schemas) {
    std::string sql = "SELECT count(*) FROM \"" + s + "\".qv_meta";
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      std::string text = sqlite3_errmsg(db);
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      endTransaction(false);
      setError(ErrHeld, list[0]->name(), text);
      return false;
    }
  }
  clearError();
  return true;
}

bool commitTransaction() {
  if (!active) {
    setError(ErrTransaction, "", "no transaction is active");
    return false;
  }
  for (SqliteDriver* d : active->drivers) d->resetStatements();
  int rc = sqlite3_exec(active->db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    // The transaction stays open; the caller rolls it back.
    int ext = sqlite3_extended_errcode(active->db);
    std::string text = sqlite3_errmsg(active->db);
    const std::string& name = active->files[0]->name();
    if ((ext & 0xFF) == SQLITE_FULL)
      setError(ErrDiskFull, name);
    else if ((ext & 0xFF) == SQLITE_BUSY || (ext & 0xFF) == SQLITE_LOCKED)
      setError(ErrHeld, name, text);
    else
      setError(ErrOther, name, text);
    return false;
  }
  endTransaction(true);
  clearError();
  return true;
}

void rollbackTransaction() {
  if (!active) return;
  sqlite3_exec(active->db, "ROLLBACK", nullptr, nullptr, nullptr);
  endTransaction(false);
}

bool transactionActive() { return active != nullptr; }
std::vector<File*> transactionFiles() { return active ? active->files : std::vector<File*>{}; }

}  // namespace qv

namespace qv {
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
