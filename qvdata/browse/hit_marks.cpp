#include "browse/hit_marks.h"

#include <algorithm>

#include "browse/phrase_match.h"
#include "wordindex/word_positions.h"

namespace qv {

Hits wordHits(std::string_view shown, const std::vector<std::string>& words) {
  WordPositions positions;
  BUILDWORDPOSQ1(positions, shown, words);
  Hits hits;
  hits.reserve(positions.size());
  for (const auto& [first, last] : positions) hits.emplace_back(int(first) - 1, int(last) - 1);
  return hits;
}

Hits searchHits(std::string_view shown, const SearchMarks& marks) {
  Hits hits = marks.words.empty() ? Hits() : wordHits(shown, marks.words);
  if (!marks.phrase.empty()) {
    WordPositions positions;
    PARCESTRING(positions, shown.size(), shown, marks.phrase);
    for (const auto& [first, last] : positions) hits.emplace_back(int(first) - 1, int(last) - 1);
    std::sort(hits.begin(), hits.end());
  }
  return hits;
}

int stepHit(const Hits& hits, int selFirst, bool forward) {
  if (forward) {
    for (size_t i = 0; i < hits.size(); ++i)
      if (hits[i].first > selFirst) return int(i);
    return -1;
  }
  for (size_t i = hits.size(); i-- > 0;)
    if (hits[i].first < selFirst) return int(i);
  return -1;
}

}  // namespace qv
