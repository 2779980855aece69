// Stored text written to a terminal. Message texts come from anywhere: an
// escape sequence in one could clear the screen, retitle the window or set
// the user's clipboard when printed raw.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// The text with its control characters shown instead of acted upon: tab and
// line ends (LF, CR LF) are kept; other C0 characters and DEL in caret
// notation ("^[" for ESC, "^M" for a CR that ends no line, "^?" for DEL);
// C1 characters as "\u0080".."\u009F"; bytes that are not UTF-8 as "\xHH".
// Every other character is kept as it is.
std::string terminalText(std::string_view text);

}  // namespace qv
