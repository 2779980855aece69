// The browsers' views: every key and selection walks exactly its messages in
// the list's order, with and without limits; the locators, the ends of a
// view, fetching around a position and two views walked at once.
#include <gtest/gtest.h>

#include "browse/browse_view.h"
#include "browse_fixture.h"

using namespace qv;

namespace {

class BrowseViewTest : public qvtest::BrowseTest {
 protected:
  // The whole view from its first message on, and from its last back.
  static std::vector<uint32_t> forward(const BrowseState& s) {
    BrowseView v(s);
    std::vector<uint32_t> out;
    for (bool ok = v.toFirst(); ok; ok = v.next()) out.push_back(v.current());
    return out;
  }
  static std::vector<uint32_t> backward(const BrowseState& s) {
    BrowseView v(s);
    std::vector<uint32_t> out;
    for (bool ok = v.toLast(); ok; ok = v.previous()) out.insert(out.begin(), v.current());
    return out;
  }
  // Both directions must agree.
  static std::vector<uint32_t> walk(const BrowseState& s) {
    std::vector<uint32_t> f = forward(s);
    EXPECT_EQ(f, backward(s)) << "mode " << s.mode;
    return f;
  }

  using Ids = std::vector<uint32_t>;
};

TEST_F(BrowseViewTest, ForumViewsWalkTheirMessagesInListOrder) {
  sampleForum();
  EXPECT_EQ(walk(state(KindForumDb, FmNumber)), (Ids{505, 504, 503, 502, 501, 500}));
  // Thread order: by heading, then thread, then number.
  EXPECT_EQ(walk(state(KindForumDb, FmThread)), (Ids{502, 505, 503, 500, 501, 504}));
  EXPECT_EQ(walk(state(KindForumDb, FmSender)), (Ids{505, 504, 503, 500, 501, 502}));
  EXPECT_EQ(walk(state(KindForumDb, FmReceiver)), (Ids{504, 502, 501, 505, 500, 503}));
  EXPECT_EQ(walk(state(KindForumDb, FmDate)), (Ids{503, 505, 504, 501, 502, 500}));
}

TEST_F(BrowseViewTest, LimitsKeepTheChosenItemOnly) {
  sampleForum();
  BrowseState t = state(KindForumDb, FmThread);
  t.threadNumber = 1000;
  t.threadAlpha = "Pears and";
  EXPECT_EQ(walk(t).size(), 6u) << "a chosen thread without the limit is no selection";
  t.limitThread = true;
  EXPECT_EQ(walk(t), (Ids{500, 501, 504}));

  BrowseState sec = state(KindForumDb, FmSection);
  EXPECT_EQ(walk(sec), Ids{}) << "the section view without a section holds nothing";
  sec.sectionId = 100;
  EXPECT_EQ(walk(sec), (Ids{502, 505, 500, 501, 504}));
  sec.sectionId = 200;
  EXPECT_EQ(walk(sec), (Ids{503}));

  BrowseState from = state(KindForumDb, FmSender);
  from.sender = who(10, "Lee");
  from.limitSender = true;
  EXPECT_EQ(walk(from), (Ids{504, 503, 500})) << "newest first within the sender";
  BrowseState to = state(KindForumDb, FmReceiver);
  to.receiver = who(11, "RAY");  // the key ignores letter case
  to.limitReceiver = true;
  EXPECT_EQ(walk(to), (Ids{505, 500}));
  to.receiver = who(99, "Nobody");
  EXPECT_EQ(walk(to), Ids{});
}

TEST_F(BrowseViewTest, IndexViewsSkipEntriesWhoseMessageIsGone) {
  sampleForum();
  BrowseState w = state(KindForumDb, FmWord);
  EXPECT_EQ(walk(w), Ids{}) << "no word chosen";
  w.wordId = 7;
  EXPECT_EQ(walk(w), (Ids{500, 504}));
  BrowseState t = state(KindForumDb, FmTopic);
  t.topicId = 77;
  EXPECT_EQ(walk(t), (Ids{503, 501}));
  EXPECT_EQ(walk(state(KindForumDb, FmResult)), (Ids{505, 500}));

  BrowseView v(w);
  EXPECT_TRUE(v.holds(504));
  EXPECT_FALSE(v.holds(999)) << "an index entry without its message";
  EXPECT_FALSE(v.holds(501));
  EXPECT_TRUE(v.toMessage(504));
  EXPECT_EQ(MSG.MSGNUMBER, 504u) << "the message's record is in its buffer after a move";
  EXPECT_FALSE(v.next());
  EXPECT_EQ(v.current(), 504u);

  BrowseView r(state(KindForumDb, FmResult));
  ASSERT_TRUE(r.toFirst());
  EXPECT_EQ(r.fetch(5, true), (Ids{500})) << "the stale entry 997 is passed over";
  EXPECT_EQ(SEA.ID, 505u) << "fetch puts the view's record back";
  EXPECT_EQ(MSG.MSGNUMBER, 505u);
  EXPECT_TRUE(r.seekNumber(500));
  EXPECT_EQ(r.current(), 500u);
}

TEST_F(BrowseViewTest, EndsOfTheViewLeaveThePosition) {
  sampleForum();
  BrowseState s = state(KindForumDb, FmSender);
  s.sender = who(10, "Lee");
  s.limitSender = true;
  BrowseView v(s);
  EXPECT_EQ(v.current(), 0u);
  EXPECT_FALSE(v.next()) << "no position yet";
  ASSERT_TRUE(v.toLast());
  EXPECT_EQ(v.current(), 500u);
  EXPECT_FALSE(v.next());
  EXPECT_EQ(v.current(), 500u);
  EXPECT_EQ(MSG.MSGNUMBER, 500u);
  ASSERT_TRUE(v.toFirst());
  EXPECT_FALSE(v.previous());
  EXPECT_EQ(v.current(), 504u);
  EXPECT_FALSE(v.toMessage(501)) << "Bob's message is not in Ann's view";
  EXPECT_EQ(v.current(), 504u);
  EXPECT_TRUE(v.toMessage(503));
  EXPECT_TRUE(v.next());
  EXPECT_EQ(v.current(), 500u);

  BrowseView empty(state(KindForumDb, FmSection));
  EXPECT_FALSE(empty.toFirst());
  EXPECT_FALSE(empty.toLast());
  EXPECT_FALSE(empty.seekDate(100));
}

TEST_F(BrowseViewTest, FetchReadsAroundThePositionWithoutMovingIt) {
  sampleForum();
  BrowseView v(state(KindForumDb, FmDate));
  EXPECT_EQ(v.fetch(3, true), (Ids{503, 505, 504})) << "without a position: from the start";
  EXPECT_EQ(v.fetch(2, false), (Ids{500, 502})) << "without a position backward: from the end";
  ASSERT_TRUE(v.toMessage(504));
  EXPECT_EQ(v.fetch(2, true), (Ids{501, 502}));
  EXPECT_EQ(v.fetch(10, false), (Ids{505, 503}));
  EXPECT_EQ(v.fetch(10, true), (Ids{501, 502, 500}));
  EXPECT_EQ(v.current(), 504u);
  EXPECT_TRUE(v.next());
  EXPECT_EQ(v.current(), 501u);
}

TEST_F(BrowseViewTest, LocatorsPositionAtTheNearestNumberAndDate) {
  sampleForum();
  BrowseView n(state(KindForumDb, FmNumber));
  ASSERT_TRUE(n.seekNumber(503));
  EXPECT_EQ(n.current(), 503u);
  ASSERT_TRUE(n.seekNumber(9999));
  EXPECT_EQ(n.current(), 505u);
  ASSERT_TRUE(n.seekNumber(1));
  EXPECT_EQ(n.current(), 500u) << "below every number: the lowest";
  EXPECT_TRUE(n.next() == false);

  BrowseView d(state(KindForumDb, FmDate));
  ASSERT_TRUE(d.seekDate(103));
  EXPECT_EQ(d.current(), 504u);
  ASSERT_TRUE(d.seekDate(200));
  EXPECT_EQ(d.current(), 503u) << "after the newest: the newest";
  ASSERT_TRUE(d.seekDate(50));
  EXPECT_EQ(d.current(), 500u);
  EXPECT_TRUE(d.previous());
  EXPECT_EQ(d.current(), 502u);

  // Index views are in message-number order within their item (key word
  // ascending, topic and result set descending): the number itself, else the
  // next message in that order; stale entries are passed over.
  BrowseState w = state(KindForumDb, FmWord);
  w.wordId = 7;  // 500, 504 (and 999, gone)
  BrowseView wv(w);
  ASSERT_TRUE(wv.seekNumber(501));
  EXPECT_EQ(wv.current(), 504u);
  ASSERT_TRUE(wv.seekNumber(100));
  EXPECT_EQ(wv.current(), 500u);
  ASSERT_TRUE(wv.seekNumber(600)) << "past the last: the last";
  EXPECT_EQ(wv.current(), 504u);
  EXPECT_EQ(MSG.MSGNUMBER, 504u);
  BrowseState t = state(KindForumDb, FmTopic);
  t.topicId = 77;  // 503, 501 (998 gone)
  BrowseView tv(t);
  ASSERT_TRUE(tv.seekNumber(502));
  EXPECT_EQ(tv.current(), 501u);
  ASSERT_TRUE(tv.seekNumber(9999));
  EXPECT_EQ(tv.current(), 503u);
  BrowseView rv(state(KindForumDb, FmResult));  // 505, 500 (997 gone)
  ASSERT_TRUE(rv.seekNumber(504));
  EXPECT_EQ(rv.current(), 500u);
  ASSERT_TRUE(rv.seekNumber(1));
  EXPECT_EQ(rv.current(), 500u);
  EXPECT_FALSE(BrowseView(state(KindForumDb, FmWord)).seekNumber(500)) << "no word chosen: an empty view";
}

TEST_F(BrowseViewTest, TwoViewsWalkedInTurnKeepTheirOwnPositions) {
  sampleForum();
  BrowseView a(state(KindForumDb, FmNumber)), b(state(KindForumDb, FmNumber));
  ASSERT_TRUE(a.toFirst());
  ASSERT_TRUE(b.toLast());
  ASSERT_TRUE(a.next());
  ASSERT_TRUE(b.previous());
  ASSERT_TRUE(a.next());
  EXPECT_EQ(a.current(), 503u);
  EXPECT_EQ(b.current(), 501u);
  BrowseView copy = a;
  ASSERT_TRUE(copy.next());
  EXPECT_EQ(copy.current(), 502u);
  EXPECT_EQ(a.current(), 503u);
}

TEST_F(BrowseViewTest, NewsgroupViewsAreTheForumViews) {
  sampleForum(KindNewsDb);
  BrowseState s = state(KindNewsDb, FmSender);
  s.sender = who(13, "Adams");
  s.limitSender = true;
  EXPECT_EQ(walk(s), (Ids{505}));
  EXPECT_EQ(walk(state(KindNewsDb, FmNumber)).size(), 6u);
}

TEST_F(BrowseViewTest, MailViewsWalkTheirMailsInListOrder) {
  uint32_t owner = sampleMailbox();
  EXPECT_EQ(walk(state(KindMailDb, MmDate)), (Ids{703, 702, 701, 700, 704}));
  EXPECT_EQ(walk(state(KindMailDb, MmSubject)), (Ids{703, 700, 702, 701, 704}));
  EXPECT_EQ(walk(state(KindMailDb, MmPartner)), (Ids{703, 701, 700, 702, 704}));
  EXPECT_EQ(walk(state(KindMailDb, MmSender)), (Ids{703, 700, 702, 701, 704}));
  EXPECT_EQ(walk(state(KindMailDb, MmReceiver)), (Ids{701, 704, 703, 702, 700}));

  BrowseState p = state(KindMailDb, MmPartner);
  p.partner = who(21, "Brown");
  p.limitPartner = true;
  EXPECT_EQ(walk(p), (Ids{703, 701, 700})) << "every mail with the partner, both directions, newest first";
  BrowseState from = state(KindMailDb, MmSender);
  from.sender = who(owner, "Test");
  from.limitSender = true;
  EXPECT_EQ(walk(from), (Ids{701, 704}));
  BrowseState to = state(KindMailDb, MmReceiver);
  to.receiver = who(owner, "Test");
  to.limitReceiver = true;
  EXPECT_EQ(walk(to), (Ids{703, 702, 700}));

  BrowseView d(state(KindMailDb, MmDate));
  ASSERT_TRUE(d.seekDate(201));
  EXPECT_EQ(d.current(), 702u) << "the latest mail of that day";
  EXPECT_EQ(MAI.MAILID, 702u);
}

}  // namespace
