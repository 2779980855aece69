// Where a phrase stands in a shown text, for highlighting (procedure PARCESTRING).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "wordindex/word_positions.h"

namespace qv {

// Clears `result` and adds (first, last) for every occurrence of `phrase`
// in the first `length` bytes of `text` (cut back to a character boundary):
// 1-based byte positions of the first byte of its first word and the last
// byte of its last word. The text is cut into words exactly as the word
// index cuts it; each word is compared in upper case (at most 40
// characters) with the phrase word in upper case, so the phrase matches in
// any letter case across any separators, but not two words written as one.
// Occurrences do not overlap: the search goes on after the last word of an
// occurrence. An empty phrase marks nothing.
void PARCESTRING(WordPositions& result, size_t length, std::string_view text, const std::vector<std::string>& phrase);

}  // namespace qv
