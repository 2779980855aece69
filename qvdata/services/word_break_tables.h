// The word-breaking character tables (globals.h: IsJunkHash, StartWordHash,
// InWordHash, EndWordHash): their defaults and their storage in the control
// file. The word cutter (wordindex/word_cut.h) reads them; the named
// word-definition sets are kept by the word index (wordindex/word_tables.h).
//
// The tables are indexed by a character's Windows-1252 code. They are kept
// in Control records 11 to 16, whose 200-byte settings areas hold the 1024
// bytes of the four tables end to end (IsJunkHash, StartWordHash,
// InWordHash, EndWordHash). WSVars loads them with block 10 and saves them
// with it.
#pragma once

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

}  // namespace qv
