#include "wordindex/word_lookup.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/prompt.h"
#include "wordindex/bar_lines.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {
bool onlyLetters(std::string_view w) {
  return std::all_of(w.begin(), w.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}
}  // namespace

std::string soundex(std::string_view word) {
  static constexpr char table[] = "01230120022455012623010202";
  if (word.empty() || !onlyLetters(word)) return {};
  std::string code(1, word[0]);
  char last = 0;
  for (size_t i = 1; i < word.size(); ++i) {
    char d = table[word[i] - 'A'];
    if (d == '0' || d == last) continue;
    code += d;
    last = d;
  }
  return code;
}

namespace {

// The matchers work on characters, so that "?" stands for one accented
// letter and an edit changes one character, whatever its UTF-8 length.
bool wildcardChars(std::u32string_view p, std::u32string_view w) {
  // Iterative glob matching with back-tracking to the last "*".
  size_t pi = 0, wi = 0, star = std::u32string_view::npos, mark = 0;
  while (wi < w.size()) {
    if (pi < p.size() && (p[pi] == U'?' || p[pi] == w[wi])) {
      ++pi;
      ++wi;
    } else if (pi < p.size() && p[pi] == U'*') {
      star = pi++;
      mark = wi;
    } else if (star != std::u32string_view::npos) {
      pi = star + 1;
      wi = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

bool approximateChars(std::u32string_view p, std::u32string_view w, int k) {
  // Column by column over the word; starting anywhere costs nothing.
  const size_t m = p.size();
  if (m == 0) return true;
  std::vector<int> col(m + 1);
  for (size_t i = 0; i <= m; ++i) col[i] = int(i);
  if (col[m] <= k) return true;
  for (char32_t c : w) {
    int diag = 0;  // D[0][j-1]
    col[0] = 0;
    for (size_t i = 1; i <= m; ++i) {
      int up = col[i];  // D[i][j-1]
      int best = std::min({up + 1, col[i - 1] + 1, diag + (p[i - 1] == c ? 0 : 1)});
      diag = up;
      col[i] = best;
    }
    if (col[m] <= k) return true;
  }
  return false;
}

}  // namespace

bool wildcardMatch(std::string_view p, std::string_view w) {
  return wildcardChars(wordCharacters(p), wordCharacters(w));
}

bool approximateMatch(std::string_view p, std::string_view w, int k) {
  return approximateChars(wordCharacters(p), wordCharacters(w), k);
}

std::vector<WordCandidate> lookupWords(const std::string& word, LookupMode mode, int tolerance, bool* failed) {
  std::vector<WordCandidate> out;
  if (failed) *failed = false;
  FileScope scope({FileWordList});
  if (mode == LookupMode::Exact) {
    WOR = WordListRec();
    WOR.THEWORD = word;
    if (WordList.get(WOR_by_theWord)) out.push_back({WOR.THEWORD.str(), WOR.WORDID, WOR.WORDCOUNT});
  } else {
    std::string code = mode == LookupMode::Soundex ? soundex(word) : std::string();
    const std::u32string pattern = wordCharacters(word);
    WordList.setFileOrder();
    while (WordList.next()) {
      std::string_view w = WOR.THEWORD.view();
      bool match = mode == LookupMode::Soundex     ? !code.empty() && soundex(w) == code
                   : mode == LookupMode::Wildcard  ? wildcardChars(pattern, wordCharacters(w))
                                                   : approximateChars(pattern, wordCharacters(w), tolerance);
      if (match) out.push_back({std::string(w), WOR.WORDID, WOR.WORDCOUNT});
    }
    if (ErrorCode() != ErrNone && ErrorCode() != ErrNotAvailable && failed) *failed = true;
    std::sort(out.begin(), out.end(), [](const WordCandidate& a, const WordCandidate& b) { return a.word < b.word; });
  }
  return out;
}

bool typedSearchWords(const std::string& inputIn, LookupMode mode, bool phrase, std::vector<std::string>& words) {
  words.clear();
  // At most 256 characters, never part of one.
  size_t end = 0;
  for (int chars = 0; end < inputIn.size() && chars < 256; ++chars)
    do ++end; while (end < inputIn.size() && (static_cast<unsigned char>(inputIn[end]) & 0xC0) == 0x80);
  std::string input = inputIn.substr(0, end);
  WordCutter cut(input, true);
  CutWord w;
  std::vector<std::string> typed;
  while (cut.next(w)) typed.push_back(w.word);
  if (typed.empty()) {
    Message(barLines("No searchwords!|Please type a what you want to find or press cancel."), "Blank Search",
            Icon::Exclamation);
    return false;
  }
  bool wild = std::any_of(typed.begin(), typed.end(),
                          [](const std::string& t) { return t.find_first_of("*?") != std::string::npos; });
  if (wild && (phrase || mode == LookupMode::Soundex || mode == LookupMode::Approximate)) {
    Message(barLines("Wildcards can not be used in|phrases, soundex or approximate searches."), "Search Problem",
            Icon::Exclamation);
    return false;
  }
  std::shared_ptr<const StopWords> stop = storedStopList();
  for (const std::string& t : typed) {
    if (stop->count(t)) {
      Message(barLines("The word: " + t + " is a Non-Indexed Word.|It has been removed from the search."),
              "Non-Indexed Word", Icon::Information);
      continue;
    }
    words.push_back(t);
  }
  if (words.empty()) {
    Message(barLines("All of the words are on the stoplist (non-indexed).|Please type valid words or cancel!"),
            "No valid searchwords", Icon::Exclamation);
    return false;
  }
  if (mode == LookupMode::Soundex) {
    if (words.size() > 1 || !onlyLetters(words[0])) {
      Message("Soundex Search Requests May Only Contain Letters and Must be a Single Word.", "Only Letters Please",
              Icon::Exclamation);
      return false;
    }
    if (words[0].size() < 2) {
      Message("To use Soundex you must type at least 2 letters.", "Too Few Letters", Icon::Exclamation);
      return false;
    }
  }
  if (mode == LookupMode::Approximate)
    for (const std::string& t : words)
      if (wordCharacters(t).size() < 2) {
        Message("To use Approximate Matching you must type at least 2 letters.", "Too Few Letters",
                Icon::Exclamation);
        return false;
      }
  return true;
}

}  // namespace qv
