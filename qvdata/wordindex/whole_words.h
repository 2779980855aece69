// Finding a text in a text, anywhere or as whole words as the word index
// cuts them.
//
// All texts are UTF-8. Positions are counted in bytes.
#pragma once

#include <string_view>

namespace qv {

// Finds `pattern` in `text` and returns its 1-based byte position, 0 when it
// does not occur. Trailing blanks of both are ignored; an empty pattern and a
// pattern longer than the text give 0. The comparison is case-sensitive
// (callers fold case themselves when they want to).
//
// Mode 0 returns the first occurrence. Mode 1 returns the first occurrence
// that stands as whole words: no word of the text, as the word index cuts it
// (word_cut.h, WordBounds), runs across its start or its end. So
// "ABC" is a whole word in "ABC." and "(ABC)" but not in "ABC2", "ABC_X",
// "ABCÉ" or "ABC.DEF".
int AISINB(int mode, std::string_view text, std::string_view pattern);

}  // namespace qv
