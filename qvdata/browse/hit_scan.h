// The standard search's settings (one copy for the whole program) and the
// scan that marks every occurrence of the find string in a shown text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

struct FindSettings {
  std::string findString;     // at most 20 characters
  bool matchCase = false;     // "Case"
  bool wholeWords = false;    // "Word"
};
FindSettings& findSettings();

// Every occurrence of `pattern` in `text` as (first, last) character
// positions, 0-based and inclusive, found with a Boyer-Moore-Horspool scan;
// trailing blanks of both are ignored; unless matchCase the text is compared
// in upper case (the pattern is upper-cased too); with wholeWords an
// occurrence counts only when it stands as whole words as the word index
// cuts the text (WordBounds: no word runs across its start or its end), the
// same test as the find's.
std::vector<std::pair<int, int>> scanHits(std::string_view text, std::string_view pattern, bool matchCase,
                                          bool wholeWords);

}  // namespace qv
