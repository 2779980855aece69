// What the CompuServe host writes around the messages it shows, as a user's
// terminal program captured it: reply counts after a message
//   There is 1 Reply.              There are 2 Replies.
//   * Reply:        56307          * Replies:      55895, 56038
// and prompts, after which come the user's answers and the host's menus
//   Press <CR> !>                  Read action !s
//   Enter choice !>3               Press <CR> for next or type CHOICES !>
// None of them is part of a message's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv::cis {

// "There is 1 Reply.", "There are n Replies.", "* Reply: n" or
// "* Replies: n, n ..." (trailing blanks allowed).
bool replyCountLine(std::string_view line);

// A host prompt at the start of the line: "Press <CR>" ..., "Read action !",
// "Action !", "Last page !", or a phrase of plain words followed by " !>"
// ("Enter choice !>"), each with whatever the user typed after it.
bool hostPromptLine(std::string_view line);

// How many of `lines` belong to the message: the text ends before the first
// prompt at or after index `from`, and before a reply count that only blank
// lines and further reply counts follow up to the end or the next prompt (a
// reply count quoted inside a text stays).
size_t messageEnd(const std::vector<std::string>& lines, size_t from);

}  // namespace qv::cis
