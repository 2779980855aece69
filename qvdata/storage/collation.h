// Letter-case folding for case-insensitive keys and comparisons.
//
// Folding covers the whole Latin-1 range: a-z become A-Z and the accented
// small letters U+00E0..U+00FE (except the division sign) become their
// capitals U+00C0..U+00DE. Text is UTF-8; characters beyond Latin-1 compare
// by code point unchanged.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace qv {

// Upper-case fold of one code point within Latin-1.
inline char32_t foldLatin1(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  return c;
}

std::string foldUpper(std::string_view utf8);
// <0, 0, >0 like memcmp, ignoring Latin-1 letter case.
int compareNoCase(std::string_view a, std::string_view b);

// The collation name used in every table's case-insensitive keys.
inline constexpr const char* kNoCaseCollation = "QVNOCASE";
// Registers the collation on a connection.
void registerCollations(sqlite3* db);

}  // namespace qv
