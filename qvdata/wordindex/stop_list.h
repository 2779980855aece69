// The stop list (StopList, file 30, in the configuration area): words that
// are never indexed and are dropped from search requests. One list for the
// whole installation; words are stored in upper case.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace qv {

using StopWords = std::unordered_set<std::string>;

// Reads the whole stop list. Opens and releases file 30 itself.
bool loadStopList(StopWords& out);
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
