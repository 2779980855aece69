#include "services/text_match.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "services/word_break_tables.h"
#include "wordindex/whole_words.h"

using qv::AISINB;
using qv::DupString;
using qv::StripChar;

namespace {

// Plain search in the same terms as AISINB mode 0, as the reference.
int naiveFind(std::string text, std::string pattern) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!pattern.empty() && pattern.back() == ' ') pattern.pop_back();
  if (pattern.empty()) return 0;
  size_t p = text.find(pattern);
  return p == std::string::npos ? 0 : static_cast<int>(p + 1);
}

std::string strip(int mode, std::string line) {
  StripChar(mode, line);
  return line;
}

}  // namespace

TEST(TextMatchSearch, FindsFirstOccurrenceOneBased) {
  EXPECT_EQ(AISINB(0, "hello world", "hello"), 1);
  EXPECT_EQ(AISINB(0, "hello world", "world"), 7);
  EXPECT_EQ(AISINB(0, "hello world", "o"), 5);
  EXPECT_EQ(AISINB(0, "hello world", "hello world"), 1);
  EXPECT_EQ(AISINB(0, "aaab", "aab"), 2);
  EXPECT_EQ(AISINB(0, "abcabcabd", "abcabd"), 4);
  EXPECT_EQ(AISINB(0, "hello world", "worlds"), 0);
  EXPECT_EQ(AISINB(0, "hello world", "xyz"), 0);
}

TEST(TextMatchSearch, CaseSensitive) {
  EXPECT_EQ(AISINB(0, "a cat", "CAT"), 0);
  EXPECT_EQ(AISINB(0, "A CAT", "CAT"), 3);
}

TEST(TextMatchSearch, EmptyAndOversizedInputsGiveZero) {
  EXPECT_EQ(AISINB(0, "", ""), 0);
  EXPECT_EQ(AISINB(0, "abc", ""), 0);
  EXPECT_EQ(AISINB(0, "abc", "   "), 0);
  EXPECT_EQ(AISINB(0, "", "a"), 0);
  EXPECT_EQ(AISINB(1, "", "a"), 0);
  EXPECT_EQ(AISINB(0, "ab", "abc"), 0);
  EXPECT_EQ(AISINB(1, "ab", "abc"), 0);
}

TEST(TextMatchSearch, TrailingBlanksOfBothAreIgnored) {
  EXPECT_EQ(AISINB(0, "abc   ", "abc "), 1);
  EXPECT_EQ(AISINB(0, "abc", "c  "), 3);
  // The text's trailing blanks cannot be part of a match.
  EXPECT_EQ(AISINB(0, "abc  ", "c "), 3);
  EXPECT_EQ(AISINB(0, "ab   ", "b  x"), 0);
  // A pattern that is only longer because of its trailing blanks still fits.
  EXPECT_EQ(AISINB(0, "ab", "ab      "), 1);
}

TEST(TextMatchSearch, AgreesWithPlainSearchOnRandomTexts) {
  std::mt19937 rng(12345);
  const std::string alphabet = "ab c";
  std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
  auto randomText = [&](int len) {
    std::string s;
    for (int i = 0; i < len; ++i) s += alphabet[pick(rng)];
    return s;
  };
  std::uniform_int_distribution<int> textLen(0, 40), patLen(1, 6);
  for (int round = 0; round < 20000; ++round) {
    std::string text = randomText(textLen(rng));
    std::string pattern = randomText(patLen(rng));
    ASSERT_EQ(AISINB(0, text, pattern), naiveFind(text, pattern))
        << "text \"" << text << "\" pattern \"" << pattern << "\"";
  }
}

TEST(TextMatchSearch, LongTextWithMatchAtTheVeryEnd) {
  qv::setDefaultWordTables();
  std::string text(1'000'000, 'x');
  text += "needle";
  EXPECT_EQ(AISINB(0, text, "needle"), 1'000'001);
  EXPECT_EQ(AISINB(1, text, "needle"), 0);  // glued to the x's
  text[999'999] = ' ';
  EXPECT_EQ(AISINB(1, text, "needle"), 1'000'001);
}

TEST(TextMatchSearch, Utf8PositionsAreBytePositions) {
  // "Herr " is 5 bytes, so "Müller" starts at byte 6; the ü is two bytes.
  EXPECT_EQ(AISINB(0, "Herr Müller", "Müller"), 6);
  EXPECT_EQ(AISINB(0, "José Müller", "Müller"), 7);
  EXPECT_EQ(AISINB(0, "José Müller", "Muller"), 0);
}

// The whole-word test sees the words the word index cuts, with its default tables.
class TextMatchWholeWord : public ::testing::Test {
 protected:
  void SetUp() override { qv::setDefaultWordTables(); }
};

TEST_F(TextMatchWholeWord, PlainWordsNeedNonWordNeighbours) {
  EXPECT_EQ(AISINB(1, "a cat.", "cat"), 3);
  EXPECT_EQ(AISINB(1, "concatenate", "cat"), 0);
  EXPECT_EQ(AISINB(0, "concatenate", "cat"), 4);
  EXPECT_EQ(AISINB(1, "cats", "cat"), 0);
  EXPECT_EQ(AISINB(1, "bobcat", "cat"), 0);
  // A rejected occurrence does not end the search.
  EXPECT_EQ(AISINB(1, "concatenate cat", "cat"), 13);
  EXPECT_EQ(AISINB(1, "catcat cat", "cat"), 8);
}

TEST_F(TextMatchWholeWord, MatchesAtTheEdgesOfTheText) {
  EXPECT_EQ(AISINB(1, "cat", "cat"), 1);
  EXPECT_EQ(AISINB(1, "cat in the hat", "cat"), 1);
  EXPECT_EQ(AISINB(1, "the hat and cat", "cat"), 13);
  EXPECT_EQ(AISINB(1, "(cat)", "cat"), 2);
}

TEST_F(TextMatchWholeWord, NumbersAreWordsLikeAnyOther) {
  EXPECT_EQ(AISINB(1, "a 12 b", "12"), 3);
  EXPECT_EQ(AISINB(1, "a 123", "12"), 0);
  EXPECT_EQ(AISINB(1, "a 312", "12"), 0);
  EXPECT_EQ(AISINB(1, "a 123 12", "12"), 7);
  EXPECT_EQ(AISINB(1, "12", "12"), 1);
  // Letters and digits glue together, as in the index's words.
  EXPECT_EQ(AISINB(1, "x12y", "12"), 0);
  EXPECT_EQ(AISINB(1, "x12y 12.", "12"), 6);
}

TEST_F(TextMatchWholeWord, EveryCharacterTheIndexKeepsInAWordIsAWordCharacter) {
  // Every digit, not only "1".
  EXPECT_EQ(AISINB(1, "ABC2", "ABC"), 0);
  EXPECT_EQ(AISINB(1, "0cat9", "cat"), 0);
  EXPECT_EQ(AISINB(1, "cat1", "cat"), 0);
  // Characters that may stand inside a word: underscore, colon, a full stop between letters.
  EXPECT_EQ(AISINB(1, "ABC_x", "ABC"), 0);
  EXPECT_EQ(AISINB(1, "WIN.INI", "WIN"), 0);
  EXPECT_EQ(AISINB(1, "WIN.INI", "WIN.INI"), 1);
  EXPECT_EQ(AISINB(1, "ABC_ and ABC", "ABC"), 1) << "a trailing underscore is no part of the word";
  EXPECT_EQ(AISINB(1, "abc...def", "abc"), 1) << "two full stops end a word";
  // Accented and other letters, by their Windows-1252 code or as Unicode letters.
  EXPECT_EQ(AISINB(1, "CAF\xC3\x89", "CAF"), 0);
  EXPECT_EQ(AISINB(1, "\xC3\xA9" "cat", "cat"), 0);
  EXPECT_EQ(AISINB(1, "\xD0\x96" "cat", "cat"), 0) << "a Cyrillic letter";
  EXPECT_EQ(AISINB(1, "CAF\xC3\x89", "CAF\xC3\x89"), 1);
  // Separators: blanks, punctuation, the hyphen, quotes, the ellipsis.
  EXPECT_EQ(AISINB(1, "cat\xE2\x80\xA6", "cat"), 1);          // ellipsis
  EXPECT_EQ(AISINB(1, "\xE2\x80\x9C" "cat\xE2\x80\x9D", "cat"), 4);  // curly quotes
  EXPECT_EQ(AISINB(1, "e-mail", "mail"), 3);
  // A pattern of several words: its own ends count.
  EXPECT_EQ(AISINB(1, "say hello world!", "hello world"), 5);
  EXPECT_EQ(AISINB(1, "say hello worlds", "hello world"), 0);
  EXPECT_EQ(AISINB(1, "use C++ now", "C++"), 5);
}

TEST_F(TextMatchWholeWord, ModeZeroIgnoresWordBoundaries) {
  EXPECT_EQ(AISINB(0, "a 123", "12"), 3);
  EXPECT_EQ(AISINB(2, "concatenate", "cat"), 4);
}

TEST(TextMatchDupString, SignatureOfFewerThanTwentyCharactersIsTheSame) {
  const std::string body = "Thanks for the file, it works fine now.\r\n";
  EXPECT_TRUE(DupString(body, body));
  EXPECT_TRUE(DupString(body, body + "-- Jim"));
  EXPECT_TRUE(DupString(body + "-- Jim", body));
  EXPECT_TRUE(DupString(body, body + std::string(19, 'x')));
  EXPECT_FALSE(DupString(body, body + std::string(20, 'x')));
  EXPECT_FALSE(DupString(body + std::string(20, 'x'), body));
}

TEST(TextMatchDupString, AnyDifferenceInTheCommonPartMakesThemDifferent) {
  EXPECT_FALSE(DupString("The meeting is on Monday.", "The meeting is on Sunday."));
  EXPECT_FALSE(DupString("xbc", "abc"));
  EXPECT_FALSE(DupString("abc", "abx"));
  EXPECT_FALSE(DupString("abc", "abC"));
  // Different in the common part although the lengths are close.
  EXPECT_FALSE(DupString("Hello Jim", "Hello Tim, see you"));
}

TEST(TextMatchDupString, TrailingBlanksDoNotCount) {
  EXPECT_TRUE(DupString("abc" + std::string(50, ' '), "abc"));
  EXPECT_TRUE(DupString("abc" + std::string(19, 'x') + "     ", "abc"));
  EXPECT_FALSE(DupString("abc" + std::string(20, 'x') + "     ", "abc"));
}

TEST(TextMatchDupString, EmptyTexts) {
  EXPECT_TRUE(DupString("", ""));
  EXPECT_TRUE(DupString("", "     "));
  EXPECT_TRUE(DupString("", "short reply"));
  EXPECT_FALSE(DupString("", "a reply of more than twenty characters"));
}

TEST(TextMatchDupString, LengthDifferenceCountsCharactersNotBytes) {
  // 19 accented letters are 38 bytes of UTF-8, but 19 characters.
  std::string trailer;
  for (int i = 0; i < 19; ++i) trailer += "\xC3\xA9";
  EXPECT_TRUE(DupString("Grüße", "Grüße" + trailer));
  EXPECT_FALSE(DupString("Grüße", "Grüße" + trailer + "\xC3\xA9"));
}

TEST(TextMatchDupString, LongTextsAreComparedToTheirEnd) {
  const std::string common(70'000, 'a');
  EXPECT_TRUE(DupString(common, common));
  EXPECT_TRUE(DupString(common, common + "sig"));
  // Equal for far more than a screenful and different only near the end:
  // two messages, not one.
  EXPECT_FALSE(DupString(common + "first ending", common + "other ending"));
  EXPECT_FALSE(DupString(common, common + std::string(5'000, 'b')));
}

TEST(TextMatchStripChar, RemovesLineEndsAndControlSequencesAtBothEnds) {
  EXPECT_EQ(strip(1, "Hello\r\n"), "Hello");
  EXPECT_EQ(strip(1, "\r\n\r\nHello"), "Hello");
  EXPECT_EQ(strip(1, "\r\nHello@b\r\n"), "Hello");
  EXPECT_EQ(strip(1, "@lHello@b@l"), "Hello");
  EXPECT_EQ(strip(1, "@b\n@lHello\r@b\n"), "Hello");
  EXPECT_EQ(strip(1, "Sent by me@b"), "Sent by me");
}

TEST(TextMatchStripChar, StopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(strip(1, "Hi @b there\r\n"), "Hi @b there");
  EXPECT_EQ(strip(1, " Hello \r\n"), " Hello ");
  EXPECT_EQ(strip(1, "x\r\n@b"), "x");
  EXPECT_EQ(strip(1, "@bx@b@ly"), "x@b@ly");
  EXPECT_EQ(strip(1, "Line@B"), "Line@B");
  EXPECT_EQ(strip(1, "@xLine@x"), "@xLine@x");
  EXPECT_EQ(strip(1, "Line@"), "Line@");
  EXPECT_EQ(strip(1, "@Line"), "@Line");
  EXPECT_EQ(strip(1, "Grüße\r\n"), "Grüße");
}

TEST(TextMatchStripChar, LinesThatAreAllControlBecomeEmpty) {
  EXPECT_EQ(strip(1, ""), "");
  EXPECT_EQ(strip(1, "\r\n"), "");
  EXPECT_EQ(strip(1, "@b"), "");
  EXPECT_EQ(strip(1, "@b@l\r\n@l"), "");
  EXPECT_EQ(strip(1, "@"), "@");
  EXPECT_EQ(strip(1, "\r@\n"), "@");
}

TEST(TextMatchStripChar, EveryModeTrimsAlike) {
  for (int mode : {0, 1, 2, 3}) {
    EXPECT_EQ(strip(mode, "\r\n@bText@l\r\n"), "Text") << "mode " << mode;
  }
}
