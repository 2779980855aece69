// Text helpers shared by the parsers of CompuServe reader files: decoding of
// source bytes, the readers' date and time texts, message numbers, forum names
// and sender or recipient strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "import/parsers/ascii_text.h"
#include "mime/charset.h"

namespace qv::cis {

// Valid CompuServe message numbers are 1 .. kMaxMessageNumber.
inline constexpr uint32_t kMaxMessageNumber = 8999999;
// Longest message text kept (bytes of UTF-8).
inline constexpr size_t kMaxText = 64000;

inline bool validMessageNumber(uint32_t n) { return n >= 1 && n <= kMaxMessageNumber; }

// A reference stored with message `number` as its parent: kept when it names
// an older message, else 0.
inline uint32_t olderParent(uint32_t reference, uint32_t number) {
  return reference > 0 && reference < number ? reference : 0;
}

using ascii::isDigit;

// The text from byte n on; empty when the text is shorter.
inline std::string_view after(std::string_view s, size_t n) { return n < s.size() ? s.substr(n) : std::string_view(); }

// Well-formed UTF-8, and Windows-1252 to UTF-8 (undefined codes become the C1
// controls of the same value, so no byte is lost): the message decoder's.
using mime::isValidUtf8;
using mime::windows1252ToUtf8;
// Source text to UTF-8: the bytes as they are when they are valid UTF-8, else
// read as Windows-1252.
std::string decodeSource(std::string_view bytes);

// Blanks trimmed, and prefixes compared without case (ascii_text.h).
using ascii::startsWithNoCase;
using ascii::trim;
using ascii::trimLeft;
using ascii::trimRight;

struct DateTime {
  int32_t date = 0;  // day number; 0 when missing or not a date
  int32_t time = 0;  // hundredths since midnight + 1; 0 when missing
};

// Reads a date written "dd-Mmm-yy" followed by a time "hh:mm" or "hh:mm:ss",
// as the CompuServe readers write them: blanks before the date are passed
// over, a one-digit day is accepted, the month is a three-letter name
// (mime::monthOfName) and the year two or four digits (mime::yearOfDigits). A date with an
// unknown month or an impossible day is empty; the time is still read when it
// follows a date-shaped text. The text is UTF-8.
DateTime parseDateTime(std::string_view text);

// A CompuServe message number: digits only, 1 .. kMaxMessageNumber. 0 for
// anything else (empty, not numeric, 0, too large).
uint32_t messageNumber(std::string_view text);

// A section number written as one to three digits: its value (0 .. 999);
// -1 for any other text.
int sectionDigits(std::string_view text);

// A forum name as the readers write it, less a leading "CIS:" (any case) and
// surrounding blanks.
std::string forumName(std::string_view text);

// Splits a sender or recipient string of the readers' mail headers: when it
// contains "INTERNET", the address is what follows "INTERNET:" (or "INTERNET"
// without a colon) and the name what precedes it, less trailing ">"
// characters, blanks and vertical lines and less surrounding double quotes;
// otherwise the CompuServe split (FindCISAdress mode 2).
void splitMailParty(std::string_view text, std::string& name, std::string& address);

// Collects message text lines: leading empty lines are dropped, lines are
// joined with CR LF, and the text stops growing at kMaxText bytes, cut on a
// character boundary. Lines are given decoded (UTF-8); a CR alone within a
// line is a line end too, so the text has CR LF line ends only.
class TextBuilder {
 public:
  void add(std::string_view line);
  bool full() const { return full_; }
  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  void addLine(std::string_view line);
  std::string text_;
  bool started_ = false;
  bool full_ = false;
};

}  // namespace qv::cis
