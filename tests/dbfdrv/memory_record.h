// A record held in memory for the expression and index tests: fields by
// name with their DBF type, length and bytes.
#pragma once

#include <map>
#include <string>

#include "expr/record_access.h"

namespace dbftest {

struct MemoryField {
  char type = 'C';
  int length = 0;
  int decimals = 0;
  std::string bytes;
};

class MemoryRecord : public dbf::RecordAccess {
 public:
  std::map<std::string, MemoryField> fields;
  uint32_t number = 1;
  bool isDeleted = false;

  MemoryRecord& set(const std::string& name, char type, std::string bytes, int decimals = 0) {
    fields[name] = MemoryField{type, static_cast<int>(bytes.size()), decimals, std::move(bytes)};
    return *this;
  }
  bool field(std::string_view name, dbf::FieldView& out) const override {
    auto it = fields.find(std::string(name));
    if (it == fields.end()) return false;
    out = dbf::FieldView{it->second.type, it->second.length, it->second.decimals, it->second.bytes};
    return true;
  }
  uint32_t recordNumber() const override { return number; }
  bool deleted() const override { return isDeleted; }
};

}  // namespace dbftest
