// Converting message HTML to plain text.
//
// Message HTML is never rendered: it is turned into text, so nothing is
// fetched and no script runs. The rules:
// - tags are removed; the text of links is kept;
// - the content of script, style, title and textarea elements and of
//   comments is dropped;
// - the heading tags H1 to H6, HR, LISTING, PLAINTEXT and TABLE give a blank
//   line (CR LF CR LF); P and BLOCKQUOTE give a blank line, BR a line break,
//   DIV, LI, TR and the other block elements a line break; a list item starts
//   with "* " (numbered "1. " in an ordered list); table cells are separated
//   by a tab;
// - white space collapses to one blank as a browser shows it, except inside
//   PRE, LISTING, XMP and after PLAINTEXT, where it is kept;
// - character references are decoded: "&nbsp" (with or without ";") and a
//   no-break space character give a blank, "&quot;" "&lt;" "&gt;" "&amp;"
//   (letter case ignored, ";" optional for these and nbsp), "&shy;" gives "-",
//   every other HTML 4 entity name and "&apos;" (letter case as written) its
//   character, "&#" with a decimal or "&#x" with a hexadecimal number the
//   character of that code (128 to 159 read as Windows-1252 codes; 0,
//   surrogates and numbers beyond Unicode give U+FFFD); an unknown reference
//   stays as written.
#pragma once

#include <string>
#include <string_view>

namespace qv::mime {

// html is UTF-8; the result is UTF-8 with CR LF line ends, without leading or
// trailing blank lines.
std::string htmlToText(std::string_view html);

}  // namespace qv::mime
