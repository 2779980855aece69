// Cutting text into words: the one procedure that the indexer, the search
// input and the highlighter share, so that all three see the same words.
//
// Text is UTF-8. Each character is looked up in the word-breaking tables by
// its Windows-1252 code; a character without one is a word character when
// Unicode calls it a letter or digit, and a separator otherwise. A byte that
// is not part of valid UTF-8 is taken as the Windows-1252 character of that
// code.
//
//   1. Characters whose StartWordHash entry is set are skipped; the word
//      starts at the first other character.
//   2. It runs on over characters whose InWordHash entry is 0; two full
//      stops in a row end it before the first of them.
//   3. Trailing characters whose EndWordHash entry is set are dropped.
//   4. An empty word is skipped; otherwise the word is its upper-case form,
//      cut to 40 characters, and cutting goes on after its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

inline constexpr size_t kMaxWordChars = 40;

struct CutWord {
  std::string word;  // upper case, at most 40 characters (and at most 40 bytes... see acceptWord)
  size_t first = 0;  // 1-based byte position of the word's first byte in the text
  size_t last = 0;   // 1-based byte position of its last byte (before any cut to 40 characters)
  size_t chars = 0;  // characters in `word`
};

class WordCutter {
 public:
  // With `wildcards`, "?" and "*" are word characters (search input).
  explicit WordCutter(std::string_view text, bool wildcards = false);
  // The next word; false at the end of the text. `w` is reused between calls.
  bool next(CutWord& w);

 private:
  std::string_view text_;
  size_t pos_ = 0;
  bool wildcards_;
};

// The word boundaries of a text as WordCutter sees them, for the whole-word
// tests of the text find, the find marks and AISINB: a stretch of the text
// stands as whole words when no word of the text runs across its start or
// its end. So "ABC" is not a whole word in "ABC2", "ABC_X" or "WIN.INI"
// (which the index keeps as one word), but is one in "ABC." or "(ABC)"; the
// find, its marks and the index agree. The text is cut lazily, as far as
// the positions asked about need.
class WordBounds {
 public:
  explicit WordBounds(std::string_view text);
  // True when no word of the text holds both the byte before `pos` and the
  // byte at `pos` (0-based byte positions; the text's ends are boundaries).
  bool boundary(size_t pos);
  // The bytes [first, end) begin and end on boundaries.
  bool whole(size_t first, size_t end) { return boundary(first) && boundary(end); }

 private:
  std::string_view text_;
  WordCutter cut_;
  std::vector<std::pair<size_t, size_t>> words_;  // [begin, end) byte ranges, in text order
  bool ended_ = false;
};

// The junk filter applied before a word is indexed: words of 2 to 39
// characters (that fit a 40-byte word field), numbers only when
// `indexNumbers`, never header or time text, short hexadecimal strings only
// as the rules allow. `w` is a word as WordCutter gives it.
bool acceptWord(const CutWord& w, bool indexNumbers);

// The upper-case form of a text as the word cutter makes it (stop words,
// typed search words).
std::string wordUpper(std::string_view text);

// The characters of a text in the word cutter's upper case, one element per
// character (a byte that is not valid UTF-8 stands for its Windows-1252
// character): what look-ups that count characters compare.
std::u32string wordCharacters(std::string_view text);

// The Windows-1252 code of one UTF-8 character at `text[pos]`, or -1 when
// it has none; `len` receives the character's length in bytes.
int cp1252Code(std::string_view text, size_t pos, size_t& len);

}  // namespace qv
