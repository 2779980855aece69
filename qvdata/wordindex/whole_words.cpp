// Finding a text in a text (whole_words.h).
//
// Rules:
// - The search skips ahead on the last byte of the window (Horspool), so a
//   long text is read about once; a rejected occurrence does not end it.
// - Whole words are judged by the words the word index cuts from the text
//   (WordBounds), cut only as far as the occurrences looked at need.
#include "wordindex/whole_words.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "storage/fixedstr.h"
#include "wordindex/word_cut.h"

namespace qv {

int AISINB(int mode, std::string_view text, std::string_view pattern) {
  text = trimRight(text);
  pattern = trimRight(pattern);
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

}  // namespace qv
