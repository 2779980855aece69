// Key values as the index trees hold and compare them: C keys are the text
// blank-padded to the key length, N keys an ordered double, D keys the day
// number as an N key, L keys one byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbf {

enum class KeyType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L' };

// The length every key of a type has (C keys: the declared length).
constexpr int kNumericKeyLength = 8;
constexpr int kLogicalKeyLength = 1;
constexpr int kMinCharacterKey = 1;
constexpr int kMaxCharacterKey = 100;

// The byte a compact leaf drops from the end of keys: the blank for C keys,
// zero for the binary encodings.
inline char keyPadByte(KeyType t) { return t == KeyType::Character ? ' ' : '\0'; }

// The 8 bytes of a number: the IEEE double in big-endian byte order, every
// byte inverted when the sign bit is set, else the sign bit set.
std::string encodeNumberKey(double value);
double decodeNumberKey(std::string_view bytes);
// The day numbers a date key holds. Indexes take the Julian day number,
// which the other writers store; indexes this driver wrote before took the
// formula of dayNumber, which agrees with it only from 1901 to 2100 (both
// keep the order of all dates). A tree that holds the older numbers keeps
// them (see findDayNumbers).
enum class DayNumbers : uint8_t { Julian, Formula };
// The day number of a date by the formula: day + floor((year - 1) * 1461 / 4)
// + the days of the months before the month (February 29 days in Gregorian
// leap years) + 1721410. False for an invalid date.
bool dayNumber(int year, int month, int day, long& out);
// The Julian day number of a date of the Gregorian calendar (1 January 1 is
// 1721426). False for an invalid date.
bool julianDayNumber(int year, int month, int day, long& out);
// The days from 1 January 1901 to 31 December 2100, where both kinds of day
// numbers agree.
bool dayNumbersAgree(double dayNumber);
// The key of a date written as 8 digits "YYYYMMDD"; a blank or invalid date
// gives 0x80 followed by seven zero bytes, below every valid date.
std::string encodeDateKey(std::string_view digits, DayNumbers days = DayNumbers::Julian);
// A C key: the text blank-padded or cut to the key length.
std::string encodeTextKey(std::string_view text, int length);

// Order of two keys of equal length: byte order (the collating order of the
// files' characters; see docs/DECISIONS.md), negated for descending trees.
inline int compareKeyBytes(std::string_view a, std::string_view b) {
  int c = a.compare(b);  // std::char_traits<char> compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace dbf
