// From typed words to search list entries: the look-up mode of a typed word,
// the candidates of each mode, a phrase looked up word by word with its
// refusal, and a word standing in a list once.
#include <gtest/gtest.h>

#include "browse_fixture.h"
#include "wordindex/search_input.h"

using namespace qv;

namespace {

class SearchInputTest : public qvtest::BrowseTest {
 protected:
  void SetUp() override {
    BrowseTest::SetUp();
    makeDatabase(1);
    wordEntry(1, "PRINTER", {500, 502});
    wordEntry(2, "PRINTERS", {501});
    wordEntry(3, "ROBERT", {503});
    wordEntry(4, "RUPERT", {503});
    wordEntry(5, "HELLO", {500});
  }

  static std::vector<std::string> words(const std::vector<WordCandidate>& c) {
    std::vector<std::string> out;
    for (const WordCandidate& w : c) out.push_back(w.word);
    return out;
  }
};

TEST_F(SearchInputTest, ATypedWordIsLookedUpInItsMode) {
  EXPECT_EQ(wordLookupMode("PRINT*", LookupMode::Exact), LookupMode::Wildcard);
  EXPECT_EQ(wordLookupMode("PR?NTER", LookupMode::Exact), LookupMode::Wildcard);
  EXPECT_EQ(wordLookupMode("PRINTER", LookupMode::Exact), LookupMode::Exact);
  EXPECT_EQ(wordLookupMode("ROBERT", LookupMode::Soundex), LookupMode::Soundex);

  std::vector<WordCandidate> found;
  ASSERT_TRUE(lookupTyped("PRINTER", LookupMode::Exact, 0, found));
  ASSERT_EQ(words(found), std::vector<std::string>{"PRINTER"});
  EXPECT_EQ(found[0].wordId, 1);
  EXPECT_EQ(found[0].count, 2);
  ASSERT_TRUE(lookupTyped("PRINT*", LookupMode::Exact, 0, found));
  EXPECT_EQ(words(found), (std::vector<std::string>{"PRINTER", "PRINTERS"}));
  ASSERT_TRUE(lookupTyped("ROBERT", LookupMode::Soundex, 0, found));
  EXPECT_EQ(words(found), (std::vector<std::string>{"ROBERT", "RUPERT"}));
  ASSERT_TRUE(lookupTyped("HALLO", LookupMode::Approximate, 1, found));
  EXPECT_EQ(words(found), std::vector<std::string>{"HELLO"});
  ASSERT_TRUE(lookupTyped("XYZZY", LookupMode::Exact, 0, found));  // nothing matches: no failure
  EXPECT_TRUE(found.empty());
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(SearchInputTest, APhraseNeedsEveryWordInTheWordList) {
  std::vector<SearchWord> out;
  ASSERT_TRUE(lookupPhrase({"HELLO", "PRINTER"}, out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].word, "HELLO");
  EXPECT_EQ(out[0].wordId, 5);
  EXPECT_EQ(out[1].word, "PRINTER");
  EXPECT_EQ(out[1].count, 2);
  EXPECT_FALSE(out[1].negated);

  EXPECT_FALSE(lookupPhrase({"HELLO", "XYZZY", "PRINTER"}, out));
  EXPECT_TRUE(out.empty());
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.caption, "No matches");
  EXPECT_EQ(r.text, "One of the words in the phrase was not found in any document.\r\nWord:XYZZY");
  // A wildcard in a phrase word is taken as written, never as a pattern.
  prompts.reset();
  EXPECT_FALSE(lookupPhrase({"PRINT*"}, out));
}

TEST_F(SearchInputTest, AWordStandsInAListOnce) {
  std::vector<SearchWord> list;
  EXPECT_TRUE(addSearchWord(list, {"PRINTER", 1, 2, false}));
  EXPECT_FALSE(addSearchWord(list, {"PRINTER", 1, 2, true}));  // same word ID
  EXPECT_TRUE(addSearchWord(list, {"PRINTERS", 2, 1, false}));
  // Words the index lacks (ID 0) are told apart by their text.
  EXPECT_TRUE(addSearchWord(list, {"XYZZY", 0, 0, true}));
  EXPECT_FALSE(addSearchWord(list, {"XYZZY", 0, 0, true}));
  EXPECT_TRUE(addSearchWord(list, {"PLUGH", 0, 0, true}));
  EXPECT_EQ(list.size(), 4u);
}

}  // namespace

TEST_F(SearchInputTest, APickListOffersTheMostFrequentOfTooManyWords) {
  std::vector<WordCandidate> found;
  ASSERT_TRUE(lookupTyped("*", LookupMode::Exact, 0, found));
  ASSERT_EQ(found.size(), 5u);
  limitPickList("*", found, 5);  // not more than the list holds: nothing said
  EXPECT_EQ(found.size(), 5u);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  limitPickList("*", found, 2);
  // PRINTER (2 messages) and the first of the words found once, in word order.
  EXPECT_EQ(words(found), (std::vector<std::string>{"HELLO", "PRINTER"}));
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests.back().caption, "Too Many Words");
  EXPECT_EQ(prompts.requests.back().text, "5 words match *.\r\nThe 2 found in the most messages are offered.");
}
