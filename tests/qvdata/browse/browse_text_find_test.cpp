// The standard search's engine: whole words and letter case, the subject
// before the text, the 20-character cut, the end of a view, walking only the
// browser's current view in either direction, the date range, going on from
// a hit, and mail subjects.
#include <gtest/gtest.h>

#include "browse/browse_state.h"
#include "browse/hit_scan.h"
#include "browse/text_find.h"
#include "browse_fixture.h"
#include "dictionary/file_numbers.h"

using namespace qv;

namespace {

class TextFindTest : public qvtest::BrowseTest {
 protected:
  void SetUp() override {
    BrowseTest::SetUp();
    findSettings() = FindSettings();
  }
  void TearDown() override {
    findSettings() = FindSettings();  // one copy for the whole program
    BrowseTest::TearDown();
  }

  // Two threads; in number order (newest first): 504, 503, 502, 501, 500.
  void forum(int kind = KindForumDb) {
    makeDatabase(kind);
    section(100, 1, "General");
    person(10, "Ann", "Lee");
    person(11, "Bob", "Ray");
    thread(1000, 100, "Printer trouble");
    thread(1001, 100, "Holiday plans");
    message(500, 1000, 10, 11, 100, "My printer jams.\r\nHello World from Ann.");
    message(501, 1000, 11, 10, 101, "Did you look in the CATALOG of parts?");
    message(502, 1001, 10, 11, 102, "The cat sat.\r\nNo printers here.");
    message(503, 1001, 11, 10, 103, "HELLO WORLD, shouted Bob.");
    message(504, 1000, 10, 11, 104);  // no text
  }

  static BrowseState view(int kind, int mode, uint32_t selected) {
    BrowseState s;
    s.kind = kind;
    s.mode = mode;
    s.selected = selected;
    return s;
  }

  static BrowseState threadView(uint32_t thread, const std::string& alpha, uint32_t selected) {
    BrowseState s = view(KindForumDb, FmThread, selected);
    s.threadNumber = thread;
    s.threadAlpha = alpha;
    s.limitThread = true;
    return s;
  }

  static void find(const std::string& text, bool matchCase = false, bool wholeWords = false) {
    findSettings().findString = text;
    findSettings().matchCase = matchCase;
    findSettings().wholeWords = wholeWords;
  }

  // Runs a search from the published view to its first result.
  static FindStep run(TextFind& f, TextFindOptions o = {}) {
    f.start(o);
    FindStep r = FindStep::Searching;
    for (int i = 0; i < 1000 && r == FindStep::Searching; ++i) r = f.step(1);
    return r;
  }

  // The messages hit one after the other from the published view, as the
  // window goes on: each hit is published as the browser's selection.
  static std::vector<uint32_t> hits(int kind, TextFindOptions o = {}) {
    std::vector<uint32_t> out;
    TextFind f(kind);
    while (out.size() < 20 && run(f, o) != FindStep::EndOfView) {
      out.push_back(f.found());
      writeBrowseContext(f.view());
    }
    return out;
  }
};

TEST_F(TextFindTest, WholeWordsPassLongerWordsButStopBeforeAFullStop) {
  forum();
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("cat", false, true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{502}));  // "The cat sat.", not "CATALOG"
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("cat", false, false);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{502, 501}));
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("sat", false, true);  // the word right before the full stop
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{502}));
}

TEST_F(TextFindTest, WholeWordsAreTheWordsOfTheIndex) {
  makeDatabase(KindForumDb);
  section(100, 1, "General");
  person(10, "Ann", "Lee");
  thread(1000, 100, "Parts list");
  message(500, 1000, 10, 10, 100, "See ABC2 for details.");
  message(501, 1000, 10, 10, 101, "The ABC_x module.");
  message(502, 1000, 10, 10, 102, "Un caf\xC3\xA9 au lait.");
  message(503, 1000, 10, 10, 103, "Edit WIN.INI first.");
  message(504, 1000, 10, 10, 104, "Ask (abc) or win.");
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("abc", false, true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{504})) << "not in ABC2 nor ABC_x";
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("caf", false, true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{})) << "not in CAF\xC3\x89";
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("caf\xC3\xA9", false, true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{502}));
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("WIN", true, true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{})) << "WIN.INI is one word";
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("win", false, true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{504}));
}

TEST_F(TextFindTest, LetterCaseCountsOnlyWhenAsked) {
  forum();
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("Hello World");
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{503, 500}));  // mixed case finds upper case
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("Hello World", true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{500}));
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  find("HELLO WORLD", true);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{503}));
}

TEST_F(TextFindTest, TheSubjectIsTestedBeforeTheTextAndAloneWhenAsked) {
  forum();
  find("printer");
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  TextFind f(KindForumDb);
  EXPECT_EQ(run(f), FindStep::SubjectHit);  // 504 has no text, its thread's heading holds it
  EXPECT_EQ(f.found(), 504u);
  EXPECT_EQ(f.view().selected, 504u);
  writeBrowseContext(f.view());
  EXPECT_EQ(run(f), FindStep::TextHit);  // "No printers here." in 502
  EXPECT_EQ(f.found(), 502u);

  TextFindOptions subjectOnly;
  subjectOnly.scope = 2;
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  EXPECT_EQ(hits(KindForumDb, subjectOnly), (std::vector<uint32_t>{504, 501, 500}));
  find("cat");
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  EXPECT_EQ(hits(KindForumDb, subjectOnly), std::vector<uint32_t>{});
}

TEST_F(TextFindTest, TheFindStringIsCutToTwentyCharacters) {
  EXPECT_EQ(cutFindString("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrst");
  EXPECT_EQ(cutFindString("short"), "short");
  std::string umlauts;
  for (int i = 0; i < 25; ++i) umlauts += "\xC3\xA4";  // "ä" is two bytes
  EXPECT_EQ(cutFindString(umlauts), umlauts.substr(0, 40));
  // A string longer than 20 characters searches with its first 20.
  forum();
  find("Did you look in the CATALOG");
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{501}));
  find("Did you look in the XXXXXXX");  // differs only after the 20th character
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{501}));
}

TEST_F(TextFindTest, TheLastMessageOfAThreadViewForwardEndsAtOnce) {
  forum();
  find("hello");
  // Thread "Printer trouble" in key order: 500, 501, 504.
  writeBrowseContext(threadView(1000, "Printer tr", 504));
  TextFind f(KindForumDb);
  f.start({});
  EXPECT_EQ(f.step(10), FindStep::EndOfView);
  EXPECT_EQ(f.examined(), 0);
  EXPECT_FALSE(f.searching());
  // Backward from there it finds 500, which lies before it in the thread.
  writeBrowseContext(threadView(1000, "Printer tr", 504));
  TextFindOptions back;
  back.direction = 2;
  EXPECT_EQ(run(f, back), FindStep::TextHit);
  EXPECT_EQ(f.found(), 500u);
}

TEST_F(TextFindTest, OnlyTheMessagesOfTheCurrentViewAreSearched) {
  forum();
  find("hello");
  // The other thread's 503 holds it too; the limited thread view never reaches it.
  writeBrowseContext(threadView(1000, "Printer tr", 0));
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{500}));
  writeBrowseContext(threadView(1001, "Holiday pl", 0));
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{503}));
  // A sender view: Bob wrote 501 and 503.
  BrowseState bob = view(KindForumDb, FmSender, 0);
  bob.sender.id = 11;
  bob.sender.alpha = "Ray";
  bob.limitSender = true;
  writeBrowseContext(bob);
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{503}));
  // A result set of 500 and 502 only.
  OP_CLOSE(OpShared, {FileSearch});
  for (uint32_t id : {500u, 502u}) {
    SEA.ID = id;
    ASSERT_TRUE(Search.add());
  }
  OP_CLOSE(OpRelease, {FileSearch});
  find("printer");
  writeBrowseContext(view(KindForumDb, FmResult, 0));
  EXPECT_EQ(hits(KindForumDb), (std::vector<uint32_t>{502, 500}));
}

TEST_F(TextFindTest, DatesOutsideTheRangeArePassedOver) {
  forum();
  find("hello");
  TextFindOptions o;
  o.toDate = 102;
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  EXPECT_EQ(hits(KindForumDb, o), (std::vector<uint32_t>{500}));  // 503 is dated 103
  o = {};
  o.fromDate = 101;
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  EXPECT_EQ(hits(KindForumDb, o), (std::vector<uint32_t>{503}));  // 500 is dated 100
}

TEST_F(TextFindTest, AStepExaminesAtMostItsBatchAndAnEmptyStringFindsNothing) {
  forum();
  find("nowhere to be found");
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  TextFind f(KindForumDb);
  f.start({});
  EXPECT_EQ(f.step(2), FindStep::Searching);
  EXPECT_EQ(f.examined(), 2);
  EXPECT_EQ(f.step(2), FindStep::Searching);
  EXPECT_EQ(f.step(2), FindStep::EndOfView);  // the fifth was the last
  EXPECT_EQ(f.examined(), 5);
  find("");
  f.start({});
  EXPECT_FALSE(f.searching());
  EXPECT_EQ(f.step(5), FindStep::EndOfView);
}

TEST_F(TextFindTest, ASearchLeavesTheRecordBuffersAsItFoundThem) {
  forum();
  find("hello");
  writeBrowseContext(view(KindForumDb, FmNumber, 0));
  OP_CLOSE(OpShared, {FileMsgNmbr});
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = 502;
  ASSERT_TRUE(MsgNmbr.get(MSG_IdKey));
  TextFind f(KindForumDb);
  EXPECT_EQ(run(f), FindStep::TextHit);
  EXPECT_EQ(MSG.MSGNUMBER, 502u);
  OP_CLOSE(OpRelease, {FileMsgNmbr});
}

TEST_F(TextFindTest, MailIsSearchedInItsSubjectAndText) {
  makeDatabase(KindMailDb, "Owen Test");
  uint32_t owner = Mem.PersonID;
  person(21, "Fay", "Brown");
  mail(700, owner, 21, false, 200, 100, "Hello", "first text");
  mail(701, owner, 21, true, 201, 100, "Re: Hello", "holiday pictures");
  mail(702, owner, 21, false, 202, 100, "Pictures", "see attached");
  find("pictures");
  writeBrowseContext(view(KindMailDb, MmDate, 0));  // newest first: 702, 701, 700
  TextFind f(KindMailDb);
  EXPECT_EQ(run(f), FindStep::SubjectHit);
  EXPECT_EQ(f.found(), 702u);
  writeBrowseContext(f.view());
  EXPECT_EQ(run(f), FindStep::TextHit);
  EXPECT_EQ(f.found(), 701u);
  writeBrowseContext(f.view());
  EXPECT_EQ(run(f), FindStep::EndOfView);
}

}  // namespace
