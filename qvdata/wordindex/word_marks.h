// The words of the word list that the user marked for removal. They wait in
// the database's PurgeList (one record per word: PUR.WORDID, PUR.SYSID 0)
// until the next indexing run moves them to the stop list and removes their
// occurrence records. The word list window and `qvcli words` keep them.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace qv {

using WordMarks = std::set<int32_t>;

// The marked word IDs of the current database. Opens and releases
// FilePurgeList itself.
WordMarks loadWordMarks();
// Replaces the marks of the current database by `marks`, in one
// transaction: a run stopped at any point leaves the old marks or the new
// ones. With no marks the file goes. False when a file failed (nothing has
// changed then) or while an indexing run holds the word index.
bool saveWordMarks(const WordMarks& marks);

// The ID of a word of the current database's word list; 0 when the word is
// not in it.
int32_t wordIdOf(const std::string& word);

// Rebuilds the count order of the word list (WOR_by_WordCount) when the
// current database marks it stale (Mem.WordListIndexNeedsUpdate: an
// indexing run did not end), and clears the mark in the database's Forums
// record. Holds the word list exclusively for the rebuild. True when the
// order is up to date afterwards.
bool refreshWordCountOrder();

}  // namespace qv
