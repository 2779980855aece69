// BUILDWORDPOSQ and BUILDWORDPOSQ1: where the search words stand in a shown
// text, for highlighting. The text is cut exactly as the index cuts it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

// (first, last): 1-based byte positions of a word's first and last byte.
using WordPositions = std::vector<std::pair<size_t, size_t>>;

// Clears `positions` and adds every word of `text` whose upper-case form is `word`.
void BUILDWORDPOSQ(WordPositions& positions, std::string_view text, const std::string& word);
// The same for any of `words`.
void BUILDWORDPOSQ1(WordPositions& positions, std::string_view text, const std::vector<std::string>& words);

}  // namespace qv
