// From typed search words to the entries of a search's AND and OR lists:
// the look-up of each word in the mode the user chose, the look-up of a
// phrase word by word, and the lists' rule that a word stands in a list once.
// Questions and messages go through the prompt interface.
#pragma once

#include <string>
#include <vector>

#include "wordindex/search.h"
#include "wordindex/word_lookup.h"

namespace qv {

// The mode a typed word is looked up in: a word holding "*" or "?" typed in
// exact mode is a wildcard pattern.
LookupMode wordLookupMode(const std::string& word, LookupMode chosen);

// The words of the word list that match one typed word (as typedSearchWords
// gives it) in the chosen mode. False, with the user told, when the word list
// cannot be read; an empty `out` then or when nothing matches.
bool lookupTyped(const std::string& word, LookupMode chosen, int tolerance, std::vector<WordCandidate>& out);

// The words of a phrase looked up exactly, in their order. A word the word
// list does not hold ends the request with "One of the words in the phrase
// was not found in any document." and the word; false then.
bool lookupPhrase(const std::vector<std::string>& words, std::vector<SearchWord>& out);

// The most candidates a pick list offers. When more words match (a bare "*"
// matches the whole word list), the ones found in the most messages are
// kept, in word order, and the user is told how many matched.
inline constexpr size_t kMaxPickWords = 10000;
void limitPickList(const std::string& typed, std::vector<WordCandidate>& candidates, size_t max = kMaxPickWords);

// Adds a word to a list unless the list holds it already (by word ID, or by
// the word for a word the index lacks). True when it was added.
bool addSearchWord(std::vector<SearchWord>& list, const SearchWord& w);

}  // namespace qv
