// Source files and expected texts of the tests, made from lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvtest {

// The lines each followed by `end` (CR LF unless told): the bytes of a file
// that holds them.
inline std::string joinLines(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
  std::string s;
  for (const std::string& l : lines) {
    s += l;
    s += end;
  }
  return s;
}

// The text with a CR put before every LF, whatever stands before it.
inline std::string crlf(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace qvtest
