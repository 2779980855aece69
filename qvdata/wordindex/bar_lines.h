// The word index's messages are written with "|" for a line break, as they
// have always been kept; the prompt interface takes CR LF.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// `text` with every "|" replaced by CR LF.
inline std::string barLines(std::string_view text) {
  std::string s;
  s.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '|')
      s += "\r\n";
    else
      s += c;
  }
  return s;
}

}  // namespace qv
