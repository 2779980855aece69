// The stop list a new installation starts with: common English words. The
// stop list itself (StopList, FileStopList) is kept by the word index
// (wordindex/stop_list.h).
#pragma once

#include <string_view>
#include <vector>

namespace qv {

// The words, in upper case as the word cutter makes every stop word.
const std::vector<std::string_view>& defaultStopWords();
// Fills an empty stop list with the default words; a list that holds words
// is left as it is. Opens and releases FileStopList itself.
bool installDefaultStopList();

}  // namespace qv
