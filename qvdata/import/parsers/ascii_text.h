// The ASCII tests every parser makes of the lines it reads: digits, blanks,
// trimming and letters compared without case. Only ASCII letters fold
// (A-Z with a-z); every other byte, UTF-8 or not, compares as it is, so
// these never cut or change a multibyte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv::ascii {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
// A blank: a space or a tab.
inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
inline char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Blanks trimmed from both ends or one end.
inline std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}
inline std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}
inline std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

// True when the text starts with `prefix`, letters compared without case.
inline bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (lower(s[i]) != lower(prefix[i])) return false;
  return true;
}

// The position of `tag` in `s` from `from` on, letters compared without case;
// npos when it is not there.
inline size_t findNoCase(std::string_view s, std::string_view tag, size_t from = 0) {
  if (tag.empty() || s.size() < tag.size()) return std::string_view::npos;
  for (size_t i = from; i + tag.size() <= s.size(); ++i)
    if (startsWithNoCase(s.substr(i), tag)) return i;
  return std::string_view::npos;
}

}  // namespace qv::ascii
