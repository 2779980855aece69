// The key description of a dynamic index: a key specification as in a
// declaration ("C[UPPER(NAME)],FOR[...]"), or a list of the table's field
// names separated by "," with "+" (ascending) or "-" (descending) before
// each; ":" followed by a character stands for that character.
#pragma once

#include <string>
#include <vector>

#include "index/key_encoding.h"
#include "table/table.h"

namespace dbf {

struct DynamicKey {
  KeyType type = KeyType::Character;
  std::string expression;
  std::string filter;
  bool compressed = false;
  bool descending = false;
  std::vector<uint32_t> prefixLengths;  // key bytes of the first n fields of a list
};

// Answers 0; -207 for a malformed description (also a list mixing ascending
// and descending fields, which one key order cannot follow); 76 with the
// name in detail for a field the table lacks.
int parseDynamicKey(const std::string& description, const std::vector<FieldDef>& fields, DynamicKey& out,
                    std::string& detail);

}  // namespace dbf
