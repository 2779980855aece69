#include "driver/field_map.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/host.h"
#include "driver/oem_text.h"

namespace dbf {

namespace {

constexpr uint32_t kDefaultRealLength = 9;
constexpr uint8_t kDefaultRealDecimals = 2;
constexpr uint32_t kULongLength = 10;
constexpr uint32_t kMaxHintNumeric = 20;
constexpr size_t kNameCompared = 12;
constexpr int kMaxYear = 9999;

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool allBlank(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != ' ' && p[i] != '\0') return false;
  return true;
}

bool compatible(qv::FieldType t, char dbfType) {
  switch (t) {
    case qv::FieldType::Byte: return dbfType == 'L' || dbfType == 'N' || dbfType == 'C';
    case qv::FieldType::Long:
    case qv::FieldType::ULong: return dbfType == 'D' || dbfType == 'N' || dbfType == 'F' || dbfType == 'M';
    case qv::FieldType::Real: return dbfType == 'N' || dbfType == 'F';
    case qv::FieldType::String: return true;
    case qv::FieldType::Memo: return dbfType == 'M';
  }
  return false;
}

// Right-aligned decimal text of a value in a field; false when it does not fit.
bool formatNumber(double v, uint32_t length, uint8_t decimals, std::string& out) {
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%*.*f", int(length), int(decimals), v);
  if (n < 0 || uint32_t(n) > length) return false;
  out.assign(buf, size_t(n));
  return true;
}

void putText(std::string& record, const FieldMap& m, uint32_t offset, const std::string& text) {
  size_t n = std::min<size_t>(text.size(), m.length);
  std::memcpy(&record[offset], text.data(), n);
  std::memset(&record[offset + n], ' ', m.length - n);
}

}  // namespace

FieldHint parseHint(const std::string& external) {
  FieldHint h;
  std::string s = external;
  size_t colon = s.find(':');
  if (colon != std::string::npos) s = s.substr(colon + 1);
  size_t eq = s.find('=');
  h.name = upper(s.substr(0, eq));
  while (!h.name.empty() && h.name.back() == ' ') h.name.pop_back();
  if (eq == std::string::npos) return h;
  std::string t = upper(s.substr(eq + 1));
  if (t.empty()) {
    h.valid = false;
    return h;
  }
  h.type = t[0];
  switch (h.type) {
    case 'C': case 'D': case 'L': case 'M':
      break;
    case 'N': case 'F': {
      unsigned len = 0, dec = 0;
      char sep = 0;
      int got = std::sscanf(t.c_str() + 1, "(%u%c%u)", &len, &sep, &dec);
      if (got < 1) {
        h.valid = false;
        break;
      }
      if (got == 3 && sep != ',' && sep != '.') h.valid = false;
      if (got == 2 && sep != ')') h.valid = false;
      if (got < 3) dec = 0;
      if (len == 0 || len > kMaxHintNumeric || (dec > 0 && (len < 2 || dec > len - 2))) h.valid = false;
      h.length = len;
      h.decimals = uint8_t(dec);
      break;
    }
    default:
      h.valid = false;
  }
  return h;
}

int fieldsForCreate(const qv::FileDecl& decl, std::vector<FieldDef>& fields, std::string& message) {
  fields.clear();
  int memoFields = 0, memos = 0;
  for (size_t i = 0; i < decl.fields.size(); ++i) {
    const qv::FieldDesc& d = decl.fields[i];
    FieldHint h = parseHint(d.external);
    if (!h.valid) return LayerTypeMismatch;
    for (uint32_t e = 0; e < d.dim; ++e) {
      FieldDef f;
      f.name = h.name.empty() ? upper(d.name) : h.name;
      if (d.dim > 1) f.name += std::to_string(e + 1);
      switch (d.type) {
        case qv::FieldType::Byte: f.type = 'L'; f.length = 1; break;
        case qv::FieldType::Long: f.type = 'D'; f.length = 8; break;  // day numbers
        case qv::FieldType::ULong: f.type = 'N'; f.length = kULongLength; break;
        case qv::FieldType::Real: f.type = 'N'; f.length = kDefaultRealLength; f.decimals = kDefaultRealDecimals; break;
        case qv::FieldType::String: f.type = 'C'; f.length = d.size; break;
        case qv::FieldType::Memo: f.type = 'M'; f.length = kMemoFieldWidth; ++memos; break;
      }
      if (h.type) {
        if (d.type == qv::FieldType::Memo && h.type != 'M') return LayerTypeMismatch;
        f.type = h.type;
        if (h.type == 'N' || h.type == 'F') {
          f.length = h.length;
          f.decimals = h.decimals;
        } else if (h.type == 'C' && d.type != qv::FieldType::String) {
          return LayerTypeMismatch;
        }
        if (!compatible(d.type, f.type)) return LayerTypeMismatch;
      }
      if (f.type == 'M') ++memoFields;
      fields.push_back(std::move(f));
    }
  }
  if (memoFields != memos) {
    message = "You have a field of type LONG with no matching memo";
    return LayerTypeMismatch;
  }
  return LayerOk;
}

int mapFields(FileBlock& b, const TableInfo& info) {
  const qv::FileDecl& decl = b.file->decl();
  b.fields.clear();
  b.memos.clear();
  b.unmapped.clear();
  size_t next = 0;
  for (size_t i = 0; i < decl.fields.size(); ++i) {
    const qv::FieldDesc& d = decl.fields[i];
    FieldHint h = parseHint(d.external);
    if (!h.valid) return LayerTypeMismatch;
    for (uint32_t e = 0; e < d.dim; ++e) {
      if (next >= info.fields.size()) {
        // Tables that other programs wrote may stop before the fields that a
        // declaration adds at its end; read-only, those fields read empty.
        // Written, such a record would lose them: refused.
        if (!info.readOnly) return LayerMismatch;
        FieldMap m;
        m.field = int(i);
        m.element = e;
        m.dbf = -1;
        b.unmapped.push_back(m);
        continue;
      }
      const FieldDef& f = info.fields[next];
      if (!h.name.empty() && d.dim == 1 && h.name.substr(0, kNameCompared) != f.name.substr(0, kNameCompared))
        return LayerMismatch;
      if (h.type && h.type != f.type) return LayerTypeMismatch;
      if (!compatible(d.type, f.type)) return LayerTypeMismatch;
      if (d.type == qv::FieldType::Memo) {
        MemoMap mm;
        mm.field = int(i);
        mm.dbf = int(next);
        b.memos.push_back(mm);
      } else {
        FieldMap m;
        m.field = int(i);
        m.element = e;
        m.dbf = int(next);
        m.type = f.type;
        m.length = f.length;
        m.decimals = f.decimals;
        b.fields.push_back(m);
      }
      ++next;
    }
  }
  return LayerOk;
}

bool parseNumber(const char* data, size_t length, double& value) {
  std::string s;
  for (size_t i = 0; i < length; ++i) {
    char c = data[i];
    if (c == ' ' || c == '\0' || c == '*') continue;
    s += c == ',' ? '.' : c;
  }
  if (s.empty()) return false;
  char* end = nullptr;
  value = std::strtod(s.c_str(), &end);
  return end != s.c_str() && *end == '\0';
}

int recordToBuffer(FileBlock& b, const std::string& record) {
  const qv::FileDecl& decl = b.file->decl();
  const TableInfo* info = tableInfo(b.handle);
  int cond = StatusOk;
  for (const FieldMap& m : b.unmapped) {
    switch (decl.fields[size_t(m.field)].type) {
      case qv::FieldType::Byte:
      case qv::FieldType::Long:
      case qv::FieldType::ULong: qv::setField(decl, m.field, m.element, int64_t(0)); break;
      case qv::FieldType::Real: qv::setField(decl, m.field, m.element, 0.0); break;
      case qv::FieldType::String:
      case qv::FieldType::Memo: qv::setField(decl, m.field, m.element, std::string()); break;
    }
  }
  for (const FieldMap& m : b.fields) {
    const qv::FieldDesc& d = decl.fields[size_t(m.field)];
    const uint32_t off = info->fields[size_t(m.dbf)].offset;
    const char* p = record.data() + off;
    bool blank = allBlank(p, m.length);
    if (blank) cond = CondBlank;
    switch (d.type) {
      case qv::FieldType::Byte:
        if (m.type == 'N') {
          double v = 0;
          qv::setField(decl, m.field, m.element, int64_t(parseNumber(p, m.length, v) ? std::llround(v) : 0));
        } else {
          qv::setField(decl, m.field, m.element, int64_t(uint8_t(p[0])));
        }
        break;
      case qv::FieldType::Long:
      case qv::FieldType::ULong: {
        int64_t v = 0;
        if (m.type == 'D') {
          int y = 0, mo = 0, dd = 0;
          if (!blank && std::sscanf(std::string(p, 8).c_str(), "%4d%2d%2d", &y, &mo, &dd) == 3)
            v = hostDateFromYMD(y, mo, dd);
        } else {
          double dv = 0;
          if (parseNumber(p, m.length, dv)) v = std::llround(dv);
        }
        qv::setField(decl, m.field, m.element, v);
        break;
      }
      case qv::FieldType::Real: {
        double v = 0;
        parseNumber(p, m.length, v);
        qv::setField(decl, m.field, m.element, v);
        break;
      }
      case qv::FieldType::String: {
        std::string text(p, m.length);
        if (m.type == 'C') {
          // writers that pad with NULs mean the text before the first one
          size_t nul = text.find('\0');
          if (nul != std::string::npos) text.resize(nul);
          if (d.oem) text = oemToUtf8(text);
        }
        qv::setField(decl, m.field, m.element, text);
        break;
      }
      case qv::FieldType::Memo:
        break;
    }
  }
  return cond;
}

int bufferToRecord(FileBlock& b, std::string& record) {
  const qv::FileDecl& decl = b.file->decl();
  const TableInfo* info = tableInfo(b.handle);
  int cond = StatusOk;
  for (const FieldMap& m : b.fields) {
    const qv::FieldDesc& d = decl.fields[size_t(m.field)];
    const uint32_t off = info->fields[size_t(m.dbf)].offset;
    const FieldDef& f = info->fields[size_t(m.dbf)];
    qv::FieldValue v = qv::getField(decl, m.field, m.element);
    std::string text;
    switch (d.type) {
      case qv::FieldType::Byte: {
        int64_t c = std::get<int64_t>(v);
        if (m.type == 'L') {
          if (c == 0 || c == 'F' || c == 'f' || c == 'N' || c == 'n') text = "F";
          else if (c == 1 || c == 'T' || c == 't' || c == 'Y' || c == 'y') text = "T";
          else if (c == ' ' || c == '?') text = " ";
          else return ErrBadData;
        } else if (m.type == 'N') {
          if (!formatNumber(double(c), m.length, m.decimals, text)) return ErrBadData;
        } else {
          text = std::string(1, char(c));
        }
        break;
      }
      case qv::FieldType::Long:
      case qv::FieldType::ULong: {
        int64_t n = std::get<int64_t>(v);
        if (m.type == 'D') {
          if (n == 0) {
            text = std::string(8, ' ');
          } else {
            int y = 0, mo = 0, dd = 0;
            hostYmdFromDate(int32_t(n), y, mo, dd);
            y = std::clamp(y, 0, kMaxYear);
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, mo, dd);
            text = buf;
          }
        } else if (m.type == 'M') {
          char buf[24];
          std::snprintf(buf, sizeof buf, "%10lu", static_cast<unsigned long>(uint32_t(n)));
          text = buf;
        } else {
          if (std::fabs(double(n)) > f.maxValue || !formatNumber(double(n), m.length, m.decimals, text))
            return ErrBadData;
        }
        break;
      }
      case qv::FieldType::Real: {
        double r = std::get<double>(v);
        if (!std::isfinite(r) || std::fabs(r) > f.maxValue || !formatNumber(r, m.length, m.decimals, text))
          return ErrBadData;
        break;
      }
      case qv::FieldType::String: {
        text = std::get<std::string>(v);
        if (m.type == 'C' && d.oem) text = utf8ToOem(text);
        if (m.type == 'C') {
          size_t end = text.size();
          while (end > m.length) {
            if (text[end - 1] != ' ') {
              cond = CondTruncated;
              break;
            }
            --end;
          }
        }
        break;
      }
      case qv::FieldType::Memo:
        continue;
    }
    putText(record, m, off, text);
  }
  return cond;
}

}  // namespace dbf
