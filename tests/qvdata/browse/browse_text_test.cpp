// The reading pane's text and pages, the hit scan of the find string and of
// the searched words, and the steps from hit to hit.
#include <gtest/gtest.h>

#include "browse/hit_marks.h"
#include "browse/hit_scan.h"
#include "browse/reading_pane.h"
#include "wordindex/word_tables.h"

using namespace qv;

namespace {

// A text of n characters without blanks, with blanks placed at 1-based positions.
std::string filler(size_t n, std::initializer_list<size_t> blanks = {}) {
  std::string s(n, 'x');
  for (size_t b : blanks) s[b - 1] = ' ';
  return s;
}

// The shown text put back together from the pages without their markers.
std::string joined(const std::vector<TextPage>& pages) {
  std::string out;
  for (const TextPage& p : pages) out += p.text.substr(p.lead, p.length);
  return out;
}

TEST(ReadingPane, SubjectLineInFrontOnlyWithASubject) {
  EXPECT_EQ(shownText("Hello there  ", "Body\r\n"), "Subject: Hello there\r\n\r\nBody\r\n");
  EXPECT_EQ(shownText("   ", "Body"), "Body");
  EXPECT_EQ(shownText("", ""), "");
}

TEST(ReadingPane, PageCountsAtTheLimits) {
  EXPECT_EQ(splitPages("").size(), 1u);
  EXPECT_EQ(splitPages(filler(24000)).size(), 1u);
  EXPECT_EQ(splitPages(filler(24000))[0].text, filler(24000)) << "a single page has no markers";
  EXPECT_EQ(splitPages(filler(24001)).size(), 2u);
  EXPECT_EQ(splitPages(filler(48000)).size(), 2u);
  EXPECT_EQ(splitPages(filler(48001)).size(), 3u);
  EXPECT_EQ(splitPages(filler(64000)).size(), 3u);
}

TEST(ReadingPane, PagesEndAtTheFirstBlankInTheirWindow) {
  // Blanks before the window, at 23,955 and 23,970: the page ends with the one at 23,955.
  std::string s = filler(30000, {23949, 23955, 23970});
  std::vector<TextPage> p = splitPages(s);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].length, 23955u);
  EXPECT_EQ(p[1].first, 23955u);
  EXPECT_EQ(joined(p), s);

  // A blank exactly at 23,950 and at 23,980 count; one at 23,981 does not.
  EXPECT_EQ(splitPages(filler(30000, {23950}))[0].length, 23950u);
  EXPECT_EQ(splitPages(filler(30000, {23980}))[0].length, 23980u);
  EXPECT_EQ(splitPages(filler(30000, {23981}))[0].length, 23980u) << "no blank in the window: cut after 23,980";

  // The second page of three ends at the first blank from 47,060 to 47,100.
  std::string three = filler(50000, {23960, 47059, 47061, 47100});
  p = splitPages(three);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].length, 23960u);
  EXPECT_EQ(p[1].first, 23960u);
  EXPECT_EQ(p[1].first + p[1].length, 47061u);
  EXPECT_EQ(p[2].first, 47061u);
  EXPECT_EQ(p[2].length, 50000u - 47061u);
  EXPECT_EQ(joined(p), three);
  EXPECT_EQ(splitPages(filler(50000))[1].first + splitPages(filler(50000))[1].length, 47100u);
}

TEST(ReadingPane, MarkersJoinThePages) {
  std::vector<TextPage> p = splitPages(filler(50000));
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].lead, 0u);
  EXPECT_EQ(p[0].text.substr(p[0].text.size() - 18), " ..........<MORE>>");
  EXPECT_EQ(p[1].text.substr(0, 15), "<CONTINUED>> \r\n");
  EXPECT_EQ(p[1].lead, 15u);
  EXPECT_EQ(p[1].text.substr(p[1].text.size() - 18), " ..........<MORE>>");
  EXPECT_EQ(p[2].text.substr(0, 15), "<CONTINUED>> \r\n");
  EXPECT_EQ(p[2].text.back(), 'x') << "the last page has no more marker";
  EXPECT_EQ(pageOf(p, 0), 0u);
  EXPECT_EQ(pageOf(p, 23979), 0u);
  EXPECT_EQ(pageOf(p, 23980), 1u);
  EXPECT_EQ(pageOf(p, 49999), 2u);
  EXPECT_EQ(pageOf(p, 90000), 2u);
}

TEST(ReadingPane, ACutWithoutBlankKeepsCharactersWhole) {
  // Two-byte characters from the start: byte 23,980 ends a character only when even.
  std::string s;
  while (s.size() < 30001) s += "\xC3\xA9";
  std::vector<TextPage> p = splitPages(s);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].length % 2, 0u);
  EXPECT_EQ(joined(p), s);
  s = "x" + s;  // now the characters start at odd offsets
  p = splitPages(s);
  EXPECT_EQ(p[0].length % 2, 1u);
  EXPECT_EQ(joined(p), s);
}

using Hits = std::vector<std::pair<int, int>>;

TEST(HitScan, EveryOccurrenceWithItsPositions) {
  EXPECT_EQ(scanHits("the cat and the hat", "the", true, false), (Hits{{0, 2}, {12, 14}}));
  EXPECT_EQ(scanHits("aaaa", "aa", true, false), (Hits{{0, 1}, {2, 3}})) << "the scan resumes after a hit";
  EXPECT_EQ(scanHits("abc   ", "c  ", true, false), (Hits{{2, 2}})) << "trailing blanks of both are ignored";
  EXPECT_EQ(scanHits("ab", "abc", true, false), Hits{});
  EXPECT_EQ(scanHits("abc", "", true, false), Hits{});
}

TEST(HitScan, LetterCase) {
  EXPECT_EQ(scanHits("The THE the", "tHe", false, false), (Hits{{0, 2}, {4, 6}, {8, 10}}));
  EXPECT_EQ(scanHits("The THE the", "THE", true, false), (Hits{{4, 6}}));
  // Accented letters fold too, and positions stay byte positions of the text.
  EXPECT_EQ(scanHits("caf\xC3\xA9 CAF\xC3\x89", "caf\xC3\xA9", false, false), (Hits{{0, 4}, {6, 10}}));
}

TEST(HitScan, WholeWordsAreTheWordsTheIndexCuts) {
  setDefaultWordTables();
  EXPECT_EQ(scanHits("THEM THE.", "THE", false, true), (Hits{{5, 7}})) << "not inside THEM, but before a full stop";
  EXPECT_EQ(scanHits("the bathe", "the", false, true), (Hits{{0, 2}}));
  EXPECT_EQ(scanHits("2the 1the the2", "the", false, true), Hits{}) << "every digit is a word character";
  EXPECT_EQ(scanHits("a1234 1234, 12345 1234", "1234", false, true), (Hits{{6, 9}, {18, 21}}));
  EXPECT_EQ(scanHits("ABC2 ABC_x abc", "ABC", false, true), (Hits{{11, 13}})) << "digits and underscores glue";
  EXPECT_EQ(scanHits("caf\xC3\xA9 caf", "CAF", false, true), (Hits{{6, 8}})) << "an accented letter glues";
  EXPECT_EQ(scanHits("WIN.INI win", "win", false, true), (Hits{{8, 10}})) << "WIN.INI is one word";
  EXPECT_EQ(scanHits("\xE2\x80\xA6the the", "the", false, true), (Hits{{3, 5}, {7, 9}}))
      << "the ellipsis separates words";
}

TEST(HitMarks, SearchedWordsAsTheIndexCutsThem) {
  setDefaultWordTables();
  std::string text = "Subject: Apples\r\n\r\nI like apples, not pineapples. APPLES!";
  Hits h = wordHits(text, {"APPLES"});
  ASSERT_EQ(h.size(), 3u);
  EXPECT_EQ(text.substr(h[0].first, h[0].second - h[0].first + 1), "Apples");
  EXPECT_EQ(text.substr(h[1].first, h[1].second - h[1].first + 1), "apples");
  EXPECT_EQ(h[2].first, int(text.find("APPLES!")));
  EXPECT_EQ(wordHits(text, {"PEARS"}), Hits{});
}

TEST(HitMarks, ASearchPhraseIsMarkedWhereItsWordsStandTogether) {
  setDefaultWordTables();
  std::string text = "New printers: the New York office, not York or new.\r\nNEW\r\nYORK again.";
  auto piece = [&](const std::pair<int, int>& h) { return text.substr(h.first, h.second - h.first + 1); };
  Hits h = searchHits(text, {{"PRINTERS"}, {"NEW", "YORK"}});
  ASSERT_EQ(h.size(), 3u);
  EXPECT_EQ(piece(h[0]), "printers");
  EXPECT_EQ(piece(h[1]), "New York");
  EXPECT_EQ(piece(h[2]), "NEW\r\nYORK") << "across a line end, in any case";
  // The phrase's words alone are not marked; without a phrase the words are.
  EXPECT_EQ(searchHits(text, {{}, {"YORK", "NEW"}}), Hits{});
  EXPECT_EQ(searchHits(text, {{"YORK"}, {}}).size(), 3u);
}

TEST(HitMarks, StepsFromTheSelection) {
  Hits h = {{5, 7}, {30000, 30004}, {50000, 50001}};
  EXPECT_EQ(stepHit(h, -1, true), 0);
  EXPECT_EQ(stepHit(h, -1, false), -1);
  EXPECT_EQ(stepHit(h, 5, true), 1);
  EXPECT_EQ(stepHit(h, 5, false), -1) << "nothing before the first hit: the button is disabled";
  EXPECT_EQ(stepHit(h, 30000, false), 0);
  EXPECT_EQ(stepHit(h, 50000, true), -1);
  EXPECT_EQ(stepHit(h, 40000, true), 2) << "a selection between hits";
  EXPECT_EQ(stepHit({}, 0, true), -1);
  // The step to the second hit crosses to the second page.
  std::vector<TextPage> pages = splitPages(std::string(60000, 'x'));
  EXPECT_EQ(pageOf(pages, size_t(h[stepHit(h, 5, true)].first)), 1u);
}

}  // namespace
