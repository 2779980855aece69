#include "services/text_match.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "wordindex/word_cut.h"

namespace qv {

namespace {

std::string_view trimBlanksRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
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

  WordBounds bounds(text);
  const char last = pattern[m - 1];
  size_t pos = 0;
  while (pos <= n - m) {
    const char tail = text[pos + m - 1];
    if (tail == last && std::memcmp(text.data() + pos, pattern.data(), m - 1) == 0) {
      bool accept = true;
      if (mode == 1) accept = bounds.whole(pos, pos + m);
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
