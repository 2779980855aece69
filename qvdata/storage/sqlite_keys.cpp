// The keys of a keyed file on SQLite: one SQLite index each.
//
// Rules:
// - An index is named after the file's prefix and the key's name, so that
//   the indexes of a file are found by name, and one the declaration no
//   longer names is dropped by a rebuild.
// - Appending drops the secondary indexes and marks the file "keys_pending"
//   until a rebuild makes them again; the mark is stored, so a cut-short
//   append is rebuilt on the next open by a writer.
// - An on-demand key exists only from its build to the next change of a
//   record: a change drops it (touchOnDemand).
// - A rebuild remakes an intact index only when asked (FULLBUILD) or when
//   the file showed damage; an index made under another declaration of its
//   key is made anew. It runs in one transaction of its own unless one is
//   already active.
#include <set>

#include "storage/sqlite_driver.h"

namespace qv {

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

bool SqliteDriver::dropSecondaryKeys() {
  if (cur_ == &own_) changedOutsideTransaction();
  const FileDecl& d = file_.decl();
  for (size_t k = 0; k < d.keys.size(); ++k) {
    if (d.keys[k].primary) continue;
    if (!exec("DROP INDEX IF EXISTS " + quoted(cur_->schema) + "." + quoted(indexName(int(k))))) return false;
  }
  return setMeta("keys_pending", "1");
}

void SqliteDriver::touchOnDemand() {
  if (!onDemandLive_) return;
  if (cur_ == &own_) changedOutsideTransaction();
  const FileDecl& d = file_.decl();
  for (size_t k = 0; k < d.keys.size(); ++k)
    if (d.keys[k].onDemand) exec("DROP INDEX IF EXISTS " + quoted(cur_->schema) + "." + quoted(indexName(int(k))));
  onDemandLive_ = false;
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
    if (checkSqlitePath(file_.name(), true) != ErrNone) {
      setError(checkSqlitePath(file_.name(), true), file_.name());
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
  if (cur_ == &own_) {
    own_.resetAll();
    changedOutsideTransaction();
  }
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
  if (cur_ == &own_) {
    own_.resetAll();
    changedOutsideTransaction();
  }
  if (!exec(createIndexSql(key))) return false;
  if (file_.decl().keys[key].onDemand) onDemandLive_ = true;
  ++gen_;
  clearError();
  return true;
}

}  // namespace qv
