// What the last search result holds, as the browser says before it
// searches within it. The call holds the result file for its own scope.
#pragma once

#include <cstdint>

namespace qv {

// How many messages the last search result holds.
int64_t searchResultCount();

}  // namespace qv
