#include "browse/phrase_match.h"

#include "storage/fixedstr.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {

// The phrase as the word cutter sees it: each phrase word cut like text, so
// that a word the cutter would split ("E-MAIL" where "-" separates) becomes
// the words it is split into, and separators around a word are dropped.
std::vector<std::string> phraseWords(const std::vector<std::string>& phrase) {
  std::vector<std::string> words;
  CutWord w;
  for (const std::string& p : phrase) {
    WordCutter cut(p);
    while (cut.next(w)) words.push_back(w.word);
  }
  return words;
}

}  // namespace

void PARCESTRING(WordPositions& result, size_t length, std::string_view text, const std::vector<std::string>& phrase) {
  result.clear();
  const std::vector<std::string> wanted = phraseWords(phrase);
  if (wanted.empty()) return;
  text = text.substr(0, utf8CutLength(text, length));

  std::vector<CutWord> words;
  WordCutter cut(text);
  CutWord w;
  while (cut.next(w)) words.push_back(w);

  // A word that does not continue a started occurrence may still begin
  // one: after a mismatch the comparison starts again with the word after
  // the one the failed attempt began with.
  size_t i = 0;
  while (i + wanted.size() <= words.size()) {
    size_t k = 0;
    while (k < wanted.size() && words[i + k].word == wanted[k]) ++k;
    if (k == wanted.size()) {
      result.emplace_back(words[i].first, words[i + k - 1].last);
      i += k;
    } else {
      ++i;
    }
  }
}

}  // namespace qv
