// List rows and their purge colours, the status marks, the title count, the
// reading pane's text and the professional search's result inside the
// current selection.
#include <gtest/gtest.h>

#include "browse/browse_rows.h"
#include "browse/browse_title.h"
#include "browse/browse_view.h"
#include "browse/pro_search.h"
#include "browse/reading_pane.h"
#include "browse/status_marks.h"
#include "browse_fixture.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/file.h"

using namespace qv;

namespace {

class BrowseRowsTest : public qvtest::BrowseTest {
 protected:
  static std::map<uint32_t, RowClass> colours(int kind, const std::vector<uint32_t>& ids) {
    std::map<uint32_t, RowClass> out;
    for (const BrowseRow& r : readBrowseRows(kind, ids)) out[r.id] = r.colour;
    return out;
  }
  static int threadStatus(uint32_t id) {
    OP_CLOSE(OpShared, {FileThreads});
    THR = ThreadsRec();
    THR.THREADNUMBER = id;
    int status = Threads.get(THR_ThreadKey) ? THR.DUMMY : -1;
    OP_CLOSE(OpRelease, {FileThreads});
    return status;
  }
  static std::vector<uint32_t> searchSet() {
    std::vector<uint32_t> ids;
    OP_CLOSE(OpShared, {FileSearch});
    Search.set(SEA_IdKey);
    while (Search.next()) ids.push_back(SEA.ID);
    OP_CLOSE(OpRelease, {FileSearch});
    return ids;
  }
  using Ids = std::vector<uint32_t>;
};

TEST(PurgeColours, TheMostSpecificMarkDecides) {
  EXPECT_EQ(purgeClass(0, 0, 0, 0), RowNormal);
  EXPECT_EQ(purgeClass(2, 0, 0, 0), RowDelete);
  EXPECT_EQ(purgeClass(2, 1, 1, 1), RowDelete) << "a deleted message goes whatever its thread says";
  EXPECT_EQ(purgeClass(1, 2, 0, 0), RowKeep) << "a kept message survives its thread's delete";
  EXPECT_EQ(purgeClass(0, 2, 1, 0), RowDelete);
  EXPECT_EQ(purgeClass(0, 1, 2, 0), RowKeep);
  EXPECT_EQ(purgeClass(0, 0, 2, 1), RowDelete);
  EXPECT_EQ(purgeClass(0, 0, 1, 2), RowKeep);
  EXPECT_EQ(purgeClass(0, 0, 0, 2), RowDelete);
  EXPECT_EQ(purgeClass(0, 0, 0, 1), RowKeep);
}

TEST_F(BrowseRowsTest, ForumRowsTheirTextsAndColoursFromTheMarks) {
  sampleForum();
  ASSERT_TRUE(setStatus(KindForumDb, LevelMessage, 500, 1));
  ASSERT_TRUE(setStatus(KindForumDb, LevelThread, 501, 2));   // thread 1000
  ASSERT_TRUE(setStatus(KindForumDb, LevelSection, 502, 1));  // section 100
  ASSERT_TRUE(setStatus(KindForumDb, LevelDatabase, 0, 2));
  EXPECT_EQ(threadStatus(1000), 2);
  std::map<uint32_t, RowClass> c = colours(KindForumDb, {500, 501, 502, 503, 504, 505});
  EXPECT_EQ(c[500], RowKeep) << "the message's keep beats its thread's delete";
  EXPECT_EQ(c[501], RowDelete);
  EXPECT_EQ(c[504], RowDelete);
  EXPECT_EQ(c[502], RowKeep) << "its section is kept";
  EXPECT_EQ(c[505], RowKeep);
  EXPECT_EQ(c[503], RowDelete) << "only the database is marked";

  MSG.MSGNUMBER = 12345;  // the caller's buffers survive
  THR.THREADNUMBER = 23456;
  PER.PERSONID = 34567;
  std::vector<BrowseRow> rows = readBrowseRows(KindForumDb, {504, 4242, 503});
  EXPECT_EQ(MSG.MSGNUMBER, 12345u);
  EXPECT_EQ(THR.THREADNUMBER, 23456u);
  EXPECT_EQ(PER.PERSONID, 34567u);
  ASSERT_EQ(rows.size(), 2u) << "a message that does not exist is left out";
  EXPECT_EQ(rowTexts(KindForumDb, rows[0]), (std::vector<std::string>{"Pears and apples", "Ann Lee", "Dee Adams", "01 General"}));
  EXPECT_EQ(rows[0].date, 103);
  EXPECT_EQ(rowTexts(KindForumDb, rows[1])[3], "04 Utilities");
  EXPECT_EQ(browseColumns(KindForumDb), (std::vector<std::string>{"Thread", "Sender", "Receiver", "Section"}));

  // Back to normal, and a mark on a message that does not exist changes nothing.
  ASSERT_TRUE(setStatus(KindForumDb, LevelDatabase, 0, 0));
  ASSERT_TRUE(setStatus(KindForumDb, LevelThread, 500, 0));
  ASSERT_TRUE(setStatus(KindForumDb, LevelSection, 500, 0));
  EXPECT_FALSE(setStatus(KindForumDb, LevelThread, 4242, 2));
  EXPECT_FALSE(setStatus(KindForumDb, LevelMessage, 501, 3)) << "no status 3";
  EXPECT_FALSE(setStatus(KindForumDb, LevelPartner, 501, 2)) << "forums have no partner";
  c = colours(KindForumDb, {501, 503, 500});
  EXPECT_EQ(c[501], RowNormal);
  EXPECT_EQ(c[503], RowNormal);
  EXPECT_EQ(c[500], RowKeep);
}

TEST_F(BrowseRowsTest, AHeldRecordIsLeftAsItWas) {
  sampleForum();
  OP_CLOSE(OpShared, {FileThreads});
  int me = currentHolder();
  setCurrentHolder(me + 1000);  // another window holds thread 1000
  THR = ThreadsRec();
  THR.THREADNUMBER = 1000;
  ASSERT_TRUE(Threads.get(THR_ThreadKey));
  ASSERT_TRUE(Threads.hold(1));
  setCurrentHolder(me);
  EXPECT_FALSE(setStatus(KindForumDb, LevelThread, 500, 2));
  EXPECT_EQ(threadStatus(1000), 0);
  setCurrentHolder(me + 1000);
  Threads.release();
  setCurrentHolder(me);
  OP_CLOSE(OpRelease, {FileThreads});
  EXPECT_TRUE(setStatus(KindForumDb, LevelThread, 500, 2));
  EXPECT_EQ(threadStatus(1000), 2);
}

TEST_F(BrowseRowsTest, NewsgroupRowsHaveNoSection) {
  sampleForum(KindNewsDb);
  std::vector<BrowseRow> rows = readBrowseRows(KindNewsDb, {501});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rowTexts(KindNewsDb, rows[0]), (std::vector<std::string>{"Pears and apples", "Bob Ray", "Ann Lee"}));
  EXPECT_FALSE(setStatus(KindNewsDb, LevelSection, 501, 2));
  EXPECT_EQ(browseTitle(KindNewsDb, "comp.lang", 12), " Newsgroup database: comp.lang Messages [12]");
}

TEST_F(BrowseRowsTest, MailRowsAndThePartnerMark) {
  sampleMailbox();
  KonfigSet(ItemDateFormat, 10);  // yyyy-mm-dd
  KonfigSet(ItemTimeFormat, 1);   // hh:mm
  int32_t day = dateFromYMD(2024, 3, 5);
  mail(710, Mem.PersonID, 21, false, day, timeFromHMS(14, 30, 0), std::string(60, 's'));
  std::vector<BrowseRow> rows = readBrowseRows(KindMailDb, {710});
  ASSERT_EQ(rows.size(), 1u);
  std::vector<std::string> t = rowTexts(KindMailDb, rows[0]);
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0], formatDate(day, 10));
  EXPECT_EQ(t[1], formatTime(timeFromHMS(14, 30, 0), 1));
  EXPECT_EQ(t[2], std::string(50, 's'));
  EXPECT_EQ(t[3], "Fay Brown");
  EXPECT_EQ(t[4], "Owen Test");

  ASSERT_TRUE(setStatus(KindMailDb, LevelPartner, 700, 2));  // Fay
  ASSERT_TRUE(setStatus(KindMailDb, LevelMessage, 703, 1));
  EXPECT_FALSE(setStatus(KindMailDb, LevelThread, 703, 1)) << "mail has no threads";
  std::map<uint32_t, RowClass> c = colours(KindMailDb, {700, 701, 702, 703});
  EXPECT_EQ(c[700], RowDelete);
  EXPECT_EQ(c[701], RowDelete);
  EXPECT_EQ(c[703], RowKeep);
  EXPECT_EQ(c[702], RowNormal);
  EXPECT_EQ(browseTitle(KindMailDb, "Owen Test", 5), " Mail database: Owen Test [5]");
}

TEST_F(BrowseRowsTest, TitleCountFromTheDatabaseRecordUnlessItIsStale) {
  uint32_t db = makeDatabase(KindForumDb, "Counted");
  thread(1, 0, "Only");
  person(10, "Ann", "Lee");
  for (uint32_t n = 1; n <= 3; ++n) message(n, 1, 10, 10, 100);
  auto setCount = [&](uint32_t count, uint8_t flag) {
    OP_CLOSE(OpShared, {FileForums});
    FOR = ForumsRec();
    FOR.ID = db;
    ASSERT_TRUE(Forums.get(FOR_ForumKey));
    FOR.MSGCOUNT = count;
    FOR.COUNTFLAG = flag;
    ASSERT_TRUE(Forums.put());
    OP_CLOSE(OpRelease, {FileForums});
  };
  setCount(0, 0);
  EXPECT_EQ(messageCount(KindForumDb), 3u) << "no count stored: the messages are counted";
  setCount(1234, 0);
  EXPECT_EQ(messageCount(KindForumDb), 1234u);
  setCount(1234, 1);
  EXPECT_EQ(messageCount(KindForumDb), 3u) << "a count marked stale is not shown";
  EXPECT_EQ(browseTitle(KindForumDb, "Counted", 3), " Forum database: Counted Messages [3]");
}

TEST_F(BrowseRowsTest, ShownTextWithTheSubject) {
  sampleForum();
  text(502, "Yellow.\r\n");
  std::string shown;
  ASSERT_TRUE(readShownText(KindForumDb, 502, shown));
  EXPECT_EQ(shown, "Subject: Bananas\r\n\r\nYellow.\r\n");
  ASSERT_TRUE(readShownText(KindForumDb, 503, shown));
  EXPECT_EQ(shown, "Subject: Cherries\r\n\r\n") << "a message without text";
  EXPECT_FALSE(readShownText(KindForumDb, 4242, shown));
}

TEST_F(BrowseRowsTest, ProfessionalSearchKeepsTheHitsInsideTheSelection) {
  sampleForum();
  std::vector<uint32_t> hits = {505, 504, 503, 501, 500, 4242};
  BrowseState t = state(KindForumDb, FmThread);
  t.threadNumber = 1000;
  t.threadAlpha = "Pears and";
  EXPECT_EQ(keepInSelection(t, hits), hits) << "no limit: no selection";
  t.limitThread = true;
  EXPECT_EQ(keepInSelection(t, hits), (Ids{504, 501, 500}));
  BrowseState s = state(KindForumDb, FmSender);
  s.sender = who(10, "Lee");
  s.limitSender = true;
  EXPECT_EQ(keepInSelection(s, hits), (Ids{504, 503, 500}));
  BrowseState w = state(KindForumDb, FmWord);
  w.wordId = 7;
  EXPECT_EQ(keepInSelection(w, hits), (Ids{504, 500}));

  // Thread limit: only the thread's hits become the result set, shown from its first.
  BrowseState before = t;
  ASSERT_EQ(applySearchResult(t, hits), SearchShown);
  EXPECT_EQ(searchSet(), (Ids{504, 501, 500}));
  EXPECT_EQ(t.mode, FmResult);
  EXPECT_EQ(t.selected, 504u);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

  // Searching again inside the result set keeps what is in it.
  ASSERT_EQ(applySearchResult(t, {505, 501}), SearchShown);
  EXPECT_EQ(searchSet(), (Ids{501}));

  // Nothing inside the selection: a thread view stays as it was, silently.
  BrowseState other = before;
  ASSERT_EQ(applySearchResult(other, {505, 502}), SearchNone);
  EXPECT_EQ(other, before);
  EXPECT_EQ(searchSet(), (Ids{501})) << "the result set is kept";
  EXPECT_TRUE(prompts.requests.empty());

  // Nothing in the result view: told, and back to the number view.
  ASSERT_EQ(applySearchResult(t, {503}), SearchFellBack);
  EXPECT_EQ(t.mode, FmNumber);
  EXPECT_EQ(onlyRequest().caption, " Search failed!");
  EXPECT_EQ(onlyRequest().text, "No messages found!");
}

TEST_F(BrowseRowsTest, MailSearchInsideAPartner) {
  sampleMailbox();
  BrowseState p = state(KindMailDb, MmPartner);
  p.partner = who(21, "Brown");
  p.limitPartner = true;
  ASSERT_EQ(applySearchResult(p, {704, 703, 702, 700}), SearchShown);
  EXPECT_EQ(p.mode, MmResult);
  EXPECT_EQ(searchSet(), (Ids{703, 700}));
  EXPECT_EQ(p.selected, 703u);
}

}  // namespace
