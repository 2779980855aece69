// What the key and filter expressions see of a record: its fields by name,
// its number and its deletion mark. The table engine, the tests and the
// fuzz targets each provide one.
#pragma once

#include <cstdint>
#include <string_view>

namespace dbf {

struct FieldView {
  char type = 'C';        // DBF type letter: C, D, N, F, L, M (I read as a number)
  int length = 0;
  int decimals = 0;
  std::string_view bytes; // the field's raw bytes in the record
};

class RecordAccess {
 public:
  virtual ~RecordAccess() = default;
  // The field of that name (upper case, at most 10 characters); false when
  // the table has none.
  virtual bool field(std::string_view name, FieldView& out) const = 0;
  virtual uint32_t recordNumber() const = 0;
  virtual bool deleted() const = 0;
};

}  // namespace dbf
