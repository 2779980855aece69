// What the open database's word index and the last search result hold, as
// the windows ask before they offer a search or describe one. Each call
// holds the file it reads for its own scope.
#pragma once

#include <cstdint>

namespace qv {

// True when the word index holds any word occurrence.
bool isIndexed();
// How many messages the last search result holds.
int64_t searchResultCount();

}  // namespace qv
