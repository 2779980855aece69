#include "wordindex/word_cut.h"

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <vector>

#include <locale.h>

#include "mime/charset.h"
#include "services/globals.h"

namespace qv {

namespace {

// Unicode code points of the Windows-1252 codes 128..159 (0 where the code
// page has no character).
constexpr uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int highCode(uint32_t cp) {
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return 128 + i;
  return -1;
}

// Decodes one UTF-8 character; an invalid sequence is one byte (len 1, ok false).
uint32_t decode(std::string_view t, size_t pos, size_t& len, bool& ok) {
  unsigned char c = static_cast<unsigned char>(t[pos]);
  ok = true;
  len = 1;
  if (c < 0x80) return c;
  size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (n == 0 || c > 0xF4 || pos + n > t.size()) {
    ok = false;
    return c;
  }
  uint32_t cp = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
  for (size_t i = 1; i < n; ++i) {
    unsigned char d = static_cast<unsigned char>(t[pos + i]);
    if ((d & 0xC0) != 0x80) {
      ok = false;
      return c;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  // Overlong forms and surrogates are not characters.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ok = false;
    return c;
  }
  len = n;
  return cp;
}

locale_t unicodeLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", locale_t(0));
  }();
  return loc;
}


uint32_t upperOf(uint32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 32;
  if (cp < 0x80) return cp;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  return uint32_t(towupper_l(wint_t(cp), unicodeLocale()));
}

// One character of a text: its table code (the Windows-1252 code, or -1 for
// a character the code page lacks), whether such a character is a letter or
// digit, and its length.
struct Char {
  int code;
  bool alnum;
  size_t len;
  uint32_t cp;  // the character (for an invalid byte: the Unicode form of its Windows-1252 code)
};

Char charAt(std::string_view t, size_t pos) {
  unsigned char c = static_cast<unsigned char>(t[pos]);
  if (c < 0x80) return {c, false, 1, c};
  size_t len;
  bool ok;
  uint32_t cp = decode(t, pos, len, ok);
  if (!ok) {
    // A stray byte: the Windows-1252 character of that code.
    uint32_t u = c >= 0xA0 ? c : kHigh[c - 128] ? kHigh[c - 128] : c;
    return {c, false, 1, u};
  }
  if (cp >= 0xA0 && cp <= 0xFF) return {int(cp), false, len, cp};
  int h = highCode(cp);
  if (h >= 0) return {h, false, len, cp};
  return {-1, iswalnum_l(wint_t(cp), unicodeLocale()) != 0, len, cp};
}

inline bool flagged(const std::array<uint8_t, 256>& table, const Char& ch) {
  return ch.code >= 0 ? table[size_t(ch.code)] != 0 : !ch.alnum;
}

}  // namespace

int cp1252Code(std::string_view text, size_t pos, size_t& len) {
  Char ch = charAt(text, pos);
  len = ch.len;
  return ch.code;
}

std::string wordUpper(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    Char ch = charAt(text, i);
    mime::appendUtf8(out, upperOf(ch.cp));
    i += ch.len;
  }
  return out;
}

std::u32string wordCharacters(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    Char ch = charAt(text, i);
    out += char32_t(upperOf(ch.cp));
    i += ch.len;
  }
  return out;
}

WordCutter::WordCutter(std::string_view text, bool wildcards) : text_(text), wildcards_(wildcards) {
  while (!text_.empty() && text_.back() == ' ') text_.remove_suffix(1);
}

bool WordCutter::next(CutWord& w) {
  const std::string_view t = text_;
  const size_t n = t.size();
  auto isWild = [&](const Char& ch) { return wildcards_ && (ch.code == '?' || ch.code == '*'); };
  while (pos_ < n) {
    // 1. Skip what may not start a word.
    Char ch = charAt(t, pos_);
    if (flagged(StartWordHash, ch) && !isWild(ch)) {
      pos_ += ch.len;
      continue;
    }
    const size_t start = pos_;
    // 2. Extend it. `ends` keeps the end of each character, for step 3.
    size_t endPos = start + ch.len;
    size_t charsInWord = 1;
    size_t lastStart = start;
    // Remember character boundaries (at most a few hundred for any sane word).
    thread_local std::vector<size_t> starts;
    starts.clear();
    starts.push_back(start);
    while (endPos < n) {
      Char c = charAt(t, endPos);
      if (c.code == '.' && endPos + 1 < n && t[endPos + 1] == '.') break;
      if (flagged(InWordHash, c) && !isWild(c)) break;
      starts.push_back(endPos);
      lastStart = endPos;
      endPos += c.len;
      ++charsInWord;
    }
    // 3. Drop what may not end a word.
    while (charsInWord > 0) {
      Char c = charAt(t, lastStart);
      if (!flagged(EndWordHash, c) || isWild(c)) break;
      endPos = lastStart;
      starts.pop_back();
      --charsInWord;
      lastStart = charsInWord ? starts.back() : start;
    }
    if (charsInWord == 0) {
      // 4. Nothing left: go on after the start.
      pos_ = start + ch.len;
      continue;
    }
    w.word.clear();
    w.first = start + 1;
    w.last = endPos;
    size_t keep = charsInWord < kMaxWordChars ? charsInWord : kMaxWordChars;
    size_t stop = keep < charsInWord ? starts[keep] : endPos;
    for (size_t i = start; i < stop;) {
      unsigned char b = static_cast<unsigned char>(t[i]);
      if (b < 0x80) {
        w.word += char(b >= 'a' && b <= 'z' ? b - 32 : b);
        ++i;
        continue;
      }
      Char c = charAt(t, i);
      mime::appendUtf8(w.word, upperOf(c.cp));
      i += c.len;
    }
    w.chars = keep;
    pos_ = endPos;
    return true;
  }
  return false;
}

WordBounds::WordBounds(std::string_view text) : text_(text), cut_(text) {}

bool WordBounds::boundary(size_t pos) {
  if (pos == 0 || pos >= text_.size()) return true;
  // Cut on until a word ends after `pos`, or the text does.
  CutWord w;
  while (!ended_ && (words_.empty() || words_.back().second <= pos)) {
    if (cut_.next(w))
      words_.emplace_back(w.first - 1, w.last);
    else
      ended_ = true;
  }
  // The first word that ends after `pos`: the boundary lies inside it when it began before.
  auto it = std::upper_bound(words_.begin(), words_.end(), pos,
                             [](size_t p, const std::pair<size_t, size_t>& r) { return p < r.second; });
  return it == words_.end() || it->first >= pos;
}

bool acceptWord(const CutWord& w, bool indexNumbers) {
  if (w.chars < 2 || w.chars >= kMaxWordChars || w.word.size() > kMaxWordChars) return false;
  bool header = false, allHex = true;
  const std::string& s = w.word;
  for (size_t i = 0; i < s.size();) {
    Char ch = charAt(s, i);
    uint8_t cls = ch.code >= 0 ? IsJunkHash[size_t(ch.code)] : 0;
    if (cls == 0) return true;
    if (i == 0 && cls == 1 && !indexNumbers) return false;
    if (cls == 2) header = true;
    if (cls != 3) allHex = false;
    i += ch.len;
  }
  if (header) return false;
  if (!indexNumbers) return allHex;
  return w.chars <= 4;
}

}  // namespace qv
