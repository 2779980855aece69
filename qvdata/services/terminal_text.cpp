#include "services/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace qv {

namespace {

// Length of the UTF-8 sequence at `i`, 0 when the bytes there are not one.
size_t utf8Length(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
  for (size_t k = 1; k < n; ++k) cp = cp << 6 | (byte(i + k) & 0x3F);
  static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;  // overlong, surrogate
  return n;
}

void appendHex(std::string& out, const char* format, unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, format, value);
  out += buf;
}

}  // namespace

std::string terminalText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    // A run of printable ASCII, tabs and line ends goes over as it is, at once.
    size_t plain = i;
    while (plain < s.size()) {
      unsigned char p = static_cast<unsigned char>(s[plain]);
      if (!((p >= 0x20 && p < 0x7F) || p == '\t' || p == '\n')) break;
      ++plain;
    }
    if (plain > i) {
      out.append(s.substr(i, plain - i));
      i = plain;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\t' || c == '\n' || (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) {
      out += char(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      out += '^';
      out += char(c ^ 0x40);
      ++i;
    } else if (c < 0x80) {
      out += char(c);
      ++i;
    } else if (size_t n = utf8Length(s, i); n == 0) {
      appendHex(out, "\\x%02X", c);
      ++i;
    } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
      appendHex(out, "\\u%04X", static_cast<unsigned char>(s[i + 1]));
      i += 2;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

}  // namespace qv
