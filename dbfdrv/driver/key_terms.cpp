// Terms of key expressions made of fields.
#include "driver/key_terms.h"

namespace dbf {

std::string componentTerm(const FieldDef& f, bool several, bool nocase) {
  std::string term = f.name;
  if (several) {
    if (f.type == 'N' || f.type == 'F')
      term = "STR(" + f.name + "," + std::to_string(f.length) + "," + std::to_string(f.decimals) + ")";
    else if (f.type == 'D') term = "DTOS(" + f.name + ")";
    else if (f.type == 'L') term = "IIF(" + f.name + ",'T','F')";
  }
  if (nocase && f.type == 'C') term = "UPPER(" + term + ")";
  return term;
}

uint32_t componentLength(const FieldDef& f) { return f.type == 'D' ? 8 : f.length; }

KeyType fieldKeyType(const FieldDef& f) {
  switch (f.type) {
    case 'N':
    case 'F': return KeyType::Numeric;
    case 'D': return KeyType::Date;
    case 'L': return KeyType::Logical;
    default: return KeyType::Character;
  }
}

std::string nonEmptyFilter(const std::vector<const FieldDef*>& fields, const std::string& filter) {
  // A text that is empty exactly when every field is: blanks trimmed away,
  // zero and false giving nothing. "''<>" compares it with the empty text
  // (the empty text on the left, where a comparison over the shorter length
  // cannot make every text equal to it).
  std::string any;
  for (const FieldDef* f : fields) {
    std::string term;
    if (f->type == 'N' || f->type == 'F') term = "IIF(" + f->name + "=0,'','1')";
    else if (f->type == 'L') term = "IIF(" + f->name + ",'1','')";
    else if (f->type == 'D') term = "TRIM(DTOS(" + f->name + "))";
    else term = "TRIM(" + f->name + ")";
    any += (any.empty() ? "" : "+") + term;
  }
  if (any.empty()) return filter;
  if (filter.empty()) return "''<>" + any;
  return "''<>IIF(" + filter + "," + any + ",'')";
}

}  // namespace dbf
