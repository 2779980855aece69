// Key expressions made of a table's fields: the term of one component of a
// key, and the filter that leaves out records whose components are all empty.
#pragma once

#include <string>
#include <vector>

#include "index/key_encoding.h"
#include "table/table.h"

namespace dbf {

// The term of a component field in a key expression: the field itself when
// it is the only component; among several, numbers as STR, dates as DTOS and
// logicals as T/F so that the key is one text. A character field of a key
// that ignores case is taken in UPPER.
std::string componentTerm(const FieldDef& f, bool several, bool nocase);
// The key bytes of a component in a key of several.
uint32_t componentLength(const FieldDef& f);
// The key type of a key of that one field.
KeyType fieldKeyType(const FieldDef& f);
// The filter that admits a record when one of the fields is not blank (a
// number not zero, a logical true), joined with the key's own filter (empty
// for none). Stored as the index's FOR expression, so that every reader of
// the file leaves out the same records.
std::string nonEmptyFilter(const std::vector<const FieldDef*>& fields, const std::string& filter);

}  // namespace dbf
