// The named word-definition sets: the start, inside and end tables of the
// word-breaking characters (services/word_break_tables.h, which also gives
// the tables' defaults and their storage) kept under a name.
#pragma once

#include <string>
#include <vector>

#include "services/word_break_tables.h"

namespace qv {

// Named sets of the first three tables, kept in the current database's
// WordDefs file (one record per set name and character code).
std::vector<std::string> wordSetNames();
// Stores the current start, inside and end tables as the set `name`
// (replacing a set of that name).
bool saveWordSet(const std::string& name);
// Copies a stored set into the start, inside and end tables (the caller
// saves them with WSVars(KSave)). False when there is no such set.
bool useWordSet(const std::string& name);
bool deleteWordSet(const std::string& name);

}  // namespace qv
