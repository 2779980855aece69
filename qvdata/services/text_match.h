// Text matching and trimming services shared by the importers, the browsers
// and the maintenance jobs.
//
// All texts are UTF-8. Positions and lengths are counted in bytes unless a
// function says otherwise.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Finds `pattern` in `text` and returns its 1-based byte position, 0 when it
// does not occur. Trailing blanks of both are ignored; an empty pattern and a
// pattern longer than the text give 0. The comparison is case-sensitive
// (callers fold case themselves when they want to).
//
// Mode 0 returns the first occurrence. Mode 1 returns the first occurrence
// that stands as whole words: no word of the text, as the word index cuts it
// (wordindex/word_cut.h, WordBounds), runs across its start or its end. So
// "ABC" is a whole word in "ABC." and "(ABC)" but not in "ABC2", "ABC_X",
// "ABCÉ" or "ABC.DEF".
int AISINB(int mode, std::string_view text, std::string_view pattern);

// True when two message texts are to be taken as the same message: after
// trailing blanks are dropped, the shorter is a prefix of the longer and the
// longer has fewer than 20 characters more (a signature or a trailer added by
// one of the programs the message passed through).
bool DupString(std::string_view a, std::string_view b);

// Trims a message line in place: from the end, CR and LF characters and the
// two-character control sequences "@b" and "@l"; from the start, the same;
// each side stops at the first other character. The mode is the kind of
// record the line belongs to; every mode trims the same way.
void StripChar(int mode, std::string& line);

}  // namespace qv
