// The chosen items of the browsers: filled from IDs and from a message, the
// previous / next thread, section thread, sender, receiver and partner, the
// context slots and the stored view.
#include <gtest/gtest.h>

#include "browse/browse_items.h"
#include "browse/browse_state.h"
#include "browse_fixture.h"
#include "dictionary/file_numbers.h"
#include "services/context.h"
#include "services/settings.h"

using namespace qv;

namespace {

class BrowseItemsTest : public qvtest::BrowseTest {
 protected:
  // The neighbour of the state's item, or the state unchanged and false.
  static BrowseState step(BrowseState s, bool forward, bool expectFound = true) {
    BrowseState before = s;
    bool found = neighbourItem(s, forward);
    EXPECT_EQ(found, expectFound);
    if (!found) {
      EXPECT_EQ(s, before) << "no neighbour: nothing changes";
    }
    return s;
  }

  static void topic(uint32_t id, const std::string& text) {
    COD = CodesRec();
    COD.TYPE = 2;
    COD.INDEX = text;
    COD.ID = id;
    add(FileCodes);
  }
};

TEST_F(BrowseItemsTest, ItemsFilledFromTheirIds) {
  sampleForum();
  wordEntry(8, "PEARS", {500});
  topic(77, "apples");
  BrowseState s = state(KindForumDb, FmThread);
  ASSERT_TRUE(chooseThread(s, 1000));
  EXPECT_EQ(s.threadHeading, "Pears and apples");
  EXPECT_EQ(s.threadAlpha, "Pears and");
  EXPECT_FALSE(chooseThread(s, 4242));
  EXPECT_EQ(s.threadNumber, 1000u) << "an unknown thread changes nothing";
  ASSERT_TRUE(chooseSection(s, 200));
  EXPECT_EQ(s.sectionLabel, "04 Utilities");
  ASSERT_TRUE(chooseFirstSection(s));
  EXPECT_EQ(s.sectionId, 100u);
  EXPECT_EQ(s.sectionLabel, "01 General");
  person(14, "Eve", "Baker", 3, 5);
  ASSERT_TRUE(choosePerson(s, FmReceiver, 14));
  EXPECT_EQ(s.receiver.name, "Eve Baker");
  EXPECT_EQ(s.receiver.alpha, "Baker");
  EXPECT_EQ(s.receiver.count, 5u) << "the receiver's count is TOCOUNT";
  ASSERT_TRUE(choosePerson(s, FmSender, 14));
  EXPECT_EQ(s.sender.count, 3u);
  EXPECT_FALSE(choosePerson(s, FmDate, 14)) << "the date view has no person";
  ASSERT_TRUE(chooseWord(s, 8));
  EXPECT_EQ(s.word, "PEARS");
  EXPECT_TRUE(chooseTopic(s, 77));
  EXPECT_FALSE(chooseTopic(s, 78));
  EXPECT_EQ(s.topicId, 77u);

  BrowseState m = state(KindForumDb, FmNumber);
  ASSERT_TRUE(chooseFromMessage(m, 504));
  EXPECT_EQ(m.threadNumber, 1000u);
  EXPECT_EQ(m.sectionId, 100u);
  EXPECT_EQ(m.sender.name, "Ann Lee");
  EXPECT_EQ(m.receiver.name, "Dee Adams");
  EXPECT_EQ(m.selected, 504u);
  EXPECT_FALSE(chooseFromMessage(m, 4242));
}

TEST_F(BrowseItemsTest, NextAndPreviousSenderAndReceiver) {
  sampleForum();
  person(14, "Eve", "Baker");  // sends nothing
  BrowseState s = state(KindForumDb, FmSender);
  ASSERT_TRUE(choosePerson(s, FmSender, 10));  // Lee
  BrowseState n = step(s, true);
  EXPECT_EQ(n.sender.id, 11u);
  EXPECT_EQ(n.sender.name, "Bob Ray");
  EXPECT_TRUE(n.limitSender) << "the neighbour becomes the limit";
  EXPECT_EQ(n.selected, 501u) << "positioned at its first message";
  n = step(n, true);
  EXPECT_EQ(n.sender.id, 12u);
  step(n, true, false);  // Zed is the last sender
  BrowseState p = step(s, false);
  EXPECT_EQ(p.sender.id, 13u);
  EXPECT_EQ(p.selected, 505u);
  step(p, false, false);

  // Nobody chosen: the first and the last sender.
  EXPECT_EQ(step(state(KindForumDb, FmSender), true).sender.id, 13u);
  EXPECT_EQ(step(state(KindForumDb, FmSender), false).sender.id, 12u);

  // From a person without messages in the role: the neighbours where it would stand.
  ASSERT_TRUE(choosePerson(s, FmSender, 14));
  EXPECT_EQ(step(s, true).sender.id, 10u);
  EXPECT_EQ(step(s, false).sender.id, 13u);

  BrowseState r = state(KindForumDb, FmReceiver);
  ASSERT_TRUE(choosePerson(r, FmReceiver, 10));
  r = step(r, true);
  EXPECT_EQ(r.receiver.id, 11u);
  EXPECT_EQ(r.selected, 505u);
  r = step(r, true);
  EXPECT_EQ(r.receiver.id, 12u);
  step(r, true, false);
  EXPECT_FALSE(neighbourItem(s = state(KindForumDb, FmDate), true)) << "the date view has no items";
}

TEST_F(BrowseItemsTest, NextAndPreviousThreadAndThreadWithinSection) {
  sampleForum();
  BrowseState t = state(KindForumDb, FmThread);
  BrowseState first = step(t, true);
  EXPECT_EQ(first.threadNumber, 1001u) << "nothing chosen: the first thread";
  EXPECT_EQ(first.threadHeading, "Bananas");
  EXPECT_EQ(first.selected, 502u);
  BrowseState second = step(first, true);
  EXPECT_EQ(second.threadNumber, 1002u);
  EXPECT_EQ(second.selected, 503u);
  EXPECT_TRUE(second.limitThread);
  BrowseState third = step(second, true);
  EXPECT_EQ(third.threadNumber, 1000u);
  step(third, true, false);
  EXPECT_EQ(step(third, false).threadNumber, 1002u);

  BrowseState s = state(KindForumDb, FmSection);
  ASSERT_TRUE(chooseSection(s, 100));
  s = step(s, true);
  EXPECT_EQ(s.threadNumber, 1001u);
  s = step(s, true);
  EXPECT_EQ(s.threadNumber, 1000u);
  EXPECT_EQ(s.selected, 500u);
  step(s, true, false);  // Cherries is in the other section
  EXPECT_EQ(step(s, false).threadNumber, 1001u);
  BrowseState none = state(KindForumDb, FmSection);
  step(none, true, false);  // no section chosen
}

TEST_F(BrowseItemsTest, NextAndPreviousMailPartner) {
  uint32_t owner = sampleMailbox();
  BrowseState p = state(KindMailDb, MmPartner);
  ASSERT_TRUE(choosePerson(p, MmPartner, 21));
  EXPECT_EQ(p.partner.alpha, "Brown");
  BrowseState n = step(p, true);
  EXPECT_EQ(n.partner.id, 22u);
  EXPECT_TRUE(n.limitPartner);
  EXPECT_EQ(n.selected, 702u);
  n = step(n, true);
  EXPECT_EQ(n.partner.id, 23u);
  step(n, true, false);  // the last partner
  step(p, false, false);

  BrowseState s = state(KindMailDb, MmSender);
  ASSERT_TRUE(choosePerson(s, MmSender, 22));
  s = step(s, true);
  EXPECT_EQ(s.sender.id, owner);
  EXPECT_EQ(s.selected, 701u);
  step(s, true, false);
}

TEST_F(BrowseItemsTest, ContextSlotsCarryTheWholeView) {
  sampleForum();
  topic(77, "apples");
  BrowseState s = state(KindForumDb, FmSender);
  ASSERT_TRUE(chooseFromMessage(s, 504));
  ASSERT_TRUE(chooseWord(s, 7));
  ASSERT_TRUE(chooseTopic(s, 77));
  s.limitSender = true;
  s.limitThread = true;
  writeBrowseContext(s);
  EXPECT_LE(Context(3).size(), 63u);
  EXPECT_EQ(readBrowseContext(KindForumDb), s) << Context(3);
  BrowseState blank;
  blank.kind = KindNewsDb;
  EXPECT_EQ(readBrowseContext(KindNewsDb), blank) << "the slot holds a forum view, not a newsgroup's";
  // An item deleted meanwhile keeps its ID and loses its names.
  OP_CLOSE(OpShared, {FileThreads});
  THR = ThreadsRec();
  THR.THREADNUMBER = 1000;
  ASSERT_TRUE(Threads.get(THR_ThreadKey));
  ASSERT_TRUE(Threads.remove());
  OP_CLOSE(OpRelease, {FileThreads});
  BrowseState gone = readBrowseContext(KindForumDb);
  EXPECT_EQ(gone.threadNumber, 1000u);
  EXPECT_EQ(gone.threadHeading, "");
  EXPECT_EQ(gone.sender, s.sender);

  Context(2, "");
  blank.kind = KindForumDb;
  EXPECT_EQ(readBrowseContext(KindForumDb), blank);
  Context(2, "19zz");
  EXPECT_EQ(readBrowseContext(KindForumDb), blank) << "a damaged slot gives the default view";
}

TEST_F(BrowseItemsTest, MailContextCarriesThePartner) {
  sampleMailbox();
  BrowseState s = state(KindMailDb, MmPartner);
  ASSERT_TRUE(chooseFromMessage(s, 702));
  s.limitPartner = true;
  writeBrowseContext(s);
  EXPECT_LE(MailContext(3).size(), 74u);
  BrowseState back = readBrowseContext(KindMailDb);
  EXPECT_EQ(back, s);
  EXPECT_EQ(back.partner.name, "Gus Carter");
}

TEST_F(BrowseItemsTest, StoredViewPerKind) {
  storeBrowseMode(KindForumDb, FmTopic);
  storeBrowseMode(KindMailDb, MmPartner);
  ASSERT_TRUE(Konfig(KLoadDisplay));  // read back from the control file
  EXPECT_EQ(storedBrowseMode(KindForumDb), FmTopic);
  EXPECT_EQ(storedBrowseMode(KindNewsDb), FmTopic) << "newsgroups share the forum setting";
  EXPECT_EQ(storedBrowseMode(KindMailDb), MmPartner);
  storeBrowseMode(KindMailDb, 9);
  EXPECT_EQ(storedBrowseMode(KindMailDb), 1) << "mail has no ninth view";
}

}  // namespace
