// Removal of the Internet headers that old versions kept at the top of
// stored mail texts.
#pragma once

#include <string>

namespace qvconv {

inline constexpr const char* kHtmlStripped =
    "[This message in HTML format has been stripped out as Quorvane only handles plain text messages!]";
inline constexpr size_t kMaxText = 64000;

// True when the text starts with an Internet header line: its first 15
// characters, in upper case, begin with SENDER:, RECEIVED:, MESSAGE-ID:,
// FROM:, DATE:, SUBJECT: or TO:.
bool startsWithHeaders(const std::string& text);

// The text without its header block: the header lines (with their
// continuation lines) up to the first empty line or the first line that is
// not a header line. A message whose headers (or, for a multipart message,
// a part's headers) declare text/html keeps the notice kHtmlStripped in
// place of that body; of a multipart message the other parts keep their
// bodies without their part headers and boundary lines. The result is cut
// to kMaxText bytes. A text that does not start with headers is returned
// unchanged.
std::string stripInternetHeaders(const std::string& text);

}  // namespace qvconv
