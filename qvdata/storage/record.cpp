#include "storage/record.h"

#include <cmath>
#include <cstring>

namespace qv {

const char* fieldTypeName(FieldType t) {
  switch (t) {
    case FieldType::Byte: return "BYTE";
    case FieldType::Long: return "LONG";
    case FieldType::ULong: return "ULONG";
    case FieldType::Real: return "REAL";
    case FieldType::String: return "STRING";
    case FieldType::Memo: return "MEMO";
  }
  return "?";
}

uint32_t FileDecl::recordLength() const {
  uint32_t n = 0;
  for (const FieldDesc& f : fields)
    if (f.type != FieldType::Memo) n += f.size * f.dim;
  return n;
}

int FileDecl::fieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].name == name) return static_cast<int>(i);
  return -1;
}

int FileDecl::keyIndex(std::string_view name) const {
  for (size_t i = 0; i < keys.size(); ++i)
    if (keys[i].name == name) return static_cast<int>(i);
  return -1;
}

std::string FileDecl::columnName(int field, uint32_t element) const {
  const FieldDesc& f = fields.at(field);
  if (f.dim == 1) return f.name;
  return f.name + "_" + std::to_string(element + 1);
}

std::string FileDecl::layoutSignature() const {
  std::string s = label;
  for (const FieldDesc& f : fields) {
    s += ";" + f.name + ":" + fieldTypeName(f.type) + ":" + std::to_string(f.size);
    if (f.dim != 1) s += "x" + std::to_string(f.dim);
  }
  return s;
}

std::string FileDecl::keySignature(size_t key) const {
  const KeyDesc& k = keys[key];
  std::string s = k.name + "(";
  for (const KeyPart& p : k.parts) s += fields[p.field].name + (p.descending ? "-," : ",");
  s += ")";
  if (k.unique) s += "U";
  if (k.nocase) s += "C";
  if (k.primary) s += "P";
  if (k.excludeEmpty) s += "E";
  if (k.onDemand) s += "D";
  return s;
}

std::string FileDecl::keySignature() const {
  std::string s;
  for (size_t k = 0; k < keys.size(); ++k) s += keySignature(k) + ";";
  return s;
}

namespace {
inline char* at(const FileDecl& d, const FieldDesc& f, uint32_t element) {
  return static_cast<char*>(d.buffer) + f.offset + element * f.stride;
}
}  // namespace

void clearRecord(const FileDecl& d) {
  for (size_t i = 0; i < d.fields.size(); ++i) {
    const FieldDesc& f = d.fields[i];
    for (uint32_t e = 0; e < f.dim; ++e) {
      char* p = at(d, f, e);
      switch (f.type) {
        case FieldType::Byte: *reinterpret_cast<uint8_t*>(p) = 0; break;
        case FieldType::Long: *reinterpret_cast<int32_t*>(p) = 0; break;
        case FieldType::ULong: *reinterpret_cast<uint32_t*>(p) = 0; break;
        case FieldType::Real: *reinterpret_cast<double*>(p) = 0; break;
        case FieldType::String: std::memset(p, ' ', f.size); break;
        case FieldType::Memo: reinterpret_cast<std::string*>(p)->clear(); break;
      }
    }
  }
}

FieldValue getField(const FileDecl& d, int field, uint32_t element) {
  const FieldDesc& f = d.fields.at(field);
  const char* p = at(d, f, element);
  switch (f.type) {
    case FieldType::Byte: return int64_t(*reinterpret_cast<const uint8_t*>(p));
    case FieldType::Long: return int64_t(*reinterpret_cast<const int32_t*>(p));
    case FieldType::ULong: return int64_t(*reinterpret_cast<const uint32_t*>(p));
    case FieldType::Real: return *reinterpret_cast<const double*>(p);
    case FieldType::String: return std::string(trimRight(std::string_view(p, f.size)));
    case FieldType::Memo: {
      const std::string& s = *reinterpret_cast<const std::string*>(p);
      if (s.size() <= f.size) return s;
      return s.substr(0, utf8CutLength(s, f.size));
    }
  }
  return int64_t(0);
}

void setField(const FileDecl& d, int field, uint32_t element, const FieldValue& v) {
  const FieldDesc& f = d.fields.at(field);
  char* p = at(d, f, element);
  auto asInt = [&]() -> int64_t {
    if (auto i = std::get_if<int64_t>(&v)) return *i;
    if (auto r = std::get_if<double>(&v)) return static_cast<int64_t>(std::llround(*r));
    return std::atoll(std::get<std::string>(v).c_str());
  };
  switch (f.type) {
    case FieldType::Byte: *reinterpret_cast<uint8_t*>(p) = static_cast<uint8_t>(asInt()); break;
    case FieldType::Long: *reinterpret_cast<int32_t*>(p) = static_cast<int32_t>(asInt()); break;
    case FieldType::ULong: *reinterpret_cast<uint32_t*>(p) = static_cast<uint32_t>(asInt()); break;
    case FieldType::Real:
      if (auto r = std::get_if<double>(&v))
        *reinterpret_cast<double*>(p) = *r;
      else if (auto i = std::get_if<int64_t>(&v))
        *reinterpret_cast<double*>(p) = static_cast<double>(*i);
      else
        *reinterpret_cast<double*>(p) = std::atof(std::get<std::string>(v).c_str());
      break;
    case FieldType::String: {
      std::string s = std::holds_alternative<std::string>(v) ? std::get<std::string>(v)
                      : std::holds_alternative<int64_t>(v)   ? std::to_string(std::get<int64_t>(v))
                                                             : std::to_string(std::get<double>(v));
      size_t n = utf8CutLength(s, f.size);
      std::memcpy(p, s.data(), n);
      std::memset(p + n, ' ', f.size - n);
      break;
    }
    case FieldType::Memo: {
      std::string& m = *reinterpret_cast<std::string*>(p);
      if (auto s = std::get_if<std::string>(&v))
        m.assign(*s, 0, utf8CutLength(*s, f.size));
      else
        m.clear();
      break;
    }
  }
}

bool fieldIsEmpty(const FileDecl& d, int field, uint32_t element) {
  FieldValue v = getField(d, field, element);
  if (auto i = std::get_if<int64_t>(&v)) return *i == 0;
  if (auto r = std::get_if<double>(&v)) return *r == 0;
  return std::get<std::string>(v).empty();
}

RecordImage saveRecord(const FileDecl& d) {
  RecordImage img;
  for (size_t i = 0; i < d.fields.size(); ++i)
    for (uint32_t e = 0; e < d.fields[i].dim; ++e) img.values.push_back(getField(d, int(i), e));
  return img;
}

void restoreRecord(const FileDecl& d, const RecordImage& img) {
  size_t k = 0;
  for (size_t i = 0; i < d.fields.size(); ++i)
    for (uint32_t e = 0; e < d.fields[i].dim; ++e) {
      if (k < img.values.size()) setField(d, int(i), e, img.values[k]);
      ++k;
    }
}

bool sameRecord(const FileDecl&, const RecordImage& a, const RecordImage& b) { return a.values == b.values; }

}  // namespace qv
