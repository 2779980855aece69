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
// - After a commit the connection is kept, with its attachments and the
//   statements the drivers prepared on it, and serves the next transaction
//   over the same files in the same order. Between transactions it holds no
//   lock and no open statement, and SQLite rereads what another connection
//   changed. It is closed, and never reused, after a rollback, when another
//   set of files begins a transaction, when one of its files is closed,
//   emptied, packed or has its keys dropped or built outside a transaction,
//   and when a file's name no longer leads to the file it attached.
#include <sys/stat.h>

#include <algorithm>

#include "storage/collation.h"
#include "storage/private_files.h"
#include "storage/sqlite_driver.h"

namespace qv {

void SqliteDriver::enterTransaction(sqlite3* db, const std::string& schema) {
  if (streaming_) finishStream();
  quiesceSiblings();
  own_.resetAll();
  if (txn_.db != db || txn_.schema != schema) {
    txn_.finalizeAll();
    txn_.db = db;
    txn_.schema = schema;
  }
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

void SqliteDriver::dropTransactionStatements() {
  txn_.finalizeAll();
  txn_.db = nullptr;
}

void SqliteDriver::changedOutsideTransaction() { releaseKeptConnection(this); }

void SqliteDriver::leaveTransaction(bool committed) {
  // The statements stay prepared for a kept connection; the transaction
  // manager has them finalized before it closes the connection.
  txn_.resetAll();
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
// What a transaction's connection was made for: the files in order, their
// drivers and opens, and the file each name led to when it was attached.
struct Attached {
  File* file;
  SqlFileDriver* driver;
  uint64_t openSerial;
  dev_t device;
  ino_t inode;
};

struct Connection {
  sqlite3* db = nullptr;
  std::vector<Attached> files;
};

Connection active;  // the transaction's connection while one is active
Connection kept;    // the connection kept after a commit, idle
uint64_t opened = 0;

bool identify(const std::string& name, dev_t& device, ino_t& inode) {
  struct stat st;
  if (::stat(name.c_str(), &st) != 0) return false;
  device = st.st_dev;
  inode = st.st_ino;
  return true;
}

void closeConnection(Connection& c) {
  if (!c.db) return;
  for (const Attached& a : c.files) a.driver->dropTransactionStatements();
  sqlite3_close_v2(c.db);
  c = Connection{};
}

// The kept connection serves these files when it was made for the same
// opens, in the same order, and every name still leads to the same file.
bool keptServes(const std::vector<File*>& list, const std::vector<SqlFileDriver*>& drivers) {
  if (!kept.db || kept.files.size() != list.size()) return false;
  for (size_t i = 0; i < list.size(); ++i) {
    const Attached& a = kept.files[i];
    dev_t device;
    ino_t inode;
    if (a.file != list[i] || a.driver != drivers[i] || a.openSerial != drivers[i]->openSerial()) return false;
    if (!identify(list[i]->name(), device, inode) || device != a.device || inode != a.inode) return false;
  }
  return true;
}

// After a commit the connection is kept when every driver in it can keep its
// statements there; else, and after a rollback, it is closed.
void endTransaction(bool committed) {
  if (!active.db) return;
  bool keep = committed;
  for (const Attached& a : active.files) {
    a.driver->leaveTransaction(committed);
    keep = keep && a.driver->keepsTransactionConnection();
  }
  if (keep)
    kept = active;
  else
    closeConnection(active);
  active = Connection{};
}

// Opens a connection on the first file with the others attached: SQLite then
// commits the changes to all of them atomically.
bool openConnection(const std::vector<File*>& list, const std::vector<SqlFileDriver*>& drivers, int timeoutSeconds,
                    Connection& out) {
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
  ++opened;
  sqlite3_extended_result_codes(db, 1);
  registerCollations(db);
  sqlite3_busy_timeout(db, std::max(1, timeoutSeconds) * 1000);
  for (size_t i = 1; i < list.size(); ++i) {
    std::string alias = "f" + std::to_string(i);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "ATTACH DATABASE ? AS ?", -1, &st, nullptr) != SQLITE_OK) return bail(list[i]);
    sqlite3_bind_text(st, 1, list[i]->name().c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, alias.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return bail(list[i]);
  }
  out.db = db;
  out.files.clear();
  for (size_t i = 0; i < list.size(); ++i) {
    Attached a{list[i], drivers[i], drivers[i]->openSerial(), 0, 0};
    // A file whose name cannot be looked up now is never served again.
    identify(list[i]->name(), a.device, a.inode);
    out.files.push_back(a);
  }
  return true;
}

std::string schemaOf(size_t i) { return i == 0 ? "main" : "f" + std::to_string(i); }
}  // namespace

void releaseKeptConnection(const SqlFileDriver* d) {
  if (!kept.db) return;
  if (d) {
    bool reaches = false;
    for (const Attached& a : kept.files) reaches = reaches || a.driver == d;
    if (!reaches) return;
  }
  closeConnection(kept);
}

uint64_t transactionConnectionsOpened() { return opened; }

bool beginTransaction(const std::vector<File*>& files, int timeoutSeconds) {
  if (active.db) {
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
  if (keptServes(list, drivers)) {
    active = kept;
    kept = Connection{};
    sqlite3_busy_timeout(active.db, std::max(1, timeoutSeconds) * 1000);
  } else {
    closeConnection(kept);
    if (!openConnection(list, drivers, timeoutSeconds, active)) return false;
  }
  sqlite3* db = active.db;
  std::vector<std::string> schemas;
  for (size_t i = 0; i < drivers.size(); ++i) {
    schemas.push_back(schemaOf(i));
    drivers[i]->enterTransaction(db, schemas[i]);
  }
  // Take the write locks of all files now, within the time-out.
  int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
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
  if (!active.db) {
    setError(ErrTransaction, "", "no transaction is active");
    return false;
  }
  for (const Attached& a : active.files) a.driver->resetStatements();
  // What a driver keeps back for the commit is written first; a failure
  // leaves the transaction open for the caller to roll back.
  for (const Attached& a : active.files)
    if (!a.driver->beforeCommit()) return false;
  int rc = sqlite3_exec(active.db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    // The transaction stays open; the caller rolls it back.
    int ext = sqlite3_extended_errcode(active.db);
    std::string text = sqlite3_errmsg(active.db);
    const std::string& name = active.files[0].file->name();
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
  if (!active.db) return;
  sqlite3_exec(active.db, "ROLLBACK", nullptr, nullptr, nullptr);
  endTransaction(false);
}

bool transactionActive() { return active.db != nullptr; }
std::vector<File*> transactionFiles() {
  std::vector<File*> files;
  for (const Attached& a : active.files) files.push_back(a.file);
  return files;
}

}  // namespace qv
