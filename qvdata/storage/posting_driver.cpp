// The posting-list driver of the word-occurrence file: opening, creating and
// closing the file, whole-file operations, the writes of single records and
// the part it takes in transactions across files.
//
// The driver's other parts live beside it: posting_lists.cpp (the stored
// lists and the writes kept back for the commit), posting_walk.cpp (reading
// records in key and file order) and posting_convert.cpp (files written in
// the older one-row-per-pair layout).
#include "storage/posting_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "storage/collation.h"
#include "storage/private_files.h"
#include "storage/sqlite_registry.h"

namespace fs = std::filesystem;

namespace qv {

namespace {
// Stored in qv_meta: the file holds posting lists in this layout.
constexpr const char* kPostingFormat = "postings 1";
// The page cache of long sequential reads and bulk writes (QUICKSCAN).
constexpr int64_t kQuickScanCache = int64_t(16) << 20;
}  // namespace

void registerPostingDriver() {
  static bool done = [] {
    registerDriver(kPostingDriverName, [](File& f) { return std::make_unique<PostingDriver>(f); });
    return true;
  }();
  (void)done;
}

PostingDriver::PostingDriver(File& f) : SqlFileDriver(f) {}

PostingDriver::~PostingDriver() { close(); }

bool PostingDriver::fail(int rc) { return reportSqliteFailure(file_.name(), rc, cur_->db); }

bool PostingDriver::exec(const std::string& sql) {
  int rc = sqlite3_exec(cur_->db, sql.c_str(), nullptr, nullptr, nullptr);
  return rc == SQLITE_OK || fail(sqlite3_extended_errcode(cur_->db));
}

std::string PostingDriver::q(const std::string& table) const { return "\"" + cur_->schema + "\"." + table; }

bool PostingDriver::getMeta(const std::string& name, std::string& value, bool& found) {
  found = false;
  sqlite3_stmt* st = cur_->prepare("SELECT value FROM " + q("qv_meta") + " WHERE name=?");
  if (!st) return failHere();
  int rc = readMetaValue(st, name, value, found);
  return rc == SQLITE_ROW || rc == SQLITE_DONE || failHere();
}

bool PostingDriver::setMeta(const std::string& name, const std::string& value) {
  sqlite3_stmt* st = cur_->prepare("INSERT OR REPLACE INTO " + q("qv_meta") + "(name, value) VALUES(?, ?)");
  if (!st) return failHere();
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, value.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE || failHere();
}

bool PostingDriver::createTables() {
  return exec("CREATE TABLE IF NOT EXISTS " + q("qv_meta") + "(name TEXT PRIMARY KEY, value TEXT)") &&
         exec("CREATE TABLE " + q("word_postings") +
              "(word INTEGER NOT NULL, segment INTEGER NOT NULL, count INTEGER NOT NULL, messages BLOB NOT NULL,"
              " PRIMARY KEY(word, segment)) WITHOUT ROWID") &&
         exec("CREATE TABLE " + q("message_words") +
              "(message INTEGER PRIMARY KEY, sequence INTEGER NOT NULL, count INTEGER NOT NULL, words BLOB NOT NULL)") &&
         exec("CREATE INDEX " + q("message_words_sequence") + " ON message_words(sequence)") &&
         createTokenTable() && setMeta("format", kPostingFormat) && setMeta("records", "0");
}

// The words of the texts, for the phrase check: files written before it
// was kept get the table on their first open for writing.
bool PostingDriver::createTokenTable() {
  return exec("CREATE TABLE IF NOT EXISTS " + q("message_tokens") +
              "(message INTEGER PRIMARY KEY, tokens BLOB NOT NULL)") &&
         createTextWordTable();
}

// The declaration must be of a word-occurrence file: two number fields and
// a unique key led by each.
bool PostingDriver::checkDeclaration() {
  const FileDecl& d = file_.decl();
  msgField_ = d.fieldIndex("SYSID");
  wordField_ = d.fieldIndex("WORDID");
  msgKey_ = wordKey_ = -1;
  for (size_t k = 0; k < d.keys.size(); ++k) {
    const KeyDesc& key = d.keys[k];
    if (key.parts.size() != 2) continue;
    if (key.parts[0].field == msgField_ && key.parts[1].field == wordField_) msgKey_ = int(k);
    if (key.parts[0].field == wordField_ && key.parts[1].field == msgField_) wordKey_ = int(k);
  }
  if (msgField_ < 0 || wordField_ < 0 || msgKey_ < 0 || wordKey_ < 0 || d.fields.size() != 2 ||
      d.keys.size() != 2) {
    setError(ErrLayout, file_.name(), "the posting driver needs a word-occurrence declaration");
    return false;
  }
  return true;
}

bool PostingDriver::openConnection(int flags) {
  sqlite3* db = nullptr;
  if (openSqliteConnection(file_.name(), flags, db) != SQLITE_OK) return false;
  own_.db = db;
  own_.schema = "main";
  cur_ = &own_;
  return true;
}

bool PostingDriver::open(Share share, const std::string& password) {
  if (!checkDeclaration() || !admitSqliteOpen(file_.name(), share)) return false;
  bool ro = share == Share::ReadOnly;
  std::string key = canonicalPath(file_.name());
  if (!openConnection(ro ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE)) return false;
  auto abandon = [&](Err code, const std::string& text) {
    own_.finalizeAll();
    sqlite3_close_v2(own_.db);
    own_.db = nullptr;
    setError(code, file_.name(), text);
    return false;
  };
  std::string layout, owner, format;
  bool hasLayout = false, hasOwner = false, hasFormat = false;
  sqlite3_stmt* probe = nullptr;
  bool hasMeta = false;
  int rc = sqlite3_prepare_v2(own_.db, "SELECT 1 FROM sqlite_schema WHERE type='table' AND name='qv_meta'", -1, &probe,
                              nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(probe);
    hasMeta = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  if (probe) sqlite3_finalize(probe);
  if (rc == SQLITE_READONLY_ROLLBACK) return abandon(ErrInterrupted, "");
  if (rc != SQLITE_OK) return abandon(ErrLayout, "damaged file");
  if (!hasMeta) return abandon(ErrLayout, "not a file of this kind");
  if (!getMeta("layout", layout, hasLayout) || !getMeta("owner", owner, hasOwner) ||
      !getMeta("format", format, hasFormat))
    return abandon(ErrLayout, "damaged file");
  if (!hasLayout || layout != file_.decl().layoutSignature()) return abandon(ErrLayout, "");
  if (owner != ownerPasswordCheck(password)) return abandon(ErrAccessDenied, "owner password");
  share_ = share;
  if (!hasFormat) {
    // One row per pair, as files were written before the posting lists: a
    // writer converts it once; a reader cannot.
    if (ro) return abandon(ErrLayout, "the word index is in an older layout");
    if (!convertOlderLayout()) {
      int code = ErrorCode();
      return abandon(Err(code), ErrorText());
    }
  } else if (format != kPostingFormat) {
    return abandon(ErrLayout, "unknown layout " + format);
  }
  auto hasTable = [&](const char* name) {
    bool has = false;
    if (sqlite3_prepare_v2(own_.db, "SELECT 1 FROM sqlite_schema WHERE type='table' AND name=?", -1, &probe,
                           nullptr) == SQLITE_OK) {
      sqlite3_bind_text(probe, 1, name, -1, SQLITE_STATIC);
      has = sqlite3_step(probe) == SQLITE_ROW;
    }
    if (probe) sqlite3_finalize(probe);
    probe = nullptr;
    return has;
  };
  hasTokens_ = hasTable("message_tokens");
  hasTextWords_ = hasTable("text_words");
  if ((!hasTokens_ || !hasTextWords_) && !ro) {
    if (!createTokenTable()) {
      int code = ErrorCode();
      return abandon(Err(code), ErrorText());
    }
    hasTokens_ = hasTextWords_ = true;
  }
  textWords_.clear();
  textWordsLoaded_ = false;
  textPending_.clear();
  textWritten_ = 0;
  enlistDriver(key, share, this);
  path_ = key;
  streaming_ = false;
  forgetEdits();
  stored_ = -1;
  nextSeq_ = 0;
  curPos_ = 0;
  walk_ = Walk();
  ++gen_;
  clearError();
  return true;
}

void PostingDriver::close() {
  if (!own_.db) return;
  if (cur_ == &txn_) rollbackTransaction();
  if (streaming_) finishStream();
  delistDriver(path_, share_, this);
  own_.finalizeAll();
  sqlite3_close_v2(own_.db);
  own_.db = nullptr;
  forgetEdits();
  textWords_.clear();
  textWordsLoaded_ = false;
  textPending_.clear();
  textWritten_ = 0;
  walk_ = Walk();
  curPos_ = 0;
}

bool PostingDriver::create() {
  if (!checkDeclaration()) return false;
  Err e = checkSqlitePath(file_.name(), false);
  if (e != ErrNone) {
    setError(e, file_.name());
    return false;
  }
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(file_.name() + suffix, ec);
  if (!openConnection(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) return false;
  bool done = exec("BEGIN") && createTables() && setMeta("layout", file_.decl().layoutSignature()) &&
              setMeta("keys", file_.decl().keySignature()) &&
              setMeta("owner", ownerPasswordCheck(file_.decl().password)) && exec("COMMIT");
  int code = ErrorCode();
  std::string text = ErrorText();
  own_.finalizeAll();
  sqlite3_close_v2(own_.db);
  own_.db = nullptr;
  ::chmod(file_.name().c_str(), 0600);
  if (!done) {
    setError(Err(code), file_.name(), text);
    fs::remove(file_.name(), ec);
    return false;
  }
  clearError();
  return true;
}

int64_t PostingDriver::records() {
  int64_t n = 0;
  if (!storedCount(n)) return 0;
  clearError();
  return n + countDelta_;
}

bool PostingDriver::hasRecords() { return records() > 0; }

bool PostingDriver::beforeWrite() {
  if (readOnly()) {
    setError(ErrAccessDenied, file_.name(), "opened read-only");
    return false;
  }
  quiesceSiblings(path_, this);
  return true;
}

// Writes the kept-back edits and commits the file's own transaction; on a
// failure rolls it back, forgets the edits and what was read of the file, and
// keeps the failure's error.
bool PostingDriver::commitEdits() {
  if (writeEditsInCache() && exec("COMMIT")) {
    textWordsCommitted(true);
    return true;
  }
  int code = ErrorCode();
  std::string text = ErrorText();
  sqlite3_exec(own_.db, "ROLLBACK", nullptr, nullptr, nullptr);
  textWordsCommitted(false);
  forgetEdits();
  stored_ = -1;
  nextSeq_ = 0;
  ++gen_;
  setError(Err(code), file_.name(), text);
  return false;
}

// Outside a transaction and a write stream every write reaches the file at
// once, in a transaction of its own.
bool PostingDriver::writeThrough() {
  if (cur_ != &own_ || streaming_) {
    clearError();
    return true;
  }
  if (!exec("BEGIN IMMEDIATE")) {
    forgetEdits();
    stored_ = -1;
    return false;
  }
  if (!commitEdits()) return false;
  clearError();
  return true;
}

bool PostingDriver::empty() {
  if (!beforeWrite()) return false;
  forgetEdits();
  bool scoped = cur_ != &own_ || streaming_;
  bool ok = (scoped || exec("BEGIN IMMEDIATE")) && exec("DELETE FROM " + q("word_postings")) &&
            exec("DELETE FROM " + q("message_words")) && (!hasTokens_ || exec("DELETE FROM " + q("message_tokens"))) &&
            setMeta("records", "0") && (scoped || exec("COMMIT"));
  if (!ok && !scoped) sqlite3_exec(own_.db, "ROLLBACK", nullptr, nullptr, nullptr);
  stored_ = ok ? 0 : -1;
  nextSeq_ = 0;
  curPos_ = 0;
  ++gen_;
  if (ok) clearError();
  return ok;
}

bool PostingDriver::buildKeys() {
  clearError();
  return true;  // the lists are the keys: nothing to build
}

bool PostingDriver::buildKey(int) { return buildKeys(); }

bool PostingDriver::stream() {
  if (cur_ != &own_ || streaming_) {
    clearError();
    return true;  // inside a transaction the writes are kept back already
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

bool PostingDriver::finishStream() {
  if (!streaming_) return true;
  streaming_ = false;
  own_.resetAll();
  if (sqlite3_get_autocommit(own_.db)) return true;
  return commitEdits();
}

bool PostingDriver::flush() {
  if (!finishStream()) return false;
  clearError();
  return true;
}

bool PostingDriver::option(std::string_view name, std::string_view value) {
  auto is = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::toupper(static_cast<unsigned char>(x)) == y;
           });
  };
  bool on = is(value, "ON") || value == "1" || is(value, "TRUE");
  bool off = is(value, "OFF") || value == "0" || is(value, "FALSE");
  if (!on && !off) {
    setError(ErrInvalidOption, file_.name(), std::string(name) + "=" + std::string(value));
    return false;
  }
  if (is(name, "QUICKSCAN")) {
    quickScan_ = on;
    if (own_.db) exec(on ? "PRAGMA cache_size = -16384" : "PRAGMA cache_size = -2000");
  } else if (!is(name, "FULLBUILD")) {  // no keys to build: accepted and moot
    setError(ErrInvalidOption, file_.name(), std::string(name));
    return false;
  }
  clearError();
  return true;
}

// Packing merges every word's segments into one list and gives the free
// pages back.
bool PostingDriver::pack() {
  if (cur_ != &own_) {
    setError(ErrTransaction, file_.name(), "a file cannot be packed inside a transaction");
    return false;
  }
  if (!finishStream()) return false;
  clearError();
  std::vector<uint32_t> words;
  sqlite3_stmt* st = cur_->prepare("SELECT word FROM " + q("word_postings") + " GROUP BY word HAVING count(*) > 1");
  if (!st) return failHere();
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) words.push_back(uint32_t(sqlite3_column_int64(st, 0)));
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return failHere();
  if (!words.empty()) {
    if (!exec("BEGIN IMMEDIATE")) return false;
    for (uint32_t w : words) {
      Edit* e = edit(Words, w, true);
      if (!e) break;
      e->rewrite = true;
    }
    if (ErrorCode() != ErrNone || !writeEdits() || !exec("COMMIT")) {
      sqlite3_exec(own_.db, "ROLLBACK", nullptr, nullptr, nullptr);
      textWordsCommitted(false);
      forgetEdits();
      return false;
    }
    textWordsCommitted(true);
  }
  own_.resetAll();
  if (!exec("VACUUM")) return false;
  ++gen_;
  clearError();
  return true;
}

// ---- transactions ----

void PostingDriver::enterTransaction(sqlite3* db, const std::string& schema) {
  if (streaming_) finishStream();
  own_.resetAll();
  txn_.db = db;
  txn_.schema = schema;
  cur_ = &txn_;
  if (quickScan_) raiseCache(kQuickScanCache);
  int current = 0, highest = 0;  // the connection's spills are counted from here on
  sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_SPILL, &current, &highest, 1);
  ++gen_;
}

void PostingDriver::resetStatements() { txn_.resetAll(); }

bool PostingDriver::beforeCommit() { return writeEditsInCache(); }

void PostingDriver::leaveTransaction(bool committed) {
  txn_.finalizeAll();
  txn_.db = nullptr;
  cur_ = &own_;
  textWordsCommitted(committed);
  if (!committed) {
    forgetEdits();
    stored_ = -1;
    nextSeq_ = 0;
  }
  ++gen_;
}

void PostingDriver::yieldReads() {
  own_.resetAll();
  if (edits_[Words].empty() && edits_[Messages].empty()) stored_ = -1;
  nextSeq_ = 0;
  ++gen_;
}

// ---- single records ----

void PostingDriver::bufferPair(uint32_t& word, uint32_t& msg) const {
  const FileDecl& d = file_.decl();
  word = uint32_t(std::get<int64_t>(getField(d, wordField_)));
  msg = uint32_t(std::get<int64_t>(getField(d, msgField_)));
}

void PostingDriver::load(uint32_t word, uint32_t msg) {
  const FileDecl& d = file_.decl();
  setField(d, wordField_, 0, int64_t(word));
  setField(d, msgField_, 0, int64_t(msg));
  curPos_ = int64_t((uint64_t(word) << 32) | msg);
}

bool PostingDriver::add() {
  if (!beforeWrite()) return false;
  uint32_t word, msg;
  bufferPair(word, msg);
  if (word == 0 || msg == 0) {
    setError(ErrOther, file_.name(), "an occurrence needs a message and a word");
    return false;
  }
  Edit* we = edit(Words, word, false);
  Edit* me = we ? edit(Messages, msg, true) : nullptr;
  if (!me) return false;
  auto at = std::lower_bound(me->ids.begin(), me->ids.end(), word);
  if (at != me->ids.end() && *at == word) {
    setError(ErrDuplicateKey, file_.name());
    return false;
  }
  me->ids.insert(at, word);
  me->rewrite = me->grew = true;
  we->added.push_back(msg);
  if (we->loaded) we->ids.insert(std::lower_bound(we->ids.begin(), we->ids.end(), msg), msg);
  ++countDelta_;
  ++gen_;
  curPos_ = int64_t((uint64_t(word) << 32) | msg);
  return writeThrough();
}

bool PostingDriver::remove() {
  if (!beforeWrite()) return false;
  if (curPos_ == 0) {
    setError(ErrNotAvailable, file_.name(), "no current record");
    return false;
  }
  uint32_t word = uint32_t(uint64_t(curPos_) >> 32), msg = uint32_t(curPos_);
  Edit* we = edit(Words, word, true);
  Edit* me = we ? edit(Messages, msg, true) : nullptr;
  if (!me) return false;
  auto at = std::lower_bound(me->ids.begin(), me->ids.end(), word);
  auto wat = std::lower_bound(we->ids.begin(), we->ids.end(), msg);
  if (at == me->ids.end() || *at != word || wat == we->ids.end() || *wat != msg) {
    setError(ErrNotAvailable, file_.name(), "the record no longer exists");
    return false;
  }
  me->ids.erase(at);
  me->rewrite = true;
  we->ids.erase(wat);
  we->added.erase(std::remove(we->added.begin(), we->added.end(), msg), we->added.end());
  we->rewrite = true;
  --countDelta_;
  ++gen_;
  curPos_ = 0;
  return writeThrough();
}

// A changed pair is the old one removed and the new one added.
bool PostingDriver::put() {
  if (!beforeWrite()) return false;
  if (curPos_ == 0) {
    setError(ErrNotAvailable, file_.name(), "no current record");
    return false;
  }
  uint32_t word, msg;
  bufferPair(word, msg);
  int64_t now = int64_t((uint64_t(word) << 32) | msg);
  if (now == curPos_) {
    clearError();
    return true;
  }
  if (hasPair(word, msg)) {
    setError(ErrDuplicateKey, file_.name());
    return false;
  }
  if (ErrorCode() != ErrNotFound) return false;
  if (!remove()) return false;
  load(word, msg);
  return add();
}

}  // namespace qv
