// Dates and times of messages as their writers wrote them: the one table of
// month names, the one rule for short years, and the reading of a date
// header. Every parser that meets a month name or a short year reads it here
// (the mail and news decoder, the CompuServe readers' "dd-Mmm-yy" dates).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv::mime {

// The month of a three-letter month name in English or German, any letter
// case: JAN FEB MAR (MÄR, MRZ) APR MAY (MAI) JUN JUL AUG SEP OCT (OKT) NOV
// DEC (DEZ); the A-umlaut may be UTF-8 or a Windows-1252 byte. 0 for any
// other text.
int monthOfName(std::string_view name);

// A year written with `digits` digits: two (or one) digits are 1970 to 2069
// (70..99 are 19xx, 00..69 20xx), three count from 1900, four or more are
// taken as written.
int yearOfDigits(long value, size_t digits);

// Reads a date and time as written: RFC 5322 ("Tue, 18 May 2004 01:43:21
// -0700") and the looser forms found in old mail and news ("Mon Dec 13
// 18:45:29 2010", "18 May 04 01:43", "05-Dec-97", "1997-12-05 10:00:00"),
// month names as monthOfName reads them, short years as yearOfDigits does.
// A time without seconds gets ":00"; an impossible time leaves the time 0
// but keeps the date. Returns false when no date can be read.
bool parseDate(std::string_view text, int32_t& date, int32_t& time, int& tzMinutes);

}  // namespace qv::mime
