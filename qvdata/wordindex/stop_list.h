// The stop list (StopList, FileStopList, in the configuration area): words that
// are never indexed and are dropped from search requests. One list for the
// whole installation; words are stored in upper case.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace qv {

using StopWords = std::unordered_set<std::string>;

// Reads the whole stop list. Opens and releases FileStopList itself.
bool loadStopList(StopWords& out);
// The stop list as stored now, for readers that consult it often (the
// phrase check, the search input): one copy for the process, read again
// whenever the file's stamp (storage/file_stamp.h) differs from the one it
// was read under, that is after any write to the stop list and in another
// installation. A caller keeps the copy it got for one piece of work.
std::shared_ptr<const StopWords> storedStopList();
// Adds one word (upper-cased) unless it is there already, as the user's own
// stop word: a word the frequent-word move had put there becomes the user's
// (a full run no longer gives it back). Opens and releases FileStopList itself.
// False when the file failed; nothing is shown.
bool addStopWord(std::string_view word);

// The record of which stop words the frequent-word move of an indexing run
// added (StopMoves, dictionary/config_files.h), so that a full run of the
// database that moved them can give them back to indexing.
//
// Opens StopMoves of the current installation (CFG/STOPMOVE.ADF), creating
// it when missing; it stays open until the installation closes.
bool openStopMoves();
// Puts a word on the stop list as the frequent-word move of `database`'s
// run: remembered as moved, unless it was on the stop list already. Both
// files are open (an indexing run writes them in its flush transaction).
bool moveToStopList(std::string_view word, uint32_t database);
// The words the move put on the stop list for `database`.
std::vector<std::string> movedStopWords(uint32_t database);
// Takes the words the move put on the stop list for `database` off it again
// (and out of StopMoves), in one transaction. False when a file failed;
// nothing has changed then.
bool giveBackMovedWords(uint32_t database);
bool isStopWord(std::string_view word);

}  // namespace qv
