// Fixed-width text fields of record buffers.
//
// A STRING(n) field holds at most n bytes of UTF-8, padded on the right with
// blanks. Assigning a longer text cuts it on a character boundary; reading it
// back gives the text without trailing blanks, which is also how two fields
// compare.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace qv {

// Length of the longest prefix of `s` of at most `max` bytes that does not
// end inside a UTF-8 sequence.
inline size_t utf8CutLength(std::string_view s, size_t max) {
  if (s.size() <= max) return s.size();
  size_t n = max;
  // Step back over continuation bytes (10xxxxxx) to the lead byte.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

inline std::string_view trimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

template <size_t N>
struct Str {
  char c[N];

  Str() { clear(); }
  Str(std::string_view s) { assign(s); }  // NOLINT: fields are assigned from text everywhere

  static constexpr size_t capacity() { return N; }

  void clear() { std::memset(c, ' ', N); }
  void assign(std::string_view s) {
    size_t n = utf8CutLength(s, N);
    std::memcpy(c, s.data(), n);
    std::memset(c + n, ' ', N - n);
  }
  Str& operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  Str& operator=(const std::string& s) {
    assign(s);
    return *this;
  }
  Str& operator=(const char* s) {
    assign(s);
    return *this;
  }

  // The text without trailing blanks.
  std::string_view view() const { return trimRight(std::string_view(c, N)); }
  std::string str() const { return std::string(view()); }
  // The whole blank-padded field.
  std::string_view raw() const { return std::string_view(c, N); }
  bool blank() const { return view().empty(); }

  friend bool operator==(const Str& a, const Str& b) { return a.view() == b.view(); }
  friend bool operator==(const Str& a, std::string_view b) { return a.view() == trimRight(b); }
};

}  // namespace qv
