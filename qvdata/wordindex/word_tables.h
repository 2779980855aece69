// The word-breaking character tables (services/globals.h: IsJunkHash,
// StartWordHash, InWordHash, EndWordHash): their defaults, their storage in
// the control file and the named word-definition sets.
//
// The tables are indexed by a character's Windows-1252 code. They are kept
// in Control records 11 to 16, whose 200-byte settings areas hold the 1024
// bytes of the four tables end to end (IsJunkHash, StartWordHash,
// InWordHash, EndWordHash). WSVars loads them with block 10 and saves them
// with it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Fills the four tables with their defaults.
void setDefaultWordTables();

// Loads the tables from Control records 11..16: defaults first, a missing
// record is created from them, a stored one overwrites them; a record that
// exists but cannot be read resets all four tables to the defaults. False
// when the control file failed.
bool loadWordTables();
// Writes the six records back.
bool saveWordTables();

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
