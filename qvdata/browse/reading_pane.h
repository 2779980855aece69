// The reading pane's text: the message text with its subject in front, cut
// into pages of about 24,000 characters with the page markers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// "Subject: " + subject + CR LF CR LF + text when the subject (trailing
// blanks ignored) is not empty; else the text alone.
std::string shownText(const std::string& subject, const std::string& text);

// The shown text of message (mail) `id` of the current database: forum and
// newsgroup take the thread heading as the subject, mail MAI.SUBJECT; the
// text is TXT.MsgText (empty when the message has no text). False when the
// message does not exist.
bool readShownText(int kind, uint32_t id, std::string& shown);

inline constexpr const char* kMoreMarker = " ..........<MORE>>";
inline constexpr const char* kContinuedMarker = "<CONTINUED>> \r\n";

struct TextPage {
  size_t first = 0;   // 0-based offset of the page's part of the shown text
  size_t length = 0;  // its length
  size_t lead = 0;    // characters of the marker in front of it (0 or the continued marker's)
  std::string text;   // what the pane shows: marker, part, marker
};

// Splits a shown text into its pages. Up to 24,000 characters is one page;
// 24,001 to 48,000 two; more three. Page 1 ends with the first blank at or
// after character 23,950 (1-based; looking no further than 23,980, else it
// ends at 23,980); page 2 of three ends with the first blank at or after
// 47,060 (no further than 47,100). A page followed by another ends with the
// more marker, a page after another begins with the continued marker.
// Lengths count bytes; a cut that finds no blank moves back to the start of
// a UTF-8 character. An empty text is one empty page.
std::vector<TextPage> splitPages(std::string_view shown);

// The page holding offset `pos` of the shown text (the last page for a
// position past the end).
size_t pageOf(const std::vector<TextPage>& pages, size_t pos);

}  // namespace qv
