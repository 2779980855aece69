#include "storage/collation.h"

#include <sqlite3.h>

namespace qv {

namespace {

// Decodes one UTF-8 character at s[i]; malformed bytes stand for themselves.
inline char32_t decode(const unsigned char* s, size_t n, size_t& i) {
  unsigned char b = s[i];
  if (b < 0x80) {
    ++i;
    return b;
  }
  int len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || i + len > n) {
    ++i;
    return 0xDC00 + b;  // lone byte: keep it apart from real characters
  }
  char32_t c = b & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char cb = s[i + k];
    if ((cb & 0xC0) != 0x80) {
      ++i;
      return 0xDC00 + b;
    }
    c = (c << 6) | (cb & 0x3F);
  }
  i += len;
  return c;
}

void encode(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

int collate(void*, int na, const void* a, int nb, const void* b) {
  return compareNoCase(std::string_view(static_cast<const char*>(a), na),
                       std::string_view(static_cast<const char*>(b), nb));
}

}  // namespace

std::string foldUpper(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t i = 0, n = utf8.size();
  while (i < n) {
    size_t start = i;
    char32_t c = decode(s, n, i);
    char32_t f = foldLatin1(c);
    if (f == c)
      out.append(utf8.data() + start, i - start);
    else
      encode(out, f);
  }
  return out;
}

int compareNoCase(std::string_view a, std::string_view b) {
  const auto* sa = reinterpret_cast<const unsigned char*>(a.data());
  const auto* sb = reinterpret_cast<const unsigned char*>(b.data());
  size_t i = 0, j = 0, na = a.size(), nb = b.size();
  while (i < na && j < nb) {
    unsigned char ca = sa[i], cb = sb[j];
    if (ca < 0x80 && cb < 0x80) {  // the common case: plain ASCII
      if (ca >= 'a' && ca <= 'z') ca -= 32;
      if (cb >= 'a' && cb <= 'z') cb -= 32;
      if (ca != cb) return ca < cb ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    char32_t xa = foldLatin1(decode(sa, na, i));
    char32_t xb = foldLatin1(decode(sb, nb, j));
    if (xa != xb) return xa < xb ? -1 : 1;
  }
  if (i < na) return 1;
  if (j < nb) return -1;
  return 0;
}

void registerCollations(sqlite3* db) {
  sqlite3_create_collation(db, kNoCaseCollation, SQLITE_UTF8, nullptr, collate);
}

}  // namespace qv
