// The small pieces of exported and printed text: how a person, a date and a
// time are written, and how a message text is cut into lines and wrapped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/names.h"

namespace qv {

// A person as the headers name it: the Person record's last name, first
// name and address, without trailing blanks.
struct PersonText {
  std::string last;
  std::string first;
  std::string address;
};

// The domain that turns a CompuServe number into an Internet mail address.
inline constexpr const char* kCompuServeMailDomain = "compuserve.com";

// "12345,678" -> "12345.678@compuserve.com"; any other address unchanged.
std::string compuServeInternetAddress(std::string_view address);

// Forum messages: the address alone without a last name; else
// "Last,First address" or "Last address".
std::string forumPerson(const PersonText& p);
// Mail layouts 2 and 3 and newsgroup messages: "First Last <address>",
// "Last <address>" or "<address>", a CompuServe number written as its
// Internet address. Without an address the name alone.
std::string internetPerson(const PersonText& p);
// Mail layout 1: a CompuServe number as "Last,First number", "Last number"
// or the number alone; an Internet address as "First Last > INTERNET:addr",
// "Last > INTERNET:addr" or "INTERNET:addr".
std::string capturePerson(const PersonText& p);
// Mail layout 4, sender of incoming mail: "First Last" (or "Last"), the
// vertical line, then the number or ">INTERNET:" and the address.
std::string mailFileSender(const PersonText& p);
// Mail layout 4, recipient of outgoing mail: "First Last number" (or
// "Last number", or the number alone); an Internet address as the same
// names followed by " >INTERNET:addr", or ">INTERNET:addr" alone.
std::string mailFileRecipient(const PersonText& p);
// Printed reports: Internet addresses as internetPerson, anything else as
// "First Last address".
std::string printedMailPerson(const PersonText& p);

// The vertical line between a name and its address (character 179 of the
// DOS code page), as UTF-8.
inline constexpr std::string_view kVerticalLine = "\xE2\x94\x82";

// "05-Dec-97" (two-digit year) and "05-Dec-1997"; empty without a date.
std::string dayMonthYear(int32_t date, bool fourDigitYear);
// "hh:mm:ss"; "00:00:00" without a time.
std::string clockTime(int32_t time);
// Two-digit day of the month, "Dec", the four-digit year, "Wed": the parts
// of the mailbox separator and Internet date lines ("" without a date).
std::string dayOfMonth(int32_t date);
std::string monthOf(int32_t date);
std::string yearOf(int32_t date);
std::string weekdayOf(int32_t date);

// The lines of a text: each CR LF ends a line; a final part without one is
// a line too, and a text ending in CR LF has no empty last line.
std::vector<std::string> textLines(std::string_view text);
// Appends `line` to `out`, broken into pieces of at most `width` characters
// (UTF-8 characters, not bytes): at the last blank that lets the piece fit,
// the blank dropped, or after exactly `width` characters when there is none.
void wrapLine(std::string_view line, size_t width, std::vector<std::string>& out);

// The first `max` bytes of a text, cut on a character boundary.
std::string_view cutText(std::string_view text, size_t max);

}  // namespace qv
