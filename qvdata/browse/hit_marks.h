// The search hits of a shown text: where the searched words stand (the
// result and key word views) and the step from hit to hit across pages.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

using Hits = std::vector<std::pair<int, int>>;  // (first, last): 0-based inclusive offsets in the shown text

// Every occurrence of any of `words` (upper case, as the index holds them)
// in the shown text, cut as the word index cuts it, in text order.
Hits wordHits(std::string_view shown, const std::vector<std::string>& words);

// What a search result marks in a shown text: its words one by one, and its
// phrase as a whole wherever its words stand next to each other.
struct SearchMarks {
  std::vector<std::string> words;   // upper case
  std::vector<std::string> phrase;  // upper case, in order; empty: none
  bool empty() const { return words.empty() && phrase.empty(); }
};

// The marks of a search result in the shown text, in text order: the
// occurrences of its words and of its phrase.
Hits searchHits(std::string_view shown, const SearchMarks& marks);

// The index of the hit after (forward) or before the selection that begins
// at offset `selFirst` of the shown text: forward the first hit with first >
// selFirst, backward the last hit with first < selFirst. -1 when there is
// none (that button is disabled). With no selection pass -1: forward finds
// the first hit, backward none. The caller shows the page of the hit
// (pageOf in reading_pane.h).
int stepHit(const Hits& hits, int selFirst, bool forward);

}  // namespace qv
