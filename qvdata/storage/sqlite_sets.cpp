// Work on many records of a keyed file on SQLite at once: reading the
// records of a list of key values with one statement, and adding many
// records with one prepared statement in one transaction.
//
// Rules:
// - The list of key values reaches SQLite as one JSON array bound to the
//   statement and read back with json_each, so that one statement and one
//   read lock serve the whole list, whatever its length.
// - A read gives the records in the order of the values, and of several
//   records with one value only the first in file order, as get() does.
//   Only the (order, position) pairs are sorted; the records are then read
//   by position in that order.
// - The caller's callback runs while the read statement is open: it may
//   read and write other files, not this one.
// - Adding runs inside the active transaction or write stream when there is
//   one (a failure is then the caller's to roll back), else in a transaction
//   of its own that commits all the records or none.
// - Records of numbers only (a result file of message IDs) go in as one
//   JSON array with one INSERT ... SELECT (records of one number as a flat
//   array of numbers); records with text are bound one by one to one
//   prepared INSERT.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "storage/sqlite_driver.h"

namespace qv {

namespace {

bool numbersOnly(const FileDecl& d) {
  for (const FieldDesc& f : d.fields)
    if (f.type == FieldType::String || f.type == FieldType::Memo) return false;
  return true;
}

// The record in the buffer as a JSON array of its field elements, appended
// to `out`; a record of one element as that number alone.
void appendNumbers(const FileDecl& d, bool single, std::string& out) {
  const char* base = static_cast<const char*>(d.buffer);
  char text[32];
  if (!single) out += '[';
  bool first = true;
  for (const FieldDesc& f : d.fields)
    for (uint32_t e = 0; e < f.dim; ++e) {
      const char* p = base + f.offset + e * f.stride;
      char* end = text;
      switch (f.type) {
        case FieldType::Byte: end = std::to_chars(text, text + sizeof text, *reinterpret_cast<const uint8_t*>(p)).ptr; break;
        case FieldType::Long: end = std::to_chars(text, text + sizeof text, *reinterpret_cast<const int32_t*>(p)).ptr; break;
        case FieldType::ULong: end = std::to_chars(text, text + sizeof text, *reinterpret_cast<const uint32_t*>(p)).ptr; break;
        default: end = text + std::snprintf(text, sizeof text, "%.17g", *reinterpret_cast<const double*>(p)); break;
      }
      if (!first) out += ',';
      out.append(text, size_t(end - text));
      first = false;
    }
  if (!single) out += ']';
}

}  // namespace

bool SqliteDriver::getEach(int key, const std::vector<int64_t>& values, const std::function<bool()>& each,
                           const std::vector<int>& fields) {
  if (values.empty()) {
    clearError();
    return true;
  }
  const FileDecl& d = file_.decl();
  // The columns read: every field's, or only those asked for.
  std::string columns = "qv_pos";
  int orderColumn = 1;
  for (size_t f = 0; f < d.fields.size(); ++f) {
    bool wanted = fields.empty() || std::find(fields.begin(), fields.end(), int(f)) != fields.end();
    if (!wanted) continue;
    orderColumn += int(d.fields[f].dim);
    if (!fields.empty())
      for (uint32_t e = 0; e < d.fields[f].dim; ++e) columns += ", " + quoted(d.columnName(int(f), e));
  }
  auto sql = [&] {
    std::string where = " WHERE " + componentExpr(key, 0) + " = qv_value";
    std::string p = partialCond(key);
    if (!p.empty()) where += " AND " + p;
    // The positions are found and put in order first (from the key alone
    // where it covers them), then each record is read by its position in
    // that order: the sort handles two numbers a row instead of whole
    // records. The LIMIT keeps SQLite from dropping the inner ORDER BY of a
    // subquery that is part of a join; CROSS JOIN keeps it the outer loop.
    return "SELECT " + (fields.empty() ? selectList() : columns) + ", qv_order FROM (SELECT qv_order, " + table() +
           ".qv_pos AS qv_at FROM (SELECT key AS qv_order, value AS qv_value FROM json_each(?1)) CROSS JOIN " +
           table() + where + " ORDER BY qv_order, qv_at LIMIT -1) CROSS JOIN " + table() + " WHERE qv_pos = qv_at";
  };
  // Fields in the order of the declaration, as the columns are.
  std::vector<int> ordered;
  for (size_t f = 0; f < d.fields.size() && !fields.empty(); ++f)
    if (std::find(fields.begin(), fields.end(), int(f)) != fields.end()) ordered.push_back(int(f));
  sqlite3_stmt* st = fields.empty() ? cur_->prepareFast(200 + uint32_t(key), sql) : cur_->prepare(sql());
  if (!st) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  std::string list = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) list += ',';
    list += std::to_string(values[i]);
  }
  list += ']';
  sqlite3_bind_text(st, 1, list.data(), int(list.size()), SQLITE_STATIC);
  int64_t lastOrder = -1;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    int64_t order = sqlite3_column_int64(st, orderColumn);
    if (order == lastOrder) continue;  // a later record with the same value
    lastOrder = order;
    curPos_ = sqlite3_column_int64(st, 0);
    if (fields.empty())
      loadRow(st, 1);
    else
      loadFields(st, 1, ordered);
    if (!each()) {
      sqlite3_reset(st);
      clearError();
      return false;
    }
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (rc != SQLITE_DONE) return fail(sqlite3_extended_errcode(cur_->db), cur_->db);
  clearError();
  return true;
}

bool SqliteDriver::addEach(const std::function<bool()>& next, bool skipDuplicates) {
  if (!beforeWrite(true)) return false;
  bool ownTxn = cur_ == &own_ && !streaming_ && sqlite3_get_autocommit(own_.db);
  if (ownTxn) {
    own_.resetAll();
    if (!exec("BEGIN IMMEDIATE")) return false;
  }
  const FileDecl& d = file_.decl();
  std::string cols, params;
  int columns = 0;
  for (size_t i = 0; i < d.fields.size(); ++i)
    for (uint32_t e = 0; e < d.fields[i].dim; ++e, ++columns) {
      cols += (columns ? ", " : "") + quoted(d.columnName(int(i), e));
      params += columns ? ", ?" : "?";
    }
  const std::string insert = std::string(skipDuplicates ? "INSERT OR IGNORE INTO " : "INSERT INTO ") + table() + "(" +
                             cols + ")";
  bool ok = true;
  if (numbersOnly(d)) {
    // A record of one number (a result file of message IDs) is one element
    // of a flat array, read without a JSON parse per record.
    bool single = columns == 1;
    std::string rows = "[";
    while (next()) {
      if (rows.size() > 1) rows += ',';
      appendNumbers(d, single, rows);
    }
    rows += ']';
    sqlite3_stmt* st = rows.size() > 2 ? cur_->prepareFast(skipDuplicates ? 8 : 7, [&] {
      std::string values = single ? "value" : "";
      for (int c = 0; c < columns && !single; ++c)
        values += (c ? ", " : "") + std::string("json_extract(value, '$[") + std::to_string(c) + "]')";
      return insert + " SELECT " + values + " FROM json_each(?1) ORDER BY key";
    })
                                         : nullptr;
    if (rows.size() > 2 && !st) ok = fail(sqlite3_extended_errcode(cur_->db), cur_->db);
    if (st) {
      sqlite3_bind_text(st, 1, rows.data(), int(rows.size()), SQLITE_STATIC);
      int rc = sqlite3_step(st);
      sqlite3_reset(st);
      sqlite3_clear_bindings(st);
      if (rc != SQLITE_DONE) ok = fail(sqlite3_extended_errcode(cur_->db), cur_->db);
      if (ok && sqlite3_changes(cur_->db) > 0) {
        curPos_ = sqlite3_last_insert_rowid(cur_->db);
        if (count_ >= 0) count_ += sqlite3_changes(cur_->db);
      }
    }
  } else {
    sqlite3_stmt* st = cur_->prepareFast(skipDuplicates ? 6 : 1, [&] { return insert + " VALUES(" + params + ")"; });
    if (!st) ok = fail(sqlite3_extended_errcode(cur_->db), cur_->db);
    while (ok && next()) {
      bindRow(st, 1);
      int rc = sqlite3_step(st);
      sqlite3_reset(st);
      if (rc != SQLITE_DONE) {
        ok = fail(sqlite3_extended_errcode(cur_->db), cur_->db);
        break;
      }
      if (sqlite3_changes(cur_->db) > 0) {
        curPos_ = sqlite3_last_insert_rowid(cur_->db);
        if (count_ >= 0) ++count_;
      }
    }
  }
  ++gen_;
  if (ownTxn) {
    if (ok) {
      ok = exec("COMMIT");
    } else {
      sqlite3_exec(own_.db, "ROLLBACK", nullptr, nullptr, nullptr);  // the error set stays
    }
    if (!ok) count_ = -1;
  }
  if (ok) clearError();
  return ok;
}

}  // namespace qv
