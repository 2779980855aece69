// The stop list (StopList, file 30, in the configuration area): words that
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

// Reads the whole stop list. Opens and releases file 30 itself.
bool loadStopList(StopWords& out);
// The stop list as stored now, for readers that consult it often (the
// phrase check, the search input): one copy for the process, read again
// whenever the file's stamp (storage/file_stamp.h) differs from the one it
// was read under, that is after any write to the stop list and in another
// installation. A caller keeps the copy it got for one piece of work.
std::shared_ptr<const StopWords> storedStopList();
// Adds one word (upper-cased) unless it is there already. Opens and releases
// file 30 itself. False when the file failed; nothing is shown.
bool addStopWord(std::string_view word);
bool isStopWord(std::string_view word);

// The stop list a new installation starts with: common English words.
const std::vector<std::string_view>& defaultStopWords();
// Fills an empty stop list with the default words; a list that holds words
// is left as it is.
bool installDefaultStopList();

}  // namespace qv
