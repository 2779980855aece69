// PARCESTRING: occurrences of a phrase in a shown text, cut into words as
// the word index cuts them.
#include <gtest/gtest.h>

#include "browse/phrase_match.h"
#include "wordindex/word_tables.h"

using namespace qv;

namespace {

class PhraseMatch : public ::testing::Test {
 protected:
  void SetUp() override { setDefaultWordTables(); }

  static WordPositions match(std::string_view text, const std::vector<std::string>& phrase,
                             size_t length = 64000) {
    WordPositions r;
    PARCESTRING(r, length, text, phrase);
    return r;
  }
  // The marked pieces of the text.
  static std::vector<std::string> marked(std::string_view text, const std::vector<std::string>& phrase) {
    std::vector<std::string> out;
    for (auto [first, last] : match(text, phrase)) out.emplace_back(text.substr(first - 1, last - first + 1));
    return out;
  }
};

using Pieces = std::vector<std::string>;

}  // namespace

TEST_F(PhraseMatch, TwoWordsInAnyCaseAcrossSeparatorsButNotWrittenAsOne) {
  EXPECT_EQ(marked("The Word Index is fast.", {"WORD", "INDEX"}), (Pieces{"Word Index"}));
  EXPECT_EQ(marked("word,\r\n  index and WORD/INDEX", {"word", "index"}), (Pieces{"word,\r\n  index", "WORD/INDEX"}));
  EXPECT_TRUE(match("the wordindex was rebuilt", {"WORD", "INDEX"}).empty());
  EXPECT_TRUE(match("word and index", {"WORD", "INDEX"}).empty()) << "the words must follow each other";
  EXPECT_EQ(match("a word index", {"WORD", "INDEX"}), (WordPositions{{3, 12}})) << "1-based first and last byte";
}

TEST_F(PhraseMatch, OneWordMarksEveryOccurrence) {
  const std::string text = "Modem, modem; MODEM! modems";
  EXPECT_EQ(marked(text, {"MODEM"}), (Pieces{"Modem", "modem", "MODEM"}));
  EXPECT_TRUE(match("", {"MODEM"}).empty());
  EXPECT_TRUE(match(text, {}).empty()) << "an empty phrase marks nothing";
  EXPECT_TRUE(match(text, {"  ", "--"}).empty()) << "nor one of separators only";
}

TEST_F(PhraseMatch, TwoDotsEndAWord) {
  EXPECT_EQ(marked("wait..then go", {"WAIT"}), (Pieces{"wait"}));
  EXPECT_EQ(marked("wait..then go", {"THEN", "GO"}), (Pieces{"then go"}));
  EXPECT_TRUE(match("file.txt", {"FILE"}).empty()) << "one dot stays inside a word";
}

TEST_F(PhraseMatch, AnAttemptThatFailsMayHideTheStartOfAnOccurrence) {
  EXPECT_EQ(marked("new new york", {"NEW", "YORK"}), (Pieces{"new york"}));
  EXPECT_EQ(marked("a a a b", {"A", "A", "B"}), (Pieces{"a a b"}));
  EXPECT_EQ(marked("a a a a", {"A", "A"}), (Pieces{"a a", "a a"})) << "occurrences do not overlap";
}

TEST_F(PhraseMatch, LengthLimitAndNonAsciiWords) {
  const std::string text = "Grüße aus München, GRÜSSE? grüße AUS münchen";
  EXPECT_EQ(marked(text, {"grüße", "aus", "MÜNCHEN"}), (Pieces{"Grüße aus München", "grüße AUS münchen"}));
  // Only the first 11 bytes are looked at: "Grüße aus" ends at byte 11 ("ü" and "ß" take two).
  EXPECT_EQ(match(text, {"AUS"}, 11), (WordPositions{{9, 11}}));
  EXPECT_TRUE(match(text, {"AUS"}, 10).empty());
  // A cut inside a character ends before it.
  EXPECT_EQ(match("ab\xC3\xBC", {"AB"}, 3), (WordPositions{{1, 2}}));
  // A phrase word the cutter splits is matched as the words it splits into.
  EXPECT_EQ(marked("send e mail now", {"E-MAIL"}), (Pieces{"e mail"}));
}
