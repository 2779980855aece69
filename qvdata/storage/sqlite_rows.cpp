// Moving data between a declared file's record buffer and SQLite statements.
//
// Rules:
// - A row's columns follow the declaration: every element of every field in
//   order, after qv_pos; loadRow and bindRow walk them alike.
// - Text fields are stored without their trailing blanks and read back
//   blank-padded; a text longer than its field is cut on a UTF-8 character
//   boundary. A memo longer than its declared size is stored cut so too.
// - Bound text of the record buffer is bound SQLITE_STATIC: the statement
//   runs before the buffer changes.
#include <cstring>

#include "storage/fixedstr.h"
#include "storage/sqlite_driver.h"

namespace qv {

namespace {
// Fills the elements of field `f` from columns `col` on; returns the next column.
int loadField(sqlite3_stmt* st, int col, const FieldDesc& f, char* base) {
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
  return col;
}
}  // namespace

void SqliteDriver::loadRow(sqlite3_stmt* st, int col) {
  const FileDecl& d = file_.decl();
  char* base = static_cast<char*>(d.buffer);
  for (const FieldDesc& f : d.fields) col = loadField(st, col, f, base);
}

void SqliteDriver::loadFields(sqlite3_stmt* st, int col, const std::vector<int>& fields) {
  const FileDecl& d = file_.decl();
  char* base = static_cast<char*>(d.buffer);
  for (int i : fields) col = loadField(st, col, d.fields[size_t(i)], base);
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

}  // namespace qv
