// Text matching and trimming services shared by the importers, the browsers
// and the maintenance jobs. Finding a text in a text, also as whole words,
// is the word index's (wordindex/whole_words.h).
//
// All texts are UTF-8. Positions and lengths are counted in bytes unless a
// function says otherwise.
#pragma once

#include <string>
#include <string_view>

namespace qv {

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
