// Building the key value of a record for one index, and whether the record
// belongs in it (its FOR filter).
#pragma once

#include <string>

#include "expr/expression.h"
#include "index/key_encoding.h"

namespace dbf {

struct KeyDefinition {
  KeyType type = KeyType::Character;
  int length = 0;
  Expression key;
  Expression filter;  // empty: every record
  bool oem = false;   // the file's texts are converted to OEM: always evaluate
  DayNumbers days = DayNumbers::Julian;  // what date keys hold
};

// Compiles a key's expressions; the key length follows from the type (and,
// for C keys without a declared length, from the expression's value on
// sample). -222 for a type other than C, D, L, N; -223 for a C length outside
// 1 to 100; -207 or 76 for the expressions.
int defineKey(char type, const std::string& expression, const std::string& filter, int length,
              const RecordAccess& sample, KeyDefinition& out, std::string* detail = nullptr);

// The key bytes of a record, and whether the filter admits it.
int buildKey(const KeyDefinition& def, const RecordAccess& record, std::string& key, bool& included,
             std::string* detail = nullptr);

}  // namespace dbf
