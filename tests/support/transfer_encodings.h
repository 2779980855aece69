// Content transfer encodings written by the tests, as mailers write them:
// base64 in lines, and uuencoding with blanks for zero bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvtest {

// The bytes in base64, lines of `lineLength` characters each ended by LF.
inline std::string base64(std::string_view s, size_t lineLength = 76) {
  static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out, line;
  for (size_t i = 0; i < s.size(); i += 3) {
    uint32_t v = uint32_t(uint8_t(s[i])) << 16;
    if (i + 1 < s.size()) v |= uint32_t(uint8_t(s[i + 1])) << 8;
    if (i + 2 < s.size()) v |= uint32_t(uint8_t(s[i + 2]));
    line += a[(v >> 18) & 63];
    line += a[(v >> 12) & 63];
    line += i + 1 < s.size() ? a[(v >> 6) & 63] : '=';
    line += i + 2 < s.size() ? a[v & 63] : '=';
    if (line.size() >= lineLength) {
      out += line + "\n";
      line.clear();
    }
  }
  if (!line.empty()) out += line + "\n";
  return out;
}

// The encoded lines of uuencoded bytes (45 bytes a line, a blank for zero
// bits, the empty last line as "`"), without the begin and end lines. With
// `stripBlanks` each line loses its trailing blanks, as some mail systems
// take them off on the way.
inline std::string uuencodeLines(std::string_view s, bool stripBlanks) {
  auto c = [](uint32_t v) { return char(' ' + (v & 63)); };
  std::string out;
  for (size_t i = 0; i < s.size(); i += 45) {
    std::string_view chunk = s.substr(i, 45);
    std::string line(1, c(uint32_t(chunk.size())));
    for (size_t k = 0; k < chunk.size(); k += 3) {
      uint32_t v = uint32_t(uint8_t(chunk[k])) << 16;
      if (k + 1 < chunk.size()) v |= uint32_t(uint8_t(chunk[k + 1])) << 8;
      if (k + 2 < chunk.size()) v |= uint32_t(uint8_t(chunk[k + 2]));
      line += c(v >> 18);
      line += c(v >> 12);
      line += c(v >> 6);
      line += c(v);
    }
    if (stripBlanks)
      while (line.size() > 1 && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out + "`\n";
}

}  // namespace qvtest
