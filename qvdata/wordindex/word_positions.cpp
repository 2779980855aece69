#include "wordindex/word_positions.h"

#include <algorithm>

#include "wordindex/word_cut.h"

namespace qv {

void BUILDWORDPOSQ(WordPositions& positions, std::string_view text, const std::string& word) {
  BUILDWORDPOSQ1(positions, text, std::vector<std::string>{word});
}

void BUILDWORDPOSQ1(WordPositions& positions, std::string_view text, const std::vector<std::string>& words) {
  positions.clear();
  std::vector<std::string> wanted;
  for (const std::string& w : words) wanted.push_back(wordUpper(w));
  WordCutter cut(text);
  CutWord w;
  while (cut.next(w))
    if (std::find(wanted.begin(), wanted.end(), w.word) != wanted.end()) positions.emplace_back(w.first, w.last);
}

}  // namespace qv
