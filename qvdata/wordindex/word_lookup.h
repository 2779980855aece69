// Looking typed words up in the word list (SINGLE_ONEFLD) and the checks of
// the search input (SINGLE_UI): exact, wildcard, Soundex and approximate
// matching.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class LookupMode : int { Soundex = 1, Approximate = 2, Exact = 3, Wildcard = 4 };

struct WordCandidate {
  std::string word;
  int32_t wordId = 0;
  int32_t count = 0;  // messages holding it
};

// The Soundex code of an upper-case word: its first letter, then the digits
// of the following letters (table "01230120022455012623010202" for A..Z),
// leaving out 0 and a digit equal to the one appended last; not cut, not
// padded. Empty when the word holds anything but the letters A to Z.
std::string soundex(std::string_view word);

// A word matches a wildcard pattern: "*" stands for any run of characters,
// "?" for one character; the whole word must match. Both are compared
// character by character in the word index's upper case.
bool wildcardMatch(std::string_view pattern, std::string_view word);

// The pattern occurs in the word, starting anywhere, with at most k edits
// (insertions, deletions or substitutions of one character each, however
// many bytes its UTF-8 form takes), letter case folded to the word index's
// upper case.
bool approximateMatch(std::string_view pattern, std::string_view word, int k);

// The words of the current database's word list that match `word` (upper
// case) in the mode; Exact gives the word itself when it is there. Opens
// and releases the word list itself. `failed` is set when it cannot be read.
std::vector<WordCandidate> lookupWords(const std::string& word, LookupMode mode, int tolerance = 1,
                                       bool* failed = nullptr);

// SINGLE_UI's reading of a typed request: the input (at most 256
// characters) cut into upper-case words with "?" and "*" as word characters,
// stop words dropped; each refusal shown with its message. Returns false when
// the request cannot be searched.
bool typedSearchWords(const std::string& input, LookupMode mode, bool phrase, std::vector<std::string>& words);

}  // namespace qv
