#include "wordindex/search_input.h"

#include <algorithm>

#include "services/prompt.h"

namespace qv {

LookupMode wordLookupMode(const std::string& word, LookupMode chosen) {
  if (chosen == LookupMode::Exact && word.find_first_of("*?") != std::string::npos) return LookupMode::Wildcard;
  return chosen;
}

namespace {

// The word list's words for a word in a mode; a word list that cannot be
// read is told.
bool lookUp(const std::string& word, LookupMode mode, int tolerance, std::vector<WordCandidate>& out) {
  bool failed = false;
  out = lookupWords(word, mode, tolerance, &failed);
  if (failed) {
    out.clear();
    Message("Unable to open the DAT file.  Did you add the .DAT extension? Aborting!", "Open File Error",
            Icon::Hand);
    return false;
  }
  return true;
}

}  // namespace

bool lookupTyped(const std::string& word, LookupMode chosen, int tolerance, std::vector<WordCandidate>& out) {
  return lookUp(word, wordLookupMode(word, chosen), tolerance, out);
}

bool lookupPhrase(const std::vector<std::string>& words, std::vector<SearchWord>& out) {
  out.clear();
  for (const std::string& w : words) {
    std::vector<WordCandidate> found;
    if (!lookUp(w, LookupMode::Exact, 0, found)) return false;
    if (found.empty()) {
      out.clear();
      Message("One of the words in the phrase was not found in any document.\r\nWord:" + w, "No matches",
              Icon::Information);
      return false;
    }
    out.push_back({found[0].word, found[0].wordId, found[0].count, false});
  }
  return true;
}

void limitPickList(const std::string& typed, std::vector<WordCandidate>& candidates, size_t max) {
  if (candidates.size() <= max) return;
  const size_t matched = candidates.size();
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const WordCandidate& a, const WordCandidate& b) { return a.count > b.count; });
  candidates.resize(max);
  std::sort(candidates.begin(), candidates.end(),
            [](const WordCandidate& a, const WordCandidate& b) { return a.word < b.word; });
  Message(std::to_string(matched) + " words match " + typed + ".\r\nThe " + std::to_string(max) +
              " found in the most messages are offered.",
          "Too Many Words", Icon::Information);
}

bool addSearchWord(std::vector<SearchWord>& list, const SearchWord& w) {
  bool there = std::any_of(list.begin(), list.end(), [&](const SearchWord& e) {
    return w.wordId != 0 ? e.wordId == w.wordId : e.wordId == 0 && e.word == w.word;
  });
  if (!there) list.push_back(w);
  return !there;
}

}  // namespace qv
