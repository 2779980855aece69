// The keyed-file driver on SQLite, behind the native ("ARDENT", .ADF) and the
// older ("VELDRA", .DAT) keyed formats.
//
// A file is an SQLite database holding one table named after the file's
// label, one column per field element, a column per memo, and the column
// qv_pos (INTEGER PRIMARY KEY AUTOINCREMENT) as the stored position, so that
// positions are never reused and file order is the order records were added.
// Each key is one SQLite index with the key's collation and descending
// components; "excludes empty" keys are partial indexes. The table qv_meta
// holds the layout the file was written under, the owner-password check value
// and the flag that keys must be rebuilt.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "storage/file.h"

namespace qv {

// A connection as one driver uses it: the handle, the schema name the file is
// known by on it, and the statements prepared there.
struct SqlConn {
  sqlite3* db = nullptr;
  std::string schema = "main";
  std::unordered_map<std::string, sqlite3_stmt*> stmts;
  // Statements used on every record, by a small number instead of their text.
  std::unordered_map<uint32_t, sqlite3_stmt*> fast;

  sqlite3_stmt* prepare(const std::string& sql);
  // The statement cached under `id`, prepared from build() the first time.
  template <typename Build>
  sqlite3_stmt* prepareFast(uint32_t id, Build build) {
    auto it = fast.find(id);
    if (it != fast.end()) {
      sqlite3_reset(it->second);
      return it->second;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db, build().c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
      return nullptr;
    fast.emplace(id, st);
    return st;
  }
  void resetAll();
  void finalizeAll();
};

// A driver whose file is an SQLite database: it takes part in transactions
// across files (sqlite_transaction.cpp) and in the share modes and sibling
// reads of the open files (sqlite_registry.cpp).
class SqlFileDriver : public Driver {
 public:
  using Driver::Driver;
  virtual bool readOnly() const = 0;
  // Ends a write stream begun by stream(), committing it.
  virtual bool finishStream() = 0;
  // The file is attached to the transaction's connection under `schema`.
  virtual void enterTransaction(sqlite3* db, const std::string& schema) = 0;
  virtual void resetStatements() = 0;
  // Writes what the driver keeps back for the commit; false leaves the
  // transaction to be rolled back.
  virtual bool beforeCommit() { return true; }
  virtual void leaveTransaction(bool committed) = 0;
  // Ends this driver's read statements and marks its counts and walk stale
  // (another driver on the same file is about to write).
  virtual void yieldReads() = 0;
  // A transaction's connection is kept for the next transaction over the
  // same files when every driver in it keeps its statements there: such a
  // driver leaves a transaction with its statements reset, not finalized,
  // finalizes them in dropTransactionStatements() before the connection
  // closes, has a new openSerial() for every open, and calls
  // releaseKeptConnection() when it closes or its file changes outside a
  // transaction.
  virtual bool keepsTransactionConnection() const { return false; }
  virtual uint64_t openSerial() const { return 0; }
  virtual void dropTransactionStatements() {}
};

// Maps an SQLite result code onto the file layer's errors for the file
// `name`; always false.
bool reportSqliteFailure(const std::string& name, int rc, sqlite3* db);
// Checks a file's name and directory before SQLite sees it (sqlite_open.cpp).
Err checkSqlitePath(const std::string& name, bool mustExist);
// Before a read-only open: a journal left by a writer stopped before it
// committed makes the file unreadable to a read-only connection. Where this
// process may write the file and its directory, the journal is rolled back
// now (SQLite's locks leave a transaction another program has under way
// alone); elsewhere the open then fails with ErrInterrupted.
void rollBackInterruptedWrite(const std::string& name);
// Opens an SQLite connection to the keyed file `name` with `flags` as every
// driver opens one: the process's private file modes, extended result codes,
// the collations and the busy timeout (sqlite_open.cpp). SQLITE_OK with the
// connection in `db`; else the failure, reported to the file layer, with
// `db` null.
[[nodiscard]] int openSqliteConnection(const std::string& name, int flags, sqlite3*& db);
// The checks before an existing keyed file is opened for `share`: its path,
// an interrupted write rolled back first for a reader, write access for a
// writer, and the share this process already holds of it. False with the
// file layer's error set.
[[nodiscard]] bool admitSqliteOpen(const std::string& name, Share share);
// Reads the value of `name` from the qv_meta table through the prepared
// statement `st` ("SELECT value ... WHERE name=?") and resets it; found
// says whether there was one. SQLite's result: SQLITE_ROW or SQLITE_DONE
// when the read went through.
int readMetaValue(sqlite3_stmt* st, const std::string& name, std::string& value, bool& found);
// The value stored for an owner password ("" for none).
std::string ownerPasswordCheck(const std::string& password);

class SqliteDriver : public SqlFileDriver {
 public:
  SqliteDriver(File& f, bool older);
  ~SqliteDriver() override;

  bool open(Share share, const std::string& password) override;
  void close() override;
  bool create() override;
  int64_t records() override;
  bool hasRecords() override;
  bool empty() override;
  bool pack() override;
  bool buildKeys() override;
  bool buildKey(int key) override;
  bool stream() override;
  bool flush() override;
  bool option(std::string_view name, std::string_view value) override;
  void setStart(int key) override;
  void setValue(int key, int components) override;
  void setPosition(int key, int64_t pos) override;
  bool next() override;
  bool previous() override;
  bool get(int key) override;
  bool getPosition(int64_t pos) override;
  bool add() override;
  bool append() override;
  bool put() override;
  bool remove() override;
  bool hold(int seconds) override;
  void release() override;
  int64_t position() override { return curPos_; }
  bool getEach(int key, const std::vector<int64_t>& values, const std::function<bool()>& each,
               const std::vector<int>& fields) override;
  bool addEach(const std::function<bool()>& next, bool skipDuplicates) override;

  // Used by the transaction manager.
  bool readOnly() const override { return share_ == Share::ReadOnly; }
  void enterTransaction(sqlite3* db, const std::string& schema) override;
  void leaveTransaction(bool committed) override;
  void resetStatements() override;
  void yieldReads() override;
  bool finishStream() override;
  bool keepsTransactionConnection() const override { return true; }
  uint64_t openSerial() const override { return openSerial_; }
  void dropTransactionStatements() override;

 private:
  enum class SeekKind { None, Start, Inclusive, After };
  struct Seek {
    SeekKind kind = SeekKind::None;
    std::vector<FieldValue> vals;  // values of the first components
    int64_t pos = 0;               // tie-break position (Inclusive with all components, After)
    bool withPos = false;
  };
  struct Level {
    int eq;         // components that must equal the seek values
    int cmp;        // component compared strictly (-1: none; n: the position)
    bool inclusive;  // position comparison includes equality
  };

  bool fail(int rc, sqlite3* db = nullptr);
  bool openConnection(int flags);
  bool exec(const std::string& sql);
  std::string table() const;
  std::string quoted(const std::string& name) const { return "\"" + name + "\""; }
  std::string componentExpr(int key, int part) const;
  std::string partialCond(int key) const;
  std::string indexName(int key) const;
  std::string createIndexSql(int key) const;
  std::string selectList() const;
  bool indexExists(int key);
  bool createTableAndKeys();
  bool dropSecondaryKeys();
  bool setMeta(const std::string& name, const std::string& value);
  bool getMeta(const std::string& name, std::string& value, bool& found);
  void touchOnDemand();
  bool beforeWrite(bool keyChange);
  void loadRow(sqlite3_stmt* st, int firstCol);
  // Fills the given fields only, from consecutive columns (all their elements).
  void loadFields(sqlite3_stmt* st, int firstCol, const std::vector<int>& fields);
  int bindRow(sqlite3_stmt* st, int firstParam);
  void bindValue(sqlite3_stmt* st, int param, const FieldValue& v);
  std::vector<FieldValue> keyValues(int key, int components) const;
  void keepKeyValues(int key, std::vector<FieldValue>& out) const;
  std::vector<Level> levels(const Seek& s, int key) const;
  sqlite3_stmt* levelStatement(int key, const Level& lv, bool forward, const Seek& s);
  // Sets a new walk on `key` from `seek`, forgetting the running one.
  void startWalk(int key, Seek seek);
  bool step(bool forward);
  void invalidateCursor() { stmt_ = nullptr; }
  bool heldByOther(int64_t pos) const;
  void quiesceSiblings();
  // The file changed outside a transaction (closed, emptied, packed, keys
  // dropped or built): a kept transaction connection on it is let go.
  void changedOutsideTransaction();
  // Empties a scratch file by making it anew (sqlite_open.cpp).
  bool remakeScratch();

  bool older_;
  std::string path_;       // canonical path while open
  SqlConn own_;
  SqlConn txn_;            // the transaction's connection while one is active
  SqlConn* cur_ = &own_;
  Share share_ = Share::Shared;
  std::string password_;   // the owner password it was opened with
  bool streaming_ = false;
  bool appendMode_ = false;
  bool onDemandLive_ = false;
  // A key build rebuilds intact indexes too only when asked ("FULLBUILD=ON")
  // or when the file showed damage; SQLite keeps intact indexes exact.
  bool fullBuild_ = false;
  bool quickScan_ = false;  // a larger page cache, also on a transaction's connection
  bool suspect_ = false;
  // While the keys of a file written under other key declarations are
  // rebuilt: the key signature stored in it. An index whose declaration is
  // not in it (another collation, other components) is made anew.
  std::string storedKeys_;
  int64_t count_ = -1;     // cached record count; -1 unknown
  int64_t curPos_ = 0;     // stored position of the record in the buffer
  uint64_t gen_ = 0;       // bumped by every change made through this driver
  uint64_t openSerial_ = 0;  // new for every open

  // The walk.
  int curKey_ = -2;        // -2 none, -1 file order, else a key
  Seek seek_;
  bool haveLast_ = false;
  std::vector<FieldValue> lastVals_;
  int64_t lastPos_ = 0;
  bool forward_ = true;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<Level> levels_;
  size_t level_ = 0;
  uint64_t stmtGen_ = 0;
  bool exhausted_ = false;
};

}  // namespace qv

namespace qv {
// Lets go of the transaction connection kept between transactions when it
// reaches the file of `d` (or any file, for nullptr).
void releaseKeptConnection(const SqlFileDriver* d);
// Number of transaction connections opened by this process (for tests).
uint64_t transactionConnectionsOpened();
// Number of rows in the table of a keyed file whatever layout it was written
// under; -1 when the file cannot be read as one.
int64_t storedRecordCount(const std::string& path, const std::string& table);
}  // namespace qv
