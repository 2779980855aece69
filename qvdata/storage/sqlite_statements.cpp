// The SQL the SQLite driver speaks: the statement cache of a connection and
// the text of the statements on a declared file's table and keys.
//
// Rules:
// - A statement is prepared once per connection and kept until the
//   connection ends (finalizeAll); a cached statement comes back reset, and
//   one found by its text also with its bindings cleared.
// - Statements used on every record are cached under a small number chosen
//   by the caller (prepareFast); the number names one statement text on one
//   file, so a number is never reused for another text.
// - Every name in SQL text is quoted, and table and index names carry the
//   schema the file is known by on the connection in use (cur_), so the
//   same text works on the driver's own connection and attached to a
//   transaction's.
// - A key on text without regard to case compares with the program's
//   collation (storage/collation.h), in the index and in every query.
#include "storage/collation.h"
#include "storage/sqlite_driver.h"

namespace qv {

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

}  // namespace qv
