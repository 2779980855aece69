// Word cutting, the junk filter, the parts of a text that are indexed, the
// look-up matchers and the storage of the word-breaking tables.
#include <gtest/gtest.h>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"
#include "wordindex/index_text.h"
#include "services/default_stop_list.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"
#include "wordindex/word_lookup.h"
#include "wordindex/word_positions.h"
#include "wordindex/word_tables.h"

using namespace qv;

namespace {

std::vector<std::string> cut(std::string_view text) {
  std::vector<std::string> out;
  WordCutter c(text);
  CutWord w;
  while (c.next(w)) out.push_back(w.word);
  return out;
}

bool accepted(const std::string& word, bool numbers) {
  WordCutter c(word);
  CutWord w;
  return c.next(w) && acceptWord(w, numbers);
}

std::string indexed(std::string_view text, int kind, bool footers = false) {
  std::string out;
  forEachIndexedPart(text, kind, footers, [&](std::string_view p) {
    out += p;
    out += '|';
  });
  return out;
}

class WordCutTest : public ::testing::Test {
 protected:
  void SetUp() override { setDefaultWordTables(); }
};

using V = std::vector<std::string>;

TEST_F(WordCutTest, CutsAsTheTablesSay) {
  EXPECT_EQ(cut("WIN.INI"), V{"WIN.INI"});
  EXPECT_EQ(cut("Windows."), V{"WINDOWS"});
  EXPECT_EQ(cut(".INI"), V{"INI"});
  EXPECT_EQ(cut("abc...def"), (V{"ABC", "DEF"}));
  EXPECT_EQ(cut("e-mail"), (V{"E", "MAIL"}));
  EXPECT_EQ(cut("see: [this] user_name_ ~tilde~ a/b @home"), (V{"SEE", "THIS", "USER_NAME", "TILDE", "A", "B", "HOME"}))
      << "a colon, underscore or tilde may stand inside but not start; trailing ones are dropped";
  EXPECT_EQ(cut("Ärger mit café, naïve \xE2\x80\x9Cquoted\xE2\x80\x9D"), (V{"ÄRGER", "MIT", "CAFÉ", "NAÏVE", "QUOTED"}));
  EXPECT_EQ(cut("Привет мир"), (V{"ПРИВЕТ", "МИР"})) << "letters outside the code page are word characters";
  EXPECT_EQ(cut("a\xFF" "b"), V{"A\xC5\xB8" "B"}) << "a stray byte is read as its Windows-1252 character (ÿ)";
}

TEST_F(WordCutTest, PositionsAndTheFortyCharacterCut) {
  WordCutter c("  Hello, wörld");
  CutWord w;
  ASSERT_TRUE(c.next(w));
  EXPECT_EQ(w.first, 3u);
  EXPECT_EQ(w.last, 7u);
  ASSERT_TRUE(c.next(w));
  EXPECT_EQ(w.word, "WÖRLD");
  EXPECT_EQ(w.first, 10u);
  EXPECT_EQ(w.last, 15u) << "the last byte of the two-byte ö-word";
  std::string longText = std::string(45, 'x') + " next";
  WordCutter l(longText);
  ASSERT_TRUE(l.next(w));
  EXPECT_EQ(w.word.size(), 40u);
  EXPECT_FALSE(acceptWord(w, true)) << "a word of 40 or more characters is never indexed";
  ASSERT_TRUE(l.next(w));
  EXPECT_EQ(w.word, "NEXT");
}

TEST_F(WordCutTest, JunkFilter) {
  EXPECT_FALSE(accepted("a", true));
  EXPECT_TRUE(accepted(std::string(39, 'k'), true));
  for (bool numbers : {true, false}) {
    EXPECT_TRUE(accepted("UNIX", numbers));
    EXPECT_FALSE(accepted("12:30PM", numbers));
    EXPECT_TRUE(accepted("CAFE", numbers));
    EXPECT_TRUE(accepted("BAD", numbers));
  }
  for (const char* w : {"95", "1998", "3.11"}) {
    EXPECT_TRUE(accepted(w, true)) << w;
    EXPECT_FALSE(accepted(w, false)) << w;
  }
  EXPECT_FALSE(accepted("123456", true));
  EXPECT_FALSE(accepted("0FFFFH", true));
  EXPECT_FALSE(accepted("DEADBEEF", true));
  EXPECT_TRUE(accepted("DEADBEEF", false));
}

TEST_F(WordCutTest, ForumFootersAreLeftOut) {
  std::string t = "The driver fails.\r\nAny ideas?\r\n\r\n-- \r\nJohn Smith, tag line here\r\n";
  EXPECT_EQ(indexed(t, KindForumDb), "The driver fails.\r\nAny ideas?|");
  EXPECT_EQ(indexed(t, KindForumDb, true), t + "|") << "footers indexed when the switch says so";
  EXPECT_EQ(indexed("Body text here.\r\nPress Reply\r\n", KindForumDb), "Body text here.\r\n|");
  EXPECT_EQ(indexed("One paragraph\r\nonly.\r\n", KindForumDb), "One paragraph\r\nonly.\r\n|");
}

TEST_F(WordCutTest, EachKindHasItsOwnFooterSwitch) {
  const int64_t forum = WSVarsGet(ItemForumFooters), news = WSVarsGet(ItemNewsFooters);
  WSVarsSet(ItemForumFooters, 1);
  WSVarsSet(ItemNewsFooters, 0);
  EXPECT_TRUE(footersIndexed(KindForumDb));
  EXPECT_FALSE(footersIndexed(KindNewsDb));
  EXPECT_FALSE(footersIndexed(KindMailDb)) << "mail has no footers";
  WSVarsSet(ItemForumFooters, 0);
  WSVarsSet(ItemNewsFooters, 1);
  EXPECT_FALSE(footersIndexed(KindForumDb));
  EXPECT_TRUE(footersIndexed(KindNewsDb));
  EXPECT_FALSE(footersIndexed(KindMailDb));
  WSVarsSet(ItemForumFooters, forum);
  WSVarsSet(ItemNewsFooters, news);
}

TEST_F(WordCutTest, MailHeadersMultipartAndUuencodeAreLeftOut) {
  EXPECT_EQ(indexed("From: a@b\r\nTo: c@d\r\nMessage-ID: <x@y>\r\nno empty line follows", KindMailDb), "");
  EXPECT_EQ(indexed("Plain mail without headers.\r\nSecond line.", KindMailDb),
            "Plain mail without headers.\r\nSecond line.|");
  std::string multi =
      "Message-ID: <1@x>\r\nContent-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\npreamble\r\n--XYZ\r\n"
      "Content-Type: application/octet-stream\r\n\r\nQUJDREVGR0g=\r\n--XYZ\r\nContent-Type: text/plain\r\n\r\n"
      "the plain words\r\n--XYZ--\r\n";
  EXPECT_EQ(indexed(multi, KindMailDb), "the plain words|")
      << "only the text/plain part, even when Message-ID comes before Content-Type";
  std::string htmlOnly =
      "Content-Type: multipart/alternative; boundary=b1\r\nX-Mailer: x\r\n\r\n--b1\r\nContent-Type: text/html\r\n\r\n"
      "<p>hello <b>there</b></p>\r\n--b1--\r\n";
  EXPECT_EQ(indexed(htmlOnly, KindMailDb), "hello there\r\n|") << "an HTML-only body is found too";
  std::string uu = "X-Mailer: uuencode mailer\r\nSubject: s\r\n\r\nsee the file\r\nbegin 644 a.zip\r\nM86)C\r\nend\r\n";
  EXPECT_EQ(indexed(uu, KindMailDb), "see the file\r\n|");
  std::string inline_uu = "Look at this:\r\nbegin 644 pic.gif\r\n#86)C\r\n`\r\nend\r\nbye\r\n";
  EXPECT_EQ(indexed(inline_uu, KindMailDb), "Look at this:\r\n|bye\r\n|") << "a uuencoded block anywhere";
  EXPECT_EQ(indexed("Hi\r\n[Attachment: report 2024.pdf, application/pdf, 1200 bytes]\r\nBye", KindMailDb),
            "Hi\r\n|report 2024.pdf|Bye|")
      << "only the attachment's name";
}

TEST_F(WordCutTest, HighlightPositionsFollowTheCutter) {
  WordPositions p;
  BUILDWORDPOSQ1(p, "Printer drivers: the printer.", {"printer", "THE"});
  EXPECT_EQ(p, (WordPositions{{1, 7}, {18, 20}, {22, 28}}));
  BUILDWORDPOSQ(p, "no match", "PRINTER");
  EXPECT_TRUE(p.empty());
}

TEST(WordLookupTest, SoundexWildcardApproximate) {
  EXPECT_EQ(soundex("ROBERT"), "R163");
  EXPECT_EQ(soundex("RUPERT"), "R163");
  EXPECT_EQ(soundex("TYMCZAK"), "T52");
  EXPECT_EQ(soundex("WASHINGTON"), "W25235");
  EXPECT_EQ(soundex("WIN.INI"), "");
  EXPECT_TRUE(wildcardMatch("LASER*", "LASERJET"));
  EXPECT_FALSE(wildcardMatch("LASER*", "MYLASER")) << "a pattern matches the whole word";
  EXPECT_TRUE(wildcardMatch("*JET", "LASERJET"));
  EXPECT_TRUE(wildcardMatch("L?SER*T", "LASERJET"));
  EXPECT_TRUE(wildcardMatch("*A*E*", "LASERJET"));
  EXPECT_FALSE(wildcardMatch("L?SER", "LASERS"));
  EXPECT_TRUE(approximateMatch("LAZERJET", "LASERJET", 1));
  EXPECT_FALSE(approximateMatch("LAZERJOT", "LASERJET", 1));
  EXPECT_TRUE(approximateMatch("PRINT", "MISPRINTED", 0)) << "the request may start anywhere in the word";
  EXPECT_TRUE(approximateMatch("PRNT", "PRINTER", 1));
}

TEST(WordLookupTest, MatchersCountCharactersNotBytes) {
  // One accented letter is one character: one substitution, one "?".
  EXPECT_TRUE(approximateMatch("FISICA", "F\xC3\x8DSICA", 1));
  EXPECT_FALSE(approximateMatch("FISICA", "F\xC3\x8DS\xC3\x8D" "CA", 1)) << "two substitutions";
  EXPECT_TRUE(approximateMatch("FISICA", "F\xC3\x8DS\xC3\x8D" "CA", 2));
  EXPECT_TRUE(approximateMatch("\xC3\x89T\xC3\x89", "ETE", 2));
  EXPECT_FALSE(approximateMatch("\xC3\x89T\xC3\x89", "ETE", 1));
  EXPECT_TRUE(approximateMatch("\xE2\x82\xAC", "X", 1)) << "a three-byte character is one edit too";
  EXPECT_TRUE(wildcardMatch("F?SICA", "F\xC3\x8DSICA"));
  EXPECT_FALSE(wildcardMatch("F??SICA", "F\xC3\x8DSICA"));
  EXPECT_TRUE(wildcardMatch("*\xC3\x8DSICA", "F\xC3\x8DSICA"));
  EXPECT_TRUE(wildcardMatch("?", "\xC3\x9F")) << "\xC3\x9F is one character";
  // Letter case is folded with the word index's upper case for every letter.
  EXPECT_TRUE(wildcardMatch("f\xC3\xADsica", "F\xC3\x8DSICA"));
  EXPECT_TRUE(approximateMatch("f\xC3\xADsica", "F\xC3\x8DSICA", 0));
  EXPECT_TRUE(approximateMatch("\xCE\xB1\xCE\xB2", "\xCE\x91\xCE\x92", 0)) << "Greek too";
}

class WordTablesTest : public qvtest::InstallationTest {};

TEST_F(WordTablesTest, TablesKeptInControlRecordsAndNamedSets) {
  EXPECT_EQ(StartWordHash['-'], 1);
  EXPECT_EQ(InWordHash['.'], 0);
  EXPECT_EQ(EndWordHash['.'], 1);
  EXPECT_EQ(IsJunkHash['H'], 3);
  InWordHash['-'] = 0;  // "e-mail" becomes one word
  EndWordHash[200] = 1;
  ASSERT_TRUE(WSVars(KSave));
  setDefaultWordTables();
  ASSERT_TRUE(WSVars(KLoad));
  EXPECT_EQ(InWordHash['-'], 0);
  EXPECT_EQ(EndWordHash[200], 1) << "byte 968 of the tables lives in record 15";
  EXPECT_EQ(cut("e-mail"), V{"E-MAIL"});
  OP_CLOSE(OpShared, {FileControl});
  for (int id = 11; id <= 16; ++id) {
    CTL = ControlRec();
    CTL.ID = uint8_t(id);
    EXPECT_TRUE(Control.get(CTL_IdKey)) << "record " << id;
  }
  OP_CLOSE(OpRelease, {FileControl});

  selectDatabase(1, KindForumDb);
  ASSERT_TRUE(saveWordSet("Hyphens join"));
  setDefaultWordTables();
  EXPECT_EQ(wordSetNames(), V{"Hyphens join"});
  ASSERT_TRUE(useWordSet("Hyphens join"));
  EXPECT_EQ(InWordHash['-'], 0);
  EXPECT_FALSE(useWordSet("No such set"));
  ASSERT_TRUE(deleteWordSet("Hyphens join"));
  EXPECT_TRUE(wordSetNames().empty());
  setDefaultWordTables();
  ASSERT_TRUE(WSVars(KSave));
}

TEST_F(WordTablesTest, NewInstallationHasTheEnglishStopList) {
  StopWords stop;
  ASSERT_TRUE(loadStopList(stop));
  EXPECT_EQ(stop.size(), defaultStopWords().size());
  EXPECT_TRUE(stop.count("THE"));
  EXPECT_TRUE(addStopWord("printer"));
  EXPECT_TRUE(isStopWord("PRINTER"));
  EXPECT_TRUE(addStopWord("Printer")) << "a word already there is no failure";
  ASSERT_TRUE(loadStopList(stop));
  EXPECT_EQ(stop.size(), defaultStopWords().size() + 1);
}

}  // namespace
