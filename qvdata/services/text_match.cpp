#include "services/text_match.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace qv {

namespace {

std::string_view trimBlanksRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// Windows-1252 code of a Unicode code point, -1 when it has none. The five
// codes 0x81, 0x8D, 0x8F, 0x90 and 0x9D that Windows-1252 leaves unassigned
// decode to the C1 controls of the same value and map back to them.
int win1252Code(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  switch (c) {
    case 0x20AC: return 0x80;
    case 0x0081: return 0x81;
    case 0x201A: return 0x82;
    case 0x0192: return 0x83;
    case 0x201E: return 0x84;
    case 0x2026: return 0x85;
    case 0x2020: return 0x86;
    case 0x2021: return 0x87;
    case 0x02C6: return 0x88;
    case 0x2030: return 0x89;
    case 0x0160: return 0x8A;
    case 0x2039: return 0x8B;
    case 0x0152: return 0x8C;
    case 0x008D: return 0x8D;
    case 0x017D: return 0x8E;
    case 0x008F: return 0x8F;
    case 0x0090: return 0x90;
    case 0x2018: return 0x91;
    case 0x2019: return 0x92;
    case 0x201C: return 0x93;
    case 0x201D: return 0x94;
    case 0x2022: return 0x95;
    case 0x2013: return 0x96;
    case 0x2014: return 0x97;
    case 0x02DC: return 0x98;
    case 0x2122: return 0x99;
    case 0x0161: return 0x9A;
    case 0x203A: return 0x9B;
    case 0x0153: return 0x9C;
    case 0x009D: return 0x9D;
    case 0x017E: return 0x9E;
    case 0x0178: return 0x9F;
    default: return -1;
  }
}

using CharTable = std::array<bool, 256>;

// Word characters of the whole-word search of ordinary patterns. Of the
// digits only "1" belongs here; the others delimit words.
constexpr CharTable makeTextTable() {
  CharTable t{};
  t['1'] = true;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = true;
  for (int c = 128; c <= 133; ++c) t[c] = true;
  return t;
}

// Word characters of the whole-word search of numeric patterns.
constexpr CharTable makeDigitTable() {
  CharTable t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = true;
  return t;
}

constexpr CharTable kTextTable = makeTextTable();
constexpr CharTable kDigitTable = makeDigitTable();

// Length of the UTF-8 sequence a lead byte announces, 0 for a byte that
// cannot start one.
int sequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return b >= 0xC2 ? 2 : 0;
  if ((b & 0xF0) == 0xE0) return 3;
  if ((b & 0xF8) == 0xF0) return b <= 0xF4 ? 4 : 0;
  return 0;
}

// Decodes the well-formed UTF-8 character of `len` bytes at s[i]; false when
// the bytes there do not form one.
bool decodeAt(std::string_view s, size_t i, int len, char32_t& out) {
  if (len == 0 || i + len > s.size()) return false;
  auto b = static_cast<unsigned char>(s[i]);
  char32_t c = len == 1 ? b : (b & (0x7F >> len));
  for (int k = 1; k < len; ++k) {
    auto cb = static_cast<unsigned char>(s[i + k]);
    if ((cb & 0xC0) != 0x80) return false;
    c = (c << 6) | (cb & 0x3F);
  }
  out = c;
  return true;
}

// Table entry of the character that starts at s[i]. A byte that does not
// start a well-formed character stands for its own Windows-1252 code.
bool isWordAt(const CharTable& table, std::string_view s, size_t i) {
  auto b = static_cast<unsigned char>(s[i]);
  char32_t c;
  if (!decodeAt(s, i, sequenceLength(b), c)) return table[b];
  int code = win1252Code(c);
  return code >= 0 && table[code];
}

// Table entry of the character that ends just before s[end].
bool isWordBefore(const CharTable& table, std::string_view s, size_t end) {
  size_t i = end - 1;
  // Step back over at most three continuation bytes to a lead byte.
  size_t back = 0;
  while (i > 0 && back < 3 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
    --i;
    ++back;
  }
  auto lead = static_cast<unsigned char>(s[i]);
  int len = sequenceLength(lead);
  char32_t c;
  if (len == static_cast<int>(end - i) && decodeAt(s, i, len, c)) {
    int code = win1252Code(c);
    return code >= 0 && table[code];
  }
  return table[static_cast<unsigned char>(s[end - 1])];
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  return true;
}

}  // namespace

int AISINB(int mode, std::string_view text, std::string_view pattern) {
  text = trimBlanksRight(text);
  pattern = trimBlanksRight(pattern);
  const size_t n = text.size();
  const size_t m = pattern.size();
  if (m == 0 || m > n) return 0;

  std::array<size_t, 256> skip;
  skip.fill(m);
  for (size_t k = 0; k + 1 < m; ++k) skip[static_cast<unsigned char>(pattern[k])] = m - 1 - k;

  const CharTable& table = allDigits(pattern) ? kDigitTable : kTextTable;
  const char last = pattern[m - 1];
  size_t pos = 0;
  while (pos <= n - m) {
    const char tail = text[pos + m - 1];
    if (tail == last && std::memcmp(text.data() + pos, pattern.data(), m - 1) == 0) {
      bool accept = true;
      if (mode == 1) {
        if (pos > 0 && isWordBefore(table, text, pos)) accept = false;
        if (accept && pos + m < n && isWordAt(table, text, pos + m)) accept = false;
      }
      if (accept) return static_cast<int>(pos + 1);
    }
    pos += skip[static_cast<unsigned char>(tail)];
  }
  return 0;
}

bool DupString(std::string_view a, std::string_view b) {
  // The whole texts are compared, however long: two long messages that only
  // part after some fixed length are different messages, and taking them as
  // one would throw one of them away.
  a = trimBlanksRight(a);
  b = trimBlanksRight(b);
  std::string_view shorter = a.size() <= b.size() ? a : b;
  std::string_view longer = a.size() <= b.size() ? b : a;
  if (longer.compare(0, shorter.size(), shorter) != 0) return false;
  // The length difference is counted in characters, so a trailer in accented
  // letters counts as long as the same trailer in plain ones.
  size_t extra = 0;
  for (size_t i = shorter.size(); i < longer.size(); ++i)
    if ((static_cast<unsigned char>(longer[i]) & 0xC0) != 0x80) ++extra;
  return extra < 20;
}

void StripChar(int /*mode*/, std::string& line) {
  auto isControlCode = [](char c) { return c == 'b' || c == 'l'; };

  size_t end = line.size();
  while (end > 0) {
    char c = line[end - 1];
    if (c == '\r' || c == '\n') {
      --end;
    } else if (end >= 2 && line[end - 2] == '@' && isControlCode(c)) {
      end -= 2;
    } else {
      break;
    }
  }

  size_t start = 0;
  while (start < end) {
    char c = line[start];
    if (c == '\r' || c == '\n') {
      ++start;
    } else if (start + 1 < end && c == '@' && isControlCode(line[start + 1])) {
      start += 2;
    } else {
      break;
    }
  }

  line = line.substr(start, end - start);
}

}  // namespace qv
