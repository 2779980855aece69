#include "browse/hit_scan.h"

#include <array>
#include <cstring>

#include "storage/collation.h"
#include "wordindex/word_cut.h"

namespace qv {

FindSettings& findSettings() {
  static FindSettings settings;
  return settings;
}

namespace {

std::string_view withoutTrailingBlanks(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// Upper case that keeps every character's byte length, so that positions
// found in it are positions of the original text.
std::string upperKeepingPositions(std::string_view s) {
  std::string up = foldUpper(s);
  if (up.size() == s.size()) return up;
  up.assign(s);
  for (char& c : up)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return up;
}

}  // namespace

std::vector<std::pair<int, int>> scanHits(std::string_view textIn, std::string_view patternIn, bool matchCase,
                                          bool wholeWords) {
  std::vector<std::pair<int, int>> hits;
  std::string_view original = withoutTrailingBlanks(textIn);
  std::string_view rawPattern = withoutTrailingBlanks(patternIn);
  std::string upperText, upperPattern;
  std::string_view text = original, pattern = rawPattern;
  if (!matchCase) {
    upperText = upperKeepingPositions(original);
    upperPattern = upperKeepingPositions(rawPattern);
    text = upperText;
    pattern = upperPattern;
  }
  const size_t n = text.size(), m = pattern.size();
  if (m == 0 || m > n) return hits;

  std::array<size_t, 256> skip;
  skip.fill(m);
  for (size_t i = 0; i + 1 < m; ++i) skip[static_cast<unsigned char>(pattern[i])] = m - 1 - i;
  WordBounds bounds(original);

  size_t end = m - 1;  // 0-based position of the pattern's last byte
  while (end < n) {
    size_t first = end + 1 - m;
    unsigned char tail = static_cast<unsigned char>(text[end]);
    if (tail == static_cast<unsigned char>(pattern[m - 1]) && std::memcmp(text.data() + first, pattern.data(), m - 1) == 0) {
      bool counts = true;
      if (wholeWords) counts = bounds.whole(first, end + 1);
      if (counts) {
        hits.emplace_back(int(first), int(end));
        end += m;  // resume after the occurrence
        continue;
      }
    }
    end += skip[tail];
  }
  return hits;
}

}  // namespace qv
