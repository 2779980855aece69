// Transactions across keyed files on SQLite.
//
// Rules:
// - One transaction is active in the process at a time, over at most 11
//   files, each open through the SQLite driver and not read-only.
// - The transaction's connection opens the first file and attaches the
//   others, so SQLite commits the changes to all of them at once; while it
//   is active each file's driver works through that connection.
// - Beginning takes the write locks of all the files within the time-out,
//   or fails with ErrHeld and leaves nothing changed.
// - A failed commit leaves the transaction open: the caller rolls it back.
//   After a rollback each driver forgets what it cached of its file.
#include <algorithm>

#include "storage/collation.h"
#include "storage/private_files.h"
#include "storage/sqlite_driver.h"

namespace qv {

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
  std::vector<SqlFileDriver*> drivers;
};
Transaction* active = nullptr;

void endTransaction(bool committed) {
  if (!active) return;
  for (SqlFileDriver* d : active->drivers) d->leaveTransaction(committed);
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
  std::vector<SqlFileDriver*> drivers;
  for (File* f : files) {
    if (std::find(list.begin(), list.end(), f) != list.end()) continue;
    if (!f->isOpen()) {
      setError(ErrNotOpen, f->name());
      return false;
    }
    auto* d = dynamic_cast<SqlFileDriver*>(f->driver());
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
  for (SqlFileDriver* d : drivers) d->finishStream();
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
  for (SqlFileDriver* d : active->drivers) d->resetStatements();
  // What a driver keeps back for the commit is written first; a failure
  // leaves the transaction open for the caller to roll back.
  for (SqlFileDriver* d : active->drivers)
    if (!d->beforeCommit()) return false;
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
