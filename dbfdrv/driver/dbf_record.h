// A DBF record image seen through the record accessor of key and filter
// expressions: its fields by name from the table's descriptors.
#pragma once

#include <string>
#include <vector>

#include "expr/record_access.h"
#include "table/table.h"

namespace dbf {

class DbfRecord : public RecordAccess {
 public:
  DbfRecord(const std::vector<FieldDef>& fields, const std::string& image, uint32_t number)
      : fields_(fields), image_(image), number_(number) {}
  bool field(std::string_view name, FieldView& out) const override {
    for (const FieldDef& f : fields_)
      if (f.name == name) {
        if (f.offset + f.length > image_.size()) return false;
        out = FieldView{f.type, static_cast<int>(f.length), f.decimals,
                        std::string_view(image_).substr(f.offset, f.length)};
        return true;
      }
    return false;
  }
  uint32_t recordNumber() const override { return number_; }
  bool deleted() const override { return !image_.empty() && image_[0] == '*'; }

 private:
  const std::vector<FieldDef>& fields_;
  const std::string& image_;
  uint32_t number_;
};

}  // namespace dbf
